#pragma once

#include "platform/bitmapinfoheader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// One picture as a device-independent bitmap: the JPEG adapter of the player.
//
// It decodes the recorder's JPEG pictures into bottom-up rows (memory row r holds
// image row height - 1 - r, as a DIB of positive height stores them), reads the
// channel number and the row mark that the recorder draws into the top rows, and
// encodes pictures back to JPEG for the AVI export and for saved snapshots.
//
// A picture belongs to one thread at a time. The codec behind it keeps one decoder
// and one encoder per thread, so the playback thread may decode and encode while the
// window thread encodes. Every codec failure stays inside: decoding answers
// NO_CHANNEL, encoding answers 0 or false. Nothing here throws.
class CDibPicture {
public:
    static constexpr uint8_t NO_CHANNEL = 0xFF;
    // Recorder pictures are at most 720 x 288; larger streams are not decoded.
    static constexpr int64_t MAX_DECODE_PIXELS = 220000;

    CDibPicture(); // a black 320 x 240 picture of 24 bits
    virtual ~CDibPicture() = default;
    CDibPicture(const CDibPicture&) = delete;
    CDibPicture& operator=(const CDibPicture&) = delete;

    // Gives the picture a new size and depth (8, 16, 24 or 32 bits) and a new pixel
    // buffer of rows padded to 4 bytes, all zero. Sides outside 1..32767 or another
    // depth change nothing and give false. When the buffer cannot be had, the
    // picture holds no pixels (m_pBits null, biSizeImage 0) and the result is false.
    bool Allocate(int bitCount, int width, int height);
    // Replaces the pixel buffer by a zeroed one of biSizeImage bytes, for a header
    // copied from another picture. Fails like Allocate.
    bool ReallocBits();

    // Copies `source` into the JPEG work buffer with its start mended (one or two
    // extra leading bytes dropped, a missing leading 0xFF put back) and an
    // end-of-image marker appended when it does not end in one. `length` is updated.
    // Returns null when the start matches none of the known forms.
    const uint8_t* RepairJpeg(const uint8_t* source, size_t& length);

    // Decodes one recorded picture into m_bih and m_pBits: 24-bit BGR from grey-scale
    // and colour streams, 32-bit BGRA premultiplied by alpha from 4-component ones.
    // Sets m_bMarkAbsent and returns the channel code (0..channelCount - 1), or
    // NO_CHANNEL when the stream is refused, too large or damaged; the pixels are
    // then not to be shown.
    uint8_t DecodeJpegFrame(const uint8_t* source, size_t length, int channelCount);
    // The same for the top 16 rows only, which hold the channel code and the row
    // mark: a small part of a whole decode, to learn whose picture it is. The picture
    // then holds those rows; m_nStreamHeight tells the stream's height. Damage below
    // them goes unseen.
    uint8_t DecodeTopRows(const uint8_t* source, size_t length, int channelCount);
    // What DecodeJpegFrame answers, at less than half its cost: the channel from the
    // top rows, once the whole stream is found to decode (at an eighth of its size,
    // which reads every coefficient as a whole decode does). Holds the top rows.
    uint8_t ReadJpegChannel(const uint8_t* source, size_t length, int channelCount);

    // The channel number the recorder draws as four bars and a reference bar into
    // the second image row. Pictures too small to hold the bars give 0; a channel
    // count below 1 gives NO_CHANNEL.
    uint8_t ReadChannelCode(int channelCount) const;
    // Whether image row rowsFromEnd - 1 (counted from the top) starts with the
    // recorder's dark, bright, dark mark. False when the picture cannot hold it.
    bool HasRowMark(int rowsFromEnd) const;
    // (B + G + R) / 3 of the three bytes at 3 * x in memory row `row`, whatever the
    // depth; 0 for bytes outside the pixel buffer.
    int Luminance(int x, int row) const;

    // Encodes a bottom-up picture (rows padded to 4 bytes) of 3 bytes per pixel
    // (B, G, R) or 4 (R, G, B, A) into `output`, with 2 x 2 chroma subsampling and
    // the quality clamped to 0..100. Returns the JPEG's size, or 0 when it fails or
    // does not fit in `capacity` bytes; nothing is written beyond `capacity`.
    static size_t EncodeJpegBuffer(uint8_t* output, const uint8_t* bits, int width, int height,
                                   int bytesPerPixel, size_t capacity, int quality);
    // Encodes a top-down picture of B, G, R bytes without row padding into a new
    // JPEG file; an existing file is never replaced. On failure returns false and
    // leaves no file behind. `segment`, a whole APPn segment (marker and length
    // included), goes in after the JFIF header: the still's metadata.
    static bool EncodeJpegFile(const std::string& path, const uint8_t* bits, int width, int height,
                               int quality, std::span<const uint8_t> segment = {});

    uint8_t m_bMarkAbsent = 0;   // 1 when the last decoded picture lacked the row mark
    BITMAPINFO m_bih{};          // biHeight positive: rows bottom-up
    std::unique_ptr<uint8_t[]> m_pBits; // biSizeImage bytes, null when that is 0
    int m_bPal = 0;              // 1 for PAL pictures: the row mark lies one row lower
    int m_nStreamHeight = 0;     // of the last stream decoded, in whole or in part
    std::unique_ptr<uint8_t[]> m_pJpeg; // work buffer of RepairJpeg; it only grows
    size_t m_nJpegCap = 0;

private:
    uint32_t m_nBitsSize = 0;    // the size m_pBits was allocated with
    int64_t Stride() const;
    bool EnsureJpegCapacity(size_t size);
    uint8_t DecodeRecorded(const uint8_t* source, size_t length, int channelCount, int rows);
    bool DecodePixels(uint8_t* jpeg, size_t length, int rows);
    bool IsBarLit(int bar, int row) const;
    int CountPixels(int row, int firstX, int lastX, bool (*test)(int luminance)) const;
};

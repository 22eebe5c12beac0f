#pragma once

#include "platform/bitmapinfoheader.h"
#include "playback/decodedpicture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A picture at an eighth of its size, top-down rows of m_nPixelSize bytes without
// padding: one value per 8 x 8 block of the stream.
struct CEighthPicture {
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nPixelSize = 1;
    std::vector<uint8_t> m_pixels;
};

// One picture as a device-independent bitmap: the JPEG adapter of the player.
//
// It decodes the recorder's JPEG pictures into bottom-up rows (memory row r holds
// image row height - 1 - r, as a DIB of positive height stores them), reads the
// channel number and the row mark that the recorder draws into the top rows.
// CJpegEncoder writes pictures back to JPEG.
//
// A decode answers a CDecodedPicture that points into the picture's own pixels.
//
// A picture belongs to one thread at a time. The codec behind it keeps one decoder
// per thread. Every codec failure stays inside: decoding answers NO_CHANNEL. Nothing
// here throws.
class CDibPicture {
public:
    static constexpr uint8_t NO_CHANNEL = CDecodedPicture::NO_CHANNEL;
    // Recorder pictures are at most 720 x 288; larger streams are not decoded.
    static constexpr int64_t MAX_DECODE_PIXELS = 220000;

    CDibPicture(); // a black 320 x 240 picture of 24 bits
    virtual ~CDibPicture() = default;
    CDibPicture(const CDibPicture&) = delete;
    CDibPicture& operator=(const CDibPicture&) = delete;

    // Gives the picture a new size and depth (8, 16, 24 or 32 bits) and a new pixel
    // buffer of rows padded to 4 bytes, all zero. Sides outside 1..32767 or another
    // depth change nothing and give false. When the buffer cannot be had, the
    // picture holds no pixels (Bits() null, biSizeImage 0) and the result is false.
    bool Allocate(int bitCount, int width, int height);
    // Takes the header and a copy of the pixels of a picture another decoder decoded,
    // to keep it past that decoder's next decode. Fails like Allocate.
    bool CopyPixels(const CDecodedPicture& picture);
    // Of the pictures decoded from now on: PAL pictures carry the row mark one row lower.
    void SetPal(bool pal) { m_bPal = pal; }

    const BITMAPINFOHEADER& Header() const { return m_bih.bmiHeader; }
    // biSizeImage bytes, null when that is 0.
    const uint8_t* Bits() const { return m_pBits.get(); }
    uint8_t* Bits() { return m_pBits.get(); }

    // Copies `source` into the JPEG work buffer with its start mended (one or two
    // extra leading bytes dropped, a missing leading 0xFF put back) and an
    // end-of-image marker appended when it does not end in one. `length` is updated.
    // Returns null when the start matches none of the known forms.
    const uint8_t* RepairJpeg(const uint8_t* source, size_t& length);
    // Whether the stream starts as the recorder meant it to, so that RepairJpeg
    // changes nothing but perhaps the end.
    static bool HasRecordedStart(const uint8_t* source, size_t length);

    // Decodes one recorded picture into the picture's pixels: 24-bit BGR from
    // grey-scale and colour streams, 32-bit BGRA premultiplied by alpha from
    // 4-component ones. Answers them with the channel code (0..channelCount - 1) and
    // the row mark, or NO_CHANNEL when the stream is refused, too large or damaged.
    CDecodedPicture DecodeJpegFrame(const uint8_t* source, size_t length, int channelCount);
    // Picks the scale a picture is decoded at (1, 2, 4 or 8: 1/scale of its sides)
    // from its channel code and its stream's width and height; asked for NO_CHANNEL
    // first, the coarsest scale any channel may get.
    using ScaleChooser = std::function<int(uint8_t channel, int width, int height)>;
    // DecodeJpegFrame at the scale `chooseScale` gives, for pictures shown smaller
    // than recorded. The codec skips most of the inverse transform and the upsampling
    // but still reads every coefficient, so a stream is refused exactly when a whole
    // decode refuses it. The code and the mark, too fine to survive the scaling, are
    // read from the top rows decoded at full size first. m_nScale tells the scale.
    CDecodedPicture DecodeJpegFrame(const uint8_t* source, size_t length, int channelCount,
                                    const ScaleChooser& chooseScale);
    // The same for the top 16 rows only, which hold the channel code and the row
    // mark: a small part of a whole decode, to learn whose picture it is. The pixels
    // are those rows; m_nStreamHeight tells the stream's height. Damage below them
    // goes unseen.
    CDecodedPicture DecodeTopRows(const uint8_t* source, size_t length, int channelCount);
    // The channel DecodeJpegFrame answers, at less than half its cost: from the top
    // rows, once the whole stream is found to decode (at an eighth of its size, which
    // reads every coefficient as a whole decode does). The pixels are the top rows.
    CDecodedPicture ReadJpegChannel(const uint8_t* source, size_t length, int channelCount);
    // ReadJpegChannel that keeps what the check decodes: the grey picture at an eighth
    // of its size (each value a block's average luma), into `luma`. What a search for
    // change over a whole recording reads, at about the cost of the check alone.
    CDecodedPicture ReadEighthLuma(const uint8_t* source, size_t length, int channelCount, CEighthPicture& luma);

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

private:
    // Allocate, but the pixels are left as they are where the caller writes every byte.
    bool Resize(int bitCount, int width, int height, bool zeroed);
    // Replaces the pixel buffer by one of biSizeImage bytes, zeroed when asked. Fails
    // like Allocate.
    bool ReallocBits(bool zeroed);
    int64_t Stride() const;
    bool EnsureJpegCapacity(size_t size);
    CDecodedPicture DecodeRecorded(const uint8_t* source, size_t length, int channelCount, int rows);
    // What a decode answers: nothing but the stream's height when the pixels did not decode.
    CDecodedPicture Answer(bool decodedPixels, int streamHeight, int channelCount) const;
    // DecodeRecorded of a repaired stream, which may be changed while it is decoded.
    CDecodedPicture DecodeRepaired(uint8_t* jpeg, size_t length, int channelCount, int rows);
    // False when the stream does not decode; `streamHeight` is set once its header is read.
    bool DecodePixels(uint8_t* jpeg, size_t length, int rows, int scale, int& streamHeight);
    bool IsBarLit(int bar, int row) const;
    int CountPixels(int row, int firstX, int lastX, bool (*test)(int luminance)) const;

    BITMAPINFO m_bih{};                 // biHeight positive: rows bottom-up
    std::unique_ptr<uint8_t[]> m_pBits; // biSizeImage bytes, null when that is 0
    uint32_t m_nBitsSize = 0;           // the size m_pBits was allocated with
    bool m_bPal = false;                // the row mark lies one row lower
    std::unique_ptr<uint8_t[]> m_pJpeg; // work buffer of RepairJpeg; it only grows
    size_t m_nJpegCap = 0;
    std::unique_ptr<CDibPicture> m_pTopRows; // where a scaled decode reads the code and the mark
};

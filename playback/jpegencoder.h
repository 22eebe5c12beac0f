#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Encodes pictures to JPEG for the AVI export and for saved snapshots, in the form
// the recorder writes (JFIF, 2 x 2 chroma subsampling), so that CDibPicture reads
// them back.
//
// The codec behind it keeps one encoder per thread, so any thread may encode. Every
// codec failure stays inside: encoding answers 0 or false. Nothing here throws.
class CJpegEncoder {
public:
    // Encodes a bottom-up picture (rows padded to 4 bytes) of 3 bytes per pixel
    // (B, G, R) or 4 (R, G, B, A) into `output`, with 2 x 2 chroma subsampling and
    // the quality clamped to 0..100. Returns the JPEG's size, or 0 when it fails or
    // does not fit in `capacity` bytes; nothing is written beyond `capacity`.
    static size_t EncodeBuffer(uint8_t* output, const uint8_t* bits, int width, int height, int bytesPerPixel,
                               size_t capacity, int quality);
    // Encodes a top-down picture of B, G, R bytes without row padding into a new
    // JPEG file; an existing file is never replaced. On failure returns false and
    // leaves no file behind. `segment`, a whole APPn segment (marker and length
    // included), goes in after the JFIF header: the still's metadata.
    static bool EncodeFile(const std::string& path, const uint8_t* bits, int width, int height, int quality,
                           std::span<const uint8_t> segment = {});
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The complete byte image of a Windows bitmap file, as read from disk: the 14-byte
// file header, the 40-byte information header and the pixel rows. Empty after a
// failed load.
struct CBitmapBlock {
    std::unique_ptr<uint8_t[]> m_pBytes;
    size_t m_nSize = 0;

    explicit operator bool() const { return m_pBytes != nullptr; }
    std::span<uint8_t> Bytes() { return {m_pBytes.get(), m_nSize}; }
    std::span<const uint8_t> Bytes() const { return {m_pBytes.get(), m_nSize}; }
    CBitmapBlock Copy() const;
};

// The picture commands of the snapshot editor. Every filter works in place on a
// bitmap block holding a 24-bit picture of bottom-up rows, which it addresses as one
// continuous run of rows of exactly 3 x width bytes (blue, green, red) from the
// block's pixel offset.
//
// The neighbourhood filters (Sharpen, Blur, Despeckle) take each byte from the nine
// bytes of its colour around it, from the second row in memory to the last, and
// store the result at once: the bytes before it in memory are already new, those
// after it still old, and that order is part of their output. A byte whose
// neighbourhood reaches outside the pixel array is left as it is.
//
// The filters trust nothing in the block: a picture whose pixel array does not lie
// inside it is left alone, and nothing outside it is ever read or written. They
// return whether they could work on the picture; the editor ignores it.
class CImageFilter {
public:
    // Reads a whole bitmap file. Refused (an empty block): a file that cannot be
    // opened or read, one too large for a 32-bit size, a block that cannot be had, a
    // file not starting with "BM", and one whose size field does not equal its size.
    static CBitmapBlock LoadBitmapFile(const std::string& path);
    // `block` when it passes the same checks as a loaded file (it starts with "BM" and
    // its size field equals its size), else an empty block.
    static CBitmapBlock CheckedBitmap(CBitmapBlock block);

    // Adds `step` to every colour byte, clamped to 0..255.
    bool AdjustBrightness(std::span<uint8_t> picture, int step) const;
    // Moves every colour byte away from 128 (factor > 0) or towards it by
    // (value - 128) x factor / 128, the quotient truncated towards zero.
    bool AdjustContrast(std::span<uint8_t> picture, int factor) const;
    // 1.4 x the byte less 0.05 x each of its eight neighbours, truncated and clamped.
    bool Sharpen(std::span<uint8_t> picture) const;
    // Weights 1 3 1 / 3 4 3 / 1 3 1 over 20, truncated.
    bool Blur(std::span<uint8_t> picture) const;
    // A byte more than 50 away from the median of its neighbourhood becomes the median.
    bool Despeckle(std::span<uint8_t> picture) const;
};

#pragma once

#include <cstdint>
#include <type_traits>

// The device-independent bitmap header in its Windows layout. Decoded pictures carry
// it, and the AVI video stream format is this header, so the field names, widths and
// order are those of the Windows definition and must not change.
struct BITMAPINFOHEADER {
    uint32_t biSize = 0;          // 40
    int32_t biWidth = 0;
    int32_t biHeight = 0;         // positive: the rows are stored bottom-up
    uint16_t biPlanes = 0;        // 1
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;   // 0 for plain pixels, a four-character code otherwise
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40 && std::is_standard_layout_v<BITMAPINFOHEADER>);

struct RGBQUAD {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};

// The header followed by one colour entry, as a bitmap is described to the drawing
// functions; pictures of 24 and 32 bits leave the entry unused.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFO) == 44 && std::is_standard_layout_v<BITMAPINFO>);

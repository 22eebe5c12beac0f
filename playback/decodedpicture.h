#pragma once

#include "platform/bitmapinfoheader.h"

#include <cstdint>

// What one decode of a recorder picture found: the channel its bar code names,
// whether its row mark is there, and its pixels. The pixels belong to the decoder
// (CDibPicture) and stay valid only until its next decode; whoever keeps them copies
// them. A stream refused, too large or damaged gives NO_CHANNEL and no pixels.
struct CDecodedPicture {
    static constexpr uint8_t NO_CHANNEL = 0xFF;

    uint8_t m_nChannel = NO_CHANNEL;  // the channel code, 0..channelCount - 1
    BITMAPINFOHEADER m_header{};      // of the pixels: biHeight positive, rows bottom-up
    const uint8_t* m_pBits = nullptr; // biSizeImage bytes of 24-bit BGR or 32-bit BGRA rows
    bool m_bMarkAbsent = false;       // the recorder's row mark is not there
    bool m_bPal = false;              // the mark was looked for where PAL pictures carry it
    int m_nStreamHeight = 0;          // of the whole stream, also when only its top rows were decoded
    int m_nScale = 1;                 // the pixels are 1/m_nScale of the stream's width and height

    bool IsDecoded() const { return m_nChannel != NO_CHANNEL; }
};

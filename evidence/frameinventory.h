#pragma once

#include "evidence/forwardreader.h"

#include <cstdint>
#include <functional>
#include <string>

// One record forward play delivers, with what its picture says of itself.
struct CInventoriedFrame {
    const CForwardReader::CFrame& m_frame;
    bool m_bAudioOnly;
    uint8_t m_nChannel; // from the bar code; NO_CHANNEL when the picture does not decode
    bool m_bMark;       // the recorder's row mark is there
};

struct CFrameTotals {
    uint64_t m_nRecords = 0, m_nAudioOnly = 0, m_nUndecoded = 0;
    // Forward play ran into the end of the file before its end offset.
    bool m_bEndedAtEndOfFile = false;
};

// Reads a probed recording as forward play does and decodes every picture, handing
// each record to `onFrame` in delivery order and counting them. False when a read
// failed (the engine's message is on standard error). The calling thread.
bool TakeFrameInventory(const std::string& path, const CRecordingFacts& facts,
                        const std::function<void(const CInventoriedFrame&)>& onFrame, CFrameTotals& totals);

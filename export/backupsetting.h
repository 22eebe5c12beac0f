#pragma once

#include "playback/tilerenderer.h"

#include <cstdint>

// The export settings the backup window fills: 12 bytes, zeroed while it is closed.
#pragma pack(push, 1)
struct BACKUPSETTING {
    uint8_t m_byReserved = 0;
    uint8_t m_byFrameRate = 0;    // frames per second of the AVI, 1..60
    uint8_t m_byChannel = 0;      // the exported channel, from 0
    uint8_t m_byChannelCount = 0; // of the recording, 4 or 16
    int32_t m_nWidth = 0;         // 360 or 720; 352 for PAL recordings too
    int32_t m_nHeight = 0;        // 240 or 480; 288 and 576 for PAL recordings too
};
#pragma pack(pop)
static_assert(sizeof(BACKUPSETTING) == 12);

// What the log of one export records: when its pictures were recorded, and how it was made.
struct BACKUPLOG {
    CFrameTime m_timeStart;
    CFrameTime m_timeEnd;
    BACKUPSETTING m_setting;
};

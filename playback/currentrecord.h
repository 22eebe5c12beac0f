#pragma once

#include <cstdint>

// The values of the header the playback thread read last, shared with the frame
// router. Both run on the playback thread; the view clears them at start-up while
// no playback thread runs. The group counter lives here, not with the thread,
// because it carries over when a thread is restarted.
struct CCurrentRecord {
    uint16_t m_wYear = 0;
    uint8_t m_byMonth = 0;
    uint8_t m_byDay = 0;
    uint8_t m_byHour = 0;
    uint8_t m_byMinute = 0;
    uint8_t m_bySecond = 0;
    uint8_t m_byGroupLength = 0;
    uint64_t m_nPrevSector = 0;
    uint64_t m_nSector = 0;
    int m_nGroupCounter = 0;
    // Not used by the player itself; kvxtool reports them.
    uint8_t m_byKind = 0;
    uint64_t m_nHeaderOffset = 0;
};

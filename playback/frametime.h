#pragma once

#include "recording/recordheader.h"

#include <cstdint>

// A picture's date-time as its record header gives it, as the tiles, the play time
// and the exported frames show it.
struct CFrameTime {
    uint16_t m_wYear = 0;
    uint8_t m_byMonth = 0, m_byDay = 0, m_byHour = 0, m_byMinute = 0, m_bySecond = 0;

    static CFrameTime Of(const CRecordHeader& h)
    {
        return {h.m_wYear, h.m_byMonth, h.m_byDay, h.m_byHour, h.m_byMinute, h.m_bySecond};
    }
};

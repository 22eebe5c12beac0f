#pragma once

#include "playback/frametime.h"

#include <cstdint>

// A camera's own rate: its pictures counted against the recorder seconds that held
// any, so that a gap in the recording does not slow the rate down. The AVI's
// `--fps auto`, its log and the export panel's preselected rate all count this way.
class CRateCounter {
public:
    void Count(const CFrameTime& time);
    // Whether the picture counted last began a second of its own.
    bool StartedSecond() const { return m_bStartedSecond; }
    uint32_t Pictures() const { return m_nPictures; }
    uint32_t Seconds() const { return m_nSeconds; }
    // Over every picture counted, or over the whole seconds before the last one.
    int Rate() const { return MeanRate(m_nPictures, m_nSeconds); }
    int RateBeforeLastSecond() const { return MeanRate(m_nPictures - 1, m_nSeconds - 1); }

    // The mean rate of pictures over the seconds that held any, rounded to 1..60; 10,
    // the export's default, when no second is known.
    static int MeanRate(uint32_t pictures, uint32_t seconds);

private:
    int64_t m_nSecond = -1;
    uint32_t m_nSeconds = 0, m_nPictures = 0;
    bool m_bStartedSecond = false;
};

#pragma once

#include "playback/frametime.h"

#include <array>
#include <cstdint>

// Where a picture lies within its recorder second, for the masks' movement: the k-th
// picture of a camera's second is taken k/n into it, n being the pictures the camera
// had in the second before (or the export's rate at first). An MP4 shows the k-th of n
// at k/n, so a steady camera's masks sit where its pictures are shown.
//
// Threads: one thread at a time (the recorder's lock).
class CMaskClock {
public:
    explicit CMaskClock(int firstRate = 10) : m_nFirstRate(firstRate) {}

    // The picture's time on the recorder's clock with its fraction of the second
    // (CPrivacyMaskSet::SecondsOf); counts the picture.
    double SecondsOf(int channel, const CFrameTime& time);

private:
    struct CCamera {
        int64_t m_nSecond = INT64_MIN;
        int m_nInSecond = 0;     // pictures of m_nSecond counted before this one
        int m_nLastSecond = 0;   // pictures of the second before; 0 when unknown
    };

    int m_nFirstRate;
    std::array<CCamera, 16> m_cameras{};
};

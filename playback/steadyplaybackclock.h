#pragma once

#include "playback/playbackclock.h"

// The real clock: the system's monotonic clock. Waits sleep until an absolute
// deadline, in slices short enough to notice a stop; nothing spins.
class CSteadyPlaybackClock : public IPlaybackClock {
public:
    double Now() override;
    void Sleep(int milliseconds) override;
    void WaitUntil(double deadline, const std::atomic<bool>& run) override;
};

#pragma once

#include "playback/playbackclock.h"

// The real clock. Waits sleep for most of the time and spin only for the last
// stretch, so a 16 ms period holds exactly without keeping a core busy.
class CSteadyPlaybackClock : public IPlaybackClock {
public:
    double Now() override;
    void Sleep(int milliseconds) override;
    void WaitUntil(double deadline, const std::atomic<int>& run) override;
};

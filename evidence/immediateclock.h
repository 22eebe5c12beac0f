#pragma once

#include "playback/steadyplaybackclock.h"

// A clock for reading a recording as fast as it can be read: no pacing, no pauses.
class CImmediateClock : public CSteadyPlaybackClock {
public:
    void Sleep(int) override {}
    void WaitUntil(double, const std::atomic<bool>&) override {}
};

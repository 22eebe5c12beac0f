#pragma once

#include <atomic>

// Time as the playback thread sees it. The player uses CSteadyPlaybackClock; tests
// and the command-line tool give the engine a clock that does not wait.
class IPlaybackClock {
public:
    // Seconds on a monotonic clock.
    virtual double Now() = 0;
    // Short pauses: the 4 ms poll while paused, the 1 ms after each frame.
    virtual void Sleep(int milliseconds) = 0;
    // Waits until Now() reaches `deadline`, or returns early once `run` is false.
    virtual void WaitUntil(double deadline, const std::atomic<bool>& run) = 0;

protected:
    ~IPlaybackClock() = default;
};

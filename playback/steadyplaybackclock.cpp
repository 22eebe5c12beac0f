#include "playback/steadyplaybackclock.h"

#include <chrono>
#include <thread>

namespace {
// The system wakes a sleeper up to about a millisecond late; the rest is spun.
constexpr double SPIN_SECONDS = 0.0015;
// Long waits (up to 2 s a frame) are slept in slices so a stop is noticed promptly.
constexpr double SLICE_SECONDS = 0.010;
} // namespace

double CSteadyPlaybackClock::Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CSteadyPlaybackClock::Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CSteadyPlaybackClock::WaitUntil(double deadline, const std::atomic<int>& run)
{
    for (double now = Now(); now < deadline && run.load(); now = Now()) {
        const double left = deadline - now;
        if (left > SPIN_SECONDS)
            std::this_thread::sleep_for(std::chrono::duration<double>(std::min(left - SPIN_SECONDS, SLICE_SECONDS)));
        else
            std::this_thread::yield();
    }
}

#include "playback/steadyplaybackclock.h"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace {
// Long waits (up to 2 s a frame) are slept in slices so a stop is noticed promptly.
constexpr double SLICE_SECONDS = 0.010;

timespec ToTimespec(double seconds)
{
    timespec t{};
    t.tv_sec = time_t(std::floor(seconds));
    t.tv_nsec = long((seconds - double(t.tv_sec)) * 1e9);
    if (t.tv_nsec >= 1000000000L) {
        ++t.tv_sec;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

// Sleeps until the monotonic clock reads `deadline`: an absolute deadline, so a
// late wake-up is not carried into the next wait.
void SleepUntil(double deadline)
{
    const timespec until = ToTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
} // namespace

// steady_clock is the monotonic clock on Linux; reading it directly keeps Now() and
// the deadlines the sleeps are given on one clock.
double CSteadyPlaybackClock::Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void CSteadyPlaybackClock::Sleep(int milliseconds)
{
    SleepUntil(Now() + milliseconds / 1000.0);
}

void CSteadyPlaybackClock::WaitUntil(double deadline, const std::atomic<bool>& run)
{
    for (double now = Now(); now < deadline && run.load(); now = Now())
        SleepUntil(std::min(deadline, now + SLICE_SECONDS));
}

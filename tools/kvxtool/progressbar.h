#pragma once

#include <chrono>
#include <cstdint>

// A one-line progress bar on standard error, shown only when standard error is a
// terminal and the work is long enough to wait for; redrawn at most ten times a
// second, and wiped when done so that the output that follows starts clean. One thread.
class CProgressBar {
public:
    // `label` is shown in front of the bar; work below `minimum` units shows nothing.
    CProgressBar(const char* label, uint64_t minimum);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    void Update(uint64_t done, uint64_t total);

private:
    const char* m_szLabel;
    const uint64_t m_nMinimum;
    const bool m_bTerminal;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

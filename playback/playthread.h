#pragma once

#include <thread>

struct PLAYTHREADPARAM;

// The one playback thread of a view. Owned and driven by the window thread.
class CPlayThread {
public:
    CPlayThread() = default;
    ~CPlayThread() { Stop(); }
    CPlayThread(const CPlayThread&) = delete;
    CPlayThread& operator=(const CPlayThread&) = delete;

    // Starts a playback thread on `param` (its copies already made), stopping the
    // previous one first. Sets the run flag.
    void Start(PLAYTHREADPARAM& param);
    // Clears the run flag and waits for the thread to end, if there is one. The
    // thread notices within one record's reading and one frame period.
    void Stop();
    bool IsStarted() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
    PLAYTHREADPARAM* m_pParam = nullptr;
};

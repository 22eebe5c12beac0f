#pragma once

#include <thread>

class IPlaybackView;
struct CCurrentRecord;
struct CPlaySteering;

// The one playback thread of a session. Owned and driven by the window thread.
class CPlayThread {
public:
    CPlayThread() = default;
    ~CPlayThread() { Stop(); }
    CPlayThread(const CPlayThread&) = delete;
    CPlayThread& operator=(const CPlayThread&) = delete;

    // Starts a playback thread steered by `steering` (its per-thread values already
    // set), stopping the previous one first. Sets the run flag. The three outlive the
    // thread: Stop, or the destructor, joins it.
    void Start(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current);
    // Clears the run flag and waits for the thread to end, if there is one. The
    // thread notices within one record's reading and one frame period.
    void Stop();
    bool IsStarted() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
    CPlaySteering* m_pSteering = nullptr; // the running thread's, null while none runs
};

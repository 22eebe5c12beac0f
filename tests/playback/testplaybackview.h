#pragma once

#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playbackclock.h"
#include "playback/playstate.h"
#include "playback/playthread.h"
#include "playback/playsteering.h"
#include "recording/recordformat.h"
#include "recording/recordingprobe.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The playback engine's surroundings for its tests: a clock that does not wait and a
// view that logs everything the engine asks of it.

// One record the engine delivered: where its header was and what came with it.
struct CFrame {
    uint64_t offset;
    int audioMode;
    uint32_t length;
    bool first;
    std::vector<uint8_t> audio;
};

// A clock that never waits: a wait moves time to its deadline and is noted down.
class CFakeClock : public IPlaybackClock {
public:
    std::function<void()> m_onPausePoll;

    double Now() override { return m_now; }
    void Sleep(int milliseconds) override
    {
        m_now += milliseconds / 1000.0;
        if (milliseconds >= 4 && m_onPausePoll)
            m_onPausePoll();
        if (milliseconds >= 4) // let the test thread in while the engine idles
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    void WaitUntil(double deadline, const std::atomic<bool>&) override
    {
        m_deadlines.push_back(deadline);
        m_now = std::max(m_now, deadline);
    }
    std::vector<double> m_deadlines; // playback thread only; read by the test once paused

private:
    double m_now = 1000.0;
};

// The player as the engine sees it: the steering, and a log of every call.
class CTestPlaybackView : public IPlaybackView {
public:
    CPlaySteering m_steering;
    CCurrentRecord m_current;
    CFakeClock m_clock;
    CPlayThread m_thread;
    // Runs on the playback thread at every delivered frame, with its index.
    std::function<void(size_t)> m_onFrame;
    // Runs on the playback thread when the read position jumps.
    std::function<void()> m_onJump;

    CTestPlaybackView()
    {
        m_steering.m_pClock = &m_clock;
        m_clock.m_onPausePoll = [this] {
            std::lock_guard lock(m_mutex);
            ++m_nPausePolls;
            m_changed.notify_all();
        };
    }
    ~CTestPlaybackView() { m_thread.Stop(); }

    void Start(const std::string& path, const CRecordingFacts& facts)
    {
        m_steering.m_nFirstSector = facts.m_nFirstSector;
        m_steering.m_nChannelCount = facts.m_nChannelCount;
        m_steering.m_nEndOffset = facts.m_nEndOffset;
        m_steering.m_strPath = path;
        m_thread.Start(m_steering, *this, m_current);
    }

    // Waits until the engine idles in the pause state (it has polled twice since).
    bool WaitUntilPaused()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] {
            if (m_steering.m_nPlayState != PS_PAUSE) {
                m_nPollsSeenPaused = -1;
                return false;
            }
            if (m_nPollsSeenPaused < 0)
                m_nPollsSeenPaused = m_nPausePolls;
            return m_nPausePolls >= m_nPollsSeenPaused + 2;
        });
    }
    // Plays in `state` until the engine pauses by itself; returns the frames of that run.
    std::vector<CFrame> PlayUntilPaused(uint8_t state)
    {
        const size_t before = Frames().size();
        {
            std::lock_guard lock(m_mutex);
            m_nPollsSeenPaused = -1;
        }
        m_steering.m_nPlayState = state;
        if (!WaitUntilPaused())
            qFatal("the engine did not pause");
        std::vector<CFrame> all = Frames();
        return {all.begin() + long(before), all.end()};
    }
    bool WaitForPausePolls(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_nPausePolls >= count; });
    }

    std::vector<CFrame> Frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    std::vector<std::string> Calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int LastSlider()
    {
        std::lock_guard lock(m_mutex);
        return m_nLastSlider;
    }
    int PausePolls()
    {
        std::lock_guard lock(m_mutex);
        return m_nPausePolls;
    }
    void ClearCalls()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

    // IPlaybackView
    void OnPlayStateSet(uint8_t state) override { Log("state " + std::to_string(state)); }
    uint8_t OnPlayFrame(bool first, int audioMode, uint32_t length, const uint8_t* audio, const uint8_t*) override
    {
        size_t index;
        {
            std::lock_guard lock(m_mutex);
            m_frames.push_back({m_current.m_nHeaderOffset, audioMode, length, first,
                                std::vector<uint8_t>(audio, audio + kvx::AUDIO_BLOCK_SIZE)});
            index = m_frames.size() - 1;
            m_changed.notify_all();
        }
        if (m_onFrame)
            m_onFrame(index);
        return 0;
    }
    void OnJump() override
    {
        if (m_onJump)
            m_onJump();
    }
    void SetStartButtons() override { Log("start buttons"); }
    void SetEndButtons() override { Log("end buttons"); }
    void SetSliderPos(int pos) override
    {
        std::lock_guard lock(m_mutex);
        m_nLastSlider = pos;
    }
    void ShowReadError(const char* text) override { Log(std::string("message ") + text); }

private:
    void Log(const std::string& call)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<CFrame> m_frames;
    std::vector<std::string> m_calls;
    int m_nLastSlider = -1;
    int m_nPausePolls = 0;
    int m_nPollsSeenPaused = -1;
};

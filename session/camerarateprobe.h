#pragma once

#include "recording/recordingprobe.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The cameras' own rates, for the export panel to preselect: the first stretch of a
// recording read as forward play delivers it, each picture's camera taken from its
// bar code alone, and each camera's pictures counted against the recorder seconds
// that held any, as the AVI's `--fps auto` counts them. The read is bounded (the
// first MAX_SECONDS recorder seconds or MAX_BYTES of the file, whichever ends first)
// and runs on a worker of the lowest priority, so a big recording costs the window
// nothing. `onDone` runs on the worker and must only post onwards; the destructor
// cancels and waits.
//
// Threads: made and destroyed on the owning (window) thread; the read and `onDone` on
// the worker.
class CCameraRateProbe {
public:
    static constexpr int64_t MAX_SECONDS = 120;
    static constexpr uint64_t MAX_BYTES = 64ull << 20;
    // A camera with fewer seconds of pictures in the stretch has no rate to offer.
    static constexpr uint32_t MIN_SECONDS = 10;

    // By camera (from 0): its rate, 1..60, or 0 when it has none to offer.
    using Rates = std::vector<int>;
    using DoneHandler = std::function<void(const Rates&)>;

    CCameraRateProbe(std::string path, const CRecordingFacts& facts, DoneHandler onDone);
    ~CCameraRateProbe();
    CCameraRateProbe(const CCameraRateProbe&) = delete;
    CCameraRateProbe& operator=(const CCameraRateProbe&) = delete;

    // The same read on the calling thread; stops early when `cancel` is set.
    static Rates ReadRates(const std::string& path, const CRecordingFacts& facts, const std::atomic<bool>& cancel);

private:
    void Run(DoneHandler onDone);

    const std::string m_strPath;       // set before the worker starts, then only read
    const CRecordingFacts m_facts;
    std::atomic<bool> m_bCancel{false}; // written by the owner, read by the worker
    std::thread m_worker;               // last: it starts when everything above is made
};

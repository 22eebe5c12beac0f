#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <thread>

// The SHA-256 of a recording that exports are made from, read on a worker of the
// lowest priority, so that neither playback nor the window waits for it. The sum is
// handed out as a future: an export's completion, on a worker of its own, awaits it
// before its note names the master, so no result needs to reach the window. Cancel
// ends the read soon; the sum is then not known. The destructor cancels and waits.
//
// Threads: made, cancelled and destroyed on the owning (window) thread; Result()
// from any thread; the read on the worker.
class CMasterHash {
public:
    using Sum = std::shared_future<std::optional<std::string>>;

    // `path` as the system names the file; `size` as the probe found it.
    CMasterHash(std::string path, uint64_t size);
    ~CMasterHash();
    CMasterHash(const CMasterHash&) = delete;
    CMasterHash& operator=(const CMasterHash&) = delete;

    const Sum& Result() const { return m_sum; }
    // Whether this reads the recording at `path` of `size` bytes.
    bool Reads(const std::string& path, uint64_t size) const { return path == m_strPath && size == m_nSize; }
    bool IsDone() const { return m_bDone; }
    void Cancel() { m_bCancel = true; }

private:
    void Run();

    const std::string m_strPath;       // set before the worker starts, then only read
    const uint64_t m_nSize;
    std::promise<std::optional<std::string>> m_promise; // the worker's once it starts
    Sum m_sum;
    std::atomic<bool> m_bCancel{false}; // written by the owner, read by the worker
    std::atomic<bool> m_bDone{false};   // written by the worker
    std::thread m_worker;               // last: it starts when everything above is made
};

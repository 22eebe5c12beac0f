#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Runs tasks on a few threads, keeping the order of the tasks of each strand: every
// strand belongs to one thread, which runs its tasks one after another, while tasks
// of strands on other threads run at the same time. An export of several cameras
// writes each camera's frames in order, and the cameras side by side.
//
// Threads: Post and Finish on one posting thread; the tasks on the pool's threads.
class CStrandPool {
public:
    using Task = std::function<void()>;

    // `queueLimit` tasks wait per thread at most; Post waits while its thread is that full.
    CStrandPool(unsigned threads, size_t queueLimit);
    ~CStrandPool(); // runs what was posted, then stops
    CStrandPool(const CStrandPool&) = delete;
    CStrandPool& operator=(const CStrandPool&) = delete;

    void Post(size_t strand, Task task);
    // Returns once every task posted has run.
    void Finish();

private:
    struct CQueue {
        std::deque<Task> m_tasks; // m_mutex
        bool m_bBusy = false;     // a task of this queue runs; m_mutex
    };
    void Work(CQueue& queue);

    const size_t m_nQueueLimit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<CQueue>> m_queues;
    bool m_bStopping = false; // m_mutex
    std::vector<std::thread> m_threads;
};

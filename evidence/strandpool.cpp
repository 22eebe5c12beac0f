#include "evidence/strandpool.h"

#include <algorithm>

CStrandPool::CStrandPool(unsigned threads, size_t queueLimit) : m_nQueueLimit(std::max<size_t>(1, queueLimit))
{
    for (unsigned i = 0; i < std::max(1u, threads); ++i)
        m_queues.push_back(std::make_unique<CQueue>());
    for (const std::unique_ptr<CQueue>& queue : m_queues)
        m_threads.emplace_back([this, q = queue.get()] { Work(*q); });
}

CStrandPool::~CStrandPool()
{
    Finish();
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void CStrandPool::Post(size_t strand, Task task)
{
    CQueue& queue = *m_queues[strand % m_queues.size()];
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return queue.m_tasks.size() < m_nQueueLimit; });
    queue.m_tasks.push_back(std::move(task));
    m_changed.notify_all();
}

void CStrandPool::Finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return std::all_of(m_queues.begin(), m_queues.end(),
                           [](const std::unique_ptr<CQueue>& q) { return q->m_tasks.empty() && !q->m_bBusy; });
    });
}

void CStrandPool::Work(CQueue& queue)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_bStopping || !queue.m_tasks.empty(); });
        if (queue.m_tasks.empty())
            return;
        Task task = std::move(queue.m_tasks.front());
        queue.m_tasks.pop_front();
        queue.m_bBusy = true;
        m_changed.notify_all(); // room for the next post
        lock.unlock();
        task();
        lock.lock();
        queue.m_bBusy = false;
        m_changed.notify_all();
    }
}

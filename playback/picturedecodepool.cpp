#include "playback/picturedecodepool.h"

#include <algorithm>
#include <cstring>

namespace {

// Enough slots that every worker has the next picture waiting while the owner reads.
constexpr unsigned SLOTS_PER_WORKER = 3;

} // namespace

CPictureDecodePool::CPictureDecodePool(int channelCount, Handler onDecoded, unsigned workers)
    : m_nChannelCount(channelCount), m_onDecoded(std::move(onDecoded))
{
    if (workers == 0)
        workers = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < workers * SLOTS_PER_WORKER + 1; ++i)
        m_slots.push_back(std::make_unique<CSlot>());
    for (unsigned i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { WorkerLoop(); });
}

CPictureDecodePool::~CPictureDecodePool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_queued.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CPictureDecodePool::Submit(uint64_t tag, const uint8_t* picture, size_t length)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nTail - m_nHead == m_slots.size())
        DeliverHead(lock, true);
    CSlot& slot = *m_slots[m_nTail % m_slots.size()];
    lock.unlock();
    // The slot is free: no worker looks at it until it is queued.
    slot.m_data.resize(std::max(slot.m_data.size(), length));
    std::memcpy(slot.m_data.data(), picture, length);
    slot.m_nLength = length;
    slot.m_nTag = tag;
    lock.lock();
    slot.m_state = EState::Queued;
    ++m_nTail;
    lock.unlock();
    m_queued.notify_one();
}

void CPictureDecodePool::Deliver()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nHead < m_nTail && DeliverHead(lock, false)) {
    }
}

void CPictureDecodePool::Drain()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nHead < m_nTail)
        DeliverHead(lock, true);
}

bool CPictureDecodePool::DeliverHead(std::unique_lock<std::mutex>& lock, bool wait)
{
    CSlot& slot = *m_slots[m_nHead % m_slots.size()];
    if (wait)
        m_done.wait(lock, [&] { return slot.m_state == EState::Done; });
    if (slot.m_state != EState::Done)
        return false;
    // Done slots are the owner's: the handler runs without the lock.
    lock.unlock();
    m_onDecoded(slot.m_nTag, slot.m_picture, slot.m_byChannel);
    lock.lock();
    slot.m_state = EState::Free;
    ++m_nHead;
    return true;
}

void CPictureDecodePool::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_queued.wait(lock, [&] { return m_bQuit || m_nNextDecode < m_nTail; });
        if (m_bQuit)
            return;
        CSlot& slot = *m_slots[m_nNextDecode++ % m_slots.size()];
        slot.m_state = EState::Decoding;
        lock.unlock();
        slot.m_byChannel = slot.m_picture.DecodeJpegFrame(slot.m_data.data(), slot.m_nLength, m_nChannelCount);
        lock.lock();
        slot.m_state = EState::Done;
        m_done.notify_one();
    }
}

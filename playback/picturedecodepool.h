#pragma once

#include "playback/dibpicture.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Decodes recorded pictures on every core while one thread reads the recording, and
// hands the decoded pictures back to that thread in the order they were submitted, so
// that what comes after decoding (counting, stamping, writing a frame) runs in
// recording order on one thread, as when reading and decoding take turns.
//
// A small ring of slots bounds the memory: each slot holds one picture's bytes and
// the CDibPicture it decodes into. Submit blocks (delivering what is done) while the
// ring is full.
//
// Threads: Submit, Deliver and Drain belong to the one thread that reads (the owner);
// the workers touch a slot only between taking it (Queued -> Decoding) and finishing
// it (Decoding -> Done), both under m_mutex.
class CPictureDecodePool {
public:
    // Called on the owner's thread, in submission order. `channel` is the channel code
    // or CDibPicture::NO_CHANNEL; `picture` is valid during the call only.
    using Handler = std::function<void(uint64_t tag, const CDibPicture& picture, uint8_t channel)>;

    // `workers` 0 means one per core.
    CPictureDecodePool(int channelCount, Handler onDecoded, unsigned workers = 0);
    ~CPictureDecodePool();
    CPictureDecodePool(const CPictureDecodePool&) = delete;
    CPictureDecodePool& operator=(const CPictureDecodePool&) = delete;

    // Queues a copy of `length` bytes of picture for decoding; `tag` comes back with it.
    void Submit(uint64_t tag, const uint8_t* picture, size_t length);
    // Hands over, in order, every picture whose turn has come and that is decoded.
    void Deliver();
    // Waits for every submitted picture and hands them all over.
    void Drain();

    unsigned Workers() const { return unsigned(m_workers.size()); }

private:
    enum class EState : uint8_t { Free, Queued, Decoding, Done };
    struct CSlot {
        EState m_state = EState::Free;
        uint64_t m_nTag = 0;
        std::vector<uint8_t> m_data;
        size_t m_nLength = 0;
        CDibPicture m_picture;
        uint8_t m_byChannel = CDibPicture::NO_CHANNEL;
    };

    void WorkerLoop();
    // Delivers the slot at the head of the ring when it is done; false otherwise.
    bool DeliverHead(std::unique_lock<std::mutex>& lock, bool wait);

    const int m_nChannelCount;
    const Handler m_onDecoded;
    std::vector<std::unique_ptr<CSlot>> m_slots;
    uint64_t m_nHead = 0;     // next slot to deliver (owner)
    uint64_t m_nTail = 0;     // next slot to fill (owner); guarded by m_mutex for the workers
    uint64_t m_nNextDecode = 0; // next queued slot a worker takes; m_mutex
    bool m_bQuit = false;     // m_mutex
    std::mutex m_mutex;
    std::condition_variable m_queued; // a slot was queued, or quit
    std::condition_variable m_done;   // a slot was decoded
    std::vector<std::thread> m_workers;
};

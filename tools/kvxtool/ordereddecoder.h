#pragma once

#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Decodes the pictures of a recording on several threads at once and hands each
// decoded picture on in the order the pictures came: decoding is most of an
// export's work, and the pictures are independent of one another.
//
// Threads: Push and Finish on the reading thread; the handler on the workers, one
// call at a time, in the order of the pushes (each call sees what the calls before
// it did). At most a few pictures wait, so memory does not grow with the recording.
class COrderedDecoder {
public:
    struct CDecoded {
        const CDibPicture& picture; // after DecodeJpegFrame
        uint8_t channel;            // its answer
        CFrameTime time;            // of the record
    };
    using Handler = std::function<void(const CDecoded&)>;

    COrderedDecoder(int channelCount, int threads, Handler handler);
    ~COrderedDecoder(); // finishes what was pushed
    COrderedDecoder(const COrderedDecoder&) = delete;
    COrderedDecoder& operator=(const COrderedDecoder&) = delete;

    // Queues a copy of one picture; waits while the queue is full.
    void Push(const uint8_t* jpeg, size_t length, const CFrameTime& time);
    // Returns once every picture pushed has been handled.
    void Finish();

private:
    struct CJob {
        uint64_t m_nSequence = 0;
        std::vector<uint8_t> m_jpeg;
        CFrameTime m_time;
    };
    void Work();

    const int m_nChannelCount;
    const Handler m_handler;
    const size_t m_nQueueLimit;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CJob> m_queue;                   // waiting to be decoded
    std::vector<std::vector<uint8_t>> m_spare;  // buffers of handled jobs, for the next pushes
    uint64_t m_nPushed = 0;
    uint64_t m_nNextToHand = 0;                 // the sequence whose turn it is
    bool m_bStopping = false;
    std::vector<std::thread> m_workers;
};

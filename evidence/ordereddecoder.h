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
        const CDecodedPicture& picture; // whole when `whole`, else only its top rows
        bool whole;
        CFrameTime time;                // of the record
        const CEighthPicture* eighth;   // ERest::EighthLuma: the grey eighth-size picture; else null
    };
    using Handler = std::function<void(const CDecoded&)>;

    // How the pictures not decoded whole are read: as far as their channel code only,
    // or checked whole as well (ReadJpegChannel), so that one counts as decoded
    // exactly when the player could show it; or checked and kept as a grey picture at
    // an eighth of its size (ReadEighthLuma), for the search for change.
    enum class ERest { CodeOnly, Checked, EighthLuma };

    // Only the pictures of the channels `whole` names (0-based) are decoded whole,
    // so an export of one camera does not pay for the other cameras' pixels.
    COrderedDecoder(int channelCount, int threads, std::vector<bool> whole, ERest rest, Handler handler);
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
    bool IsWhole(uint8_t channel) const;
    CDecodedPicture Decode(CDibPicture& decoder, const std::vector<uint8_t>& jpeg, CEighthPicture& eighth) const;

    const int m_nChannelCount;
    const std::vector<bool> m_whole;
    const ERest m_rest;
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

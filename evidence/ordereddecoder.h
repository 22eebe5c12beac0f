#pragma once

#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Decodes the pictures of a recording on several threads at once and hands each
// decoded picture on in the order the pictures came: decoding is most of an
// export's work, and the pictures are independent of one another.
//
// The pictures go to the workers in batches: the hand-over between threads then costs
// little beside a decode. Batches are of one picture except for the eighth-size
// reads, which cost least each. A worker that finishes a batch before its turn leaves
// it for whichever worker hands on the batch before it, and decodes on: no core waits
// while another is busy (or not given the processor) with an earlier batch.
//
// Threads: Push and Finish on the reading thread; the handler on the workers, one
// call at a time, in the order of the pushes (each call sees what the calls before
// it did). At most a few batches are under way, so memory does not grow with the
// recording.
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
    struct CPicture {
        std::vector<uint8_t> m_jpeg;
        CFrameTime m_time;
    };
    // The decode of one picture, kept until its batch is handed on.
    struct CResult {
        CDibPicture m_decoder;
        CEighthPicture m_eighth;
        CDecodedPicture m_picture;
        bool m_bWhole = false;
    };
    struct CBatch {
        uint64_t m_nSequence = 0;
        std::vector<CPicture> m_pictures; // the first m_nCount are pushed; the rest keep their buffers
        size_t m_nCount = 0;
        std::vector<std::unique_ptr<CResult>> m_results; // as many as pictures once decoded
    };
    void Work();
    void Submit();
    void DecodeBatch(CBatch& batch) const;
    void HandOnInTurn(std::unique_lock<std::mutex>& lock);
    void HandOn(const CBatch& batch) const;
    bool IsWhole(uint8_t channel) const;
    void Decode(const CPicture& picture, CResult& result) const;

    const int m_nChannelCount;
    const std::vector<bool> m_whole;
    const ERest m_rest;
    const Handler m_handler;
    const size_t m_nBatchSize;
    const size_t m_nQueueLimit; // batches submitted and not yet handed on

    // Written by the reading thread only.
    CBatch m_filling;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CBatch> m_queue;   // m_mutex: waiting to be decoded
    std::map<uint64_t, CBatch> m_finished; // m_mutex: decoded before their turn, by sequence
    std::vector<CBatch> m_spare;  // m_mutex: handled batches, whose buffers the next pushes reuse
    uint64_t m_nSubmitted = 0;    // m_mutex
    uint64_t m_nNextToHand = 0;   // m_mutex: the batch whose turn it is (taken out of
                                  // m_finished while it is handed on)
    bool m_bStopping = false;     // m_mutex
    std::vector<std::thread> m_workers;
};

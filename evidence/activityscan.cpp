#include "evidence/activityscan.h"

#include "evidence/activitydetector.h"
#include "evidence/forwardreader.h"
#include "evidence/ordereddecoder.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr uint64_t PROGRESS_EVERY = 256; // pictures

// The pictures read and not yet decoded, whose offset and time the decoder does not carry.
class CPendingPictures {
public:
    void Push(uint64_t offset, int64_t seconds)
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back({offset, seconds});
    }
    std::pair<uint64_t, int64_t> Pop()
    {
        std::lock_guard lock(m_mutex);
        const std::pair<uint64_t, int64_t> front = m_pending.front();
        m_pending.pop_front();
        return front;
    }

private:
    std::mutex m_mutex;
    std::deque<std::pair<uint64_t, int64_t>> m_pending; // m_mutex
};

} // namespace

CActivityScanResult ScanActivity(const std::string& path, const CRecordingFacts& facts,
                                 const CActivityScanOptions& options,
                                 const std::function<void(const CActivityPicture&)>& onPicture)
{
    CActivityScanResult result;
    CActivityDetector detector(facts.m_nChannelCount, options.m_nGapSeconds);
    CPendingPictures pending;
    // The handler runs one call at a time in file order: the detector and the count are its alone.
    const auto onDecoded = [&](const COrderedDecoder::CDecoded& decoded) {
        const auto [offset, seconds] = pending.Pop();
        if (decoded.eighth)
            onPicture(detector.Detect(decoded.picture.m_nChannel, offset, seconds, *decoded.eighth));
        else
            ++result.m_nUndecodable;
    };
    const int workers = int(options.m_nWorkers ? options.m_nWorkers : std::max(1u, std::thread::hardware_concurrency()));
    COrderedDecoder decoder(facts.m_nChannelCount, workers, {}, COrderedDecoder::ERest::EighthLuma, onDecoded);

    CForwardReader reader;
    uint64_t read = 0;
    bool cancelled = false;
    const bool ok = reader.Run(path, facts, [&](const CForwardReader::CFrame& frame) {
        if (options.m_pCancel && options.m_pCancel->load(std::memory_order_relaxed)) {
            cancelled = true;
            reader.Stop();
            return;
        }
        const CDateTime time = frame.record.m_header.Time();
        if (!frame.picture || !time.IsValid())
            return;
        pending.Push(frame.record.m_nHeaderOffset, DateTimeToSeconds(time));
        decoder.Push(frame.picture, frame.pictureLength, {});
        if (options.m_onProgress && ++read % PROGRESS_EVERY == 0)
            options.m_onProgress(frame.record.m_nHeaderOffset, facts.m_nEndOffset);
    });
    decoder.Finish();
    if (!ok) {
        result.m_strError = "the recording could not be read to its end";
        return result;
    }
    result.m_result = cancelled ? EActivityScan::Cancelled : EActivityScan::Complete;
    if (!cancelled && options.m_onProgress)
        options.m_onProgress(facts.m_nEndOffset, facts.m_nEndOffset);
    return result;
}

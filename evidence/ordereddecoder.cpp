#include "evidence/ordereddecoder.h"

#include <algorithm>

namespace {

// Enough eighth-size reads that a hand-over costs little beside them, few enough that
// a batch's decoders and pictures stay in the processor's cache (32 were slower) and
// that a cancelled search stops within milliseconds.
constexpr size_t EIGHTH_BATCH = 8;
constexpr size_t BATCHES_A_WORKER = 4;

} // namespace

COrderedDecoder::COrderedDecoder(int channelCount, int threads, std::vector<bool> whole, ERest rest,
                                 Handler handler)
    : m_nChannelCount(channelCount), m_whole(std::move(whole)), m_rest(rest), m_handler(std::move(handler)),
      m_nBatchSize(rest == ERest::EighthLuma ? EIGHTH_BATCH : 1),
      m_nQueueLimit(size_t(std::max(1, threads)) * BATCHES_A_WORKER)
{
    for (int i = 0; i < std::max(1, threads); ++i)
        m_workers.emplace_back(&COrderedDecoder::Work, this);
}

COrderedDecoder::~COrderedDecoder()
{
    Finish();
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void COrderedDecoder::Push(const uint8_t* jpeg, size_t length, const CFrameTime& time)
{
    if (m_filling.m_pictures.size() <= m_filling.m_nCount)
        m_filling.m_pictures.resize(m_filling.m_nCount + 1);
    CPicture& picture = m_filling.m_pictures[m_filling.m_nCount++];
    picture.m_jpeg.assign(jpeg, jpeg + length);
    picture.m_time = time;
    if (m_filling.m_nCount == m_nBatchSize)
        Submit();
}

void COrderedDecoder::Finish()
{
    if (m_filling.m_nCount > 0)
        Submit();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_nNextToHand == m_nSubmitted; });
}

// Queues the batch being filled and starts the next in the buffers of a handled one.
void COrderedDecoder::Submit()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_nSubmitted - m_nNextToHand < m_nQueueLimit; });
    m_filling.m_nSequence = m_nSubmitted++;
    m_queue.push_back(std::move(m_filling));
    m_filling = {};
    if (!m_spare.empty()) {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
        m_filling.m_nCount = 0;
    }
    m_changed.notify_all();
}

// The channel from the top rows; then the whole picture when its channel is wanted so.
void COrderedDecoder::Decode(const CPicture& picture, CResult& result) const
{
    CDibPicture& decoder = result.m_decoder;
    const std::vector<uint8_t>& jpeg = picture.m_jpeg;
    CDecodedPicture rows;
    switch (m_rest) {
    case ERest::CodeOnly: rows = decoder.DecodeTopRows(jpeg.data(), jpeg.size(), m_nChannelCount); break;
    case ERest::Checked: rows = decoder.ReadJpegChannel(jpeg.data(), jpeg.size(), m_nChannelCount); break;
    case ERest::EighthLuma:
        rows = decoder.ReadEighthLuma(jpeg.data(), jpeg.size(), m_nChannelCount, result.m_eighth);
        break;
    }
    result.m_bWhole = IsWhole(rows.m_nChannel);
    result.m_picture = result.m_bWhole ? decoder.DecodeJpegFrame(jpeg.data(), jpeg.size(), m_nChannelCount) : rows;
}

void COrderedDecoder::DecodeBatch(CBatch& batch) const
{
    while (batch.m_results.size() < batch.m_nCount)
        batch.m_results.push_back(std::make_unique<CResult>());
    for (size_t i = 0; i < batch.m_nCount; ++i)
        Decode(batch.m_pictures[i], *batch.m_results[i]);
}

bool COrderedDecoder::IsWhole(uint8_t channel) const
{
    return channel != CDibPicture::NO_CHANNEL && channel < m_whole.size() && m_whole[channel];
}

void COrderedDecoder::HandOn(const CBatch& batch) const
{
    for (size_t i = 0; i < batch.m_nCount; ++i) {
        const CResult& result = *batch.m_results[i];
        const bool eighth = m_rest == ERest::EighthLuma && result.m_picture.IsDecoded();
        m_handler({result.m_picture, result.m_bWhole, batch.m_pictures[i].m_time, eighth ? &result.m_eighth : nullptr});
    }
}

// Hands on the batch whose turn it is, and those after it, while they are decoded.
// Only one worker at a time finds the batch due among the finished ones, as it takes
// it out and moves the turn on only once it is handed on.
void COrderedDecoder::HandOnInTurn(std::unique_lock<std::mutex>& lock)
{
    for (auto next = m_finished.find(m_nNextToHand); next != m_finished.end();
         next = m_finished.find(m_nNextToHand)) {
        CBatch batch = std::move(next->second);
        m_finished.erase(next);
        lock.unlock();
        HandOn(batch);
        lock.lock();
        m_spare.push_back(std::move(batch));
        ++m_nNextToHand;
        m_changed.notify_all(); // room for a batch, or the end of a Finish
    }
}

// Decodes while others decode; hands on what is due.
void COrderedDecoder::Work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_bStopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        CBatch batch = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        DecodeBatch(batch);
        lock.lock();
        m_finished.emplace(batch.m_nSequence, std::move(batch));
        HandOnInTurn(lock);
    }
}

#include "evidence/ordereddecoder.h"

#include <algorithm>

COrderedDecoder::COrderedDecoder(int channelCount, int threads, std::vector<bool> whole, ERest rest,
                                 Handler handler)
    : m_nChannelCount(channelCount), m_whole(std::move(whole)), m_rest(rest), m_handler(std::move(handler)),
      m_nQueueLimit(size_t(std::max(1, threads)) * 4)
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
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queue.size() < m_nQueueLimit; });
    CJob job;
    if (!m_spare.empty()) {
        job.m_jpeg = std::move(m_spare.back());
        m_spare.pop_back();
    }
    job.m_jpeg.assign(jpeg, jpeg + length);
    job.m_nSequence = m_nPushed++;
    job.m_time = time;
    m_queue.push_back(std::move(job));
    m_changed.notify_all();
}

void COrderedDecoder::Finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_nNextToHand == m_nPushed; });
}

// The channel from the top rows; then the whole picture when its channel is wanted so.
CDecodedPicture COrderedDecoder::Decode(CDibPicture& decoder, const std::vector<uint8_t>& jpeg,
                                        CEighthPicture& eighth) const
{
    CDecodedPicture rows;
    switch (m_rest) {
    case ERest::CodeOnly: rows = decoder.DecodeTopRows(jpeg.data(), jpeg.size(), m_nChannelCount); break;
    case ERest::Checked: rows = decoder.ReadJpegChannel(jpeg.data(), jpeg.size(), m_nChannelCount); break;
    case ERest::EighthLuma: rows = decoder.ReadEighthLuma(jpeg.data(), jpeg.size(), m_nChannelCount, eighth); break;
    }
    if (!IsWhole(rows.m_nChannel))
        return rows;
    return decoder.DecodeJpegFrame(jpeg.data(), jpeg.size(), m_nChannelCount);
}

bool COrderedDecoder::IsWhole(uint8_t channel) const
{
    return channel != CDibPicture::NO_CHANNEL && channel < m_whole.size() && m_whole[channel];
}

// Decodes while others decode; waits for its turn only to hand the picture on.
void COrderedDecoder::Work()
{
    CDibPicture decoder;
    CEighthPicture eighth;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_bStopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        CJob job = std::move(m_queue.front());
        m_queue.pop_front();
        m_changed.notify_all(); // room for the next push
        lock.unlock();
        const CDecodedPicture picture = Decode(decoder, job.m_jpeg, eighth);
        const bool whole = IsWhole(picture.m_nChannel);
        lock.lock();
        m_changed.wait(lock, [&] { return m_nNextToHand == job.m_nSequence; });
        lock.unlock();
        m_handler({picture, whole, job.m_time, m_rest == ERest::EighthLuma && picture.IsDecoded() ? &eighth : nullptr});
        lock.lock();
        m_spare.push_back(std::move(job.m_jpeg));
        ++m_nNextToHand;
        m_changed.notify_all();
    }
}

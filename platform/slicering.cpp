#include "platform/slicering.h"

#include <algorithm>
#include <cstring>

CSliceRing::CSliceRing()
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool CSliceRing::Queue(const uint8_t* slice)
{
    bool wasEmpty;
    {
        std::lock_guard lock(m_mutex);
        if (m_nWaiting == SLICE_COUNT)
            return false;
        std::memcpy(m_buffers[size_t(m_nRingIndex)].data(), slice, SLICE_SIZE);
        m_nRingIndex = (m_nRingIndex + 1) % SLICE_COUNT;
        wasEmpty = m_nWaiting++ == 0;
    }
    // A device that ran dry waits for this before it reads again. The signal reaches
    // the device's thread queued.
    if (wasEmpty)
        emit readyRead();
    return true;
}

void CSliceRing::Reset()
{
    std::lock_guard lock(m_mutex);
    m_nRingIndex = 0;
    m_nWaiting = 0;
    m_nReadOffset = 0;
}

int CSliceRing::RingIndex() const
{
    std::lock_guard lock(m_mutex);
    return m_nRingIndex;
}

int CSliceRing::Waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_nWaiting;
}

qint64 CSliceRing::bytesAvailable() const
{
    std::lock_guard lock(m_mutex);
    return qint64(m_nWaiting) * SLICE_SIZE - m_nReadOffset + QIODevice::bytesAvailable();
}

// Nothing waiting reads as nothing: the device then runs dry, plays silence and
// waits for readyRead.
qint64 CSliceRing::readData(char* data, qint64 maxSize)
{
    std::lock_guard lock(m_mutex);
    qint64 done = 0;
    while (done < maxSize && m_nWaiting > 0) {
        const int oldest = (m_nRingIndex - m_nWaiting + SLICE_COUNT) % SLICE_COUNT;
        const qint64 n = std::min<qint64>(maxSize - done, SLICE_SIZE - m_nReadOffset);
        std::memcpy(data + done, m_buffers[size_t(oldest)].data() + m_nReadOffset, size_t(n));
        done += n;
        m_nReadOffset += int(n);
        if (m_nReadOffset == SLICE_SIZE) {
            m_nReadOffset = 0;
            --m_nWaiting;
        }
    }
    return done;
}

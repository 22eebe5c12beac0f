#pragma once

#include <QIODevice>

#include <array>
#include <cstdint>
#include <mutex>

// Six buffers of 132 bytes between the playback thread, which queues one slice of
// sound per record, and the audio device, which reads them in order. A slice is
// never written over sound the device has not read yet: when all six are waiting,
// a new slice is dropped. Queue and the device's reads may come from different
// threads.
class CSliceRing : public QIODevice {
    Q_OBJECT

public:
    static constexpr int SLICE_COUNT = 6;
    static constexpr int SLICE_SIZE = 132;

    CSliceRing();

    // Copies the slice into the buffer at the ring index; false when it was dropped.
    bool Queue(const uint8_t* slice);
    // Back to the first buffer with nothing waiting.
    void Reset();
    int RingIndex() const;
    int Waiting() const;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    mutable std::mutex m_mutex;
    std::array<std::array<uint8_t, SLICE_SIZE>, SLICE_COUNT> m_buffers{};
    int m_nRingIndex = 0;   // next buffer to fill
    int m_nWaiting = 0;     // filled buffers the device has not read completely
    int m_nReadOffset = 0;  // bytes of the oldest waiting buffer already read
};

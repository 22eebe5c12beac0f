#pragma once

#include "platform/slicering.h"

#include <memory>

class QAudioSink;

// One audio output stream: unsigned 8-bit mono sound at 8,000 samples per second,
// fed 132-byte slices through a ring of six. Opened, reset and closed on the window
// thread; Queue may be called from the playback thread.
class CWaveOut {
public:
    CWaveOut();
    ~CWaveOut(); // stops the device before the ring it reads goes away

    // Opens the system's default output; false when there is none that plays this format.
    bool Open();
    // Whether the system has any sound output at all (none without a sound server).
    static bool HasDevice();
    bool IsOpen() const { return m_pSink != nullptr; }
    // Stops what is waiting and starts over at the first buffer.
    void Reset();
    // How loud it plays, 0..1 as a listener hears it; on the window thread.
    void SetVolume(double gain);
    // Queues one slice; a slice that finds all six buffers waiting is lost.
    void Queue(const uint8_t* slice);

    const CSliceRing& Ring() const { return m_ring; }

private:
    CSliceRing m_ring;
    std::unique_ptr<QAudioSink> m_pSink;
};

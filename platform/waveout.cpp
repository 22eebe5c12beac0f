#include "platform/waveout.h"

#include <QAudio>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace {
constexpr int SAMPLE_RATE = 8000;
// About 130 ms of sound in the device: enough to bridge a late frame, short enough
// that the sound stays with the pictures.
constexpr int DEVICE_BUFFER_BYTES = 8 * CSliceRing::SLICE_SIZE;
} // namespace

CWaveOut::CWaveOut() = default;

CWaveOut::~CWaveOut()
{
    if (m_pSink)
        m_pSink->stop();
    m_pSink.reset();
}

bool CWaveOut::Open()
{
    QAudioFormat format;
    format.setSampleRate(SAMPLE_RATE);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::UInt8);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(format))
        return false;
    auto sink = std::make_unique<QAudioSink>(device, format);
    sink->setBufferSize(DEVICE_BUFFER_BYTES);
    sink->start(&m_ring);
    if (sink->error() != QAudio::NoError)
        return false;
    m_pSink = std::move(sink);
    return true;
}

// The device scales its samples linearly; a level the user steps through is heard
// evenly only on a logarithmic scale.
void CWaveOut::SetVolume(double gain)
{
    if (m_pSink)
        m_pSink->setVolume(QAudio::convertVolume(gain, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale));
}

bool CWaveOut::HasDevice()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

void CWaveOut::Reset()
{
    m_ring.Reset();
}

void CWaveOut::Queue(const uint8_t* slice)
{
    m_ring.Queue(slice);
}

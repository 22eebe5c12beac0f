#include "session/soundoutputs.h"

#include "platform/waveout.h"

CSoundOutputs::CSoundOutputs() = default;
CSoundOutputs::~CSoundOutputs() = default;

bool CSoundOutputs::IsOpen(int channel) const
{
    return channel >= 0 && channel < int(m_pOutputs.size()) && m_pOutputs[size_t(channel)]
        && m_pOutputs[size_t(channel)]->IsOpen();
}

bool CSoundOutputs::Open(int channel)
{
    if (channel < 0 || channel >= int(m_pOutputs.size()))
        return true;
    auto output = std::make_unique<CWaveOut>();
    if (!output->Open())
        return false;
    output->SetVolume(m_dGain);
    m_pOutputs[size_t(channel)] = std::move(output);
    return true;
}

bool CSoundOutputs::HasDevice()
{
    return CWaveOut::HasDevice();
}

void CSoundOutputs::OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime&)
{
    if (IsOpen(channel))
        m_pOutputs[size_t(channel)]->Queue(slice);
}

void CSoundOutputs::SetVolume(double gain)
{
    m_dGain = gain;
    for (const std::unique_ptr<CWaveOut>& output : m_pOutputs)
        if (output && output->IsOpen())
            output->SetVolume(gain);
}

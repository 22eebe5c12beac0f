#include "session/camerarateprobe.h"

#include "evidence/forwardreader.h"
#include "export/mp4copy.h"
#include "export/ratecounter.h"
#include "platform/threadpriority.h"
#include "playback/dibpicture.h"
#include "playback/frametime.h"

#include <array>
#include <optional>

CCameraRateProbe::CCameraRateProbe(std::string path, const CRecordingFacts& facts, DoneHandler onDone)
    : m_strPath(std::move(path)), m_facts(facts), m_worker(&CCameraRateProbe::Run, this, std::move(onDone))
{
}

CCameraRateProbe::~CCameraRateProbe()
{
    m_bCancel = true;
    m_worker.join();
}

void CCameraRateProbe::Run(DoneHandler onDone)
{
    LowerThisThreadPriority();
    const Rates rates = ReadRates(m_strPath, m_facts, m_bCancel);
    if (onDone && !m_bCancel)
        onDone(rates);
}

CCameraRateProbe::Rates CCameraRateProbe::ReadRates(const std::string& path, const CRecordingFacts& facts,
                                                    const std::atomic<bool>& cancel)
{
    std::array<CRateCounter, 16> counters;
    CDibPicture decoder;
    CForwardReader reader;
    std::optional<int64_t> firstSecond;
    uint64_t firstOffset = 0;
    reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        const CFrameTime time = CFrameTime::Of(f.record.m_header);
        const int64_t second = CMp4Copy::SerialSecond(time);
        if (!firstSecond) {
            firstSecond = second;
            firstOffset = f.record.m_nHeaderOffset;
        }
        if (cancel || second - *firstSecond >= MAX_SECONDS || f.record.m_nHeaderOffset - firstOffset >= MAX_BYTES) {
            reader.Stop();
            return;
        }
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        const uint8_t channel = decoder.ReadJpegChannel(f.picture, f.pictureLength, facts.m_nChannelCount).m_nChannel;
        if (channel < counters.size())
            counters[channel].Count(time);
    });
    Rates rates;
    for (int c = 0; c < facts.m_nChannelCount && c < int(counters.size()); ++c)
        rates.push_back(counters[size_t(c)].Seconds() >= MIN_SECONDS ? counters[size_t(c)].Rate() : 0);
    return rates;
}

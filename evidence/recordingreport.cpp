#include "evidence/recordingreport.h"

#include "platform/sha256.h"
#include "evidence/ordereddecoder.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

// Per channel: the picture before the next one, for the gaps.
struct CChannelState {
    CReportChannel m_report;
    int64_t m_nLastSeconds = 0;
};

class CReportBuilder : public IRecordWalkSink {
public:
    CReportBuilder(const CRecordingFacts& facts, const CReportOptions& options, CRecordingReport& report)
        : m_options(options), m_report(report),
          m_decoders(facts.m_nChannelCount,
                     int(options.m_nWorkers ? options.m_nWorkers : std::max(1u, std::thread::hardware_concurrency())),
                     std::vector<bool>(size_t(facts.m_nChannelCount), false), COrderedDecoder::ERest::Checked, [this](const COrderedDecoder::CDecoded& d) { OnDecoded(d.picture.m_nChannel); })
    {
    }

    void OnRecord(const CWalkedRecord& record) override
    {
        ++m_report.m_nRecords;
        m_report.m_nAudioBlocks += record.m_bAudioBlock;
        const CDateTime time = record.m_header.Time();
        NoteClockJump(record.m_nOffset, time);
        if (!record.m_pPicture)
            return;
        ++m_report.m_nPictures;
        {
            std::lock_guard<std::mutex> lock(m_pendingMutex);
            m_pending.push_back({record.m_nOffset, time});
        }
        m_decoders.Push(record.m_pPicture, record.m_nPictureLength, {});
    }

    void OnDamage(const CDamagedStretch& stretch) override { m_report.m_damaged.push_back(stretch); }

    void Finish()
    {
        m_decoders.Finish();
        for (auto& [channel, state] : m_channels)
            m_report.m_channels.push_back(std::move(state.m_report));
    }

private:
    struct CPending {
        uint64_t m_nOffset = 0;
        CDateTime m_time;
    };

    void NoteClockJump(uint64_t offset, const CDateTime& time)
    {
        const int64_t seconds = DateTimeToSeconds(time);
        if (m_bHaveRecord) {
            const int64_t step = seconds - m_nLastSeconds;
            if (step < 0 || step > m_options.m_nGapSeconds)
                m_report.m_clockJumps.push_back({offset, m_lastTime, time});
        }
        m_bHaveRecord = true;
        m_nLastSeconds = seconds;
        m_lastTime = time;
    }

    // Pictures come back in the order they were read, one at a time, on a decoding
    // thread: the channels and the undecodable count are theirs until Finish.
    void OnDecoded(uint8_t channel)
    {
        CPending picture;
        {
            std::lock_guard<std::mutex> lock(m_pendingMutex);
            picture = m_pending.front();
            m_pending.pop_front();
        }
        if (channel == CDibPicture::NO_CHANNEL) {
            ++m_report.m_nUndecodable;
            return;
        }
        const int64_t seconds = DateTimeToSeconds(picture.m_time);
        CChannelState& state = m_channels[channel];
        CReportChannel& r = state.m_report;
        if (r.m_nPictures == 0) {
            r.m_nChannel = channel + 1;
            r.m_first = picture.m_time;
        } else if (seconds - state.m_nLastSeconds > m_options.m_nGapSeconds) {
            r.m_gaps.push_back({r.m_last, picture.m_time, picture.m_nOffset});
        }
        ++r.m_nPictures;
        r.m_last = picture.m_time;
        state.m_nLastSeconds = seconds;
    }

    const CReportOptions& m_options;
    CRecordingReport& m_report;
    std::map<uint8_t, CChannelState> m_channels;
    std::mutex m_pendingMutex;
    std::deque<CPending> m_pending; // read, not yet handed back decoded; m_pendingMutex
    bool m_bHaveRecord = false;
    int64_t m_nLastSeconds = 0;
    CDateTime m_lastTime;
    COrderedDecoder m_decoders; // last: its workers stop before the rest goes
};

} // namespace

bool BuildRecordingReport(const std::string& path, const CRecordingFacts& facts, const CReportOptions& options,
                          CRecordingReport& report, std::string& error)
{
    report = {};
    report.m_strFile = path;
    report.m_facts = facts;
    CRecordWalker walker(kvx::LayoutForChannelCount(facts.m_nChannelCount).value_or(facts.m_layout));
    if (!walker.Open(path)) {
        error = walker.ErrorText();
        return false;
    }
    CSha256 hash;
    if (options.m_bHash)
        walker.SetByteObserver([&hash](const uint8_t* bytes, size_t size) { hash.Add(bytes, size); });
    walker.SetProgressObserver(options.m_onProgress);

    CReportBuilder builder(facts, options, report);
    const bool ok = walker.Walk(kvx::RECORD_AREA_OFFSET, builder);
    builder.Finish();
    if (!ok) {
        error = walker.ErrorText();
        return false;
    }
    report.m_nSize = walker.Length();
    if (options.m_bHash)
        report.m_sha256 = hash.HexDigest();
    return true;
}

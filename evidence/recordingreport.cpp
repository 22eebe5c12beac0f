#include "evidence/recordingreport.h"

#include "platform/sha256.h"
#include "evidence/ordereddecoder.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

// A record as the walk passed it; its camera is known once its picture is decoded.
struct CRecordMark {
    uint64_t m_nOffset = 0;
    CDateTime m_time;
    uint64_t m_nIndex = 0; // among all records walked
};

// Per channel: the picture before the next one, for the gaps.
struct CChannelState {
    CReportChannel m_report;
    int64_t m_nLastSeconds = 0;
    uint64_t m_nLastOffset = 0;
};

// Damage in file order, for the runs: a stretch the walk found or an undecodable
// picture, with the count of records walked before it.
struct CDamageItem {
    uint64_t m_nOffset = 0, m_nEnd = 0;
    uint64_t m_nRecordsBefore = 0;
    bool m_bPicture = false;
    std::optional<CRecordMark> m_before;

    uint64_t RecordsThrough() const { return m_nRecordsBefore + (m_bPicture ? 1 : 0); }
};

std::vector<CDamagedRun> JoinDamage(std::vector<CDamageItem> items,
                                    const std::function<CReportRecord(const CRecordMark&)>& resolve)
{
    std::sort(items.begin(), items.end(), [](const CDamageItem& a, const CDamageItem& b) { return a.m_nOffset < b.m_nOffset; });
    std::vector<CDamagedRun> runs;
    uint64_t recordsThrough = 0;
    for (const CDamageItem& item : items) {
        if (runs.empty() || item.m_nRecordsBefore != recordsThrough) {
            runs.push_back({item.m_nOffset, item.m_nEnd, 0, 0, std::nullopt});
            if (item.m_before)
                runs.back().m_before = resolve(*item.m_before);
        }
        CDamagedRun& run = runs.back();
        run.m_nEnd = std::max(run.m_nEnd, item.m_nEnd);
        ++(item.m_bPicture ? run.m_nUndecodable : run.m_nStretches);
        recordsThrough = item.RecordsThrough();
    }
    return runs;
}

class CReportBuilder : public IRecordWalkSink {
public:
    CReportBuilder(const CRecordingFacts& facts, const CReportOptions& options, CRecordingReport& report,
                   CRecordWalker& walker)
        : m_options(options), m_report(report), m_walker(walker), m_nChannelCount(facts.m_nChannelCount),
          m_decoders(facts.m_nChannelCount,
                     int(options.m_nWorkers ? options.m_nWorkers : std::max(1u, std::thread::hardware_concurrency())),
                     std::vector<bool>(size_t(facts.m_nChannelCount), false), COrderedDecoder::ERest::Checked, [this](const COrderedDecoder::CDecoded& d) { OnDecoded(d.picture.m_nChannel); })
    {
    }

    void OnRecord(const CWalkedRecord& record) override
    {
        StopIfCancelled();
        const CRecordMark mark{record.m_nOffset, record.m_header.Time(), m_report.m_nRecords++};
        m_report.m_nAudioBlocks += record.m_bAudioBlock;
        NoteClockJump(mark);
        const std::optional<CRecordMark> before = m_last;
        m_last = mark;
        {
            std::lock_guard<std::mutex> lock(m_pendingMutex);
            m_recordChannels.push_back(CDibPicture::NO_CHANNEL);
            if (record.m_pPicture)
                m_pending.push_back({mark, before, record.m_nEnd,
                                     std::vector<uint8_t>(record.m_pPicture, record.m_pPicture + record.m_nPictureLength)});
        }
        if (!record.m_pPicture)
            return;
        ++m_report.m_nPictures;
        // Outside the lock: a full queue waits here for the workers, which take it.
        m_decoders.Push(record.m_pPicture, record.m_nPictureLength, {});
    }

    void OnDamage(const CDamagedStretch& stretch) override
    {
        StopIfCancelled();
        m_damage.push_back({stretch, m_last, m_report.m_nRecords});
    }

    void Finish()
    {
        m_decoders.Finish();
        for (auto& [channel, state] : m_channels)
            m_report.m_channels.push_back(std::move(state.m_report));
        std::vector<CDamageItem> items;
        for (const auto& [jump, index] : m_jumps) {
            m_report.m_clockJumps.push_back(jump);
            m_report.m_clockJumps.back().m_before.m_nChannel = ChannelOf(index);
        }
        for (const CPendingDamage& d : m_damage) {
            m_report.m_damaged.push_back({d.m_stretch, Resolve(d.m_before)});
            items.push_back({d.m_stretch.m_nOffset, d.m_stretch.m_nOffset + d.m_stretch.m_nBytes, d.m_nRecordsBefore,
                             false, d.m_before});
        }
        for (const CBadPicture& p : m_badPictures) {
            m_report.m_undecodable.push_back({{p.m_record.m_nOffset, p.m_record.m_time, p.m_nChannel}});
            items.push_back({p.m_record.m_nOffset, p.m_nEnd, p.m_record.m_nIndex, true, p.m_before});
        }
        m_report.m_damagedRuns = JoinDamage(std::move(items), [this](const CRecordMark& m) { return *Resolve(m); });
    }

    bool IsCancelled() const { return m_options.m_pCancel && m_options.m_pCancel->load(std::memory_order_relaxed); }

private:
    struct CPending {
        CRecordMark m_record;
        std::optional<CRecordMark> m_before;
        uint64_t m_nEnd = 0;
        std::vector<uint8_t> m_jpeg; // kept to read the camera of a picture that does not decode
    };
    struct CPendingDamage {
        CDamagedStretch m_stretch;
        std::optional<CRecordMark> m_before;
        uint64_t m_nRecordsBefore = 0;
    };
    struct CBadPicture {
        CRecordMark m_record;
        std::optional<CRecordMark> m_before;
        uint64_t m_nEnd = 0;
        int m_nChannel = 0;
    };

    // What the walk has passed is still counted; the caller throws the report away.
    void StopIfCancelled()
    {
        if (IsCancelled())
            m_walker.Stop();
    }

    void NoteClockJump(const CRecordMark& record)
    {
        const int64_t seconds = DateTimeToSeconds(record.m_time);
        if (m_last) {
            const int64_t step = seconds - m_nLastSeconds;
            if (step < 0 || step > m_options.m_nGapSeconds)
                m_jumps.push_back({{record.m_nOffset, m_last->m_time, record.m_time, {m_last->m_nOffset, m_last->m_time, 0}},
                                   m_last->m_nIndex});
        }
        m_nLastSeconds = seconds;
    }

    // After Finish: the camera of the record walked as `index`, from 1; 0 for none.
    int ChannelOf(uint64_t index) const
    {
        const uint8_t channel = m_recordChannels[index];
        return channel == CDibPicture::NO_CHANNEL ? 0 : channel + 1;
    }

    std::optional<CReportRecord> Resolve(const std::optional<CRecordMark>& mark) const
    {
        if (!mark)
            return std::nullopt;
        return CReportRecord{mark->m_nOffset, mark->m_time, ChannelOf(mark->m_nIndex)};
    }

    // Pictures come back in the order they were read, one at a time, on a decoding
    // thread: the channels, the undecodable pictures and the count are theirs until
    // Finish.
    void OnDecoded(uint8_t channel)
    {
        CPending picture;
        {
            std::lock_guard<std::mutex> lock(m_pendingMutex);
            picture = std::move(m_pending.front());
            m_pending.pop_front();
            m_recordChannels[picture.m_record.m_nIndex] = channel;
        }
        if (channel == CDibPicture::NO_CHANNEL) {
            NoteUndecodable(picture);
            return;
        }
        const int64_t seconds = DateTimeToSeconds(picture.m_record.m_time);
        CChannelState& state = m_channels[channel];
        CReportChannel& r = state.m_report;
        if (r.m_nPictures == 0) {
            r.m_nChannel = channel + 1;
            r.m_first = picture.m_record.m_time;
        } else if (seconds - state.m_nLastSeconds > m_options.m_nGapSeconds) {
            r.m_gaps.push_back({r.m_last, picture.m_record.m_time, picture.m_record.m_nOffset,
                                {state.m_nLastOffset, r.m_last, r.m_nChannel}});
        }
        ++r.m_nPictures;
        r.m_last = picture.m_record.m_time;
        state.m_nLastSeconds = seconds;
        state.m_nLastOffset = picture.m_record.m_nOffset;
    }

    // Damage below the top rows still leaves the bar code that names the camera.
    void NoteUndecodable(const CPending& picture)
    {
        ++m_report.m_nUndecodable;
        const uint8_t code =
            CDibPicture().DecodeTopRows(picture.m_jpeg.data(), picture.m_jpeg.size(), m_nChannelCount).m_nChannel;
        m_badPictures.push_back({picture.m_record, picture.m_before, picture.m_nEnd,
                                 code == CDibPicture::NO_CHANNEL ? 0 : code + 1});
    }

    const CReportOptions& m_options;
    CRecordingReport& m_report;
    CRecordWalker& m_walker;
    const int m_nChannelCount;

    // Written by the reading thread only.
    std::optional<CRecordMark> m_last; // the record walked last
    int64_t m_nLastSeconds = 0;
    std::vector<std::pair<CClockJump, uint64_t>> m_jumps; // with the index of the record before
    std::vector<CPendingDamage> m_damage;

    // Written by the decoding threads only, one at a time (see OnDecoded).
    std::map<uint8_t, CChannelState> m_channels;
    std::vector<CBadPicture> m_badPictures;

    std::mutex m_pendingMutex;
    std::deque<CPending> m_pending;       // read, not yet handed back decoded; m_pendingMutex
    std::vector<uint8_t> m_recordChannels; // each record's bar code, NO_CHANNEL until known; m_pendingMutex
    COrderedDecoder m_decoders; // last: its workers stop before the rest goes
};

} // namespace

uint64_t CDamagedRun::Blocks() const
{
    return (m_nEnd - m_nOffset + kvx::BLOCK_SIZE - 1) / kvx::BLOCK_SIZE;
}

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

    CReportBuilder builder(facts, options, report, walker);
    const bool ok = walker.Walk(kvx::RECORD_AREA_OFFSET, builder);
    builder.Finish();
    if (!ok || builder.IsCancelled()) {
        error = ok ? "cancelled" : walker.ErrorText();
        return false;
    }
    report.m_nSize = walker.Length();
    if (options.m_bHash)
        report.m_sha256 = hash.HexDigest();
    return true;
}

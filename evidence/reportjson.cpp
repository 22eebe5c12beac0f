#include "evidence/reportjson.h"

#include "platform/jsonline.h"

#include <optional>
#include <vector>

namespace {

std::string Time(const CDateTime& time)
{
    return time.ToIsoString();
}

CJsonLine& AddChannel(CJsonLine& line, const char* key, int channel)
{
    return channel ? line.Add(key, channel) : line.AddNull(key);
}

CJsonLine RecordJson(const CReportRecord& r)
{
    CJsonLine line;
    line.Add("offset", r.m_nOffset).Add("time", Time(r.m_time));
    return AddChannel(line, "channel", r.m_nChannel);
}

CJsonLine& AddBefore(CJsonLine& line, const std::optional<CReportRecord>& before)
{
    return before ? line.AddObject("before", RecordJson(*before)) : line.AddNull("before");
}

CJsonLine ChannelJson(const CReportChannel& c)
{
    std::vector<CJsonLine> gaps;
    for (const CReportGap& g : c.m_gaps)
        gaps.push_back(CJsonLine().Add("from", Time(g.m_from)).Add("to", Time(g.m_to)).Add("offset", g.m_nOffset)
                           .Add("channel", c.m_nChannel).AddObject("before", RecordJson(g.m_before)));
    return CJsonLine().Add("channel", c.m_nChannel).Add("pictures", c.m_nPictures).Add("first", Time(c.m_first))
        .Add("last", Time(c.m_last)).AddArray("gaps", gaps);
}

uint64_t Blocks(uint64_t bytes)
{
    return (bytes + kvx::BLOCK_SIZE - 1) / kvx::BLOCK_SIZE;
}

std::vector<CJsonLine> DamagedJson(const CRecordingReport& r)
{
    std::vector<CJsonLine> damaged;
    for (const CReportDamage& d : r.m_damaged) {
        const CDamagedStretch& s = d.m_stretch;
        CJsonLine json;
        json.Add("offset", s.m_nOffset).Add("bytes", s.m_nBytes).Add("what", DamageText(s.m_what))
            .Add("blocks", Blocks(s.m_nBytes));
        damaged.push_back(AddBefore(json, d.m_before));
    }
    return damaged;
}

// What a timeline marks: each undecodable picture, and the runs of damage.
void AddDamageDetail(CJsonLine& line, const CRecordingReport& r)
{
    std::vector<CJsonLine> pictures, runs;
    for (const CUndecodablePicture& p : r.m_undecodable)
        pictures.push_back(RecordJson(p.m_record));
    for (const CDamagedRun& run : r.m_damagedRuns) {
        CJsonLine json;
        json.Add("offset", run.m_nOffset).Add("end", run.m_nEnd).Add("blocks", run.Blocks())
            .Add("stretches", run.m_nStretches).Add("undecodable", run.m_nUndecodable);
        runs.push_back(AddBefore(json, run.m_before));
    }
    line.AddArray("undecodable_pictures", pictures).AddArray("damaged_runs", runs);
}

CJsonLine ProbeJson(const CRecordingFacts& f)
{
    return CJsonLine().Add("channels", int(f.m_nChannelCount))
        .Add("layout", f.m_layout == kvx::EHeaderLayout::B ? "B" : "A").AddOrNull("start", Time(f.m_timeStart))
        .AddOrNull("end", Time(f.m_timeEnd)).Add("end_offset", f.m_nEndOffset).Add("audio", f.m_bAudio);
}

std::vector<CJsonLine> BookmarksJson(const CBookmarks& bookmarks)
{
    std::vector<CJsonLine> lines;
    for (const CBookmark& b : bookmarks) {
        CJsonLine json;
        // camera 0: several were shown, as kvxtool bookmarks says
        json.Add("offset", b.m_nOffset).Add("time", Time(b.m_time)).Add("camera", b.m_nCamera);
        lines.push_back(json.Add("note", b.m_strNote));
    }
    return lines;
}

} // namespace

std::string RecordingReportJson(const CRecordingReport& r, const CBookmarks& bookmarks)
{
    std::vector<CJsonLine> channels, jumps;
    for (const CReportChannel& c : r.m_channels)
        channels.push_back(ChannelJson(c));
    for (const CClockJump& j : r.m_clockJumps)
        jumps.push_back(CJsonLine().Add("offset", j.m_nOffset).Add("from", Time(j.m_from)).Add("to", Time(j.m_to))
                            .AddObject("before", RecordJson(j.m_before)));
    CJsonLine line;
    line.Add("file", r.m_strFile).Add("size", r.m_nSize);
    r.m_sha256 ? line.Add("sha256", *r.m_sha256) : line.AddNull("sha256");
    line.AddObject("probe", ProbeJson(r.m_facts)).Add("records", r.m_nRecords).Add("pictures", r.m_nPictures)
        .AddArray("channels", channels).AddArray("clock_jumps", jumps).AddArray("damaged", DamagedJson(r))
        .Add("undecodable", r.m_nUndecodable).Add("audio_blocks", r.m_nAudioBlocks);
    AddDamageDetail(line, r);
    if (!bookmarks.empty())
        line.AddArray("bookmarks", BookmarksJson(bookmarks));
    return line.Text();
}

#include "evidence/reporttext.h"

#include "platform/formattext.h"

namespace {

std::string Time(const CDateTime& time)
{
    return time.ToIsoString();
}

unsigned long long U(uint64_t value)
{
    return static_cast<unsigned long long>(value);
}

std::string ChannelLines(const CRecordingReport& r)
{
    std::string text;
    for (const CReportChannel& c : r.m_channels) {
        text += FormatText("Camera %02d:     %llu pictures, %s to %s, %zu gap%s\n", c.m_nChannel, U(c.m_nPictures),
                           Time(c.m_first).c_str(), Time(c.m_last).c_str(), c.m_gaps.size(),
                           c.m_gaps.size() == 1 ? "" : "s");
        for (const CReportGap& g : c.m_gaps)
            text += FormatText("    gap        %s to %s (%lld s), next picture at offset %llu\n",
                               Time(g.m_from).c_str(), Time(g.m_to).c_str(),
                               (long long)(DateTimeToSeconds(g.m_to) - DateTimeToSeconds(g.m_from)), U(g.m_nOffset));
    }
    return text;
}

std::string FileLines(const CRecordingReport& r, int64_t gapSeconds)
{
    const CRecordingFacts& f = r.m_facts;
    return FormatText("Recording:     %s\n", r.m_strFile.c_str())
         + FormatText("Size:          %llu bytes\n", U(r.m_nSize))
         + FormatText("SHA-256:       %s\n", r.m_sha256 ? r.m_sha256->c_str() : "not computed (--no-hash)")
         + FormatText("Channels:      %d (header layout %s), audio %s\n", f.m_nChannelCount,
                      f.m_layout == kvx::EHeaderLayout::B ? "B" : "A", f.m_bAudio ? "yes" : "no")
         + FormatText("Probe:         %s to %s; forward play stops at offset %llu\n", Time(f.m_timeStart).c_str(),
                      f.m_timeEnd.IsValid() ? Time(f.m_timeEnd).c_str() : "(invalid)", U(f.m_nEndOffset))
         + FormatText("Records:       %llu (%llu pictures, %llu not decodable), %llu audio blocks\n",
                      U(r.m_nRecords), U(r.m_nPictures), U(r.m_nUndecodable), U(r.m_nAudioBlocks))
         + FormatText("Gaps:          longer than %lld s\n", (long long)gapSeconds);
}

std::string DamageLines(const CRecordingReport& r)
{
    std::string text = FormatText("Clock jumps:   %zu\n", r.m_clockJumps.size());
    for (const CClockJump& j : r.m_clockJumps)
        text += FormatText("    at offset %llu: %s to %s\n", U(j.m_nOffset), Time(j.m_from).c_str(),
                           Time(j.m_to).c_str());
    text += FormatText("Damaged:       %zu stretch%s\n", r.m_damaged.size(), r.m_damaged.size() == 1 ? "" : "es");
    for (const CReportDamage& d : r.m_damaged)
        text += FormatText("    at offset %llu, %llu bytes: %s\n", U(d.m_stretch.m_nOffset), U(d.m_stretch.m_nBytes),
                           DamageText(d.m_stretch.m_what));
    for (const CUndecodablePicture& p : r.m_undecodable)
        text += FormatText("    not decodable: picture at offset %llu, %s, camera %s\n", U(p.m_record.m_nOffset),
                           Time(p.m_record.m_time).c_str(),
                           p.m_record.m_nChannel ? std::to_string(p.m_record.m_nChannel).c_str() : "unknown");
    return text;
}

// After the findings; nothing when there are none.
std::string BookmarkLines(const CBookmarks& bookmarks)
{
    if (bookmarks.empty())
        return {};
    std::string text = FormatText("Bookmarks: %zu\n", bookmarks.size());
    for (const CBookmark& b : bookmarks)
        text += "  " + BookmarkLine(b) + "\n";
    return text;
}

} // namespace

std::string RecordingReportText(const CRecordingReport& report, int64_t gapSeconds, const CBookmarks& bookmarks)
{
    return FileLines(report, gapSeconds) + ChannelLines(report) + DamageLines(report) + BookmarkLines(bookmarks);
}

#include "session/reportfindings.h"

#include <algorithm>

namespace {

using EKind = CReportFinding::EKind;

bool IsLeap(const CClockJump& jump)
{
    return DateTimeToSeconds(jump.m_to) > DateTimeToSeconds(jump.m_from);
}

QString Span(const CDateTime& from, const CDateTime& to)
{
    return ClockTime(from) + " \u2013 " + ClockTime(to);
}

bool IsCoveredByLeap(const CReportGap& gap, const CRecordingReport& report)
{
    return std::any_of(report.m_clockJumps.begin(), report.m_clockJumps.end(), [&gap](const CClockJump& j) {
        return IsLeap(j) && j.m_before.m_nOffset >= gap.m_before.m_nOffset && j.m_nOffset <= gap.m_nOffset;
    });
}

CReportFinding JumpFinding(const CClockJump& j)
{
    if (IsLeap(j))
        return {EKind::Gap, j.m_nOffset, j.m_nOffset, "no recording " + Span(j.m_from, j.m_to)};
    return {EKind::SetBack, j.m_nOffset, j.m_nOffset,
            "clock set back from " + ClockTime(j.m_from) + " to " + ClockTime(j.m_to)};
}

QString DamageText(const CDamagedRun& run)
{
    const uint64_t blocks = run.Blocks();
    return QString("damaged: %1 block%2").arg(blocks).arg(blocks == 1 ? "" : "s");
}

QString Iso(const CDateTime& time)
{
    return time.IsValid() ? QString::fromStdString(time.ToIsoString()) : QString("(no time)");
}

// Where the finding lies in time, for a reader who does not hover over it.
QString Placed(const CReportFinding& f, const CRecordingReport& report)
{
    if (f.m_kind != EKind::Damage)
        return f.m_strText;
    const auto run = std::find_if(report.m_damagedRuns.begin(), report.m_damagedRuns.end(),
                                  [&f](const CDamagedRun& r) { return r.m_nOffset == f.m_nOffset; });
    const QString after = run->m_before ? "after " + Iso(run->m_before->m_time) : QString("at the start");
    return QString("%1, %2 (%3 stretch%4, %5 picture%6 not decodable)")
        .arg(f.m_strText, after)
        .arg(run->m_nStretches)
        .arg(run->m_nStretches == 1 ? "" : "es")
        .arg(run->m_nUndecodable)
        .arg(run->m_nUndecodable == 1 ? "" : "s");
}

void AddFacts(std::vector<CReportLine>& lines, const CRecordingReport& r)
{
    lines.push_back({"File: " + QString::fromStdString(r.m_strFile) + QString(", %1 bytes").arg(r.m_nSize), {}});
    lines.push_back({"SHA-256: " + (r.m_sha256 ? QString::fromStdString(*r.m_sha256) : QString("not computed")), {}});
    lines.push_back({QString("Cameras: %1 recorded, %2 with pictures; %3 records, %4 pictures, %5 not decodable")
                         .arg(int(r.m_facts.m_nChannelCount))
                         .arg(r.m_channels.size())
                         .arg(r.m_nRecords)
                         .arg(r.m_nPictures)
                         .arg(r.m_nUndecodable),
                     {}});
    for (const CReportChannel& c : r.m_channels)
        lines.push_back({QString("Camera %1: %2 pictures, first %3, last %4")
                             .arg(c.m_nChannel)
                             .arg(c.m_nPictures)
                             .arg(Iso(c.m_first), Iso(c.m_last)),
                         {}});
}

void AddFindings(std::vector<CReportLine>& lines, const CRecordingReport& r, const char* heading,
                 std::initializer_list<EKind> kinds)
{
    std::vector<CReportFinding> found;
    for (const CReportFinding& f : ReportFindings(r))
        if (std::find(kinds.begin(), kinds.end(), f.m_kind) != kinds.end())
            found.push_back(f);
    lines.push_back({QString("%1: %2").arg(heading).arg(found.size()), {}});
    for (const CReportFinding& f : found)
        lines.push_back({"    " + Placed(f, r), f.m_nOffset});
}

} // namespace

QString ClockTime(const CDateTime& time)
{
    return time.IsValid() ? QString::asprintf("%02d:%02d:%02d", time.GetHour(), time.GetMinute(), time.GetSecond())
                          : QString("(no time)");
}

std::vector<CReportFinding> ReportFindings(const CRecordingReport& report)
{
    std::vector<CReportFinding> findings;
    for (const CClockJump& j : report.m_clockJumps)
        findings.push_back(JumpFinding(j));
    for (const CReportChannel& c : report.m_channels)
        for (const CReportGap& g : c.m_gaps)
            if (!IsCoveredByLeap(g, report))
                findings.push_back({EKind::CameraGap, g.m_nOffset, g.m_nOffset,
                                    QString("camera %1: no recording ").arg(c.m_nChannel) + Span(g.m_from, g.m_to)});
    for (const CDamagedRun& run : report.m_damagedRuns)
        findings.push_back({EKind::Damage, run.m_nOffset, run.m_nEnd, DamageText(run)});
    return findings;
}

std::vector<CReportLine> ReportInWords(const CRecordingReport& report, const CBookmarks& bookmarks)
{
    std::vector<CReportLine> lines;
    AddFacts(lines, report);
    AddFindings(lines, report, "Gaps", {EKind::Gap, EKind::CameraGap});
    AddFindings(lines, report, "Clock set back", {EKind::SetBack});
    AddFindings(lines, report, "Damage", {EKind::Damage});
    if (!bookmarks.empty())
        lines.push_back({QString("Bookmarks: %1").arg(bookmarks.size()), {}});
    for (const CBookmark& b : bookmarks)
        lines.push_back({"    " + QString::fromStdString(BookmarkLine(b)), b.m_nOffset});
    return lines;
}

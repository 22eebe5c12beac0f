#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingreport.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What the report found, as the timeline marks it and the report panel lists it: the
// recording's own gaps (its clock leaping forward between two records), the gaps of
// single cameras that no such leap explains (every camera has one across a leap; the
// leap says it once for all), the clock set back, and the runs of damage. A gap or
// jump is at the record after it, a run spans its bytes.
struct CReportFinding {
    enum class EKind { Gap, CameraGap, SetBack, Damage };
    EKind m_kind = EKind::Gap;
    uint64_t m_nOffset = 0; // where it starts, the place to go to
    uint64_t m_nEnd = 0;    // the byte after it; m_nOffset for a gap or jump
    QString m_strText;      // "no recording 14:02:10 – 14:05:00", "damaged: 34 blocks"
};

// In the report's order: jumps, the cameras' gaps, damage.
std::vector<CReportFinding> ReportFindings(const CRecordingReport& report);

// One line of the report in words, and the record it goes to when it names one.
struct CReportLine {
    QString m_strText;
    std::optional<uint64_t> m_nOffset;
};

// The file, its sum, the cameras with their first and last times, then the findings
// under their headings and the user's bookmarks, when there are any: what the panel
// lists and the printed report reads.
std::vector<CReportLine> ReportInWords(const CRecordingReport& report, const CBookmarks& bookmarks);

// "14:02:10", or "(no time)" for a date the recorder wrote wrong.
QString ClockTime(const CDateTime& time);

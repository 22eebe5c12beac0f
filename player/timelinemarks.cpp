#include "player/timelinemarks.h"

#include "playback/seekposition.h"
#include "session/reportfindings.h"

#include <QColor>

namespace {

// Over the slider's dark track: a gap reads as a hole, a set-back stands apart from
// it, damage alarms.
QColor ColourOf(CReportFinding::EKind kind)
{
    switch (kind) {
    case CReportFinding::EKind::Gap: return QColor(160, 160, 160);
    case CReportFinding::EKind::CameraGap: return QColor(100, 100, 100);
    case CReportFinding::EKind::SetBack: return QColor(255, 150, 0);
    case CReportFinding::EKind::Damage: return QColor(220, 40, 40);
    }
    return {};
}

} // namespace

CSliderMarks TimelineMarks(const CRecordingReport& report)
{
    CSliderMarks marks;
    for (const CReportFinding& f : ReportFindings(report))
        marks.push_back({SliderPosition(f.m_nOffset, report.m_nSize), SliderPosition(f.m_nEnd, report.m_nSize),
                         ColourOf(f.m_kind), f.m_strText});
    return marks;
}

// The report of the open recording in the window: its gaps, clock set-backs and damage
// as marks along the position slider, and the report panel (Ctrl+I) that lists them,
// goes to each, and saves the report. The session builds the report on a worker and
// its classes write the files; here it is wired to the window.

#include "player/kvxplayerview.h"

#include "platform/folderdialog.h"
#include "platform/outputfolders.h"
#include "player/reportpanel.h"
#include "player/timelinemarks.h"
#include "session/reportsaver.h"
#include "skin/skinslider.h"

#include <QKeyEvent>
#include <QScreen>

namespace {

constexpr int REPORT_PANEL_GAP = 8;

QString SaveOutcomeText(const CReportSaveOutcome& outcome)
{
    if (!outcome.m_bSaved)
        return "Not saved: " + outcome.m_strError;
    const QString files = QString("Saved %1 and %2 with their sums %3")
                              .arg(outcome.m_strJson, outcome.m_strPdf, outcome.m_strSums);
    if (outcome.m_signing.m_bSigned)
        return files + QString(", signed by the key with fingerprint %1.")
                           .arg(QString::fromStdString(outcome.m_signing.m_strFingerprint));
    return files + ", unsigned: " + QString::fromStdString(outcome.m_signing.m_strReason);
}

} // namespace

void CKVXPlayerView::CreateReportControls()
{
    m_pReportPanel = new CReportPanel(this);
    connect(m_pReportPanel, &CReportPanel::chosen, this, [this](uint64_t offset) {
        if (!m_strFilePath.isEmpty())
            ShowRecordAt(offset);
    });
    connect(m_pReportPanel, &CReportPanel::saveWanted, this, &CKVXPlayerView::SaveReportFiles);
    const CReportTracker* tracker = &m_session.Report();
    connect(tracker, &CReportTracker::reportCleared, this, &CKVXPlayerView::ShowReportState);
    connect(tracker, &CReportTracker::reportReady, this, &CKVXPlayerView::ShowReportState);
    connect(tracker, &CReportTracker::reportFailed, this, &CKVXPlayerView::ShowReportState);
}

// The marks and the panel follow the report: none while it is read, and none for a
// file that is not open.
void CKVXPlayerView::ShowReportState()
{
    const CReportTracker& tracker = m_session.Report();
    const std::optional<CRecordingReport>& report = tracker.Report();
    m_controls.m_slider->SetMarks(ESliderMarkLayer::Evidence, report ? TimelineMarks(*report) : CSliderMarks{});
    m_pReportPanel->setWindowTitle("Report - " + m_strFilePath.section('/', -1));
    m_pReportPanel->ShowSaveOutcome(QString());
    if (report)
        m_pReportPanel->ShowReport(*report, m_session.Bookmarks().Bookmarks());
    else if (!tracker.Failure().isEmpty())
        m_pReportPanel->ShowFailure(tracker.Failure());
    else if (tracker.IsBuilding())
        m_pReportPanel->ShowBuilding(m_strFilePath);
    else
        m_pReportPanel->ShowFailure("No recording is open.");
}

// The first time, beside the player where the screen has room, else at the screen's
// right edge.
void CKVXPlayerView::ToggleReportPanel()
{
    if (m_pReportPanel->isVisible()) {
        m_pReportPanel->hide();
        return;
    }
    ShowReportState();
    if (!m_pReportPanel->property("placed").toBool()) {
        const QRect player = window()->frameGeometry();
        const QRect screen = window()->screen() ? window()->screen()->availableGeometry() : QRect();
        QPoint at = player.topRight() + QPoint(REPORT_PANEL_GAP, 0);
        if (!screen.isEmpty() && at.x() + m_pReportPanel->width() > screen.right())
            at = QPoint(screen.right() + 1 - m_pReportPanel->width(), player.top());
        m_pReportPanel->move(at);
        m_pReportPanel->setProperty("placed", true);
    }
    m_pReportPanel->show();
    m_pReportPanel->raise();
}

void CKVXPlayerView::SaveReportFiles()
{
    const std::optional<CRecordingReport>& report = m_session.Report().Report();
    if (!report)
        return;
    const QString start =
        m_strReportFolder.isEmpty() ? COutputFolders(m_strAppFolder).BackupFolder() : m_strReportFolder;
    const QString folder = CFolderDialog::GetExistingDirectory(m_pReportPanel, "Save the report in", start);
    if (folder.isEmpty())
        return;
    m_strReportFolder = folder;
    m_pReportPanel->ShowSaveOutcome(SaveOutcomeText(SaveReport(*report, m_session.Bookmarks().Bookmarks(), folder)));
}

bool CKVXPlayerView::HandleReportKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() != Qt::Key_I || modifiers != Qt::ControlModifier)
        return false;
    ToggleReportPanel();
    return true;
}

// In and out marks and what they drive: I and O mark the record shown, the slider
// shows the range, Esc clears it; the export panel then exports only the range, on a
// worker, as kvxtool export --from --to does; Ctrl+E saves its bit-exact excerpt as
// kvxtool excerpt does. Marks belong to the recording they were set on.

#include "player/kvxplayerview.h"

#include "export/backupdlg.h"
#include "platform/folderdialog.h"
#include "platform/messagebox.h"
#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/seekposition.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

namespace {

const QColor RANGE_COLOUR(64, 160, 255, 150); // tints the track without hiding the marks under it

QString TimeOfDay(const CDateTime& t)
{
    return QString::asprintf("%02d:%02d:%02d", t.GetHour(), t.GetMinute(), t.GetSecond());
}

std::string NativeName(const QString& path)
{
    return CNativeFileName::Encode(path).toStdString();
}

// "20240318-140110" for a file name.
QString StampText(const CDateTime& t)
{
    return QString::asprintf("%04d%02d%02d-%02d%02d%02d", t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                             t.GetMinute(), t.GetSecond());
}

} // namespace

void CKVXPlayerView::ConnectRange()
{
    connect(&m_rangeExport, &CRangeExport::finished, this, &CKVXPlayerView::OnRangeExportFinished);
    connect(&m_excerptSaver, &CExcerptSaver::saved, this,
            [this](bool, const QString& text) { CMessageBox::Show(this, m_frame.AppTitle(), text); });
}

bool CKVXPlayerView::HandleRangeKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_E && modifiers == Qt::ControlModifier) {
        OnSaveExcerpt();
        return true;
    }
    if (modifiers != Qt::NoModifier)
        return false;
    switch (event.key()) {
    case Qt::Key_I:
    case Qt::Key_O:
        SetInOutMark(event.key() == Qt::Key_I);
        return true;
    case Qt::Key_Escape:
        if (m_inOut.IsEmpty())
            return false;
        ClearInOutMarks();
        return true;
    default:
        return false;
    }
}

// At the record on screen: its offset orders the marks, its date-time selects what they cover.
void CKVXPlayerView::SetInOutMark(bool in)
{
    if (m_strFilePath.isEmpty())
        return;
    const CInOutMarks::CMark mark{m_session.ShownOffset(), ShownTime()};
    if (in)
        m_inOut.SetIn(mark);
    else
        m_inOut.SetOut(mark);
    ShowInOutMarks();
}

void CKVXPlayerView::ClearInOutMarks()
{
    m_inOut.Clear();
    ShowInOutMarks();
}

// One tinted stretch with its words, or a tick while only one mark is set.
void CKVXPlayerView::ShowInOutMarks()
{
    if (!m_controls.m_slider)
        return;
    CSliderMarks marks;
    const uint64_t length = m_session.Recording().m_nFileLength;
    if (const auto start = m_inOut.Start()) {
        const auto end = m_inOut.End();
        const QString text = m_inOut.IsRange()
                               ? "in " + TimeOfDay(start->m_time) + " \u2013 out " + TimeOfDay(end->m_time)
                               : "mark " + TimeOfDay(start->m_time) + " (press I and O for a range)";
        marks.push_back({SliderPosition(start->m_nOffset, length), SliderPosition(end->m_nOffset, length),
                         RANGE_COLOUR, text});
    }
    m_controls.m_slider->SetMarks(ESliderMarkLayer::InOut, std::move(marks));
    if (m_pBackupDlg)
        m_pBackupDlg->SetRangeText(RangeText());
}

// "14:01:10 – 14:01:55", the dates the range covers; empty without a range.
QString CKVXPlayerView::RangeText() const
{
    return m_inOut.IsRange() ? TimeOfDay(m_inOut.From()) + " \u2013 " + TimeOfDay(m_inOut.To()) : QString();
}

// The panel's camera, size, rate and format over the marked range, written where the
// panel's exports go.
void CKVXPlayerView::StartRangeExport()
{
    CRecordingExportSettings settings = CRecordingExportSettings::ForPanel(m_backupSetting, ExportOptions());
    settings.m_from = m_inOut.From();
    settings.m_to = m_inOut.To();
    settings.m_strFolder = COutputFolders(m_strAppFolder).AviFolder();
    settings.m_bookmarks = m_session.Bookmarks().Bookmarks();
    if (settings.m_options.m_strCommand.isEmpty())
        settings.m_options.m_strCommand = "the player's export window, AVI (Motion-JPEG)";
    settings.m_options.m_strCommand += ", the marked range " + QString::fromStdString(settings.m_from.ToIsoString())
                                     + " to " + QString::fromStdString(settings.m_to.ToIsoString());
    if (!m_rangeExport.Start(NativeName(m_strFilePath), m_session.Recording(), settings)) {
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
        m_pBackupDlg->ReturnToIdle();
        CMessageBox::Show(this, m_frame.AppTitle(),
                          "The export of the marked range that was stopped is being completed still: start again "
                          "once the panel says how it ended");
    }
}

// The export ran to the range's end, or was stopped, or could not be made.
void CKVXPlayerView::OnRangeExportFinished(const QString& videoName, const QStringList& problems, uint frames,
                                           const QString& unsignedReason)
{
    if (m_pBackupDlg && !m_pBackupDlg->IsStopped())
        m_pBackupDlg->ReturnToIdle();
    m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
    if (videoName.isEmpty()) {
        CMessageBox::Show(this, m_frame.AppTitle(), problems.join("\n\n"));
        return;
    }
    OnExportCompleted(videoName, problems, frames, unsignedReason);
}

// The excerpt's folder is asked each time; its name says the recording and the range.
void CKVXPlayerView::OnSaveExcerpt()
{
    if (m_strFilePath.isEmpty())
        return;
    if (!m_inOut.IsRange()) {
        CMessageBox::Show(this, m_frame.AppTitle(),
                          "No excerpt was saved: set the in mark (I) and the out mark (O) around the stretch to save");
        return;
    }
    if (m_excerptSaver.IsRunning()) {
        CMessageBox::Show(this, m_frame.AppTitle(), "An excerpt is being saved still; try again when it is done");
        return;
    }
    const QString folder = CFolderDialog::GetExistingDirectory(this, "Save the excerpt in", QDir::homePath());
    if (folder.isEmpty())
        return;
    const QString name = QDir(folder).filePath(QFileInfo(m_strFilePath).completeBaseName() + "_"
                                               + StampText(m_inOut.From()) + "_" + StampText(m_inOut.To()) + ".kvx");
    m_excerptSaver.Save({NativeName(m_strFilePath), m_inOut.From(), m_inOut.To(), NativeName(name),
                         "the player's Save excerpt"},
                        m_session.Recording(), m_session.Bookmarks().Bookmarks());
}

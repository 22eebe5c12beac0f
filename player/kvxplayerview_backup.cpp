// The backup button and the export: the view opens and closes the backup window,
// whose start and stop it hands to the session's export recorder. While the window
// is open the session passes the recorder every picture.

#include "player/kvxplayerview.h"

#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "platform/messagebox.h"
#include "recording/recordformat.h"
#include "player/controlids.h"
#include "skin/skinbutton.h"

#include <QApplication>
#include <QFileInfo>

void CKVXPlayerView::OnBackup()
{
    if (m_session.IsExportWindowOpen())
        CloseBackupWindow();
    else
        OpenBackupWindow();
}

// The window sits at its skin place relative to the player window's top-left corner.
void CKVXPlayerView::OpenBackupWindow()
{
    const QRect client(mapToGlobal(QPoint(0, 0)), size());
    if (!m_pBackupDlg)
        m_pBackupDlg = std::make_unique<CBackupDlg>(m_strAppFolder, m_strIniPath, m_frame.AppTitle(), *this, this);
    m_backupSetting.m_byChannelCount = uint8_t(m_session.Recording().m_nChannelCount);
    m_controls.m_btnOpen->EnableButton(false);
    m_session.SetExportWindowOpen(true);
    const QRect place = m_skin->LoadSkinRect("MAIN POS", "POS_BACKUP_WIN", m_bPal);
    const int playerHeight = m_geometry.WindowSize(m_bPal).height();
    m_pBackupDlg->setGeometry(client.left() + place.x(), client.top() + client.height() - playerHeight + place.y(),
                              place.width(), place.height());
    m_pBackupDlg->Prepare(&m_backupSetting, m_bPal);
    m_pBackupDlg->SetRangeText(RangeText());
    m_pBackupDlg->SetMasksAvailable(MasksForOutput() != nullptr);
    if (const auto& rates = m_session.CameraRates())
        m_pBackupDlg->SetCameraRates(QVector<int>(rates->begin(), rates->end()));
    else
        m_session.ReadCameraRates();
    m_pBackupDlg->show();
    ReturnKeyboard(); // where the desktop activates a window it shows
}

// Rates read for the recording open now, possibly after the window was opened.
void CKVXPlayerView::OnCameraRatesRead(const QVector<int>& rates)
{
    if (m_pBackupDlg && m_session.IsExportWindowOpen())
        m_pBackupDlg->SetCameraRates(rates);
}

// A running export is stopped first (its log written); the window is only hidden,
// for the next opening.
void CKVXPlayerView::CloseBackupWindow()
{
    if (m_pBackupDlg) {
        m_pBackupDlg->OnStop();
        m_pBackupDlg->done(QDialog::Accepted);
    }
    m_backupSetting = BACKUPSETTING();
    m_controls.m_btnOpen->EnableButton(true);
    m_session.SetExportWindowOpen(false);
    OnNavigate(ctl::PAUSE);
}

// An export that cannot create its file does not start: the window goes back to idle,
// and the message says which file and why. The recorder checks the camera against
// the recording open now.
void CKVXPlayerView::StartBackup()
{
    m_controls.m_btnBackup->SetImage(SKIN_IMG_DNCHECK);
    if (m_inOut.IsRange())
        return StartRangeExport();
    if (!m_session.StartExport(m_backupSetting, ExportOptions())) {
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
        m_pBackupDlg->ReturnToIdle();
        CMessageBox::Show(this, m_frame.AppTitle(), "ERROR : CreateAVIFile.\n" + m_session.Recorder()->ErrorText());
    }
}

// An MP4 takes the sound of the audio switch that is on (the first, when several
// are), as the user hears it; the AVI's options stay the defaults it always had, but
// for the masks the panel applies.
CExportOptions CKVXPlayerView::ExportOptions() const
{
    CExportOptions options;
    options.m_format = m_pBackupDlg->Format();
    if (m_pBackupDlg->AppliesMasks())
        options.m_pMasks = MasksForOutput();
    if (options.m_format == EExportFormat::Avi)
        return options;
    options.m_strCommand = "the player's export window, MP4 (H.264)";
    const uint8_t switches = m_session.Recording().m_bAudio ? m_session.AudioMask() : 0;
    for (int channel = 0; channel < kvx::AUDIO_CHANNELS && options.m_nSoundChannel < 0; ++channel)
        if (switches & (1u << channel))
            options.m_nSoundChannel = channel;
    return options;
}

// The export runs on the playback thread or a worker while the window may go on
// editing the masks: it gets a set of its own.
std::shared_ptr<const CPrivacyMaskSet> CKVXPlayerView::MasksForOutput() const
{
    const CPrivacyMaskSet& set = m_session.Masks().Set();
    return set.IsEmpty() ? nullptr : std::make_shared<const CPrivacyMaskSet>(set);
}

// The stop takes the export out of the recorder and leaves the rest (closing it,
// the log, the note, the sums) to a worker, so the window never waits for a file
// to be hashed; the panel says so until it is done.
void CKVXPlayerView::StopBackup()
{
    if (m_rangeExport.IsRunning()) {
        m_rangeExport.Cancel();
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
        return m_pBackupDlg->ShowSaving(QFileInfo(m_rangeExport.VideoName()).fileName());
    }
    if (m_session.StopExport() && m_pBackupDlg)
        m_pBackupDlg->ShowSaving(QFileInfo(m_session.Recorder()->AviName()).fileName());
    m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
    OnNavigate(ctl::PAUSE);
}

// However an export stopped (the stop button, the player pausing, the window closing,
// a write that failed), its completion says whether it was cut short and what could
// not be written, each naming the file and the reason. The panel keeps the outcome
// in a line, with the button that shows the folder, and why it is unsigned.
void CKVXPlayerView::OnExportCompleted(const QString& aviName, const QStringList& problems, uint frames,
                                       const QString& unsignedReason)
{
    if (m_pBackupDlg)
        m_pBackupDlg->ShowCompleted(aviName, frames, problems.isEmpty(), unsignedReason);
    if (!problems.isEmpty())
        CMessageBox::Show(this, m_frame.AppTitle(), problems.join("\n\n"));
}

// The panel is a window of its own: the player's must be the active one again for
// its keys (and Ctrl+Q) to reach it. Only while one of the program's windows has the
// keyboard, so that an export ending by itself never takes it from another program.
void CKVXPlayerView::ReturnKeyboard()
{
    if (QApplication::activeWindow())
        window()->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

QString CKVXPlayerView::BackupProgressText() const
{
    const bool ranged = m_rangeExport.IsRunning();
    const uint32_t frames = ranged ? m_rangeExport.FrameCount() : m_session.Recorder()->FrameCount();
    return QString("%1%2 \u00B7 %3 frame%4")
        .arg(ranged ? RangeText() + " \u00B7 " : QString())
        .arg(QFileInfo(ranged ? m_rangeExport.VideoName() : m_session.Recorder()->AviName()).fileName())
        .arg(frames)
        .arg(frames == 1 ? "" : "s");
}

// A write failed (disk full, medium removed): the export ends as the stop button
// ends it, and its stop tells the user which file stopped and why.
void CKVXPlayerView::OnBackupWriteFailed()
{
    if (m_session.Recorder()->FailureText().isEmpty())
        return; // another export has begun since
    if (m_pBackupDlg)
        m_pBackupDlg->OnStop();
}

// A range export reads the file on its own: the player pausing does not end it.
void CKVXPlayerView::StopBackupOnPause()
{
    if (m_session.IsExportWindowOpen() && m_pBackupDlg && !m_rangeExport.IsRunning())
        m_pBackupDlg->OnStop();
}

// At teardown: the playback thread ends and an export still running is completed,
// without showing its folder, before its window goes.
void CKVXPlayerView::ReleaseBackup()
{
    m_session.Close();
    m_pBackupDlg.reset();
}

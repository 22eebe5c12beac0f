// The backup button and the export: the view opens and closes the backup window,
// whose start and stop it hands to the recorder, and passes the recorder every
// picture of the exported channel.

#include "player/kvxplayerview.h"

#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "platform/messagebox.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "skin/skinbutton.h"

#include <QFileInfo>

void CKVXPlayerView::OnBackup()
{
    if (m_bBackupOpen)
        CloseBackupWindow();
    else
        OpenBackupWindow();
}

// The window sits at its skin place relative to the player window's top-left corner.
void CKVXPlayerView::OpenBackupWindow()
{
    const QRect client(mapToGlobal(QPoint(0, 0)), size());
    if (!m_pBackupDlg)
        m_pBackupDlg = std::make_unique<CBackupDlg>(m_strAppFolder, m_strIniPath, m_frame.AppTitle(),
                                                    m_pBackupRecorder->AviFolder(), *this, this);
    m_backupSetting.m_byChannelCount = uint8_t(m_recording.m_nChannelCount);
    m_controls.m_btnOpen->EnableButton(false);
    m_bBackupOpen = true;
    const QRect place = m_skin->LoadSkinRect("MAIN POS", "POS_BACKUP_WIN", m_bPal);
    const int playerHeight = m_geometry.WindowSize(m_bPal).height();
    m_pBackupDlg->setGeometry(client.left() + place.x(), client.top() + client.height() - playerHeight + place.y(),
                              place.width(), place.height());
    m_pBackupDlg->Prepare(&m_backupSetting);
    m_pBackupDlg->show();
}

// A running export is stopped first (its log written and its folder shown); the
// window is only hidden, for the next opening.
void CKVXPlayerView::CloseBackupWindow()
{
    if (m_pBackupDlg) {
        m_pBackupDlg->OnStop();
        m_pBackupDlg->done(QDialog::Accepted);
    }
    m_backupSetting = BACKUPSETTING();
    m_controls.m_btnOpen->EnableButton(true);
    m_bBackupOpen = false;
    OnNavigate(ctl::PAUSE);
}

// An export that cannot create its file does not start: the window goes back to idle,
// and the message says which file and why. The recorder checks the camera against
// the recording open now.
void CKVXPlayerView::StartBackup()
{
    m_controls.m_btnBackup->SetImage(SKIN_IMG_DNCHECK);
    m_backupSetting.m_byChannelCount = uint8_t(m_recording.m_nChannelCount);
    if (!m_pBackupRecorder->StartBackup(m_backupSetting, m_router.FrameTime())) {
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
        m_pBackupDlg->ReturnToIdle();
        CMessageBox::Show(this, m_frame.AppTitle(), "ERROR : CreateAVIFile.\n" + m_pBackupRecorder->ErrorText());
        return;
    }
    if (m_nPlayState == PS_PAUSE) {
        // The export begins with the camera's picture the paused window shows, then
        // plays on: started right after opening, it holds every picture forward play
        // delivers, as kvxtool's export does.
        const int channel = m_backupSetting.m_byChannel;
        m_router.UseChannelPicture(channel, [&](const CTilePicture& picture, const CFrameTime& time) {
            ExportPicture(channel, picture, time);
        });
        m_nPlayState = PS_FPLAY;
    }
}

// However an export stops (the stop button, the player pausing, the window closing, a
// write that failed), its stop says whether it was cut short and what could not be
// written, each naming the file and the reason.
void CKVXPlayerView::StopBackup()
{
    const bool written = m_pBackupRecorder->StopBackup(m_router.FrameTime());
    m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
    OnNavigate(ctl::PAUSE);
    QStringList problems;
    if (const QString failure = m_pBackupRecorder->FailureText(); !failure.isEmpty())
        problems << failure;
    if (!written)
        problems << m_pBackupRecorder->ErrorText();
    if (!problems.isEmpty())
        CMessageBox::Show(this, m_frame.AppTitle(), problems.join("\n\n"));
}

QString CKVXPlayerView::BackupProgressText() const
{
    const uint32_t frames = m_pBackupRecorder->FrameCount();
    return QString("%1 \u00B7 %2 frame%3")
        .arg(QFileInfo(m_pBackupRecorder->AviName()).fileName())
        .arg(frames)
        .arg(frames == 1 ? "" : "s");
}

// Playback thread: every picture routed while the backup window is open; and the
// window thread for the picture an export starts with.
void CKVXPlayerView::ExportPicture(int channel, const CTilePicture& picture, const CFrameTime& time)
{
    if (m_pBackupRecorder->WritePicture(channel, picture, time) == CBackupRecorder::EFrame::Failed)
        OnWindowThread([this] { OnBackupWriteFailed(); });
}

// A write failed (disk full, medium removed): the export ends as the stop button
// ends it, and its stop tells the user which file stopped and why.
void CKVXPlayerView::OnBackupWriteFailed()
{
    if (m_pBackupRecorder->FailureText().isEmpty())
        return; // another export has begun since
    if (m_pBackupDlg)
        m_pBackupDlg->OnStop();
}

void CKVXPlayerView::StopBackupOnPause()
{
    if (m_bBackupOpen && m_pBackupDlg)
        m_pBackupDlg->OnStop();
}

// At teardown, after the playback thread has ended: an export still running is
// completed, without showing its folder.
void CKVXPlayerView::ReleaseBackup()
{
    if (m_pBackupRecorder)
        m_pBackupRecorder->StopBackup(m_router.FrameTime());
    m_pBackupDlg.reset();
    m_pBackupRecorder.reset();
}

// The camera button: the enlarged picture goes, as the view shows it, to the snapshot
// editor, which takes the player window's place until it closes.

#include "player/kvxplayerview.h"

#include "platform/messagebox.h"
#include "platform/outputfolders.h"
#include "player/controlids.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "snapshot/snapshotbitmap.h"

#include <QDir>
#include <QScreen>

namespace {

CDateTime ToDateTime(const std::optional<CFrameTime>& t)
{
    if (!t)
        return {};
    return CDateTime(t->m_wYear, t->m_byMonth, t->m_byDay, t->m_byHour, t->m_byMinute, t->m_bySecond);
}

} // namespace

void CKVXPlayerView::OnEdit()
{
    if (m_session.IsExportWindowOpen()) {
        CloseBackupWindow();
    } else if (m_strFilePath.isEmpty()) {
        CMessageBox::Show(this, "backup", "Can not command. It need pictuer for save.  ");
        return;
    }
    OnNavigate(ctl::PAUSE);
    OpenEditDialog();
}

// The picture is taken from the view's own drawing of the video area, so no other
// window over the player can spoil it, with its tile texts on a layer of their own;
// one camera enlarged is drawn once at the video area's size, as `kvxtool snapshot`
// draws it. It reaches the editor in memory: no file stands between them that a link
// could lead elsewhere. A camera that has shown no picture since the last jump has
// nothing to edit: the editor would open on a black area.
void CKVXPlayerView::OpenEditDialog()
{
    m_session.RefreshPage(); // as the paused view paints it
    const CFrameRouter::CVideoSnapshot shown = m_session.SnapshotVideo();
    if (!shown.m_time) {
        CMessageBox::Show(this, m_frame.AppTitle(),
                          QString("Can not open the picture of camera %1 of %2 in the editor: the camera has shown "
                                  "no picture at this position yet.")
                              .arg(m_session.CurChannel() + 1)
                              .arg(QDir::toNativeSeparators(m_strFilePath)));
        return;
    }
    SNAPSHOTINFO info;
    info.m_nChannel = m_session.CurChannel();
    info.m_timeStart = m_session.Recording().m_timeStart;
    info.m_timeEnd = m_session.Recording().m_timeEnd;
    info.m_timeSnapshot = ToDateTime(shown.m_time);
    info.m_strRecordingPath = m_strFilePath;
    info.m_pMasks = MasksForOutput();
    info.m_dMaskSeconds = CPrivacyMaskSet::SecondsOf(*shown.m_time);
    // Stills go to Backup/ in the program folder, or to the user's pictures when the
    // program folder is an installed one that the user cannot write to.
    const QString backup = COutputFolders(m_strAppFolder).BackupFolder();

    if (!m_pEditDlg) {
        m_pEditDlg = std::make_unique<CImageEditDlg>(m_frame.AppTitle());
        m_pEditDlg->Initialise(m_strAppFolder, m_strIniPath, backup);
        connect(m_pEditDlg.get(), &CImageEditDlg::closed, this, [this] {
            window()->showNormal();
            window()->activateWindow();
            setFocus();
        });
        connect(m_pEditDlg.get(), &CImageEditDlg::quitWanted, this, [this] {
            m_pEditDlg->OnCommand(editctl::CLOSE);
            OnExit();
        });
    }
    const QSize size = window()->size();
    const QScreen* screen = window()->screen();
    const QRect area = screen ? screen->geometry() : QRect(QPoint(0, 0), size);
    m_pEditDlg->LayoutForSnapshot(m_bPal, size, info);
    m_pEditDlg->setGeometry(QRect(area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size));
    m_pEditDlg->SetPictureHeader(CSnapshotBitmap::HeaderFor(shown.m_picture.width(), shown.m_picture.height()));
    if (!m_pEditDlg->LoadSnapshot(CSnapshotBitmap::BitmapOf(shown.m_picture), shown.m_textLayer))
        return;
    m_pEditDlg->show();
    m_pEditDlg->activateWindow();
    m_pEditDlg->setFocus();
    window()->hide();
}

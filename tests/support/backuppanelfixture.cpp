#include "tests/support/backuppanelfixture.h"

#include "app/mainframe.h"
#include "export/backupdlg.h"
#include "export/exportoutcomeline.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/playerfixture.h"
#include "tools/recgen/recordinggenerator.h"

#include <QComboBox>
#include <QTest>

namespace {

// The export panel's part of the skin.
const char* const BACKUP_SKIN = "[BACKUP POS]\nPOS_BACKUP_SKIN=<0><0><300><200>\n"
                                "POS_BACKUP_CHANNEL=<8><40><50><22>\nPOS_BACKUP_FRAMERATE=<64><40><50><22>\n"
                                "POS_BACKUP_IMAGESIZE=<120><40><170><22>\nPOS_BACKUP_START=<8><160><120><26>\n"
                                "POS_BACKUP_STOP=<170><160><120><26>\n"
                                "[BTN_AVISTART]\nNORMAL=slot0.bmp\nDOWN=slot1.bmp\nDISABLE=slot3.bmp\n"
                                "[BTN_AVISTOP]\nNORMAL=slot0.bmp\nDOWN=slot1.bmp\nDISABLE=slot3.bmp\n";

} // namespace

std::unique_ptr<CMainFrame> CBackupPanelFixture::StartPaused(CPlayerFixture& fixture, int channels, int records)
{
    CRecordingRecipe recipe;
    recipe.m_nChannels = channels;
    recipe.m_nRecords = records;
    recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
    QString path;
    return StartPaused(fixture, recipe, path);
}

std::unique_ptr<CMainFrame> CBackupPanelFixture::StartPaused(CPlayerFixture& fixture, const CRecordingRecipe& recipe,
                                                             QString& path)
{
    fixture.WriteSkin(BACKUP_SKIN);
    path = QString::fromStdString(m_recordings.Write(recipe));
    auto frame = fixture.Start(path);
    if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= recipe.m_nChannels
                                   && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
        qFatal("the first group was not shown");
    QCoreApplication::processEvents();
    return frame;
}

CBackupDlg* CBackupPanelFixture::OpenPanel(CKVXPlayerView* view)
{
    Click(view->Button(ctl::BACKUP));
    CBackupDlg* dialog = view->BackupDialog();
    if (dialog)
        dialog->OutcomeLine()->SetFolderOpener([this](const QString& folder) { m_shownFolders << folder; });
    return dialog;
}

void CBackupPanelFixture::StartExport(CBackupDlg* dialog, int channelIndex)
{
    dialog->ChannelBox()->setCurrentIndex(channelIndex);
    Click(dialog->StartButton());
}

void CBackupPanelFixture::WaitForCompletion(CKVXPlayerView* view)
{
    if (!QTest::qWaitFor([&] { return !view->Session().IsCompletingExport(); }, 60000))
        qFatal("the stopped export was not completed");
    QCoreApplication::processEvents();
}

void CBackupPanelFixture::Click(QWidget* control)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(2, 2));
    QCoreApplication::processEvents();
}

void CBackupPanelFixture::ShowRecord(CKVXPlayerView* view, uint64_t offset)
{
    view->Session().GoTo(offset);
    if (!QTest::qWaitFor([&] { return view->PlayStateForTest() == PS_PAUSE && view->Session().ShownOffset() >= offset; },
                         20000))
        qFatal("the record at %llu was not shown", static_cast<unsigned long long>(offset));
    QCoreApplication::processEvents();
}

#include "app/mainframe.h"
#include "export/avireader.h"
#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace {

void Click(QWidget* control)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(2, 2));
    QCoreApplication::processEvents();
}

// The backup window's part of the skin.
const char* const BACKUP_SKIN = "[BACKUP POS]\nPOS_BACKUP_SKIN=<0><0><300><200>\n"
                                "POS_BACKUP_CHANNEL=<8><40><50><22>\nPOS_BACKUP_FRAMERATE=<64><40><50><22>\n"
                                "POS_BACKUP_IMAGESIZE=<120><40><170><22>\nPOS_BACKUP_START=<8><160><120><26>\n"
                                "POS_BACKUP_STOP=<170><160><120><26>\n"
                                "[BTN_AVISTART]\nNORMAL=slot0.bmp\nDOWN=slot1.bmp\nDISABLE=slot3.bmp\n"
                                "[BTN_AVISTOP]\nNORMAL=slot0.bmp\nDOWN=slot1.bmp\nDISABLE=slot3.bmp\n";

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList Numbers(int last)
{
    QStringList items;
    for (int n = 1; n <= last; ++n)
        items << QString::number(n);
    return items;
}

} // namespace

// The backup window and the export, driven through the real player window.
class TestPlayerBackup : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    QStringList m_shownFolders;

    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, int channels = 16, int records = 64)
    {
        fixture.WriteSkin(BACKUP_SKIN);
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= channels
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        QCoreApplication::processEvents();
        return frame;
    }

    CBackupDlg* OpenPanel(CKVXPlayerView* view)
    {
        Click(view->Button(ctl::BACKUP));
        CBackupDlg* dialog = view->BackupDialog();
        if (dialog)
            dialog->SetFolderOpener([this](const QString& folder) { m_shownFolders << folder; });
        return dialog;
    }

    void StartExport(CBackupDlg* dialog, int channelIndex)
    {
        dialog->ChannelBox()->setCurrentIndex(channelIndex);
        Click(dialog->StartButton());
    }

private slots:
    void init() { m_shownFolders.clear(); }

    // Each opening lists the recording's channels and starts from camera 1, 10 frames
    // per second and 360 x 240, whatever was chosen before; the player's open button
    // is off while the window is open.
    void panelOpensWithItsDefaults()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->geometry(), QRect(view->mapToGlobal(QPoint(100, 100)), QSize(300, 200)));
        QCOMPARE(Items(dialog->ChannelBox()), Numbers(16));
        QCOMPARE(Items(dialog->FrameRateBox()), Numbers(60));
        QCOMPARE(Items(dialog->SizeBox()), (QStringList{"360 * 240", "720 * 480"}));
        QCOMPARE(dialog->ChannelBox()->geometry(), QRect(8, 40, 50, 22));
        QVERIFY(!view->Button(ctl::OPEN)->IsButtonEnabled());
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        QVERIFY(!dialog->StopButton()->IsButtonEnabled());

        dialog->ChannelBox()->setCurrentIndex(5);
        dialog->FrameRateBox()->setCurrentIndex(29);
        dialog->SizeBox()->setCurrentIndex(1);
        Click(view->Button(ctl::BACKUP));
        QVERIFY(!dialog->isVisible());
        QVERIFY(view->Button(ctl::OPEN)->IsButtonEnabled());
        QVERIFY(m_shownFolders.isEmpty()); // nothing was exported
        OpenPanel(view);
        QCOMPARE(dialog->ChannelBox()->currentText(), QString("1"));
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("10"));
        QCOMPARE(dialog->SizeBox()->currentText(), QString("360 * 240"));
    }

    void fourChannelRecordingListsFour()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 4, 64);
        QCOMPARE(Items(OpenPanel(frame->View())->ChannelBox()), Numbers(4));
    }

    // While the panel is open the recording cannot change under it, nor its list of
    // cameras: the open key is off, and a file dragged onto the window is refused
    // too, until the panel closes.
    void panelKeepsItsRecording()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 64);
        CKVXPlayerView* view = frame->View();
        OpenPanel(view);
        CRecordingRecipe four;
        four.m_nChannels = 4;
        four.m_nRecords = 32;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_recordings.Write(four)))});
        const auto dragTaken = [&] {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &enter);
            return enter.isAccepted();
        };
        QVERIFY(!dragTaken());
        Click(view->Button(ctl::BACKUP));
        QVERIFY(dragTaken());
    }

    // Start while paused plays forward; the window shows the file and its frames;
    // stop writes the AVI, its log and sums, pauses, and shows the folder once, even
    // when asked to stop again.
    void exportWhilePlaying()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 400);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 2);
        QCOMPARE(view->PlayStateForTest(), PS_FPLAY);
        QCOMPARE(view->Button(ctl::BACKUP)->CurrentImage(), SKIN_IMG_DNCHECK);
        QVERIFY(!dialog->StartButton()->IsButtonEnabled());
        QVERIFY(dialog->StopButton()->IsButtonEnabled());
        QVERIFY(QTest::qWaitFor([&] { return view->BackupRecorder()->FrameCount() >= 4; }, 20000));
        QTRY_VERIFY(dialog->ProgressLabel()->text().contains("03_Capture.avi"));
        QVERIFY(dialog->ProgressLabel()->isVisible());
        QVERIFY(dialog->ProgressLabel()->text().contains("frames"));

        Click(dialog->StopButton());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(view->Button(ctl::BACKUP)->CurrentImage(), SKIN_IMG_NORMAL);
        const QString folder = fixture.Folder() + "avi/";
        QCOMPARE(m_shownFolders, QStringList{folder});
        dialog->OnStop();
        QCOMPARE(m_shownFolders.size(), 1);
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        QVERIFY(QFile::exists(folder + "03_Capture.log"));
        QVERIFY(QFile::exists(folder + "03_Capture.sha256"));
        CAviReader reader;
        QVERIFY(reader.Open((folder + "03_Capture.avi").toStdString()));
        QCOMPARE(reader.m_frames.size(), size_t(view->BackupRecorder()->FrameCount()));
        QVERIFY(fixture.m_messages.isEmpty());
    }

    // Started right after opening, an export that runs to the end of the recording
    // holds every picture of the camera that forward play delivers, the one on screen
    // first; reaching the end pauses and so ends it.
    void exportFromOpeningToTheEndHoldsEveryPicture()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 64);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 2);
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 30000));
        QCOMPARE(view->BackupRecorder()->FrameCount(), 4u); // records 2, 18, 34 and 50; the last is not shown
        CAviReader reader;
        QVERIFY(reader.Open((fixture.Folder() + "avi/03_Capture.avi").toStdString()));
        QCOMPARE(reader.m_frames.size(), size_t(4));
        QVERIFY(QFile(fixture.Folder() + "avi/03_Capture.log").open(QIODevice::ReadOnly));
    }

    // Closing the window while frames arrive stops the export first: log written,
    // folder shown, playback paused, open button back.
    void closingWhileExportingEndsIt()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 400);
        CKVXPlayerView* view = frame->View();
        StartExport(OpenPanel(view), 0);
        QVERIFY(QTest::qWaitFor([&] { return view->BackupRecorder()->FrameCount() >= 3; }, 20000));
        Click(view->Button(ctl::BACKUP));
        QVERIFY(!view->IsBackupOpen());
        QVERIFY(!view->BackupDialog()->isVisible());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QVERIFY(view->Button(ctl::OPEN)->IsButtonEnabled());
        QCOMPARE(m_shownFolders.size(), 1);
        QVERIFY(QFile::exists(fixture.Folder() + "avi/01_Capture.log"));
        QVERIFY(!view->BackupRecorder()->IsExporting());
    }

    // The end button jumps; the playback thread pauses after the last group, and that
    // pause ends the export.
    void endButtonEndsTheExportWhenPlaybackPauses()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 400);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 1);
        QVERIFY(QTest::qWaitFor([&] { return view->BackupRecorder()->FrameCount() >= 1; }, 20000));
        QVERIFY(!dialog->IsStopped());
        Click(view->Button(ctl::END));
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 20000));
        QCOMPARE(m_shownFolders.size(), 1);
        QVERIFY(QFile::exists(fixture.Folder() + "avi/02_Capture.log"));
        QVERIFY(view->IsBackupOpen()); // the window stays, idle
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
    }

    // A disc that fills up ends the export as the stop button does, with one message
    // naming the file and the reason; the export ends its log at its last frame and
    // is marked incomplete instead of getting sums.
    void fullDiscEndsTheExportAndSaysSo()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 400); // camera 3's picture k is at 14:00:0k
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        {
            const CFileSizeLimit full(48 * 1024);
            QVERIFY(full.IsSet());
            StartExport(dialog, 2);
            QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 30000));
        }
        const QString folder = fixture.Folder() + "avi/";
        QCOMPARE(fixture.m_messages.size(), 1);
        QVERIFY2(fixture.m_messages[0].startsWith("KVXPlayer|The export into " + folder + "03_Capture.avi stopped: File too large."),
                 qPrintable(fixture.m_messages[0]));
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(m_shownFolders.size(), 1);
        const uint32_t frames = view->BackupRecorder()->FrameCount();
        QVERIFY(frames >= 1 && frames < 24);
        QVERIFY(!QFile::exists(folder + "03_Capture.sha256"));
        QVERIFY(QFile::exists(folder + "03_Capture.INCOMPLETE.txt"));
        QFile log(folder + "03_Capture.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(QString::asprintf("RECORD END   : 2024/03/18 14:00:%02u \r\n", frames - 1).toLatin1()));
    }

    // Without a file there is no export: the message, and the window back to idle.
    void fileThatCannotBeCreatedStopsTheStart()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture);
        CKVXPlayerView* view = frame->View();
        QDir(fixture.Folder() + "avi").removeRecursively();
        QFile blocker(fixture.Folder() + "avi");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 0);
        QCOMPARE(fixture.m_messages.size(), 1);
        QVERIFY2(fixture.m_messages[0].startsWith("KVXPlayer|ERROR : CreateAVIFile.\n")
                     && fixture.m_messages[0].contains(fixture.Folder() + "avi/"),
                 qPrintable(fixture.m_messages[0]));
        QVERIFY(dialog->IsStopped());
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        QVERIFY(!dialog->StopButton()->IsButtonEnabled());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(view->Button(ctl::BACKUP)->CurrentImage(), SKIN_IMG_NORMAL);
    }
};

KVX_REGISTER_TEST(TestPlayerBackup);
#include "tst_playerbackup.moc"

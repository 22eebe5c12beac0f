#include "app/mainframe.h"
#include "export/avireader.h"
#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "export/exportoutcomeline.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/backuppanelfixture.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"
#include "tools/recgen/recordinggenerator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QDir>
#include <QFile>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// The frames of a video as ffprobe counts them by decoding; -1 without ffprobe.
int DecodedFrames(const QString& path)
{
    if (QStandardPaths::findExecutable("ffprobe").isEmpty())
        return -1;
    const CToolRun run = CToolRun::Of("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0",
                                                  "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path});
    return run.status == 0 ? run.out.trimmed().toInt() : -1;
}

// A key as the desktop delivers it: to whichever widget has the keyboard focus.
void PressWhereTheKeyboardIs(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, "no widget has the keyboard");
    QTest::keyClick(focus, key, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

// The backup window and the export, driven through the real player window.
class TestPlayerBackup : public QObject, public CBackupPanelFixture {
    Q_OBJECT

private slots:
    void init() { m_shownFolders.clear(); }

    // Each opening lists the recording's channels and starts from camera 1, 10 frames
    // per second, 360 x 240 and the AVI, whatever was chosen before; the player's open
    // button is off while the window is open.
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
        QCOMPARE(Items(dialog->FormatBox()), (QStringList{"AVI (Motion-JPEG)", "MP4 (H.264)"}));
        // Four seconds of each camera are too few for a rate of its own: 10 stays.
        QTRY_VERIFY_WITH_TIMEOUT(view->Session().CameraRates().has_value(), 30000);
        QVERIFY(!dialog->RateLabel()->isVisible());
        QCOMPARE(dialog->ChannelBox()->geometry(), QRect(8, 40, 50, 22));
        QVERIFY(!view->Button(ctl::OPEN)->IsButtonEnabled());
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        QVERIFY(!dialog->StopButton()->IsButtonEnabled());

        dialog->ChannelBox()->setCurrentIndex(5);
        dialog->FrameRateBox()->setCurrentIndex(29);
        dialog->SizeBox()->setCurrentIndex(1);
        dialog->FormatBox()->setCurrentIndex(1);
        Click(view->Button(ctl::BACKUP));
        QVERIFY(!dialog->isVisible());
        QVERIFY(view->Button(ctl::OPEN)->IsButtonEnabled());
        QVERIFY(m_shownFolders.isEmpty()); // nothing was exported
        OpenPanel(view);
        QCOMPARE(dialog->ChannelBox()->currentText(), QString("1"));
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("10"));
        QCOMPARE(dialog->SizeBox()->currentText(), QString("360 * 240"));
        QCOMPARE(dialog->FormatBox()->currentText(), QString("AVI (Motion-JPEG)"));
    }

    // A row too narrow for a deep folder shortens the folder, never the file and its
    // frames; an export cut short never reads as saved.
    void outcomeKeepsTheFileAndFramesInANarrowRow()
    {
        QWidget panel;
        auto* line = new CExportOutcomeLine(&panel);
        line->setGeometry(0, 0, 206, 12);
        const QString path = "/home/someone/evidence/case 2024-0318/copies for the court/avi/02_Capture.avi";
        line->ShowSaving("02_Capture.avi");
        QCOMPARE(line->Text(), QString("Saving 02_Capture.avi \u2026"));
        QVERIFY(line->FolderButton()->isHidden());
        line->ShowCompleted(path, 211, true);
        QCOMPARE(line->Text(), QString("Saved 02_Capture.avi, 211 frames, in /home/someone/evidence/case 2024-0318/"
                                       "copies for the court/avi"));
        QCOMPARE(line->toolTip(), line->Text());
        QVERIFY2(line->ShownText().startsWith("Saved 02_Capture.avi, 211 frames, "), qPrintable(line->ShownText()));
        QVERIFY(!line->FolderButton()->isHidden());
        line->setGeometry(0, 0, 320, 12); // room for some of the folder: its middle goes
        line->ShowCompleted(path, 211, true);
        QVERIFY2(line->ShownText().startsWith("Saved 02_Capture.avi, 211 frames, in /"), qPrintable(line->ShownText()));
        QVERIFY(line->ShownText().contains(QChar(0x2026)));
        QVERIFY(line->ShownText().endsWith("/avi"));
        line->ShowCompleted(path, 1, false);
        QVERIFY2(line->ShownText().startsWith("Incomplete: 02_Capture.avi, 1 frame, in /"), qPrintable(line->ShownText()));
    }

    void fourChannelRecordingListsFour()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 4, 64);
        QCOMPARE(Items(OpenPanel(frame->View())->ChannelBox()), Numbers(4));
    }

    // A PAL recording is also offered its own sizes, and an export at 720 x 576 is
    // made at that size.
    void palRecordingOffersItsOwnSizes()
    {
        CPlayerFixture fixture;
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 32;
        recipe.m_nWidth = 720;
        recipe.m_nHeight = 288;
        QString path;
        auto frame = StartPaused(fixture, recipe, path);
        CKVXPlayerView* view = frame->View();
        QVERIFY(view->IsPal());
        CBackupDlg* dialog = OpenPanel(view);
        QCOMPARE(Items(dialog->SizeBox()), (QStringList{"360 * 240", "720 * 480", "352 * 288", "720 * 576"}));
        QCOMPARE(dialog->SizeBox()->currentText(), QString("360 * 240"));
        dialog->SizeBox()->setCurrentIndex(3);
        StartExport(dialog, 0);
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 30000));
        WaitForCompletion(view);
        CAviReader reader;
        QVERIFY(reader.Open((fixture.Folder() + "avi/01_Capture.avi").toStdString()));
        QCOMPARE(reader.m_strf.biWidth, 720);
        QCOMPARE(reader.m_strf.biHeight, 576);
        QVERIFY(!reader.m_frames.empty());
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
    // stop writes the AVI, its log and sums and pauses; once they are written the
    // panel says where and with how many frames, the number the file holds, and its
    // button, not the stop, shows the folder.
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
        const QString text = dialog->OutcomeLine()->Text();
        QVERIFY2(text == "Saving 03_Capture.avi \u2026" || text.startsWith("Saved "), qPrintable(text));
        dialog->OnStop();
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        WaitForCompletion(view);
        QVERIFY(QFile::exists(folder + "03_Capture.log"));
        QVERIFY(QFile::exists(folder + "03_Capture.sha256"));
        CAviReader reader;
        QVERIFY(reader.Open((folder + "03_Capture.avi").toStdString()));
        QCOMPARE(reader.m_frames.size(), size_t(view->BackupRecorder()->FrameCount()));
        QVERIFY(fixture.m_messages.isEmpty());

        const int frames = int(reader.m_frames.size());
        if (const int decoded = DecodedFrames(folder + "03_Capture.avi"); decoded >= 0)
            QCOMPARE(decoded, frames);
        const QString nativeFolder = QDir::toNativeSeparators(fixture.Folder() + "avi");
        QCOMPARE(dialog->OutcomeLine()->Text(),
                 QString("Saved 03_Capture.avi, %1 frames, in %2").arg(frames).arg(nativeFolder));
        QVERIFY(dialog->OutcomeLine()->isVisible());
        QVERIFY(!dialog->RateLabel()->isVisible()); // the outcome has its row
        QVERIFY(m_shownFolders.isEmpty());
        QToolButton* open = dialog->OutcomeLine()->FolderButton();
        QVERIFY(open->isVisible());
        QVERIFY(dialog->rect().contains(open->geometry().translated(dialog->OutcomeLine()->pos())));
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(m_shownFolders, QStringList{nativeFolder});

        // The next start clears it; the next opening starts without it.
        StartExport(dialog, 2);
        QVERIFY(dialog->OutcomeLine()->Text().isEmpty());
        Click(view->Button(ctl::BACKUP));
        WaitForCompletion(view);
        OpenPanel(view);
        QVERIFY(dialog->OutcomeLine()->Text().isEmpty());
    }

    // After start, stop and the panel's buttons, the keys act on the player: "1" is
    // the one-camera layout, not camera 1 of the panel's box, and Ctrl+Q ends the
    // program.
    void keysGoBackToThePlayer()
    {
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture, 16, 400);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        QTRY_COMPARE(QApplication::focusWidget(), view); // opening the panel left the keys alone
        dialog->activateWindow(); // as a click into the box leaves it
        dialog->ChannelBox()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), dialog->ChannelBox());
        dialog->ChannelBox()->setCurrentIndex(6);
        emit dialog->ChannelBox()->activated(6);
        QTRY_COMPARE(QApplication::focusWidget(), view);
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        StartExport(dialog, 6);
        QTRY_COMPARE(QApplication::focusWidget(), view);
        QVERIFY(QTest::qWaitFor([&] { return view->BackupRecorder()->FrameCount() >= 2; }, 20000));
        Click(view->Button(ctl::MODE4));
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        Click(dialog->StopButton());
        WaitForCompletion(view);
        QTRY_COMPARE(QApplication::focusWidget(), view);

        PressWhereTheKeyboardIs(Qt::Key_1);
        QCOMPARE(view->Grid(), 1);
        QCOMPARE(dialog->ChannelBox()->currentText(), QString("7"));

        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        QTest::mouseClick(dialog->OutcomeLine()->FolderButton(), Qt::LeftButton);
        QCOMPARE(m_shownFolders.size(), 1);
        QTRY_COMPARE(QApplication::focusWidget(), view);
        PressWhereTheKeyboardIs(Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!frame->isVisible());
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
        WaitForCompletion(view);
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
        QVERIFY(m_shownFolders.isEmpty()); // no file manager pops up
        WaitForCompletion(view);
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
        WaitForCompletion(view);
        QVERIFY(dialog->OutcomeLine()->Text().startsWith("Saved 02_Capture.avi, "));
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
            WaitForCompletion(view);
        }
        const QString folder = fixture.Folder() + "avi/";
        QCOMPARE(fixture.m_messages.size(), 1);
        QVERIFY2(fixture.m_messages[0].startsWith("KVXPlayer|The export into " + folder + "03_Capture.avi stopped: File too large."),
                 qPrintable(fixture.m_messages[0]));
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        const uint32_t frames = view->BackupRecorder()->FrameCount();
        QVERIFY(frames >= 1 && frames < 24);
        // Never "Saved" for an export cut short.
        QCOMPARE(dialog->OutcomeLine()->Text(), QString("Incomplete: 03_Capture.avi, %1 frame%2, in %3")
                                                   .arg(frames)
                                                   .arg(frames == 1 ? "" : "s")
                                                   .arg(QDir::toNativeSeparators(fixture.Folder() + "avi")));
        QVERIFY(!QFile::exists(folder + "03_Capture.sha256"));
        QVERIFY(QFile::exists(folder + "03_Capture.INCOMPLETE.txt"));
        QFile log(folder + "03_Capture.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(QString::asprintf("RECORD END   : 2024/03/18 14:00:%02u \r\n", frames - 1).toLatin1()));
    }

    // Without a file there is no export: the message, and the window back to idle. A
    // file standing where the avi folder must be is named as such (the superuser
    // meets it too).
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
        QCOMPARE(fixture.m_messages,
                 QStringList{"KVXPlayer|ERROR : CreateAVIFile.\ncannot create the folder "
                             + QDir::toNativeSeparators(fixture.Folder() + "avi")
                             + ": a file stands where a folder of its path must be"});
        QVERIFY(dialog->OutcomeLine()->Text().isEmpty());
        QVERIFY(dialog->IsStopped());
        QVERIFY(dialog->StartButton()->IsButtonEnabled());
        QVERIFY(!dialog->StopButton()->IsButtonEnabled());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(view->Button(ctl::BACKUP)->CurrentImage(), SKIN_IMG_NORMAL);
    }

    // A folder the user may not write into: the message names the file it tried, AVI
    // or MP4, and the system's reason.
    void unwritableFolderNamesTheFileAndTheReason()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser writes into every folder: an unwritable one cannot be made");
        CPlayerFixture fixture;
        auto frame = StartPaused(fixture);
        CKVXPlayerView* view = frame->View();
        const QString folder = fixture.Folder() + "avi";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 2);
        dialog->FormatBox()->setCurrentIndex(1);
        StartExport(dialog, 2);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
        const QString header = "KVXPlayer|ERROR : CreateAVIFile.\ncannot create " + QDir::toNativeSeparators(folder);
        QCOMPARE(fixture.m_messages, (QStringList{header + "/03_Capture.avi: Permission denied",
                                                  header + "/03_Capture.mp4: Permission denied"}));
        QVERIFY(dialog->IsStopped());
        QVERIFY(QDir(folder).isEmpty());
    }
};

KVX_REGISTER_TEST(TestPlayerBackup);
#include "tst_playerbackup.moc"

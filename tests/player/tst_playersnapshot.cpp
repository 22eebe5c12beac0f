#include "app/mainframe.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "platform/folderdialog.h"
#include "tests/support/exiftags.h"
#include "tests/support/outputframes.h"
#include "tests/support/plantedlink.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

namespace {

void Click(QWidget* control)
{
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(2, 2));
    QCoreApplication::processEvents();
}

bool Near(QColor a, QColor b, int tolerance = 30)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// Where the enlarged picture shows its scene's plain background, in the video area.
const QPoint BACKGROUND_POINT(720 * 92 / 100, 480 * 30 / 100);

// A key as the desktop delivers it: to whichever widget has the keyboard focus.
void PressWhereTheKeyboardIs(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, "no widget has the keyboard");
    QTest::keyClick(focus, key, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

class TestPlayerSnapshot : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, bool pal)
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 64;
        recipe.m_timeStart = CDateTime(2024, 1, 15, 9, 30, 5);
        if (pal) {
            recipe.m_nWidth = 720;
            recipe.m_nHeight = 288;
        }
        return StartPaused(fixture, recipe, 16);
    }

    // Paused once `shown` pictures have been delivered.
    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const CRecordingRecipe& recipe, int shown)
    {
        m_strRecording = QString::fromStdString(m_recordings.Write(recipe));
        auto frame = fixture.Start(m_strRecording);
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= shown
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        QCoreApplication::processEvents();
        return frame;
    }

    // The still `kvxtool snapshot` makes of camera `camera` (from 1) at `time`.
    QString CommandLineStill(int camera, const CDateTime& time, const QString& folder) const
    {
        const CToolRun run = CToolRun::Of(QCoreApplication::applicationDirPath() + "/kvxtool",
                                          {"snapshot", m_strRecording, "--channel", QString::number(camera), "--at",
                                           QString::fromStdString(time.ToIsoString()).replace('T', ' '), "--out",
                                           folder, "--json"});
        if (run.status != 0)
            qWarning("kvxtool: %s", run.err.constData());
        return run.Json()["file"].toString();
    }

    QString m_strRecording;

private slots:
    void withoutARecordingNothingOpens()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        frame->View()->OnCommand(ctl::EDIT);
        QCOMPARE(fixture.m_messages, QStringList{"backup|Can not command. It need pictuer for save.  "});
        QVERIFY(!frame->View()->EditDialog());
        QVERIFY(frame->isVisible());
    }

    // Camera 5 enlarged and paused goes to the editor, which takes the player's place;
    // the saved file is named after the picture's time and shows the steps; closing
    // brings the player back, still paused.
    void cameraButtonOpensTheEditor()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, false);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::CHANNEL_FIRST + 4));
        QVERIFY(view->Button(ctl::EDIT)->IsButtonEnabled());
        Click(view->Button(ctl::EDIT));

        CImageEditDlg* dlg = view->EditDialog();
        QVERIFY(dlg && dlg->isVisible());
        QVERIFY(!frame->isVisible());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(dlg->size(), frame->size());
        QVERIFY(!QFile::exists(fixture.Folder() + "Backup/tmp.bmp"));
        QCOMPARE(dlg->CommandText(), QString("NONE"));
        const QImage captured = dlg->WorkingPicture();
        QCOMPARE(captured.size(), QSize(720, 480));
        const QColor scene = captured.pixelColor(BACKGROUND_POINT);
        QVERIFY(Near(scene, CScenePainter::BackgroundColour(4)));

        dlg->OnCommand(editctl::BRIGHT);
        dlg->OnCommand(editctl::SHARPEN);
        dlg->OnCommand(editctl::SAVE);
        QVERIFY(fixture.m_messages.isEmpty());
        const QImage saved(fixture.Folder() + "Backup/20240115_093005.jpg");
        QCOMPARE(saved.size(), QSize(720, 480));
        const QColor brighter = saved.pixelColor(BACKGROUND_POINT + QPoint(1, 1)); // the editor shows it 1 pixel in
        QVERIFY2(brighter.red() + brighter.green() + brighter.blue() > scene.red() + scene.green() + scene.blue() + 20,
                 qPrintable(QString("%1 against %2").arg(brighter.name(), scene.name())));

        Click(dlg->Button(editctl::CLOSE));
        QVERIFY(!dlg->isVisible());
        QVERIFY(frame->isVisible());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);

        // The second snapshot reuses the window and keeps nothing of the first.
        Click(view->Button(ctl::EDIT));
        QCOMPARE(view->EditDialog(), dlg);
        QCOMPARE(dlg->CommandText(), QString("NONE"));
        QVERIFY(Near(dlg->WorkingPicture().pixelColor(BACKGROUND_POINT), scene, 3));
        QTest::keyClick(dlg, Qt::Key_Z, Qt::ControlModifier); // nothing to take back
        QVERIFY(Near(dlg->WorkingPicture().pixelColor(BACKGROUND_POINT), scene, 3));
    }

    // The capture reaches the editor in memory: links planted in the Backup folder as
    // its bitmap and under the still's name, to the recording being played, are
    // neither written through nor taken away.
    void linksInTheBackupFolderLeaveTheRecordingAlone()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, false);
        CKVXPlayerView* view = frame->View();
        QVERIFY(QDir().mkpath(fixture.Folder() + "Backup"));
        const CPlantedLink bitmap(view->FilePath(), fixture.Folder() + "Backup/tmp.bmp");
        const CPlantedLink still(view->FilePath(), fixture.Folder() + "Backup/20240115_093005.jpg");
        QVERIFY(bitmap.Planted() && still.Planted());
        Click(view->Button(ctl::CHANNEL_FIRST + 4));
        Click(view->Button(ctl::EDIT));

        CImageEditDlg* dlg = view->EditDialog();
        QVERIFY(dlg && dlg->IsPictureLoaded());
        QVERIFY(Near(dlg->WorkingPicture().pixelColor(BACKGROUND_POINT), CScenePainter::BackgroundColour(4)));
        dlg->OnCommand(editctl::SAVE);
        QVERIFY(fixture.m_messages.isEmpty());
        QCOMPARE(QImage(fixture.Folder() + "Backup/20240115_093005(1).jpg").size(), QSize(720, 480));
        QVERIFY(bitmap.RecordingIntact());
        QVERIFY(bitmap.LinkIntact() && still.LinkIntact());
    }

    // Saved without a step, the editor's still is the picture `kvxtool snapshot` makes
    // of that camera and moment: the same size, no frame around it, the same pixels
    // but for the JPEG's re-encoding, and the same EXIF time. With an audio switch on,
    // the player shows the camera as a smaller tile; the still is still drawn once at
    // full size, not that tile scaled up again.
    void editorsStillIsTheCommandLinesStill()
    {
        if (QStandardPaths::findExecutable("exiftool").isEmpty())
            QSKIP("exiftool is not installed");
        for (const bool sound : {false, true}) {
            CPlayerFixture fixture;
            fixture.WriteSkin();
            CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(64, 1.0 / 16);
            recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 1, 10);
            auto frame = StartPaused(fixture, recipe, 4);
            CKVXPlayerView* view = frame->View();
            if (sound)
                QTest::mouseClick(view->Control(ctl::AUDIO2), Qt::LeftButton, {}, QPoint(5, 5));
            QCOMPARE(view->AudioMask(), uint8_t(sound ? 0b0010 : 0));
            Click(view->Button(ctl::CHANNEL_FIRST + 1));
            Click(view->Button(ctl::EDIT));
            CImageEditDlg* dlg = view->EditDialog();
            QVERIFY(dlg && dlg->isVisible());
            Click(dlg->Button(editctl::SAVE));
            fixture.m_messages.removeAll("Error|Audio initialize exception."); // this machine may have no sound output
            fixture.m_messages.removeAll(NO_SOUND_DEVICE_MESSAGE);
            QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join('\n')));
            QCOMPARE(dlg->SavedText(), QString("SAVED 20240318_140110.jpg"));
            const QString editor = fixture.Folder() + "Backup/20240318_140110.jpg";

            const QTemporaryDir out;
            const QString command = CommandLineStill(2, CDateTime(2024, 3, 18, 14, 1, 10), out.path());
            QVERIFY(QFile::exists(command));
            const QImage a(editor), b(command);
            QCOMPARE(a.size(), QSize(720, 480));
            QCOMPARE(a.size(), b.size());
            const double psnr = Psnr(a, b);
            QVERIFY2(psnr > 40, qPrintable(QString("sound %1: %2 dB").arg(sound).arg(psnr)));
            QCOMPARE(ExifTags(editor)["DateTimeOriginal"].toString(), QString("2024:03:18 14:01:10"));
            QCOMPARE(ExifTags(editor)["DateTimeOriginal"], ExifTags(command)["DateTimeOriginal"]);
        }
    }

    // After a save the editor says which file it wrote and which steps the picture
    // carries; after an undo, the steps that are left.
    void editorSaysWhatItSavedAndTheSteps()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, false);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::CHANNEL_FIRST + 4));
        Click(view->Button(ctl::EDIT));
        CImageEditDlg* dlg = view->EditDialog();
        QCOMPARE(dlg->StepsText(), QString("STEPS : NONE"));
        QVERIFY(dlg->SavedText().isEmpty());
        Click(dlg->Button(editctl::BRIGHT));
        Click(dlg->Button(editctl::SHARPEN));
        Click(dlg->Button(editctl::SAVE));
        QCOMPARE(dlg->CommandText().trimmed(), QString("SAVE"));
        QCOMPARE(dlg->SavedText(), QString("SAVED 20240115_093005.jpg"));
        QCOMPARE(dlg->StepsText(), QString("STEPS : BRIGHT, SHARPEN"));

        // The editor keeps its keys after its buttons: Ctrl+Z, then Esc.
        QTRY_VERIFY(QApplication::focusWidget() == dlg);
        PressWhereTheKeyboardIs(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(dlg->CommandText().trimmed(), QString("UNDO"));
        QCOMPARE(dlg->StepsText(), QString("STEPS : BRIGHT"));
        Click(dlg->Button(editctl::SAVE));
        QCOMPARE(dlg->SavedText(), QString("SAVED 20240115_093005(1).jpg"));
        PressWhereTheKeyboardIs(Qt::Key_Escape);
        QVERIFY(!dlg->isVisible());
        QVERIFY(frame->isVisible());

        // The next snapshot starts with nothing saved.
        QTRY_VERIFY(QApplication::focusWidget() == view);
        PressWhereTheKeyboardIs(Qt::Key_4);
        QCOMPARE(view->Grid(), 2);
        Click(view->Button(ctl::MODE1));
        Click(view->Button(ctl::EDIT));
        QVERIFY(dlg->SavedText().isEmpty());
        QCOMPARE(dlg->StepsText(), QString("STEPS : NONE"));
    }

    // Ctrl+Q ends the program from the editor as from the player.
    void quitKeyWorksInTheEditor()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, false);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::CHANNEL_FIRST + 4));
        Click(view->Button(ctl::EDIT));
        CImageEditDlg* dlg = view->EditDialog();
        Click(dlg->Button(editctl::BRIGHT));
        QTRY_VERIFY(QApplication::focusWidget() == dlg);
        PressWhereTheKeyboardIs(Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!dlg->isVisible());
        QTRY_VERIFY(!frame->isVisible());
        QVERIFY(!view->IsPlayThreadStarted());
    }

    // A Backup folder that cannot be made: the editor says where it tried and why,
    // offers another folder, and saves there with the same name and EXIF; later saves
    // go there too. A file stands in the way, which the superuser meets as well.
    void saveThatFailsOffersAnotherFolder()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, false);
        CKVXPlayerView* view = frame->View();
        QDir(fixture.Folder() + "Backup").removeRecursively();
        QFile blocker(fixture.Folder() + "Backup");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QTemporaryDir other;
        QStringList asked;
        QString answer = other.path();
        const CFolderDialog::Handler previous = CFolderDialog::SetHandler([&](const QString& caption, const QString&) {
            asked << caption;
            return answer;
        });
        Click(view->Button(ctl::CHANNEL_FIRST + 4));
        Click(view->Button(ctl::EDIT));
        CImageEditDlg* dlg = view->EditDialog();
        Click(dlg->Button(editctl::SAVE));
        const QString tried = QDir::toNativeSeparators(fixture.Folder() + "Backup/20240115_093005.jpg");
        QCOMPARE(fixture.m_messages,
                 QStringList{"KVXPlayer|Can not save the picture to " + tried
                             + ": its folder cannot be created: a file stands where a folder of its path must be"
                               "\n\nChoose another folder for it, or cancel to leave it unsaved."});
        QCOMPARE(asked, QStringList{"Save the picture in"});
        const QString saved = other.filePath("20240115_093005.jpg");
        QCOMPARE(QImage(saved).size(), QSize(720, 480));
        QCOMPARE(dlg->SavedText(), QString("SAVED 20240115_093005.jpg"));
        QVERIFY(dlg->IsSaveOkShown());
        if (!QStandardPaths::findExecutable("exiftool").isEmpty())
            QCOMPARE(ExifTags(saved)["DateTimeOriginal"].toString(), QString("2024:01:15 09:30:05"));

        fixture.m_messages.clear();
        Click(dlg->Button(editctl::SAVE));
        QVERIFY(fixture.m_messages.isEmpty());
        QVERIFY(QFile::exists(other.filePath("20240115_093005(1).jpg"))); // never replaced
        QCOMPARE(asked.size(), 1);
        CFolderDialog::SetHandler(previous);
    }

    void palSnapshotIsFullHeight()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, true);
        CKVXPlayerView* view = frame->View();
        QVERIFY(view->IsPal());
        Click(view->Button(ctl::MODE1));
        Click(view->Button(ctl::EDIT));
        CImageEditDlg* dlg = view->EditDialog();
        QVERIFY(dlg);
        QCOMPARE(dlg->PictureRect().height(), 576);
        QCOMPARE(dlg->WorkingPicture().size(), QSize(720, 576));
        QCOMPARE(dlg->size(), frame->size());
    }
};

KVX_REGISTER_TEST(TestPlayerSnapshot);
#include "tst_playersnapshot.moc"

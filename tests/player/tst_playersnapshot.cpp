#include "app/mainframe.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "tests/support/plantedlink.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QDir>

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
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= 16
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        QCoreApplication::processEvents();
        return frame;
    }

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

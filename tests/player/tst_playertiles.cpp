// What the tiles show through the real window: each camera's own picture with its own
// record's time, or an empty tile; never a picture from before an open, a switch of
// video standard or a jump. Checked pixel by pixel against the tile drawn afresh.

#include "app/mainframe.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/gotodialog.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "tests/support/exiftags.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <thread>

namespace {

// 16 cameras, four records a second: one group spans four seconds, so the cameras'
// pictures of one group carry four different times.
CRecordingRecipe QuarterSecondRecipe(int records)
{
    CRecordingRecipe recipe;
    recipe.m_nRecords = records;
    recipe.m_dSecondsPerRecord = 0.25;
    recipe.m_timeStart = CDateTime(2005, 1, 1, 0, 0, 0);
    recipe.m_nQuality = 40;
    return recipe;
}

CDateTime TimeOf(const CFrameTime& t)
{
    return CDateTime(t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour, t.m_byMinute, t.m_bySecond);
}

QString Text(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString());
}

bool IsIdle(CKVXPlayerView* view)
{
    QCoreApplication::processEvents();
    return view->PlayStateForTest() == PS_PAUSE;
}

bool WaitUntilPausedAfter(CKVXPlayerView* view, int before, int frames)
{
    return QTest::qWaitFor([&] { return view->DeliveredFrames() >= before + frames && IsIdle(view); }, 20000);
}

// The time of the picture camera `channel` last had among the records up to `last`.
std::optional<CDateTime> LastPictureTime(const CRecordingGenerator& generator, int channel, int first, int last)
{
    std::optional<CDateTime> time;
    for (const CGeneratedRecord& r : generator.Records())
        if (r.m_nChannel == channel && r.m_nPictureIndex >= first && r.m_nPictureIndex <= last)
            time = r.m_time;
    return time;
}

// Every tile of the 16-tile page: the camera's picture with the expected time drawn
// as a tile, or, for a camera without an expected picture, the plain background.
void CheckTiles(CKVXPlayerView* view, const std::map<int, CDateTime>& expected, QColor background)
{
    QCOMPARE(view->Grid(), 4);
    // The view's own painting: the test skin lays some buttons over the PAL video area.
    QImage screen(view->size(), QImage::Format_RGB32);
    view->render(&screen, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    CTileRenderer renderer;
    for (int ch = 0; ch < 16; ++ch) {
        const QRect tile = view->TileRect(ch);
        const QRect inside = tile.adjusted(1, 1, -1, -1);
        const QImage shown = screen.copy(inside);
        const auto want = expected.find(ch);
        if (want == expected.end()) {
            QImage blank(shown.size(), QImage::Format_RGB32);
            blank.fill(background);
            QVERIFY2(shown == blank, qPrintable(QString("camera %1 shows a picture it has not had").arg(ch + 1)));
            continue;
        }
        QImage drawn;
        CFrameTime time;
        QVERIFY2(view->Router().UseChannelPicture(ch, [&](const CTilePicture& picture, const CFrameTime& t) {
            time = t;
            drawn = renderer.RenderTile(picture, tile.size(), {ch, t, CTileRenderer::TileFont(true), true});
        }), qPrintable(QString("camera %1 has no picture").arg(ch + 1)));
        QCOMPARE(Text(TimeOf(time)), Text(want->second));
        QVERIFY2(shown == drawn.convertToFormat(QImage::Format_RGB32).copy(0, 0, inside.width(), inside.height()),
                 qPrintable(QString("camera %1's tile is not its picture at %2").arg(ch + 1).arg(Text(want->second))));
    }
}

// Every camera's last picture among the records first..last.
std::map<int, CDateTime> LastPictures(const CRecordingGenerator& generator, int first, int last)
{
    std::map<int, CDateTime> times;
    for (int ch = 0; ch < 16; ++ch)
        if (const auto t = LastPictureTime(generator, ch, first, last))
            times[ch] = *t;
    return times;
}

void AnswerGoToDialog(const QString& typed)
{
    QTimer::singleShot(0, [typed] {
        auto* dialog = qobject_cast<CGoToDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit*>()->setText(typed);
        dialog->accept();
    });
}

// Opens a recording as a file dropped on the window.
void Drop(QWidget* target, const std::string& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

const QColor NTSC_GROUND(20, 22, 26), PAL_GROUND(26, 22, 20);

} // namespace

class TestPlayerTiles : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    static std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const std::string& path)
    {
        auto frame = fixture.Start(QString::fromStdString(path));
        if (!WaitUntilPausedAfter(frame->View(), 0, 16))
            qFatal("the first group was not shown");
        return frame;
    }

private slots:
    // Paused and drawn again, each tile keeps its own picture's time, not the time of
    // the record read last.
    void aRedrawnPageShowsEachPicturesOwnTime()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(QuarterSecondRecipe(64)));
        CKVXPlayerView* view = frame->View();
        view->repaint();
        CheckTiles(view, LastPictures(m_recordings.Last(), 0, 15), NTSC_GROUND);
    }

    // Painting only paints: a paused window is painted from the video area as its
    // tiles were last drawn, without drawing one again, so a paint never waits for a
    // camera's picture while the playback thread stores one.
    void aPausedRepaintDrawsNoTile()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(QuarterSecondRecipe(64)));
        CKVXPlayerView* view = frame->View();
        std::promise<void> painted;
        std::shared_future<void> paintDone = painted.get_future().share();
        std::atomic<bool> holding{false}, released{false};
        std::thread holder([&] {
            view->Router().UseChannelPicture(0, [&](const CTilePicture&, const CFrameTime&) {
                holding = true;
                paintDone.wait_for(std::chrono::seconds(60)); // lets a paint that waits for the picture end
            });
            released = true;
        });
        while (!holding)
            std::this_thread::yield();
        view->repaint();
        const bool paintedWhileHeld = !released;
        painted.set_value();
        holder.join();
        QVERIFY(paintedWhileHeld);
        CheckTiles(view, LastPictures(m_recordings.Last(), 0, 15), NTSC_GROUND);
    }

    // Opening recordings of the other video standard and back: every tile shows the
    // new recording's picture, and nothing of the one before.
    void openingAcrossVideoStandardsLeavesNoOldPicture()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe ntsc = QuarterSecondRecipe(64);
        CRecordingRecipe pal = QuarterSecondRecipe(64);
        pal.m_nHeight = 288;
        pal.m_timeStart = CDateTime(2006, 2, 2, 21, 14, 0);
        const std::string ntscPath = m_recordings.Write(ntsc);
        const CRecordingGenerator& ntscRecords = m_recordings.Last();
        const std::string palPath = m_recordings.Write(pal);
        const CRecordingGenerator& palRecords = m_recordings.Last();

        auto frame = StartPaused(fixture, ntscPath);
        CKVXPlayerView* view = frame->View();
        CheckTiles(view, LastPictures(ntscRecords, 0, 15), NTSC_GROUND);
        for (int round = 0; round < 2; ++round) {
            const bool toPal = round == 0;
            Drop(view, toPal ? palPath : ntscPath); // counts the frames afresh
            QVERIFY(WaitUntilPausedAfter(view, 0, 16));
            QTRY_COMPARE(view->IsPal(), toPal);
            CheckTiles(view, LastPictures(toPal ? palRecords : ntscRecords, 0, 15), toPal ? PAL_GROUND : NTSC_GROUND);
        }
    }

    // A jump to the last second shows the four pictures of that second; the other
    // tiles are empty until their cameras' next pictures. End and a time typed after
    // the end show the last group, as End does.
    void aJumpLeavesNoPictureFromBeforeIt()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(QuarterSecondRecipe(56)));
        const CRecordingGenerator& records = m_recordings.Last();
        CKVXPlayerView* view = frame->View();

        int before = view->DeliveredFrames();
        AnswerGoToDialog("2005-01-01 00:00:13");
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(WaitUntilPausedAfter(view, before, 4));
        CheckTiles(view, LastPictures(records, 52, 55), NTSC_GROUND);

        const std::map<int, CDateTime> lastGroup = LastPictures(records, 40, 55);
        QCOMPARE(int(lastGroup.size()), 16);
        before = view->DeliveredFrames();
        view->OnCommand(ctl::START);
        QVERIFY(WaitUntilPausedAfter(view, before, 16));
        before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_End);
        QVERIFY(WaitUntilPausedAfter(view, before, 16));
        CheckTiles(view, lastGroup, NTSC_GROUND);

        view->OnCommand(ctl::START);
        QVERIFY(WaitUntilPausedAfter(view, view->DeliveredFrames(), 16));
        before = view->DeliveredFrames();
        AnswerGoToDialog("2005-01-01 00:05:00");
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(WaitUntilPausedAfter(view, before, 16));
        CheckTiles(view, lastGroup, NTSC_GROUND);
    }

    // Camera 1's picture of 00:00:00, paused while the newest record is of 00:00:03:
    // the still is named and stamped after its own picture, as kvxtool frames reads it.
    void aStillCarriesItsPicturesOwnTime()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::string path = m_recordings.Write(QuarterSecondRecipe(64));
        auto frame = StartPaused(fixture, path);
        CKVXPlayerView* view = frame->View();
        view->OnCommand(ctl::CHANNEL_FIRST + 0);
        view->OnCommand(ctl::EDIT);
        QVERIFY(view->EditDialog());
        view->EditDialog()->OnCommand(editctl::SAVE);
        QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join('\n')));

        const CToolRun frames = CToolRun::Of(QCoreApplication::applicationDirPath() + "/kvxtool",
                                             {"frames", QString::fromStdString(path), "--json"});
        QCOMPARE(frames.status, 0);
        QString camera1;
        for (const QByteArray& line : frames.out.split('\n'))
            if (const QJsonObject record = QJsonDocument::fromJson(line).object(); record["channel"].toInt(-1) == 0) {
                camera1 = record["time"].toString();
                break;
            }
        QCOMPARE(camera1, QString("2005-01-01 00:00:00"));
        const QStringList saved = QDir(fixture.Folder() + "Backup").entryList({"*.jpg"});
        QCOMPARE(saved, QStringList{"20050101_000000.jpg"});
        QCOMPARE(ExifTags(fixture.Folder() + "Backup/" + saved.front())["DateTimeOriginal"].toString(),
                 QString(camera1).replace('-', ':'));
    }

    // Every picture command of the editor leaves the burnt-in date, time and camera
    // number as captured: the white of their letters stays white.
    void editorFiltersLeaveTheTileTextsAlone()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(QuarterSecondRecipe(64)));
        CKVXPlayerView* view = frame->View();
        view->OnCommand(ctl::CHANNEL_FIRST + 0);
        view->OnCommand(ctl::EDIT);
        CImageEditDlg* dlg = view->EditDialog();
        QVERIFY(dlg);
        const QImage captured = dlg->PictureArea();
        QList<QPoint> letters;
        for (int y = captured.height() - 25; y < captured.height(); ++y)
            for (int x = 0; x < captured.width(); ++x)
                if (captured.pixel(x, y) == qRgb(255, 255, 255))
                    letters.append(QPoint(x, y));
        QVERIFY(letters.size() > 100);
        for (int command : {editctl::DARK, editctl::BLUR, editctl::CONTRAST_UP, editctl::BLUR, editctl::SHARPEN,
                            editctl::CONTRAST_DN, editctl::BRIGHT}) {
            dlg->OnCommand(command);
            const QImage shown = dlg->PictureArea();
            QVERIFY(shown != captured);
            for (const QPoint& at : letters)
                QVERIFY2(shown.pixel(at) == qRgb(255, 255, 255),
                         qPrintable(QString("after command %1 the text at %2,%3 changed").arg(command).arg(at.x()).arg(at.y())));
        }
    }

    // With one camera enlarged, "." and "," go to that camera's next and previous
    // picture; Shift steps one record.
    void frameStepsFollowTheEnlargedCamera()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(QuarterSecondRecipe(64)));
        CKVXPlayerView* view = frame->View();
        view->OnCommand(ctl::CHANNEL_FIRST + 2);
        auto shownTime = [view] {
            CFrameTime time;
            view->Router().UseChannelPicture(2, [&](const CTilePicture&, const CFrameTime& t) { time = t; });
            return Text(TimeOf(time));
        };
        QCOMPARE(shownTime(), QString("2005-01-01 00:00:00")); // record 2

        int before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_Period);
        QVERIFY(WaitUntilPausedAfter(view, before, 3)); // records 16, 17 and 18
        QCOMPARE(view->DeliveredFrames(), before + 3);
        QCOMPARE(shownTime(), QString("2005-01-01 00:00:04"));

        before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_Period);
        QVERIFY(WaitUntilPausedAfter(view, before, 16)); // on to record 34
        QCOMPARE(shownTime(), QString("2005-01-01 00:00:08"));

        before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_Comma);
        QVERIFY(WaitUntilPausedAfter(view, before, 16)); // back to record 18
        QCOMPARE(view->DeliveredFrames(), before + 16);
        QCOMPARE(shownTime(), QString("2005-01-01 00:00:04"));

        before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_Greater, Qt::ShiftModifier);
        QVERIFY(WaitUntilPausedAfter(view, before, 1)); // one record: camera 4's
        QCOMPARE(view->DeliveredFrames(), before + 1);
        QCOMPARE(shownTime(), QString("2005-01-01 00:00:04"));
    }

    // A 4-camera recording offers cameras 1 to 4 only, and the snapshot button waits
    // for the enlarged camera to have a picture.
    void onlyTheRecordingsCamerasAreOffered()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe four;
        four.m_nChannels = 4;
        four.m_nRecords = 16;
        four.m_dSecondsPerRecord = 0.25;
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(four)));
        CKVXPlayerView* view = frame->View();
        QVERIFY(WaitUntilPausedAfter(view, 0, 4));
        for (int ch = 0; ch < 16; ++ch)
            QCOMPARE(view->Button(ctl::CHANNEL_FIRST + ch)->IsButtonEnabled(), ch < 4);
        view->OnCommand(ctl::CHANNEL_FIRST + 3);
        QCOMPARE(view->CurrentChannel(), 3);
        QVERIFY(view->Button(ctl::EDIT)->IsButtonEnabled());
        QVERIFY(!view->Button(ctl::NEXT_PAGE)->IsButtonEnabled());
        view->OnCommand(ctl::CHANNEL_FIRST + 8);
        QCOMPARE(view->CurrentChannel(), 3);

        // On 16 cameras, after a jump to the last second only cameras 5 to 8 have a
        // picture: camera 1 enlarged cannot be taken to the editor.
        Drop(view, m_recordings.Write(QuarterSecondRecipe(56)));
        QVERIFY(WaitUntilPausedAfter(view, 0, 16));
        AnswerGoToDialog("2005-01-01 00:00:13");
        const int jumped = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(WaitUntilPausedAfter(view, jumped, 4));
        view->OnCommand(ctl::CHANNEL_FIRST + 0);
        QTRY_VERIFY(!view->Button(ctl::EDIT)->IsButtonEnabled());
        view->OnCommand(ctl::CHANNEL_FIRST + 5);
        QTRY_VERIFY(view->Button(ctl::EDIT)->IsButtonEnabled());
    }
};

KVX_REGISTER_TEST(TestPlayerTiles);
#include "tst_playertiles.moc"

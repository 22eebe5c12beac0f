#include "app/mainframe.h"
#include "platform/opendialog.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/fullscreenview.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QPainter>
#include <QScreen>

namespace {

CRecordingRecipe Recipe(int channels, int records)
{
    CRecordingRecipe recipe;
    recipe.m_nChannels = channels;
    recipe.m_nRecords = records;
    recipe.m_dSecondsPerRecord = 1.0 / channels;
    return recipe;
}

// The video area as the window paints it.
QImage VideoArea(CKVXPlayerView* view)
{
    const QRect video = view->VideoRect();
    QImage image(video.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.translate(-video.topLeft());
    view->Session().PaintVideo(painter);
    return image;
}

// The mean difference of two pictures of one size, in levels of one colour channel.
double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

bool IsBlack(const QImage& image, const QRect& area)
{
    for (int row = area.top(); row <= area.bottom(); ++row)
        for (int col = area.left(); col <= area.right(); ++col)
            if (image.pixel(col, row) != qRgb(0, 0, 0))
                return false;
    return true;
}

int BrightPixels(const QImage& image, const QRect& area)
{
    int bright = 0;
    for (int row = area.top(); row <= area.bottom(); ++row)
        for (int col = area.left(); col <= area.right(); ++col)
            bright += qGray(image.pixel(col, row)) > 200;
    return bright;
}

// A key as the keyboard gives it: to the window, which hands it to its focus widget.
void Press(CMainFrame& frame, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(frame.windowHandle(), key, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

class TestPlayerScreen : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    COpenDialog::Handler m_previousDialog;
    QString m_strDialogAnswer;

    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const CRecordingRecipe& recipe, int frames)
    {
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= frames
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        QCoreApplication::processEvents();
        return frame;
    }

    // The full-screen picture against the video area scaled to its rectangle, which
    // must keep the video area's shape and sit in the middle of the screen.
    static void CheckFullScreenPicture(CKVXPlayerView* view)
    {
        CFullScreenView* cover = view->FullScreen();
        QVERIFY(cover);
        const QRect picture = cover->PictureRect();
        const QRect video = view->VideoRect();
        QVERIFY(QRect(QPoint(0, 0), cover->size()).contains(picture));
        QVERIFY(picture.width() == cover->width() || picture.height() == cover->height());
        QVERIFY2(std::abs(picture.height() - picture.width() * video.height() / double(video.width())) <= 1,
                 qPrintable(QString("%1 x %2").arg(picture.width()).arg(picture.height())));
        QVERIFY(std::abs(picture.left() - (cover->width() - 1 - picture.right())) <= 1);
        QVERIFY(std::abs(picture.top() - (cover->height() - 1 - picture.bottom())) <= 1);

        const QImage screen = cover->grab().toImage();
        const QImage expected = VideoArea(view).scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double difference = MeanDifference(screen.copy(picture), expected);
        QVERIFY2(difference < 4, qPrintable(QString::number(difference)));
        if (picture.bottom() < screen.height() - 1)
            QVERIFY(IsBlack(screen, QRect(0, picture.bottom() + 1, screen.width(), screen.height() - 1 - picture.bottom())));
        if (picture.left() > 0)
            QVERIFY(IsBlack(screen, QRect(0, 0, picture.left(), screen.height())));
    }

private slots:
    void initTestCase()
    {
        m_previousDialog = COpenDialog::SetHandler([this](const QString&) { return m_strDialogAnswer; });
    }

    void cleanupTestCase()
    {
        COpenDialog::SetHandler(m_previousDialog);
    }

    // F shows the video area alone over the whole screen, letterboxed, with the
    // playback date-time in its corner; the keys still work the player, and Esc gives
    // the window back as it was.
    void fullScreenShowsTheVideoAreaAndKeepsTheKeys()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recipe(16, 48), 16);
        CKVXPlayerView* view = frame->View();
        const QRect normal = frame->geometry();
        const QRegion shape = frame->mask();

        Press(*frame, Qt::Key_F);
        QVERIFY(view->IsFullScreen());
        QVERIFY(frame->isFullScreen());
        QCOMPARE(frame->geometry(), frame->screen()->geometry());
        QTRY_COMPARE(view->FullScreen()->geometry(), frame->rect());
        QVERIFY(frame->mask().isEmpty());
        QCOMPARE(frame->focusWidget(), view);
        CheckFullScreenPicture(view);

        // The time, in the band the picture leaves free at the top, away from the
        // tiles' own texts at their bottom.
        CFullScreenView* cover = view->FullScreen();
        const QRect band(0, 0, cover->width(), cover->PictureRect().top());
        QVERIFY(band.height() > 20);
        const QImage screen = cover->grab().toImage();
        QVERIFY(BrightPixels(screen, band.adjusted(band.width() * 3 / 4, 0, 0, 0)) > 20);
        QVERIFY(IsBlack(screen, band.adjusted(0, 0, -band.width() / 2, 0)));

        Press(*frame, Qt::Key_1);
        QCOMPARE(view->Grid(), 1);
        Press(*frame, Qt::Key_PageDown);
        QCOMPARE(view->CurrentChannel(), 1);
        Press(*frame, Qt::Key_Plus);
        QCOMPARE(view->SpeedIndex(), 1);
        QTRY_VERIFY(view->Session().HasPicture(1));
        view->Session().RefreshIfPaused();
        QCoreApplication::processEvents();
        CheckFullScreenPicture(view); // the enlarged camera, as the window would show it
        Press(*frame, Qt::Key_Space);
        QCOMPARE(view->PlayStateForTest(), uint8_t(PS_FPLAY));
        QVERIFY(view->IsFullScreen());

        Press(*frame, Qt::Key_Escape);
        QVERIFY(!view->IsFullScreen());
        QVERIFY(!frame->isFullScreen());
        QCOMPARE(frame->geometry(), normal);
        QCOMPARE(frame->mask(), shape);
        QVERIFY(frame->findChildren<CFullScreenView*>().isEmpty());
        QCOMPARE(view->Grid(), 1);
    }

    // F and Alt+Enter toggle, a double-click on the picture leaves, Esc clears a search
    // region only once the window is back, and an empty player has nothing to show.
    void fullScreenIsLeftAsUsersExpect()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto empty = fixture.Start("");
        Press(*empty, Qt::Key_F);
        QVERIFY(!empty->View()->IsFullScreen());
        empty.reset();

        auto frame = StartPaused(fixture, Recipe(16, 48), 16);
        CKVXPlayerView* view = frame->View();
        const QRect normal = frame->geometry();
        Press(*frame, Qt::Key_Return, Qt::AltModifier);
        QVERIFY(view->IsFullScreen());
        Press(*frame, Qt::Key_F);
        QVERIFY(!view->IsFullScreen());
        QCOMPARE(frame->geometry(), normal);
        Press(*frame, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!view->IsFullScreen());

        Press(*frame, Qt::Key_F);
        QTest::mouseDClick(view->FullScreen(), Qt::LeftButton, {}, view->FullScreen()->PictureRect().center());
        QTRY_VERIFY(!view->IsFullScreen());
        QCOMPARE(frame->geometry(), normal);

        Press(*frame, Qt::Key_1);
        const QRect tile = view->TileRect(0);
        QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, tile.topLeft() + QPoint(20, 20));
        QTest::mouseMove(view, tile.center());
        QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, tile.center());
        QVERIFY(view->ActivityRegion());
        Press(*frame, Qt::Key_F);
        Press(*frame, Qt::Key_Escape);
        QVERIFY(!view->IsFullScreen());
        QVERIFY(view->ActivityRegion());
        Press(*frame, Qt::Key_Escape);
        QVERIFY(!view->ActivityRegion());
    }

    // The pointer goes while it rests over the picture and comes back when it moves.
    void pointerHidesWhileItRests()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recipe(16, 32), 16);
        Press(*frame, Qt::Key_F);
        CFullScreenView* cover = frame->View()->FullScreen();
        QVERIFY(!cover->IsPointerHidden());
        QTRY_VERIFY(cover->IsPointerHidden());
        QTest::mouseMove(cover, cover->rect().center());
        QVERIFY(!cover->IsPointerHidden());
        Press(*frame, Qt::Key_Escape);
        QVERIFY(frame->cursor().shape() != Qt::BlankCursor);
    }

    // A 4-camera recording opens with its four cameras in view; the layouts of 9 and
    // 16 tiles, which could only add empty tiles, are off, and paging the enlarged
    // camera walks cameras 1 to 4. A 16-camera recording opened next has them all back.
    void fourCameraRecordingWalksOnlyItsCameras()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recipe(4, 16), 4);
        CKVXPlayerView* view = frame->View();
        QCOMPARE(view->Grid(), 2);
        for (int id : ctl::MODES)
            QCOMPARE(view->Button(id)->IsButtonEnabled(), id == ctl::MODE1 || id == ctl::MODE4);
        QVERIFY(!view->Button(ctl::NEXT_PAGE)->IsButtonEnabled());
        Press(*frame, Qt::Key_9);
        Press(*frame, Qt::Key_0);
        Press(*frame, Qt::Key_PageDown);
        QCOMPARE(view->Grid(), 2);
        QCOMPARE(view->Page(), 0);

        QTest::mouseDClick(view, Qt::LeftButton, {}, view->TileRect(0).center());
        QCOMPARE(view->Grid(), 1);
        QCOMPARE(view->CurrentChannel(), 0);
        for (int camera = 1; camera <= 3; ++camera) {
            QVERIFY(view->Button(ctl::NEXT_PAGE)->IsButtonEnabled());
            Press(*frame, Qt::Key_PageDown);
            QCOMPARE(view->CurrentChannel(), camera);
        }
        QVERIFY(!view->Button(ctl::NEXT_PAGE)->IsButtonEnabled());
        Press(*frame, Qt::Key_PageDown);
        QCOMPARE(view->CurrentChannel(), 3);
        Press(*frame, Qt::Key_PageUp);
        QCOMPARE(view->CurrentChannel(), 2);
        QTest::mouseDClick(view, Qt::LeftButton, {}, view->TileRect(2).center());
        QCOMPARE(view->Grid(), 2); // back to the layout it opened in
        Press(*frame, Qt::Key_1);
        Press(*frame, Qt::Key_PageDown);
        Press(*frame, Qt::Key_PageDown);
        Press(*frame, Qt::Key_PageDown);
        QCOMPARE(view->CurrentChannel(), 3);
        QVERIFY(!view->Button(ctl::NEXT_PAGE)->IsButtonEnabled());

        m_strDialogAnswer = QString::fromStdString(m_recordings.Write(Recipe(16, 32)));
        Press(*frame, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(view->Recording().m_nChannelCount, uint8_t(16));
        QCOMPARE(view->Grid(), 4);
        for (int id : ctl::MODES)
            QVERIFY(view->Button(id)->IsButtonEnabled());
        QVERIFY(view->Button(ctl::CHANNEL_FIRST + 15)->IsButtonEnabled());

        m_strDialogAnswer = QString::fromStdString(m_recordings.Write(Recipe(4, 8)));
        Press(*frame, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(view->Grid(), 2);
        QVERIFY(!view->Button(ctl::MODE16)->IsButtonEnabled());

        // A file that is refused leaves an empty player, whose keys are all on.
        m_strDialogAnswer = QString::fromStdString(m_recordings.WriteBytes(std::vector<uint8_t>(70000, 0)));
        Press(*frame, Qt::Key_O, Qt::ControlModifier);
        fixture.m_messages.clear();
        QVERIFY(view->Button(ctl::MODE16)->IsButtonEnabled());
        QVERIFY(view->Button(ctl::CHANNEL_FIRST + 15)->IsButtonEnabled());
    }

    // The window takes the PAL layout at the first picture and keeps the four tiles.
    void fourCameraPalRecordingKeepsItsLayout()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe recipe = Recipe(4, 16);
        recipe.m_nHeight = 288;
        auto frame = StartPaused(fixture, recipe, 4);
        CKVXPlayerView* view = frame->View();
        QVERIFY(view->IsPal());
        QCOMPARE(view->Grid(), 2);
        QCOMPARE(view->VideoRect().height(), 576);
        QVERIFY(view->TileRect(3).top() >= view->VideoRect().center().y() - 1);
    }
};

KVX_REGISTER_TEST(TestPlayerScreen);
#include "tst_playerscreen.moc"

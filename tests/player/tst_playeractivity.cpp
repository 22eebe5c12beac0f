// The activity search through the real window: the heat strip along the slider, N and
// Shift+N to the next and previous stretch, the region drawn with Shift + left drag and
// cleared with Esc, and the list whose double-click goes to a stretch.

#include "app/mainframe.h"
#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "player/activitylist.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinslider.h"
#include "tests/support/activitytruth.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int WAIT_MS = 60000;

// Four cameras, four pictures a second each, a minute long, a still scene with noise
// and no clock drawn in; a box crosses camera 1 from 10 s to 15 s and from 30 s to
// 35 s, and camera 2 from 20 s to 25 s, in the lower half of the picture.
CRecordingRecipe BoxesRecipe()
{
    CRecordingRecipe r;
    r.m_nChannels = 4;
    r.m_nRecords = 16 * 60;
    r.m_dSecondsPerRecord = 1.0 / 16;
    r.m_bStillScene = true;
    r.m_bClock = false;
    r.m_nNoise = 4;
    r.m_nQuality = 50;
    r.m_boxes = {MovingBox(0, 10, 15), MovingBox(0, 30, 35), MovingBox(1, 20, 25)};
    return r;
}

bool IsIdle(CKVXPlayerView* view)
{
    QCoreApplication::processEvents();
    return view->PlayStateForTest() == PS_PAUSE;
}

int64_t Seconds(const CDateTime& t)
{
    return DateTimeToSeconds(t);
}

} // namespace

class TestPlayerActivity : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    std::string m_strPath;
    std::vector<CTrueStretch> m_truth;
    CPlayerFixture m_fixture;
    std::unique_ptr<CMainFrame> m_frame;
    CKVXPlayerView* m_view = nullptr;

    CTrueStretch Truth(int channel, int index) const
    {
        for (const CTrueStretch& t : m_truth)
            if (t.m_nChannel == channel && index-- == 0)
                return t;
        qFatal("no such stretch");
    }

    int PositionOf(uint64_t offset) const { return SliderPosition(offset, m_view->Recording().m_nFileLength); }
    int MiddlePosition(const CTrueStretch& t) const
    {
        return (PositionOf(t.m_nFirstOffset) + PositionOf(t.m_nLastOffset)) / 2;
    }

    QColor StripAt(int x) const
    {
        return m_view->Slider()->grab().toImage().pixelColor(x, m_view->Slider()->height() / 2);
    }

    QImage Screen() const { return m_view->grab().toImage(); }

    // Presses `key` and waits until the jump's group has been shown and playback paused.
    bool JumpWith(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        const int before = m_view->DeliveredFrames();
        QTest::keyClick(m_view, key, modifiers);
        return QTest::qWaitFor([&] { return m_view->DeliveredFrames() > before && IsIdle(m_view); }, WAIT_MS);
    }

    // Back to the recording's first group, paused.
    bool Rewind()
    {
        const int before = m_view->DeliveredFrames();
        m_view->OnCommand(ctl::START);
        return QTest::qWaitFor([&] { return m_view->DeliveredFrames() > before && IsIdle(m_view); }, WAIT_MS);
    }

    // The shown time lies in the first second of `t` (a jump shows one group from there).
    bool ShowsStartOf(const CTrueStretch& t) const
    {
        const int64_t shown = Seconds(m_view->ShownTime());
        return shown >= t.m_nFrom - 1 && shown <= t.m_nFrom + 1;
    }

    void EnlargeCamera(int channel)
    {
        m_view->OnCommand(ctl::CHANNEL_FIRST + channel);
        QVERIFY(m_view->Grid() == 1 && m_view->CurrentChannel() == channel);
    }

private slots:
    void initTestCase()
    {
        m_strPath = m_recordings.Write(BoxesRecipe());
        m_truth = TrueStretches(m_recordings.Last());
        m_fixture.WriteSkin();
        m_frame = m_fixture.Start(QString::fromStdString(m_strPath));
        QVERIFY(m_frame);
        m_view = m_frame->View();
        QVERIFY(QTest::qWaitFor([&] { return m_view->DeliveredFrames() >= 4 && IsIdle(m_view); }, WAIT_MS));
        QVERIFY(QTest::qWaitFor([&] { return m_view->Session().Activity().IsDone(); }, WAIT_MS));
        QCoreApplication::processEvents();
    }

    void cleanupTestCase()
    {
        m_frame.reset();
    }

    // The strip marks every camera's stretch on the page of four, and only the enlarged
    // camera's in the one-camera layout; the progress text says the index is complete.
    void theHeatStripShowsTheCamerasShown()
    {
        QCOMPARE(m_view->ActivityButton()->text(), QString("ACTIVITY"));
        const int first = MiddlePosition(Truth(0, 0)), other = MiddlePosition(Truth(1, 0));
        const int quiet = (PositionOf(Truth(0, 1).m_nLastOffset) + SLIDER_MAX) / 2; // nothing after 35 s
        m_view->OnCommand(ctl::MODE4);
        const QColor groove = StripAt(quiet);
        QVERIFY2(StripAt(first) != groove, qPrintable(StripAt(first).name() + " " + groove.name()));
        QVERIFY(StripAt(other) != groove);

        EnlargeCamera(0);
        QVERIFY(StripAt(first) != groove);
        QCOMPARE(StripAt(other), groove);
        EnlargeCamera(1);
        QCOMPARE(StripAt(first), groove);
        QVERIFY(StripAt(other) != groove);
    }

    // N goes from stretch to stretch of the enlarged camera, paused, and says when
    // there is none further; Shift+N goes back.
    void nAndShiftNJumpBetweenStretches()
    {
        EnlargeCamera(0);
        QVERIFY(Rewind());
        QVERIFY(JumpWith(Qt::Key_N));
        QVERIFY2(ShowsStartOf(Truth(0, 0)), qPrintable(QString::fromStdString(m_view->ShownTime().ToIsoString())));
        QCOMPARE(m_view->PlayStateForTest(), uint8_t(PS_PAUSE));
        QVERIFY(JumpWith(Qt::Key_N));
        QVERIFY(ShowsStartOf(Truth(0, 1)));

        const int before = m_view->DeliveredFrames();
        QTest::keyClick(m_view, Qt::Key_N);
        QVERIFY2(m_view->ActivityNote().startsWith("No further activity after 00:00:3"),
                 qPrintable(m_view->ActivityNote()));
        QCOMPARE(m_view->DeliveredFrames(), before);

        QVERIFY(JumpWith(Qt::Key_N, Qt::ShiftModifier));
        QVERIFY(ShowsStartOf(Truth(0, 0)));
        QTest::keyClick(m_view, Qt::Key_N, Qt::ShiftModifier);
        QVERIFY(m_view->ActivityNote().startsWith("No activity before"));
    }

    // A region drawn away from the box's path finds nothing and shows as an outline
    // over the picture; Esc takes it away and the whole picture counts again.
    void aRegionIsDrawnSearchedAndCleared()
    {
        EnlargeCamera(0);
        QVERIFY(Rewind());
        const QRect tile = m_view->TileRect(0);
        const QPoint from = tile.topLeft() + QPoint(tile.width() / 10, tile.height() / 10);
        const QPoint to = tile.topLeft() + QPoint(tile.width() * 9 / 10, tile.height() * 3 / 10);
        const QColor before = Screen().pixelColor(QPoint((from.x() + to.x()) / 2, from.y()));
        QTest::mousePress(m_view, Qt::LeftButton, Qt::ShiftModifier, from);
        QTest::mouseMove(m_view, to);
        QTest::mouseRelease(m_view, Qt::LeftButton, Qt::ShiftModifier, to);
        const std::optional<CActivityRegion> region = m_view->ActivityRegion();
        QVERIFY(region);
        QVERIFY(region->m_dY < 0.2 && region->m_dY + region->m_dHeight < 0.4); // the top of the picture
        const QColor outline = Screen().pixelColor(QPoint((from.x() + to.x()) / 2, from.y()));
        QVERIFY2(outline != before && outline.red() > 200 && outline.blue() < 80, qPrintable(outline.name()));

        QTest::keyClick(m_view, Qt::Key_N);
        QVERIFY(m_view->ActivityNote().contains("in the region"));

        QTest::keyClick(m_view, Qt::Key_Escape);
        QVERIFY(!m_view->ActivityRegion());
        QCOMPARE(Screen().pixelColor(QPoint((from.x() + to.x()) / 2, from.y())), before);
        QVERIFY(JumpWith(Qt::Key_N));
        QVERIFY(ShowsStartOf(Truth(0, 0)));
    }

    // L opens the list of the enlarged camera's stretches; a double-click on a row goes there.
    void theListGoesToTheStretchDoubleClicked()
    {
        EnlargeCamera(0);
        QTest::keyClick(m_view, Qt::Key_L);
        CActivityList* list = m_view->ActivityList();
        QVERIFY(list->isVisible());
        QCOMPARE(list->RowCount(), 2);
        QVERIFY(list->Caption().startsWith("CAM 01, whole picture"));
        QCOMPARE(list->Rows()->topLevelItem(1)->text(2), QString("CAM 01"));

        const int before = m_view->DeliveredFrames();
        QTreeWidget* rows = list->Rows();
        const QPoint at = rows->visualItemRect(rows->topLevelItem(1)).center();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(QTest::qWaitFor([&] { return m_view->DeliveredFrames() > before && IsIdle(m_view); }, WAIT_MS));
        QVERIFY(ShowsStartOf(Truth(0, 1)));

        EnlargeCamera(1); // the list follows the camera shown
        QCOMPARE(list->RowCount(), 1);
        QTest::keyClick(m_view, Qt::Key_L);
        QVERIFY(!list->isVisible());
    }
};

KVX_REGISTER_TEST(TestPlayerActivity);
#include "tst_playeractivity.moc"

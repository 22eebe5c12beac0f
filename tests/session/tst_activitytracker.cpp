// The activity index as the window uses it: built in the background for an open
// recording, the stretch before and after a record, the heat along the slider, a
// build stopped for another recording, a cache that cannot be written; and the
// mapping of a region drawn over a tile to the picture the index divides.

#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "session/activitytracker.h"
#include "session/playbacksession.h"
#include "session/tileregionmap.h"
#include "tests/support/activitytruth.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

constexpr int WAIT_MS = 120000;

CRecordingFacts Probe(const std::string& path)
{
    CRecordingFacts facts;
    CTestProbeView view;
    CRecordingProbe probe(facts, view);
    if (!probe.ProbeRecording(path))
        qFatal("the test recording was refused");
    return facts;
}

CActivityQuery QueryOf(std::vector<int> channels)
{
    CActivityQuery query;
    query.m_channels = std::move(channels);
    return query;
}

bool Near(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}

} // namespace

class TestActivityTracker : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    std::string m_strPath;
    CRecordingFacts m_facts;
    std::vector<CTrueStretch> m_truth;

    std::vector<CTrueStretch> TruthOf(int channel) const
    {
        std::vector<CTrueStretch> out;
        for (const CTrueStretch& t : m_truth)
            if (t.m_nChannel == channel)
                out.push_back(t);
        return out;
    }

    int PositionOf(uint64_t offset) const { return SliderPosition(offset, m_facts.m_nFileLength); }

    static bool WaitDone(const CActivityTracker& tracker)
    {
        return QTest::qWaitFor([&] { return tracker.IsDone(); }, WAIT_MS);
    }

private slots:
    void initTestCase()
    {
        m_strPath = m_files.Write(ActivityTruthRecipe());
        m_truth = TrueStretches(m_files.Last());
        m_facts = Probe(m_strPath);
    }

    // N walks a camera's stretches in file order and Shift+N walks them back, each
    // landing on the stretch's first picture; across a gap and a clock set back too.
    void neighboursWalkTheStretchesOfTheTruth()
    {
        CActivityTracker tracker;
        QSignalSpy progress(&tracker, &CActivityTracker::progressed);
        tracker.Start(m_strPath, m_facts);
        QVERIFY(WaitDone(tracker));
        QCOMPARE(tracker.Percent(), 100);
        QVERIFY(tracker.Notes().isEmpty());
        QCOMPARE(tracker.IndexedPositions(), SLIDER_MAX + 1);

        for (int channel = 0; channel < 4; ++channel) {
            const std::vector<CTrueStretch> truth = TruthOf(channel);
            const CActivityQuery query = QueryOf({channel});
            uint64_t at = 0;
            for (const CTrueStretch& t : truth) {
                const std::optional<CActivityStretch> next = tracker.Neighbour(query, at, true);
                QVERIFY(next);
                QVERIFY2(Matches(*next, t, 1), qPrintable(QString("camera %1 at %2").arg(channel).arg(t.m_nFrom)));
                at = next->m_nOffset;
            }
            QVERIFY(!tracker.Neighbour(query, at, true));
            for (auto t = truth.rbegin() + 1; t != truth.rend(); ++t) {
                const std::optional<CActivityStretch> previous = tracker.Neighbour(query, at, false);
                QVERIFY(previous && Matches(*previous, *t, 1));
                at = previous->m_nOffset;
            }
            QVERIFY(!tracker.Neighbour(query, at, false));
        }
    }

    // The strip marks the positions of the queried cameras' stretches and nothing
    // between them; another camera's stretch shows once that camera is asked for.
    void heatMarksTheStretchesOfTheCamerasAsked()
    {
        CActivityTracker tracker;
        tracker.Start(m_strPath, m_facts);
        QVERIFY(WaitDone(tracker));
        const std::vector<uint8_t> first = tracker.HeatProfile(QueryOf({0}));
        QCOMPARE(int(first.size()), SLIDER_MAX + 1);
        for (const CTrueStretch& t : TruthOf(0)) {
            const int middle = (PositionOf(t.m_nFirstOffset) + PositionOf(t.m_nLastOffset)) / 2;
            QVERIFY2(first[size_t(middle)] >= CActivityTracker::HEAT_FLOOR, qPrintable(QString::number(middle)));
        }
        const CTrueStretch other = TruthOf(1).front(); // 40 s to 50 s: between camera 1's stretches
        const int otherMiddle = (PositionOf(other.m_nFirstOffset) + PositionOf(other.m_nLastOffset)) / 2;
        QCOMPARE(int(first[size_t(otherMiddle)]), 0);
        QVERIFY(tracker.HeatProfile(QueryOf({0, 1}))[size_t(otherMiddle)] >= CActivityTracker::HEAT_FLOOR);
        QCOMPARE(int(first.front()), 0);
        QCOMPARE(int(first.back()), 0);
    }

    // Another recording opened while the first is indexed: nothing of the first build
    // arrives after the stop, and the new one reports its own end once.
    void aStoppedBuildSaysNothingMore()
    {
        CRecordingRecipe quiet;
        quiet.m_nChannels = 4;
        quiet.m_nRecords = 400;
        quiet.m_bStillScene = true;
        const std::string other = m_files.Write(quiet);
        CActivityTracker tracker;
        QSignalSpy finished(&tracker, &CActivityTracker::finished);
        tracker.Start(m_strPath, m_facts);
        tracker.Start(other, Probe(other));
        QVERIFY(WaitDone(tracker));
        QTest::qWait(200); // time for a stray report of the first build
        QCOMPARE(finished.count(), 1);
        QVERIFY(tracker.Find(QueryOf({0, 1, 2, 3})).empty());
        tracker.Stop();
        QVERIFY(!tracker.IsStarted() && !tracker.IsDone());
        QCOMPARE(tracker.IndexedPositions(), 0);
        QVERIFY(tracker.HeatProfile(QueryOf({0})) == std::vector<uint8_t>(size_t(SLIDER_MAX) + 1, 0));
    }

    // A cache folder that cannot be made is a note naming why; the index is built all
    // the same and searched as ever.
    void anUnwritableCacheIsANoteNotAFailure()
    {
        QTemporaryDir home;
        QFile blocker(home.path() + "/KVXPlayer"); // a file where the folder would go
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray before = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", home.path().toLocal8Bit());
        CActivityTracker tracker;
        tracker.Start(m_strPath, m_facts);
        const bool done = WaitDone(tracker);
        qputenv("XDG_CACHE_HOME", before);
        QVERIFY(done);
        QCOMPARE(tracker.Percent(), 100);
        QCOMPARE(tracker.Notes().size(), 1);
        QVERIFY2(tracker.Notes().front().contains("not cached"), qPrintable(tracker.Notes().front()));
        QVERIFY(tracker.Neighbour(QueryOf({0}), 0, true));
    }

    // The session indexes the recording it opens while its playback thread plays it:
    // the window searches the growing index meanwhile, and a jump to a stretch shows
    // the stretch's first second, paused.
    void theIndexBuildsWhilePlaying()
    {
        CPlaybackSession session;
        QFont font("Arial");
        font.setPixelSize(12);
        session.SetFonts(font, font);
        session.SetVideoArea(QPoint(0, 0), QSize(720, 480), QImage());
        session.SetGrid(2);
        const QString path = QString::fromStdString(m_strPath);
        QVERIFY(session.Open(path));
        QVERIFY(session.Activity().IsStarted());
        session.StartThread(path);
        QVERIFY(QTest::qWaitFor([&] { return session.DeliveredFrames() > 0 && session.PlayState() == PS_PAUSE; },
                                WAIT_MS));
        session.SetPlayState(PS_FPLAY);
        const CActivityQuery query = QueryOf({0, 1, 2, 3});
        size_t searched = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                searched += session.Activity().Find(query).size() + session.Activity().HeatProfile(query).size();
                return session.Activity().IsDone();
            },
            WAIT_MS));
        QVERIFY(searched > 0);
        QVERIFY(session.DeliveredFrames() > 4);

        session.SetPlayState(PS_PAUSE);
        QTest::qWait(100); // a frame already on its way is shown first
        const auto jumpTo = [&](bool forward) {
            const int frames = session.DeliveredFrames();
            const std::optional<CActivityStretch> jumped = session.GoToActivity(query, forward);
            if (jumped && !QTest::qWaitFor(
                    [&] { return session.DeliveredFrames() > frames && session.PlayState() == PS_PAUSE; }, WAIT_MS))
                return std::optional<CActivityStretch>();
            return jumped;
        };
        const std::optional<CActivityStretch> first = jumpTo(true);
        QVERIFY(first);
        QVERIFY(std::abs(DateTimeToSeconds(session.ShownTime()) - DateTimeToSeconds(first->m_from)) <= 1);
        // From a stretch jumped to, the search goes on from that stretch, not from the
        // records its group showed.
        const std::optional<CActivityStretch> expected = session.Activity().Neighbour(query, first->m_nOffset, true);
        const std::optional<CActivityStretch> second = jumpTo(true);
        QVERIFY(expected && second && second->m_nOffset == expected->m_nOffset);
        const std::optional<CActivityStretch> back = jumpTo(false);
        QVERIFY(back && back->m_nOffset == first->m_nOffset);
        session.Close();
    }

    // The tile shows the crop of the picture; a region is in fractions of the whole
    // picture, so the whole tile is the crop, and a zoomed tile a part of it.
    void aRegionDrawnOverATileIsInFractionsOfThePicture()
    {
        const QRect tile(100, 50, 352, 240);
        const QSize picture(720, 240);
        const QRect crop(8, 4, 704, 232);
        const CTileRegionMap plain(tile, picture, crop, CTileZoom());
        CActivityRegion whole = plain.RegionOf(QRectF(tile).adjusted(-20, -20, 20, 20)); // cut to the tile
        QVERIFY(Near(whole.m_dX, 8.0 / 720) && Near(whole.m_dY, 4.0 / 240));
        QVERIFY(Near(whole.m_dWidth, 704.0 / 720) && Near(whole.m_dHeight, 232.0 / 240));

        CTileZoom zoom;
        zoom.ZoomAt(2.0, QPointF(tile.width(), tile.height()), tile.size()); // the bottom right quarter
        const CTileRegionMap zoomed(tile, picture, crop, zoom);
        const CActivityRegion quarter = zoomed.RegionOf(QRectF(tile));
        QVERIFY(Near(quarter.m_dX, (8 + 352.0) / 720) && Near(quarter.m_dY, (4 + 116.0) / 240));
        QVERIFY(Near(quarter.m_dWidth, 352.0 / 720) && Near(quarter.m_dHeight, 116.0 / 240));

        for (const CTileRegionMap* map : {&plain, &zoomed}) {
            const QRectF drawn(150, 80, 90, 60);
            const QRectF back = map->WindowRectOf(map->RegionOf(drawn));
            QVERIFY2(std::abs(back.left() - drawn.left()) < 1e-6 && std::abs(back.bottom() - drawn.bottom()) < 1e-6,
                     qPrintable(QString("%1 %2").arg(back.left()).arg(back.bottom())));
        }
    }

    // A mask's box is in fractions of the part an export keeps, which starts a row
    // below the tile's crop: the whole tile reaches from just above it to its end.
    void aMaskDrawnOverATileIsInFractionsOfTheExportedPicture()
    {
        const QRect tile(100, 50, 352, 232);
        const CTileRegionMap map(tile, QSize(720, 240), QRect(8, 4, 704, 232), CTileZoom(), QRect(8, 5, 704, 231));
        const QRectF whole = map.ExportedBoxOf(QRectF(tile));
        QVERIFY(Near(whole.x(), 0) && Near(whole.y(), -1.0 / 231));
        QVERIFY(Near(whole.right(), 1) && Near(whole.bottom(), 1));
        const QRectF drawn(150, 80, 90, 60);
        const QRectF back = map.WindowRectOfExported(map.ExportedBoxOf(drawn));
        QVERIFY(std::abs(back.left() - drawn.left()) < 1e-6 && std::abs(back.bottom() - drawn.bottom()) < 1e-6);
    }
};

KVX_REGISTER_TEST(TestActivityTracker);
#include "tst_activitytracker.moc"

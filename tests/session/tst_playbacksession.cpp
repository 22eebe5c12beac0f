// The playback session without a window: a recording opened, played and stopped,
// with everything the playback thread reports arriving as signals on this thread.

#include "export/backuprecorder.h"
#include "export/backupsetting.h"
#include "playback/playstate.h"
#include "session/playbacksession.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <thread>

namespace {

constexpr int WAIT_MS = 20000;
constexpr int MARK = 9999; // a slider position no recording gives

bool Near(QColor a, QColor b, int tolerance = 30)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// A session over a 720 x 480 video area at the window's origin, in 4 x 4 tiles,
// that notes on which thread each slider position arrived.
struct CHeadlessSession {
    CPlaybackSession session;
    std::vector<int> sliderPositions;
    bool bSignalOffThread = false;

    CHeadlessSession()
    {
        QFont font("Arial");
        font.setPixelSize(12);
        session.SetFonts(font, font);
        session.SetVideoArea(QPoint(0, 0), QSize(720, 480), QImage());
        session.SetGrid(4);
        QObject::connect(&session, &CPlaybackSession::sliderMoved, [this](int pos) {
            bSignalOffThread |= QThread::currentThread() != session.thread();
            sliderPositions.push_back(pos);
        });
    }
    bool Play(const std::string& path)
    {
        const QString name = QString::fromStdString(path);
        if (!session.Open(name))
            return false;
        session.StartThread(name);
        return true;
    }
    // The engine's first act is to show the first group and pause.
    bool WaitUntilPaused(int frames)
    {
        return QTest::qWaitFor(
            [&] { return session.DeliveredFrames() >= frames && session.PlayState() == PS_PAUSE; }, WAIT_MS);
    }
    QImage Shown() const
    {
        QImage window(730, 490, QImage::Format_RGB32);
        window.fill(Qt::black);
        QPainter painter(&window);
        session.PaintVideo(painter);
        return window;
    }
    QColor ShownBackground(int channel) const
    {
        const QRect tile = session.TileRect(channel);
        return Shown().pixelColor(tile.topLeft() + QPoint(tile.width() * 92 / 100, tile.height() * 30 / 100));
    }
};

} // namespace

class TestPlaybackSession : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    std::string Recording(int records, int channels = 16)
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        return m_files.Write(recipe);
    }

private slots:
    void playsForwardAndSignalsOnTheWindowThread()
    {
        CHeadlessSession s;
        QSignalSpy paused(&s.session, &CPlaybackSession::paused);
        QSignalSpy ends(&s.session, &CPlaybackSession::endReached);
        QSignalSpy repaints(&s.session, &CPlaybackSession::repaintWanted);
        QVERIFY(s.Play(Recording(64)));
        QCOMPARE(s.session.Recording().m_nChannelCount, uint8_t(16));
        QVERIFY(s.session.IsThreadStarted());
        QVERIFY(s.WaitUntilPaused(16));
        QTRY_VERIFY(!paused.isEmpty());
        for (int ch = 0; ch < 16; ++ch)
            QVERIFY2(Near(s.ShownBackground(ch), CScenePainter::BackgroundColour(ch)), qPrintable(QString::number(ch)));

        s.session.SetPlayState(PS_FPLAY);
        QTRY_VERIFY_WITH_TIMEOUT(!ends.isEmpty(), WAIT_MS);
        QTRY_COMPARE_WITH_TIMEOUT(s.session.PlayState(), PS_PAUSE, WAIT_MS);
        QVERIFY(s.session.DeliveredFrames() > 16);
        QTRY_VERIFY(!s.sliderPositions.empty() && s.sliderPositions.back() > 600);
        QVERIFY(std::any_of(repaints.begin(), repaints.end(),
                            [](const QList<QVariant>& args) { return args.at(1).toBool(); })); // by the playback thread
        QVERIFY(!s.bSignalOffThread);
    }

    void stoppingJoinsTheThread()
    {
        CHeadlessSession s;
        QVERIFY(s.Play(Recording(64)));
        s.session.SetPlayState(PS_FPLAY);
        s.session.StopThread();
        QVERIFY(!s.session.IsThreadStarted());
        const int delivered = s.session.DeliveredFrames();
        QCoreApplication::processEvents();
        QCOMPARE(s.session.DeliveredFrames(), delivered);
    }

    void aStoppedThreadsCallsAreDropped()
    {
        CHeadlessSession s;
        const std::string path = Recording(64);
        QVERIFY(s.Play(path));
        std::thread([&] { s.session.SetSliderPos(MARK); }).join(); // as the playback thread would
        QTRY_VERIFY(std::count(s.sliderPositions.begin(), s.sliderPositions.end(), MARK) == 1);

        std::thread([&] { s.session.SetSliderPos(MARK); }).join();
        s.session.StartThread(QString::fromStdString(path)); // a new thread before the call arrives
        QVERIFY(s.WaitUntilPaused(16));
        QCoreApplication::processEvents();
        QCOMPARE(std::count(s.sliderPositions.begin(), s.sliderPositions.end(), MARK), 1);
    }

    // The engine paused at the end, and the user pressed Home before the report of
    // it arrived: the report would disable End at the start, so it is dropped.
    void anEndReportOvertakenByACommandIsDropped()
    {
        CHeadlessSession s;
        QVERIFY(s.Play(Recording(64)));
        QVERIFY(s.WaitUntilPaused(16));
        QSignalSpy ends(&s.session, &CPlaybackSession::endReached);
        std::thread([&] { s.session.SetEndButtons(); }).join(); // as the playback thread would
        s.session.SetPlayState(PS_START);
        QVERIFY(s.WaitUntilPaused(s.session.DeliveredFrames() + 16));
        QVERIFY(ends.isEmpty());

        std::thread([&] { s.session.SetEndButtons(); }).join();
        QTRY_COMPARE(ends.count(), 1);
    }

    void aRefusedFileLeavesNothingToPlay()
    {
        CHeadlessSession s;
        QSignalSpy messages(&s.session, &CPlaybackSession::probeMessage);
        QVERIFY(!s.session.Open(QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(4096)))));
        QVERIFY(!messages.isEmpty());
        QVERIFY(!s.session.IsThreadStarted());
        QCOMPARE(s.session.PlayState(), PS_PAUSE);
    }

    // Paused, the page is drawn from the pictures held once the window has set the
    // layout up, not step by step: enlarging a camera without a picture leaves the
    // tile empty, not showing the camera enlarged on the way.
    void aPausedLayoutIsDrawnOnceSet()
    {
        CHeadlessSession s;
        QSignalSpy paused(&s.session, &CPlaybackSession::paused);
        QVERIFY(s.Play(Recording(64, 4)));
        QVERIFY(s.WaitUntilPaused(4));
        QTRY_COMPARE(paused.size(), 1); // the engine's pause, drawn on this thread
        s.session.SetGrid(1);
        s.session.SetCurChannel(9); // a camera this recording does not have
        s.session.RefreshIfPaused();
        QVERIFY(!Near(s.ShownBackground(9), CScenePainter::BackgroundColour(0)));

        s.session.SetCurChannel(2);
        s.session.RefreshIfPaused();
        QVERIFY(Near(s.ShownBackground(2), CScenePainter::BackgroundColour(2)));
        QCOMPARE(paused.size(), 3);

        s.session.SetPlayState(PS_FPLAY);
        s.session.RefreshIfPaused(); // playing: the playback thread draws
        QCOMPARE(paused.size(), 3);
    }

    void steeringCommandsStayInTheirRanges()
    {
        CHeadlessSession s;
        for (int i = 0; i < 10; ++i)
            s.session.ChangeSpeed(true);
        QCOMPARE(s.session.SpeedIndex(), SPEED_MAX);
        QCOMPARE(s.session.ChangeDelay(false), DELAY_MIN);
        QCOMPARE(s.session.ChangeDelay(true), DELAY_MIN + 1);
        s.session.SetPlayState(PS_FPLAY);
        QVERIFY(!s.session.FrameStep(true, 1, -1)); // only while paused
        QCOMPARE(s.session.PlayState(), PS_FPLAY);
        s.session.SetPlayState(PS_PAUSE);
        QVERIFY(s.session.FrameStep(false, 0, -1));
        QCOMPARE(s.session.PlayState(), PS_STEP_BACKWARD);
    }

    // Started while paused, an export takes the picture on screen and plays on; the
    // playback thread's pause at the end asks the window to stop it.
    void anExportRunsUntilThePlaybackThreadPauses()
    {
        CHeadlessSession s;
        QTemporaryDir folder;
        s.session.CreateRecorder(folder.path());
        QSignalSpy stopWanted(&s.session, &CPlaybackSession::exportStopWanted);
        QVERIFY(s.Play(Recording(64)));
        QVERIFY(s.WaitUntilPaused(16));
        QCoreApplication::processEvents();
        QVERIFY(stopWanted.isEmpty()); // no export window: a pause asks nothing

        s.session.SetExportWindowOpen(true);
        BACKUPSETTING setting;
        setting.m_byFrameRate = 15;
        setting.m_byChannel = 3;
        setting.m_nWidth = 360;
        setting.m_nHeight = 240;
        QVERIFY(s.session.StartExport(setting));
        QCOMPARE(setting.m_byChannelCount, uint8_t(16));
        QCOMPARE(s.session.Recorder()->FrameCount(), 1u);
        QCOMPARE(s.session.PlayState(), PS_FPLAY);
        QTRY_COMPARE_WITH_TIMEOUT(stopWanted.size(), 1, WAIT_MS);
        QVERIFY(s.session.StopExport());
        QCOMPARE(s.session.Recorder()->FrameCount(), 4u); // records 3, 19, 35 and 51
        s.session.SetExportWindowOpen(false);
    }
};

KVX_REGISTER_TEST(TestPlaybackSession);
#include "tst_playbacksession.moc"

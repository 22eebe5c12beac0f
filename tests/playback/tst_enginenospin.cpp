// Recordings in which the engine finds nothing to show must not make it read the
// same bytes over and over: in every play state, reading stops after a lap and the
// engine waits, on a clock that simulates the passing seconds.

#include "platform/readonlyfile.h"
#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playbackclock.h"
#include "playback/playbackengine.h"
#include "playback/playstate.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <memory>

using namespace kvx;

namespace {

constexpr double SIMULATED_SECONDS = 6;

// Runs the engine on the test's own thread: the user chooses `state` at once, and
// the run flag drops once SIMULATED_SECONDS have passed on the clock. Counts what
// happened in each simulated second.
class CWatchedEngine : public IPlaybackView, public IPlaybackClock {
public:
    struct SSecond {
        uint64_t bytesRead = 0;
        int sleeps = 0;
        int frames = 0;
        int laps = 0; // reading ran into the end of the file and started over
    };

    std::vector<SSecond> Run(const std::string& path, const CRecordingFacts& facts, uint8_t state)
    {
        m_nState = state;
        m_seconds.assign(size_t(SIMULATED_SECONDS) + 1, {});
        m_nBytesBefore = CReadOnlyFile::TotalBytesRead();
        m_steering.m_nPlayState = state;
        m_steering.m_nSpeedIndex = SPEED_MAX;
        m_steering.m_nSeekPos = SLIDER_MAX / 2;
        m_steering.m_nStepRecords = 0;
        m_steering.m_nChannelCount = facts.m_nChannelCount;
        m_steering.m_nEndOffset = facts.m_nEndOffset;
        m_steering.m_strPath = path;
        m_steering.m_pClock = this;
        m_steering.m_nFirstSector = facts.m_nFirstSector;
        m_steering.m_bThreadRun = true;
        RunPlaybackEngine(m_steering, *this, m_current);
        Account();
        return m_seconds;
    }

    void OnPlayStateSet(uint8_t state) override
    {
        // The engine's own first state, before the user has chosen: the user's stays.
        if (!m_bStarted && state == PS_START) {
            m_bStarted = true;
            m_steering.m_nPlayState = m_nState;
        }
    }
    uint8_t OnPlayFrame(bool, int, uint32_t, const uint8_t*, const uint8_t*) override
    {
        ++Current().frames;
        return 0;
    }
    void SetStartButtons() override {}
    void SetEndButtons() override {}
    void SetSliderPos(int) override {}
    void ShowReadError(const char*) override { m_steering.m_bThreadRun = false; }
    void OnEndOfFile() override { ++Current().laps; }

    double Now() override { return m_dNow; }
    void Sleep(int milliseconds) override { Advance(milliseconds / 1000.0); ++Current().sleeps; }
    void WaitUntil(double deadline, const std::atomic<bool>&) override { Advance(std::max(0.0, deadline - m_dNow)); }

private:
    SSecond& Current() { return m_seconds[std::min(size_t(m_dNow), m_seconds.size() - 1)]; }
    // The bytes read since the last look belong to the second in which they were read.
    void Account()
    {
        const uint64_t total = CReadOnlyFile::TotalBytesRead();
        Current().bytesRead += total - m_nBytesBefore;
        m_nBytesBefore = total;
    }
    void Advance(double seconds)
    {
        Account();
        m_dNow += seconds;
        if (m_dNow >= SIMULATED_SECONDS)
            m_steering.m_bThreadRun = false;
    }

    CPlaySteering m_steering;
    uint8_t m_nState = PS_PAUSE; // the user's choice
    bool m_bStarted = false;
    CCurrentRecord m_current;
    double m_dNow = 0;
    uint64_t m_nBytesBefore = 0;
    std::vector<SSecond> m_seconds;
};

} // namespace

class TestEngineNoSpin : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    std::pair<std::string, CRecordingFacts> Open(const CRecordingRecipe& recipe)
    {
        const std::string path = m_files.Write(recipe);
        CRecordingFacts facts;
        CTestProbeView view;
        if (!CRecordingProbe(facts, view).ProbeRecording(path))
            qFatal("the recording does not open");
        return {path, facts};
    }

private slots:
    void nothingToShowReadsOneLapAndWaits_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("state");
        const std::pair<const char*, uint8_t> states[] = {
            {"pause", PS_PAUSE}, {"forward", PS_FPLAY}, {"backward", PS_BPLAY}, {"fast forward", PS_FFPLAY},
            {"fast backward", PS_RWPLAY}, {"start", PS_START}, {"end", PS_END}, {"seek", PS_SEEK},
        };
        for (int kind : {0, 1})
            for (const auto& [name, state] : states)
                QTest::addRow("%s, %s", kind ? "all pictures too large" : "all dates but the first broken", name)
                    << kind << int(state);
    }
    void nothingToShowReadsOneLapAndWaits()
    {
        QFETCH(int, kind);
        QFETCH(int, state);
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        // The probe needs a first record with a date to open a recording at all.
        for (int i = kind ? 0 : 1; i < recipe.m_nRecords; ++i)
            (kind ? recipe.m_oversize : recipe.m_invalidDates).insert(i);
        const auto [path, facts] = Open(recipe);
        const uint64_t length = QFileInfo(QString::fromStdString(path)).size();

        const std::vector<CWatchedEngine::SSecond> seconds = CWatchedEngine().Run(path, facts, uint8_t(state));
        // The first second may read the file through once or twice; after that the
        // engine only waits for the user, not even going over what it read ahead.
        QVERIFY(seconds[0].bytesRead <= 2 * length + (1 << 20));
        for (size_t s = 1; s < seconds.size(); ++s) {
            QCOMPARE(seconds[s].frames, 0);
            QCOMPARE(seconds[s].laps, 0);
            QCOMPARE(seconds[s].bytesRead, uint64_t(0));
            QVERIFY(seconds[s].sleeps <= 1000 / 4 + 1);
        }
    }
};

KVX_REGISTER_TEST(TestEngineNoSpin);
#include "tst_enginenospin.moc"

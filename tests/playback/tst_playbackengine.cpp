#include "playback/playbackengine.h"
#include "playback/steadyplaybackclock.h"
#include "tests/playback/testplaybackview.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <unistd.h>

using namespace kvx;

namespace {

std::vector<uint64_t> Offsets(const std::vector<CFrame>& frames)
{
    std::vector<uint64_t> out;
    for (const CFrame& f : frames)
        out.push_back(f.offset);
    return out;
}

std::vector<uint64_t> OffsetsOf(const std::vector<CGeneratedRecord>& records, size_t from, size_t to)
{
    std::vector<uint64_t> out;
    for (size_t i = from; i < to; ++i)
        out.push_back(records[i].m_nOffset);
    return out;
}

int SliderFor(uint64_t position, uint64_t length)
{
    return int(double(position / (length / 100)) * 7.1);
}

} // namespace

class TestPlaybackEngine : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    struct COpened {
        std::string path;
        CRecordingFacts facts;
        std::vector<CGeneratedRecord> records;
        uint64_t length = 0;
    };

    COpened Open(const CRecordingRecipe& recipe)
    {
        COpened o;
        o.path = m_files.Write(recipe);
        o.records = m_files.Last().Records();
        o.length = m_files.Last().FileLength();
        CTestProbeView probeView;
        if (!CRecordingProbe(o.facts, probeView).ProbeRecording(o.path))
            qFatal("test recording does not probe");
        return o;
    }

    // Starts the engine and lets it show the first group.
    static std::vector<CFrame> StartAndShowFirstGroup(CTestPlaybackView& view, const COpened& o)
    {
        view.Start(o.path, o.facts);
        if (!view.WaitUntilPaused())
            qFatal("the engine did not pause after the first group");
        return view.Frames();
    }

    static CRecordingRecipe Recipe(int channels, int records, int group = -1)
    {
        CRecordingRecipe r;
        r.m_nChannels = channels;
        r.m_nRecords = records;
        r.m_nGroupLength = group;
        r.m_dSecondsPerRecord = 1.0 / channels;
        return r;
    }

private slots:
    void newThreadShowsTheFirstGroupAndPauses()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        const std::vector<CFrame> frames = StartAndShowFirstGroup(view, o);
        // The go-to-start frame, then the whole first group from the start again.
        std::vector<uint64_t> expected{o.records[0].m_nOffset};
        for (uint64_t offset : OffsetsOf(o.records, 0, 16))
            expected.push_back(offset);
        QCOMPARE(Offsets(frames), expected);
        QVERIFY(frames[0].first);
        QVERIFY(!frames[1].first);
        QCOMPARE(frames[0].length, o.records[0].m_nPictureBytes);
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 5", "state 7", "state 0"}));
        QCOMPARE(view.LastSlider(), SliderFor(o.records[16].m_nOffset, o.length));
    }

    void forwardPlayStopsBeforeTheLastRecord()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.ClearCalls();
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_FPLAY);
        QCOMPARE(Offsets(frames), OffsetsOf(o.records, 16, 47)); // the last record is not shown
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 0", "end buttons"}));
        QCOMPARE(view.LastSlider(), SliderFor(o.length, o.length));
        QCOMPARE(view.LastSlider(), SLIDER_MAX);

        // From the end, backward play first moves 64 KiB back from the end.
        const std::vector<CFrame> back = view.PlayUntilPaused(PS_BPLAY);
        QVERIFY(!back.empty());
        QVERIFY(back.front().offset >= o.length - RECORD_AREA_OFFSET);
    }

    void backwardPlayStopsOnTheFirstRecord()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.ClearCalls();
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_BPLAY);
        std::vector<uint64_t> expected = OffsetsOf(o.records, 0, 17);
        std::reverse(expected.begin(), expected.end());
        QCOMPARE(Offsets(frames), expected);
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 0", "start buttons"}));
        QCOMPARE(view.LastSlider(), SliderFor(RECORD_AREA_OFFSET, o.length));
    }

    void fastBackwardPastTheStartPausesAtTheStart()
    {
        const COpened o = Open(Recipe(16, 64));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.ClearCalls();
        // One whole group, then a jump of 1,280 KiB back from the group's last header:
        // below the start of the file.
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_RWPLAY);
        QCOMPARE(Offsets(frames), OffsetsOf(o.records, 16, 32));
        QVERIFY(o.records[31].m_nOffset < 1310720);
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 0", "start buttons"}));
        QCOMPARE(view.LastSlider(), SliderFor(RECORD_AREA_OFFSET, o.length));
    }

    void fastForwardShowsAGroupThenJumps()
    {
        const COpened o = Open(Recipe(4, 160, 4));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.ClearCalls();
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_FFPLAY);
        const uint64_t jump = 320 * 1024;
        size_t next = 4; // the first group was shown at start-up
        for (size_t i = 0; i < frames.size(); i += 4) {
            QVERIFY(i + 4 <= frames.size());
            QCOMPARE(Offsets({frames.begin() + long(i), frames.begin() + long(i + 4)}), OffsetsOf(o.records, next, next + 4));
            const uint64_t target = o.records[next + 3].m_nOffset + jump;
            next += 4;
            while (next < o.records.size() && o.records[next].m_nOffset < target)
                ++next;
        }
        QVERIFY(frames.size() >= 8);
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 0", "end buttons"}));
    }

    void groupLengthZeroActsOnEveryRecord()
    {
        const COpened o = Open(Recipe(16, 400, 0));
        CTestPlaybackView view;
        const std::vector<CFrame> first = StartAndShowFirstGroup(view, o);
        QCOMPARE(Offsets(first), (std::vector<uint64_t>{o.records[0].m_nOffset, o.records[0].m_nOffset}));
        const std::vector<CFrame> fast = view.PlayUntilPaused(PS_FFPLAY);
        QVERIFY(fast.size() >= 2);
        QCOMPARE(fast[0].offset, o.records[1].m_nOffset);
        for (size_t i = 1; i < fast.size(); ++i)
            QVERIFY(fast[i].offset >= fast[i - 1].offset + 1310720);
    }

    void sliderSeeksAlongTheFile()
    {
        const COpened o = Open(Recipe(16, 64));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);

        view.m_steering.m_nSeekPos = 0;
        std::vector<CFrame> frames = view.PlayUntilPaused(PS_SEEK);
        // The frame at the old position is still shown, then the seek goes to the start.
        QCOMPARE(frames[0].offset, o.records[16].m_nOffset);
        QCOMPARE(frames[1].offset, o.records[0].m_nOffset);

        view.m_steering.m_nSeekPos = SLIDER_MAX; // the end of the file: one group back from the end
        frames = view.PlayUntilPaused(PS_SEEK);
        QCOMPARE(frames.size(), size_t(17));
        size_t last = 0;
        while (o.records[last].m_nOffset < o.length - RECORD_AREA_OFFSET)
            ++last;
        for (size_t i = 1; i < frames.size(); ++i)
            QCOMPARE(frames[i].offset, o.records[last + 1 - i].m_nOffset);
    }

    void goToEndShowsTheLastGroupBackwards()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_END);
        std::vector<uint64_t> expected{o.records[16].m_nOffset};
        for (size_t i = 47; i > 31; --i)
            expected.push_back(o.records[i].m_nOffset);
        QCOMPARE(Offsets(frames), expected);
    }

    // The user pressed End just as the engine went to the start: the engine's own
    // move (go-to-start turning into its show) does not overwrite that newer command,
    // which is carried out next.
    void aCommandStoredDuringAMoveIsCarriedOut()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        view.m_onJump = [&view] {
            view.m_onJump = nullptr;
            view.m_steering.m_nPlayState = PS_END;
        };
        view.Start(o.path, o.facts);
        QVERIFY(view.WaitUntilPaused());
        std::vector<uint64_t> expected{o.records[0].m_nOffset, o.records[0].m_nOffset};
        for (size_t i = 47; i > 31; --i)
            expected.push_back(o.records[i].m_nOffset);
        QCOMPARE(Offsets(view.Frames()), expected);
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 5", "state 8", "state 0"}));
    }

    void damagedRecordsAreSkipped()
    {
        CRecordingRecipe recipe = Recipe(16, 48);
        recipe.m_oversize = {5};
        recipe.m_invalidDates = {9};
        recipe.m_nGarbageEvery = 7;
        const COpened o = Open(recipe);
        QCOMPARE(o.records[5].m_nPictureBytes, uint32_t(9 * PICTURE_UNIT_SIZE));
        CTestPlaybackView view;
        const std::vector<CFrame> frames = StartAndShowFirstGroup(view, o);
        std::vector<uint64_t> expected{o.records[0].m_nOffset};
        for (size_t i = 0; expected.size() < 17; ++i)
            if (i != 5 && i != 9)
                expected.push_back(o.records[i].m_nOffset);
        QCOMPARE(Offsets(frames), expected);
    }

    void pauseDuringAFrameStillShowsItWithoutAJump()
    {
        const COpened o = Open(Recipe(16, 64, 4));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o); // shows records 0..3
        view.m_onFrame = [&view](size_t index) {
            if (index == 5 + 3) // the fourth frame of fast forward would jump
                view.m_steering.m_nPlayState = PS_PAUSE;
        };
        const std::vector<CFrame> fast = view.PlayUntilPaused(PS_FFPLAY);
        QCOMPARE(Offsets(fast), OffsetsOf(o.records, 4, 8));
        view.m_onFrame = nullptr;
        view.m_onFrame = [&view](size_t index) {
            if (index == 9)
                view.m_steering.m_nPlayState = PS_PAUSE;
        };
        const std::vector<CFrame> forward = view.PlayUntilPaused(PS_FPLAY);
        QCOMPARE(Offsets(forward), OffsetsOf(o.records, 8, 9));
    }

    void delayChangeTakesEffectAtTheNextWait()
    {
        const COpened o = Open(Recipe(16, 48));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.m_onFrame = [&view](size_t index) {
            if (index == 20)
                view.m_steering.m_nDelayIndex = 7;
            if (index == 22)
                view.m_steering.m_nPlayState = PS_PAUSE;
        };
        view.PlayUntilPaused(PS_FPLAY);
        // Deadline i ends the cycle of frame i + 1. Cycles that follow one another
        // end one period apart; the pause before frame 17 breaks the chain.
        const std::vector<double>& deadlines = view.m_clock.m_deadlines;
        QCOMPARE(deadlines.size(), size_t(22));
        auto period = [&](size_t i) { return std::round((deadlines[i] - deadlines[i - 1]) * 1e6) / 1e6; };
        for (size_t i = 1; i < 16; ++i)
            QCOMPARE(period(i), 0.016);
        QCOMPARE(period(18), 0.016);
        QCOMPARE(period(19), 2.048); // the cycle of frame 20, during which the delay changed
        QCOMPARE(period(21), 2.048);
    }

    void audioBlocksArriveUnscrambled()
    {
        CRecordingRecipe recipe = Recipe(4, 24);
        recipe.m_bAudio = true;
        recipe.m_nAudioOnlyEvery = 4;
        const COpened o = Open(recipe);
        CTestPlaybackView view;
        const std::vector<CFrame> frames = StartAndShowFirstGroup(view, o);
        // Records 0..3 carry audio blocks 0..3; the audio-only record after record 3 is block 4.
        QCOMPARE(frames[1].audioMode, AUDIO_MODE_WITH_PICTURE);
        std::vector<uint8_t> slice(AUDIO_SLICE_SIZE);
        for (int ch = 0; ch < AUDIO_CHANNELS; ++ch) {
            CRecordingGenerator::MakeAudioSlice(ch, 2, slice.data());
            QVERIFY(std::equal(slice.begin(), slice.end(), frames[3].audio.begin() + ch * AUDIO_SLICE_SIZE));
        }
        const std::vector<CFrame> forward = view.PlayUntilPaused(PS_FPLAY);
        QCOMPARE(forward[0].offset, o.records[4].m_nOffset);
        QCOMPARE(o.records[4].m_byKind, KIND_AUDIO_ONLY);
        QCOMPARE(forward[0].audioMode, AUDIO_MODE_ONLY);
        QCOMPARE(forward[0].length, uint32_t(0));
        CRecordingGenerator::MakeAudioSlice(1, 4, slice.data());
        QVERIFY(std::equal(slice.begin(), slice.end(), forward[0].audio.begin() + AUDIO_SLICE_SIZE));
        QCOMPARE(forward[1].audioMode, AUDIO_MODE_WITH_PICTURE); // the next 4-channel header resets it
    }

    // Nothing but an audio-only header sets audio mode 2 back, and a 16-channel
    // header never does: every record after one is read as an audio block.
    void sixteenChannelRecordsAfterAnAudioOnlyRecordReadAsAudio()
    {
        CRecordingRecipe recipe = Recipe(16, 48);
        recipe.m_nAudioOnlyEvery = 20;
        const COpened o = Open(recipe);
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.m_onFrame = [&view](size_t index) {
            if (index == 17 + 10)
                view.m_steering.m_nPlayState = PS_PAUSE;
        };
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_FPLAY);
        size_t audioOnly = 0;
        while (o.records[audioOnly].m_byKind != KIND_AUDIO_ONLY)
            ++audioOnly;
        bool seen = false;
        for (const CFrame& f : frames) {
            seen = seen || f.offset == o.records[audioOnly].m_nOffset;
            QCOMPARE(f.audioMode, seen ? AUDIO_MODE_ONLY : AUDIO_MODE_NONE);
            QCOMPARE(f.length == 0, seen);
        }
        QVERIFY(seen);
    }

    void recordingsOver4GiBStepBackAcrossTheHole()
    {
        CRecordingRecipe recipe = Recipe(16, 40);
        recipe.m_nGapBeforeLast = 4608ull << 20;
        const COpened o = Open(recipe);
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_END);
        std::vector<uint64_t> expected{o.records[16].m_nOffset};
        for (size_t i = 39; i > 23; --i)
            expected.push_back(o.records[i].m_nOffset);
        QCOMPARE(Offsets(frames), expected);
    }

    void searchingWithoutHeadersIdlesBetweenLaps()
    {
        const COpened o = Open(Recipe(16, 48));
        std::vector<uint8_t> bytes(o.length);
        {
            QFile f(QString::fromStdString(o.path));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.read(reinterpret_cast<char*>(bytes.data()), qint64(bytes.size())), qint64(bytes.size()));
        }
        bytes.resize(bytes.size() + 3 * 1024 * 1024, 0); // a blank tail: no header after a jump
        const std::string path = m_files.WriteBytes(bytes);
        CTestPlaybackView view;
        view.Start(path, o.facts);
        QVERIFY(view.WaitUntilPaused());
        view.m_steering.m_nPlayState = PS_FFPLAY;
        const int polls = view.PausePolls();
        QVERIFY(view.WaitForPausePolls(polls + 50));
        QCOMPARE(view.m_steering.m_nPlayState.load(), PS_FFPLAY);
    }

    // A hole of zeros (a damaged disc's image) is crossed by forward play, and the
    // record behind it is found at its exact offset; an odd number of blocks puts the
    // header anywhere in what was read ahead.
    void forwardPlayCrossesAHoleToTheNextHeader()
    {
        CRecordingRecipe recipe = Recipe(16, 40);
        recipe.m_nGapBeforeLast = (5 << 20) + 3 * BLOCK_SIZE;
        const COpened o = Open(recipe);
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        const std::vector<CFrame> frames = view.PlayUntilPaused(PS_FPLAY);
        QCOMPARE(Offsets(frames), OffsetsOf(o.records, 16, 40));
        QCOMPARE(view.m_current.m_nHeaderOffset, o.records.back().m_nOffset);
    }

    // A recording cut short while it plays (a disc ejected, a copy rewritten) ends
    // where it ends now: playing on cycles at the new end as at any end, idling
    // between laps, and so does going to the start once not even the record area is left.
    void fileThatShrinksWhileReadEndsWhereItEndsNow()
    {
        const COpened o = Open(Recipe(16, 64));
        const uint64_t cut = o.records[24].m_nOffset;
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        std::atomic<bool> truncated{false};
        view.m_onFrame = [&](size_t index) {
            if (index == 17 + 2)
                truncated = ::truncate(o.path.c_str(), off_t(cut)) == 0;
        };
        view.m_steering.m_nPlayState = PS_FPLAY;
        QVERIFY(view.WaitForPausePolls(view.PausePolls() + 20));
        view.m_onFrame = nullptr;
        QVERIFY(truncated);
        QCOMPARE(view.m_steering.m_nPlayState.load(), PS_FPLAY);
        const std::vector<CFrame> frames = view.Frames();
        for (size_t i = 17; i < frames.size(); ++i)
            QVERIFY(frames[i].offset < o.records[24].m_nOffset);

        QVERIFY(::truncate(o.path.c_str(), 1000) == 0);
        for (uint8_t state : {PS_START, PS_FPLAY, PS_FFPLAY}) {
            view.m_steering.m_nPlayState = state;
            QVERIFY(view.WaitForPausePolls(view.PausePolls() + 20));
        }
    }

    void unopenableRecordingEndsTheThread()
    {
        CTestPlaybackView view;
        view.m_steering.m_strPath = m_files.PathFor("gone.kvx");
        view.m_steering.m_nChannelCount = 16;
        view.m_steering.m_bThreadRun = true;
        RunPlaybackEngine(view.m_steering, view, view.m_current); // returns: nothing was read
        QCOMPARE(view.Calls(), (std::vector<std::string>{"message Can not read KVX file. ", "state 0"}));
        QVERIFY(view.Frames().empty());
    }

    // The go-to state shows the group that starts at the target, without a stale frame
    // first, and pauses; at the last record it stops at the end of the file.
    void exactTargetShowsTheGroupThereThenPauses()
    {
        const COpened o = Open(Recipe(16, 64));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o);
        view.ClearCalls();
        view.m_steering.m_nTargetOffset = o.records[21].m_nOffset;
        std::vector<CFrame> frames = view.PlayUntilPaused(PS_LOCATE);
        QCOMPARE(Offsets(frames), OffsetsOf(o.records, 21, 37));
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 7", "state 0"}));
        QCOMPARE(view.LastSlider(), SliderFor(o.records[37].m_nOffset, o.length));

        view.ClearCalls();
        view.m_steering.m_nTargetOffset = o.records[63].m_nOffset;
        frames = view.PlayUntilPaused(PS_LOCATE);
        QCOMPARE(Offsets(frames), OffsetsOf(o.records, 63, 64));
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 7", "state 0", "end buttons"}));
    }

    // Frame steps go from the record shown last, one record or one group (here of 4),
    // across group boundaries, and stop at the first and the last record.
    void frameStepsFromTheRecordShownLast()
    {
        const COpened o = Open(Recipe(4, 24, 4));
        CTestPlaybackView view;
        StartAndShowFirstGroup(view, o); // records 0..3
        auto step = [&](uint8_t state, int records) {
            view.m_steering.m_nStepRecords = records;
            return Offsets(view.PlayUntilPaused(state));
        };
        QCOMPARE(step(PS_STEP_FORWARD, 1), OffsetsOf(o.records, 4, 5));
        QCOMPARE(step(PS_STEP_FORWARD, 1), OffsetsOf(o.records, 5, 6));
        QCOMPARE(step(PS_STEP_FORWARD, 0), OffsetsOf(o.records, 6, 10)); // a group, across its boundary
        QCOMPARE(step(PS_STEP_BACKWARD, 1), OffsetsOf(o.records, 8, 9));
        std::vector<uint64_t> back = OffsetsOf(o.records, 4, 8);
        std::reverse(back.begin(), back.end());
        QCOMPARE(step(PS_STEP_BACKWARD, 0), back);

        back = OffsetsOf(o.records, 0, 4);
        std::reverse(back.begin(), back.end());
        view.ClearCalls();
        QCOMPARE(step(PS_STEP_BACKWARD, 0), back); // stops on the first record
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 8", "state 0", "start buttons"}));
        view.ClearCalls();
        QVERIFY(step(PS_STEP_BACKWARD, 1).empty());
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 0", "start buttons"}));

        view.m_steering.m_nTargetOffset = o.records[22].m_nOffset;
        QCOMPARE(Offsets(view.PlayUntilPaused(PS_LOCATE)), OffsetsOf(o.records, 22, 24));
        QCOMPARE(step(PS_STEP_BACKWARD, 1), OffsetsOf(o.records, 22, 23));
        QCOMPARE(step(PS_STEP_FORWARD, 1), OffsetsOf(o.records, 23, 24));
        view.ClearCalls();
        QVERIFY(step(PS_STEP_FORWARD, 1).empty()); // nothing after the last record
        QCOMPARE(view.Calls(), (std::vector<std::string>{"state 7", "state 0", "end buttons"}));
    }

    void steadyClockWaitNoticesTheStop()
    {
        CSteadyPlaybackClock clock;
        std::atomic<bool> run{true};
        const double deadline = clock.Now() + 60;
        std::thread waiter([&] { clock.WaitUntil(deadline, run); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        run = 0;
        waiter.join();
        QVERIFY(clock.Now() < deadline);

        run = 1;
        const double soon = clock.Now() + 0.02;
        clock.WaitUntil(soon, run);
        QVERIFY(clock.Now() >= soon);
    }
};

KVX_REGISTER_TEST(TestPlaybackEngine);
#include "tst_playbackengine.moc"

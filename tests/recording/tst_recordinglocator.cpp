#include "recording/recordinglocator.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDateTime>

#include <algorithm>
#include <random>

using namespace kvx;

namespace {

CDateTime At(const char* text)
{
    return CDateTime::FromIsoString(text);
}

std::string Text(const CDateTime& t)
{
    return t.ToIsoString();
}

} // namespace

class TestRecordingLocator : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    struct COpened {
        CRecordingFacts facts;
        std::unique_ptr<CRecordingLocator> locator;
        std::vector<CGeneratedRecord> records; // those with a valid date, in file order
    };

    COpened Open(const CRecordingRecipe& recipe)
    {
        COpened o;
        const std::string path = m_files.Write(recipe);
        for (const CGeneratedRecord& r : m_files.Last().Records())
            if (r.m_time.IsValid())
                o.records.push_back(r);
        CTestProbeView view;
        if (!CRecordingProbe(o.facts, view).ProbeRecording(path))
            qFatal("test recording does not probe");
        o.locator = std::make_unique<CRecordingLocator>(o.facts);
        if (!o.locator->Open(path))
            qFatal("cannot open the test recording");
        return o;
    }

    static CRecordingRecipe Recipe(int channels, int records, double secondsPerRecord)
    {
        CRecordingRecipe r;
        r.m_nChannels = channels;
        r.m_nRecords = records;
        r.m_dSecondsPerRecord = secondsPerRecord;
        r.m_timeStart = At("2024-03-18 14:00:00");
        r.m_nQuality = 30; // one unit a picture: quick to write
        return r;
    }

    // The first record in file order dated at or after `moment`; -1 when none.
    static int FirstAtOrAfter(const COpened& o, const CDateTime& moment)
    {
        for (size_t i = 0; i < o.records.size(); ++i)
            if (DateTimeToOrderKey(o.records[i].m_time) >= DateTimeToOrderKey(moment))
                return int(i);
        return -1;
    }

    static size_t IndexOf(const COpened& o, uint64_t offset)
    {
        for (size_t i = 0; i < o.records.size(); ++i)
            if (o.records[i].m_nOffset == offset)
                return i;
        qFatal("the locator found no record of the recording");
    }

    // Every second from `from` to `to` lands on the first record of that second.
    static void CheckEverySecondIsHit(COpened& o, const CDateTime& from, int seconds)
    {
        const QDateTime start(QDate(from.GetYear(), from.GetMonth(), from.GetDay()),
                              QTime(from.GetHour(), from.GetMinute(), from.GetSecond()));
        for (int s = 0; s < seconds; ++s) {
            const QDateTime t = start.addSecs(s);
            const CDateTime moment(t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                   t.time().minute(), t.time().second());
            const CLocateResult r = o.locator->Locate(moment);
            QCOMPARE(int(r.m_status), int(CLocateResult::EStatus::Found));
            QVERIFY2(Text(r.m_record.Time()) == Text(moment), (Text(moment) + " found " + Text(r.m_record.Time())).c_str());
            QVERIFY(!r.m_bGap);
            const size_t i = IndexOf(o, r.m_record.m_nOffset);
            QVERIFY2(i == 0 || !(o.records[i - 1].m_time == moment), Text(moment).c_str());
        }
    }

    // Where each stretch between set-backs of the clock first reaches the second `key`,
    // when more than one does.
    static std::vector<uint64_t> Occurrences(const COpened& o, uint64_t key)
    {
        std::vector<uint64_t> out;
        for (size_t i = 0; i < o.records.size() && o.records[i].m_nOffset <= o.facts.m_nEndOffset + 1024; ++i)
            if (DateTimeToOrderKey(o.records[i].m_time) == key
                && (i == 0 || DateTimeToOrderKey(o.records[i - 1].m_time) != key))
                out.push_back(o.records[i].m_nOffset);
        return out.size() > 1 ? out : std::vector<uint64_t>();
    }

private slots:
    void landsOnTheFirstRecordOfEverySecond()
    {
        COpened o = Open(Recipe(16, 16 * 40, 1.0 / 16));
        for (int s = 0; s < 40; ++s) {
            const CDateTime moment(2024, 3, 18, 14, 0, s);
            const CLocateResult r = o.locator->Locate(moment);
            QCOMPARE(int(r.m_status), int(CLocateResult::EStatus::Found));
            QCOMPARE(r.m_record.m_nOffset, o.records[size_t(FirstAtOrAfter(o, moment))].m_nOffset);
            QVERIFY(!r.m_bGap);
        }
    }

    void movesBeforeTheStartAndRefusesAfterTheEnd()
    {
        COpened o = Open(Recipe(4, 40, 0.5));
        CLocateResult r = o.locator->Locate(At("2024-03-18 13:00:00"));
        QCOMPARE(int(r.m_status), int(CLocateResult::EStatus::Found));
        QCOMPARE(r.m_record.m_nOffset, o.records.front().m_nOffset);
        QVERIFY(!r.m_bGap); // nothing lies in front of the first record

        r = o.locator->Locate(o.records.back().m_time); // the last record's second: its first record
        QCOMPARE(r.m_record.m_nOffset, o.records[size_t(FirstAtOrAfter(o, o.records.back().m_time))].m_nOffset);

        r = o.locator->Locate(At("2024-03-18 14:00:20"));
        QCOMPARE(int(r.m_status), int(CLocateResult::EStatus::AfterEnd));
        QCOMPARE(int(o.locator->Locate(CDateTime()).m_status), int(CLocateResult::EStatus::NoRecords));
    }

    // 14:00:00-14:00:09, then nothing until 14:03:09.
    void aMomentInAGapShowsTheRecordAfterIt()
    {
        CRecordingRecipe recipe = Recipe(16, 16 * 20, 1.0 / 16);
        recipe.m_timeShifts = {{16 * 10, 180}};
        COpened o = Open(recipe);
        for (const char* moment : {"2024-03-18 14:00:10", "2024-03-18 14:02:00", "2024-03-18 14:03:09"}) {
            const CLocateResult r = o.locator->Locate(At(moment));
            QCOMPARE(r.m_record.m_nOffset, o.records[16 * 10].m_nOffset);
            QCOMPARE(Text(r.m_record.Time()), std::string("2024-03-18 14:03:10"));
            QVERIFY(r.m_bGap);
            QCOMPARE(Text(r.m_timeBefore), std::string("2024-03-18 14:00:09"));
        }
        // Right after the gap the moment is recorded: no gap to report.
        const CLocateResult r = o.locator->Locate(At("2024-03-18 14:03:10"));
        QVERIFY(!r.m_bGap);
        QCOMPARE(r.m_record.m_nOffset, o.records[16 * 10].m_nOffset);
    }

    void passesOverGarbageInvalidDatesAndAudioRecords()
    {
        CRecordingRecipe recipe = Recipe(4, 4 * 60, 0.25);
        recipe.m_bAudio = true;
        recipe.m_nAudioOnlyEvery = 3;
        recipe.m_nGarbageEvery = 2;
        for (int i = 4; i < recipe.m_nRecords; i += 4)
            recipe.m_invalidDates.insert(i); // the first record of every second but the first is broken
        COpened o = Open(recipe);
        for (int s = 0; s < 59; ++s) {
            const CDateTime moment(2024, 3, 18, 14, 0, s);
            const CLocateResult r = o.locator->Locate(moment);
            QCOMPARE(r.m_record.m_nOffset, o.records[size_t(FirstAtOrAfter(o, moment))].m_nOffset);
            QCOMPARE(Text(r.m_record.Time()), Text(moment));
        }
    }

    // 14:00:00-14:00:59, set back to 14:00:20 and running to 14:01:19.
    void aClockSetBackOnce()
    {
        CRecordingRecipe recipe = Recipe(16, 16 * 120, 1.0 / 16);
        recipe.m_timeShifts = {{16 * 60, -40}};
        COpened o = Open(recipe);
        CheckEverySecondIsHit(o, At("2024-03-18 14:00:00"), 80);
        // A moment recorded twice lands on the first time round, and names both.
        for (int s = 0; s < 80; ++s) {
            const CLocateResult r = o.locator->Locate(CDateTime(2024, 3, 18, 14, s / 60, s % 60));
            const std::vector<uint64_t> twice = {o.records[size_t(16 * s)].m_nOffset,
                                                 o.records[size_t(16 * (s + 40))].m_nOffset};
            QCOMPARE(r.m_occurrences, s >= 20 && s < 60 ? twice : std::vector<uint64_t>());
            if (!r.m_occurrences.empty())
                QCOMPARE(r.m_record.m_nOffset, r.m_occurrences.front());
        }
        CLocateResult twice = o.locator->Locate(At("2024-03-18 14:00:30"));
        QCOMPARE(LocateTwiceText(twice), std::string("this time occurs twice; showing the first; Shift+Enter for the second"));
        twice.m_occurrences.push_back(0);
        QCOMPARE(LocateTwiceText(twice), std::string("this time occurs 3 times; showing the first; Shift+Enter for the second"));
        QCOMPARE(LocateTwiceText(o.locator->Locate(At("2024-03-18 14:00:10"))), std::string());
    }

    // Set back twice, the second time to before the recording's start: 14:00:00-14:00:39,
    // 14:00:10-14:00:49, 13:59:30-14:00:09, and on after a gap at 14:01:30-14:01:49.
    void aClockSetBackTwiceWithAGap()
    {
        CRecordingRecipe recipe = Recipe(16, 16 * 140, 1.0 / 16);
        recipe.m_timeShifts = {{16 * 40, -30}, {16 * 80, -80}, {16 * 120, 80}};
        COpened o = Open(recipe);
        CheckEverySecondIsHit(o, At("2024-03-18 13:59:30"), 80);
        const CLocateResult gap = o.locator->Locate(At("2024-03-18 14:01:00"));
        QCOMPARE(Text(gap.m_record.Time()), std::string("2024-03-18 14:01:30"));
        QVERIFY(gap.m_bGap);
        QCOMPARE(Text(gap.m_timeBefore), std::string("2024-03-18 14:00:09"));
        QCOMPARE(int(o.locator->Locate(At("2024-03-18 14:01:50")).m_status), int(CLocateResult::EStatus::AfterEnd));
    }

    // 4.5 GiB, mostly holes: a hole of 48 MiB after every 16 records.
    void searchesASparseFileLargerThan4GiBCheaply()
    {
        CRecordingRecipe recipe = Recipe(16, 16 * 96, 1.0 / 16);
        recipe.m_nHoleEvery = 16;
        recipe.m_nHoleBytes = 48ull << 20;
        COpened o = Open(recipe);
        QVERIFY(o.records.back().m_nOffset > (4500ull << 20));
        const uint64_t blocksBefore = o.locator->Reader().Blocks();
        int searches = 0;
        for (int s = 0; s < 96; s += 5, ++searches) {
            const CDateTime moment(2024, 3, 18, 14, s / 60, s % 60);
            const CLocateResult r = o.locator->Locate(moment);
            QCOMPARE(r.m_record.m_nOffset, o.records[size_t(FirstAtOrAfter(o, moment))].m_nOffset);
        }
        // The holes are skipped, not read.
        QVERIFY(o.locator->Reader().Blocks() - blocksBefore < uint64_t(searches) * 200);
    }

    // Recordings with clocks set back and put forward, garbage and broken dates, checked
    // against reading every record: each answer is dated at or after the moment, and a
    // moment that was recorded is hit.
    void randomDamageAgainstReadingEverything()
    {
        std::mt19937 random(7);
        for (int trial = 0; trial < 5; ++trial) {
            CRecordingRecipe recipe = Recipe(16, 16 * int(50 + random() % 50), 1.0 / 16);
            for (int k = int(random() % 4); k > 0; --k)
                recipe.m_timeShifts[16 * int(1 + random() % uint32_t(recipe.m_nRecords / 16 - 1))] +=
                    (random() % 2 ? -1 : 1) * int64_t(5 + random() % 60);
            recipe.m_nGarbageEvery = int(random() % 6);
            for (int k = 0; k < 20; ++k)
                recipe.m_invalidDates.insert(1 + int(random() % uint32_t(recipe.m_nRecords - 2)));
            COpened o = Open(recipe);
            const QDateTime from(QDate(2024, 3, 18), QTime(13, 59, 0));
            for (int s = 0; s < 240; s += 3) {
                const QDateTime t = from.addSecs(s);
                const CDateTime moment(2024, 3, 18, t.time().hour(), t.time().minute(), t.time().second());
                const uint64_t key = DateTimeToOrderKey(moment);
                uint64_t best = UINT64_MAX;
                for (const CGeneratedRecord& r : o.records)
                    if (DateTimeToOrderKey(r.m_time) >= key && r.m_nOffset <= o.facts.m_nEndOffset + 1024)
                        best = std::min(best, DateTimeToOrderKey(r.m_time));
                const CLocateResult r = o.locator->Locate(moment);
                // A set-back that no probe sees goes unnoticed; what is named is right.
                const std::vector<uint64_t> truth = Occurrences(o, key);
                for (uint64_t offset : r.m_occurrences)
                    QVERIFY(std::count(truth.begin(), truth.end(), offset) == 1);
                if (!r.m_occurrences.empty())
                    QCOMPARE(r.m_occurrences.front(), r.m_record.m_nOffset);
                if (best == UINT64_MAX)
                    continue;
                QCOMPARE(int(r.m_status), int(CLocateResult::EStatus::Found));
                QVERIFY(r.m_record.m_nKey >= key);
                if (best == key)
                    QVERIFY2(r.m_record.m_nKey == key, (Text(moment) + " found " + Text(r.m_record.Time())).c_str());
            }
        }
    }

    void recordNearAnOffset()
    {
        COpened o = Open(Recipe(16, 64, 1.0 / 16));
        std::optional<CFoundRecord> r = o.locator->RecordNear(0);
        QVERIFY(r);
        QCOMPARE(r->m_nOffset, o.records.front().m_nOffset);
        r = o.locator->RecordNear(o.records[10].m_nOffset + 512);
        QCOMPARE(r->m_nOffset, o.records[11].m_nOffset);
        r = o.locator->RecordNear(m_files.Last().FileLength());
        QCOMPARE(r->m_nOffset, o.records.back().m_nOffset);
    }
};

KVX_REGISTER_TEST(TestRecordingLocator);
#include "tst_recordinglocator.moc"

// The report of the open recording built in the background: what the tracker delivers
// is what a build on the spot gives, a build is cancelled by the next recording and
// drops what it had, and a cancelled build says so.

#include "evidence/reportjson.h"
#include "session/playbacksession.h"
#include "session/reporttracker.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QSignalSpy>

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

// Sixteen cameras, a clock leap and a set-back, long enough that a whole read takes
// a good while longer than a cancelled one.
CRecordingRecipe LongRecipe(int records)
{
    CRecordingRecipe r;
    r.m_nRecords = records;
    r.m_timeShifts = {{records / 3, 60}, {2 * records / 3, -20}};
    r.m_oversize = {records / 2};
    return r;
}

std::string JsonOf(const CRecordingReport& report)
{
    return RecordingReportJson(report, {});
}

} // namespace

class TestReportTracker : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

private slots:
    // Delivered once, by queued signal, equal to a report built on the spot.
    void deliversTheReportOfTheFile()
    {
        const std::string path = m_files.Write(LongRecipe(400));
        const CRecordingFacts facts = Probe(path);
        CRecordingReport expected;
        std::string error;
        QVERIFY(BuildRecordingReport(path, facts, {}, expected, error));

        CReportTracker tracker;
        QSignalSpy ready(&tracker, &CReportTracker::reportReady);
        tracker.Start(path, facts);
        QVERIFY(tracker.IsBuilding());
        QVERIFY(ready.wait(WAIT_MS));
        QCOMPARE(ready.size(), 1);
        QVERIFY(!tracker.IsBuilding());
        QCOMPARE(JsonOf(*tracker.Report()), JsonOf(expected));
        QCOMPARE(expected.m_clockJumps.size(), size_t(2));
    }

    // A build of the library's own: a cancel set before the read stops it at its
    // first record with "cancelled".
    void aCancelledBuildSaysSo()
    {
        const std::string path = m_files.Write(LongRecipe(200));
        std::atomic<bool> cancel{true};
        CReportOptions options;
        options.m_pCancel = &cancel;
        CRecordingReport report;
        std::string error;
        QVERIFY(!BuildRecordingReport(path, Probe(path), options, report, error));
        QCOMPARE(error, std::string("cancelled"));
        QVERIFY(report.m_nRecords <= 1);
    }

    // Opening another recording while the first build runs stops it, and only the
    // second recording's report arrives.
    void anotherOpenCancelsTheBuild()
    {
        const std::string first = m_files.Write(LongRecipe(3000));
        const std::string second = m_files.Write(LongRecipe(64));
        CPlaybackSession session;
        QSignalSpy ready(&session.Report(), &CReportTracker::reportReady);
        QSignalSpy failed(&session.Report(), &CReportTracker::reportFailed);
        QVERIFY(session.Open(QString::fromStdString(first)));
        QTest::qWait(50); // the first build is under way
        QVERIFY(session.Open(QString::fromStdString(second)));
        QVERIFY(ready.wait(WAIT_MS));
        QTest::qWait(100); // anything the first build still posted would arrive now
        QCOMPARE(ready.size(), 1);
        QCOMPARE(session.Report().Report()->m_strFile, second);
        QCOMPARE(failed.size(), 0); // a stopped build is not a failure to report

        session.Close();
        QVERIFY(!session.Report().Report());
        QVERIFY(!session.Report().IsBuilding());
    }
};

KVX_REGISTER_TEST(TestReportTracker);
#include "tst_reporttracker.moc"

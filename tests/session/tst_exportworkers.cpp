// The window export's workers: the cameras' own rates read ahead, the master's sum,
// and the completion of stopped exports off the window thread.

#include "export/backuprecorder.h"
#include "platform/sha256.h"
#include "session/camerarateprobe.h"
#include "session/exportfinisher.h"
#include "session/masterhash.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QTemporaryDir>

#include <future>

namespace {

BACKUPSETTING Setting(int channel)
{
    BACKUPSETTING s;
    s.m_byFrameRate = 10;
    s.m_byChannel = uint8_t(channel);
    s.m_byChannelCount = 4;
    s.m_nWidth = 360;
    s.m_nHeight = 240;
    return s;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CRecordingFacts Probe(const std::string& path)
{
    CRecordingFacts facts;
    CTestProbeView view;
    CRecordingProbe(facts, view).ProbeRecording(path);
    return facts;
}

} // namespace

class TestExportWorkers : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    std::string Recording(int channels, int records, double secondsPerRecord)
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        recipe.m_dSecondsPerRecord = secondsPerRecord;
        return m_recordings.Write(recipe);
    }

private slots:
    // Four cameras taking turns, 20 records a second, record 5 pictures a second each;
    // a camera with fewer than ten seconds of pictures in the stretch offers none, and
    // a cancelled read offers nothing.
    void camerasOwnRatesAreReadFromTheFirstStretch()
    {
        const std::string twelveSeconds = Recording(4, 240, 1.0 / 20);
        std::atomic<bool> cancel{false};
        QCOMPARE(CCameraRateProbe::ReadRates(twelveSeconds, Probe(twelveSeconds), cancel),
                 (CCameraRateProbe::Rates{5, 5, 5, 5}));
        const std::string fourSeconds = Recording(16, 64, 1.0 / 16);
        QCOMPARE(CCameraRateProbe::ReadRates(fourSeconds, Probe(fourSeconds), cancel),
                 CCameraRateProbe::Rates(16, 0));
        cancel = true;
        QCOMPARE(CCameraRateProbe::ReadRates(twelveSeconds, Probe(twelveSeconds), cancel),
                 CCameraRateProbe::Rates(4, 0));

        // On its worker, with the result handed to the owner's handler.
        std::promise<CCameraRateProbe::Rates> result;
        CCameraRateProbe probe(twelveSeconds, Probe(twelveSeconds),
                               [&](const CCameraRateProbe::Rates& rates) { result.set_value(rates); });
        QCOMPARE(result.get_future().get(), (CCameraRateProbe::Rates{5, 5, 5, 5}));
    }

    // The master's sum read on its worker is the file's; a read cancelled gives none.
    void masterSumIsTheRecordingsOwn()
    {
        const std::string path = Recording(4, 32, 1.0 / 8);
        const CMasterHash hash(path, 0);
        QCOMPARE(hash.Result().get(), Sha256OfFile(path));
        QTRY_VERIFY(hash.IsDone());
        const std::atomic<bool> cancelled{true};
        QCOMPARE(Sha256OfFile(path, &cancelled), std::nullopt);
    }

    // A stopped export waits on the worker for its master's sum: until it is known the
    // export has no note and no sums, then the note names it and the sums cover the
    // video, the log and the note. The finisher completes what was handed over before
    // it ends, in order, and says what could not be had.
    void completionWaitsForTheMastersSumAndWritesTheSumsLast()
    {
        QTemporaryDir folder;
        const QString out = folder.path() + "/";
        std::promise<std::optional<std::string>> sum;
        CExportOptions options;
        options.m_master = CExportMaster{"/recordings/master.kvx", 1234, sum.get_future().share(), {}};
        CBackupRecorder recorder(out);
        std::vector<CExportFinisher::CResult> results;
        std::mutex resultsMutex;
        {
            CExportFinisher finisher([&](const CExportFinisher::CResult& r) {
                std::lock_guard lock(resultsMutex);
                results.push_back(r);
            });
            QVERIFY(recorder.StartBackup(Setting(1), {2024, 3, 18, 14, 0, 0}, options));
            finisher.Complete(std::move(*recorder.TakeExport()), {2024, 3, 18, 14, 0, 9});
            options.m_master->m_sha256 = std::async(std::launch::deferred, [] {
                return std::optional<std::string>();
            }).share();
            QVERIFY(recorder.StartBackup(Setting(1), {2024, 3, 18, 14, 1, 0}, options));
            finisher.Complete(std::move(*recorder.TakeExport()), {2024, 3, 18, 14, 1, 9});
            QVERIFY(!finisher.IsIdle());
            QVERIFY(!QFile::exists(out + "02_Capture.sha256"));
            QVERIFY(!QFile::exists(out + "02_Capture.txt"));
            sum.set_value(std::string(64, 'a'));
        }
        QCOMPARE(results.size(), size_t(2));
        QCOMPARE(results[0].m_strAviName, out + "02_Capture.avi");
        QCOMPARE(results[1].m_strAviName, out + "02_Capture(01).avi");
        QVERIFY(results[0].m_problems.isEmpty());
        QVERIFY(results[0].m_strUnsignedReason.isEmpty()); // signed, last
        QVERIFY(QFile::exists(out + "02_Capture.sha256.sig"));
        QVERIFY(Read(out + "02_Capture.txt").contains("MASTER SHA256: " + QByteArray(64, 'a')));
        QVERIFY(Read(out + "02_Capture(01).txt").contains("MASTER SHA256: not known"));
        const QByteArray sums = Read(out + "02_Capture.sha256");
        for (const char* name : {"02_Capture.avi", "02_Capture.log", "02_Capture.txt"})
            QVERIFY2(sums.contains(QByteArray("  ") + name + "\n"), name);
        QVERIFY(Read(out + "02_Capture.log").contains("RECORD END   : 2024/03/18 14:00:09"));
    }
};

KVX_REGISTER_TEST(TestExportWorkers);
#include "tst_exportworkers.moc"

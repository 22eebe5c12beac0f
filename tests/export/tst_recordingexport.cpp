#include "export/recordingexport.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// The one-pass export of several cameras, without a command line around it: what it
// tells its view and what it leaves in the folder.
class TestRecordingExport : public QObject {
    Q_OBJECT

    struct CView : IRecordingExportView {
        void OnExportProgress(uint64_t offset, bool last) override
        {
            m_offsets.push_back(offset);
            m_nLast += last;
        }
        void OnExportMessage(const QString& text) override { m_messages.push_back(text); }

        std::vector<uint64_t> m_offsets;
        int m_nLast = 0;
        QStringList m_messages;
    };

    CRecordingFixture m_files;

    // A 4-camera recording of 40 pictures, ten a camera, one second apart per round.
    std::pair<std::string, CRecordingFacts> Recording()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 40;
        recipe.m_dSecondsPerRecord = 0.25;
        const std::string path = m_files.Write(recipe);
        CRecordingFacts facts;
        CTestProbeView probeView;
        CRecordingProbe(facts, probeView).ProbeRecording(path);
        return {path, facts};
    }

private slots:
    void exportsEachChosenCameraInOnePass()
    {
        const auto [path, facts] = Recording();
        const QTemporaryDir out;
        CRecordingExportSettings settings;
        settings.m_channels = {1, 3};
        settings.m_strFolder = out.path() + '/';
        CView view;
        CRecordingExport exporter(path, facts, settings, view);
        QCOMPARE(exporter.Run(), CRecordingExport::EResult::Done);

        const std::vector<CRecordingExport::CExported> results = exporter.Results();
        QCOMPARE(results.size(), size_t(2));
        for (const CRecordingExport::CExported& r : results) {
            const QString base = out.path() + QString("/%1_Capture").arg(r.m_nChannel, 2, 10, QChar('0'));
            QCOMPARE(r.m_strAvi, base + ".avi");
            QCOMPARE(r.m_strLog, base + ".log");
            QCOMPARE(r.m_nFrames, uint32_t(10));
            QVERIFY(QFileInfo::exists(r.m_strAvi) && QFileInfo::exists(r.m_strLog) && QFileInfo::exists(base + ".sha256"));
            QCOMPARE(r.m_strTxt, base + ".txt"); // the provenance note, which the sums cover
            QFile sums(base + ".sha256");
            QVERIFY(sums.open(QIODevice::ReadOnly) && sums.readAll().contains(QFileInfo(r.m_strTxt).fileName().toUtf8()));
        }
        QCOMPARE(results[0].m_nChannel, 1);
        QCOMPARE(results[1].m_nChannel, 3);
        QCOMPARE(exporter.FrameCount(), uint32_t(20));
        QVERIFY(view.m_messages.isEmpty());
        // The progress runs forward and ends once, at the file's end.
        QVERIFY(std::is_sorted(view.m_offsets.begin(), view.m_offsets.end()));
        QCOMPARE(view.m_nLast, 1);
        QCOMPARE(view.m_offsets.back(), facts.m_nFileLength);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 10); // with each export's signature
    }

    void aRangeWithoutRecordsMakesNoFile()
    {
        const auto [path, facts] = Recording();
        const QTemporaryDir out;
        CRecordingExportSettings settings;
        settings.m_channels = {2};
        settings.m_from = {2006, 1, 1, 0, 0, 0};
        settings.m_strFolder = out.path() + "/avi/";
        CView view;
        CRecordingExport exporter(path, facts, settings, view);
        QCOMPARE(exporter.Run(), CRecordingExport::EResult::NothingInRange);
        QCOMPARE(view.m_nLast, 0);
        QVERIFY(view.m_messages.isEmpty());
        QVERIFY(!QFileInfo::exists(out.path() + "/avi"));
    }

    // Only the records dated in the range are exported, and the log runs from the
    // first to the last of them.
    void aRangeExportsItsRecordsOnly()
    {
        const auto [path, facts] = Recording();
        const QTemporaryDir out;
        CRecordingExportSettings settings;
        settings.m_channels = {4};
        settings.m_from = {2005, 1, 1, 0, 0, 3};
        settings.m_to = {2005, 1, 1, 0, 0, 5};
        settings.m_strFolder = out.path() + '/';
        CView view;
        CRecordingExport exporter(path, facts, settings, view);
        QCOMPARE(exporter.Run(), CRecordingExport::EResult::Done);
        QCOMPARE(exporter.Results().front().m_nFrames, uint32_t(3)); // one picture of camera 4 a second
    }
};

KVX_REGISTER_TEST(TestRecordingExport);
#include "tst_recordingexport.moc"

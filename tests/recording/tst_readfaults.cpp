// Discs that cannot be read everywhere: the injected faults behave as the system's
// own would, and the probe copes with them.

#include "platform/readonlyfile.h"
#include "recording/recordingprobe.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

using namespace kvx;

class TestReadFaults : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    std::string Recording(int records = 96)
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = records;
        return m_files.Write(recipe);
    }

private slots:
    void cleanup() { CReadOnlyFile::ClearReadFaults(); }

    // Bytes before the fault read as ever, through the read-ahead too; a read that
    // reaches the fault fails (EIO) or ends there (short).
    void faultsAnswerFromTheirOffsetOn()
    {
        const std::string path = Recording(8);
        const uint64_t at = 100000;
        for (bool eio : {true, false}) {
            CReadOnlyFile::InjectReadFault(path, at, eio);
            CReadOnlyFile file;
            QVERIFY(file.Open(path));
            std::vector<uint8_t> buffer(4096);
            QVERIFY(file.Seek(at - 4096));
            QCOMPARE(file.Read(buffer.data(), 4096), int64_t(4096));
            QVERIFY(file.Seek(at - 100));
            QCOMPARE(file.Read(buffer.data(), 512), eio ? int64_t(-1) : int64_t(100));
            if (!eio)
                QCOMPARE(file.Length(), at);
        }
        CReadOnlyFile::ClearReadFaults();
        CReadOnlyFile file;
        QVERIFY(file.Open(path));
        QVERIFY(file.Seek(at));
        std::vector<uint8_t> buffer(512);
        QCOMPARE(file.Read(buffer.data(), 512), int64_t(512));
    }

    // The first blocks unreadable: no record is found, and the user is told so.
    void unreadableStartIsAnUnknownDisc()
    {
        const std::string path = Recording();
        for (bool eio : {true, false}) {
            CReadOnlyFile::InjectReadFault(path, RECORD_AREA_OFFSET, eio);
            CRecordingFacts facts;
            CTestProbeView view;
            QVERIFY(!CRecordingProbe(facts, view).ProbeRecording(path));
            // A read error is said as one; a read that ends early finds no header.
            const std::string what = eio ? std::string(PROBE_UNREADABLE_START) + " (" + std::strerror(EIO) + ")"
                                         : std::string(PROBE_NO_FIRST_HEADER);
            QCOMPARE(view.m_messages, std::vector<std::string>{UnknownCdMessage(path, what)});
        }
    }

    // An unreadable tail: the recording opens and ends at the last record before it.
    void unreadableTailEndsTheRecordingBeforeIt()
    {
        const std::string path = Recording();
        const std::vector<CGeneratedRecord> records = m_files.Last().Records();
        const CGeneratedRecord& cut = records[records.size() - 20];
        for (bool eio : {true, false}) {
            CReadOnlyFile::InjectReadFault(path, cut.m_nOffset + BLOCK_SIZE, eio);
            CRecordingFacts facts;
            CTestProbeView view;
            QVERIFY(CRecordingProbe(facts, view).ProbeRecording(path));
            QVERIFY(view.m_messages.empty());
            QVERIFY(facts.m_nEndOffset + 1024 < cut.m_nOffset);
            QVERIFY(facts.m_timeEnd.IsValid());
        }
    }
};

KVX_REGISTER_TEST(TestReadFaults);
#include "tst_readfaults.moc"

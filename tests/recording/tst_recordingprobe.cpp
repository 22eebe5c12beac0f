#include "recording/recordingprobe.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>

#include <fstream>
#include <iterator>

using namespace kvx;

class TestRecordingProbe : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    struct CResult {
        bool ok = false;
        CRecordingFacts facts;
        CTestProbeView view;
    };

    static std::unique_ptr<CResult> Probe(const std::string& path)
    {
        auto result = std::make_unique<CResult>();
        result->ok = CRecordingProbe(result->facts, result->view).ProbeRecording(path);
        return result;
    }

    static std::vector<uint8_t> ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // The same records, `blocks` blocks further into the record area.
    std::string ShiftRecords(const std::string& path, int blocks)
    {
        std::vector<uint8_t> bytes = ReadAll(path);
        bytes.insert(bytes.begin() + RECORD_AREA_OFFSET, size_t(blocks) * BLOCK_SIZE, 0);
        return m_files.WriteBytes(bytes);
    }

    static CRecordingRecipe SixteenChannels(int records = 48)
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = records;
        return recipe;
    }

    static void VerifyLastRecordIs(const CResult& r, const CGeneratedRecord& last)
    {
        QVERIFY(r.ok);
        QCOMPARE(r.facts.m_nEndOffset, last.m_nOffset - 1024);
        QCOMPARE(r.facts.m_timeEnd, last.m_time);
        QCOMPARE(r.facts.m_nSectorSpan, last.m_nSector - r.facts.m_nFirstSector);
    }

private slots:
    void findsBothEndsOfASixteenChannelRecording()
    {
        const std::string path = m_files.Write(SixteenChannels());
        const auto& records = m_files.Last().Records();
        auto r = Probe(path);
        VerifyLastRecordIs(*r, records.back());
        QCOMPARE(r->facts.m_nChannelCount, uint8_t(16));
        QCOMPARE(r->facts.m_layout, EHeaderLayout::B);
        QCOMPARE(r->facts.m_timeStart, CDateTime(2005, 1, 1, 0, 0, 0));
        QCOMPARE(r->facts.m_timeEnd, CDateTime(2005, 1, 1, 0, 0, 2));
        QCOMPARE(r->facts.m_nFirstSector, uint64_t(1000));
        QCOMPARE(r->facts.m_nSectorSpan, (records.back().m_nOffset - records.front().m_nOffset) / 512);
        QCOMPARE(r->facts.m_nFileLength, m_files.Last().FileLength());
        QVERIFY(!r->facts.m_bAudio);
        QCOMPARE(r->view.m_audioSwitches, std::vector<bool>{false});
        QVERIFY(r->view.m_messages.empty());
        QVERIFY(!r->view.m_bEndDisabled);
    }

    void audioControlsFollowTheFirstHeadersSignature()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 12;
        recipe.m_dSecondsPerRecord = 0.25;
        auto plain = Probe(m_files.Write(recipe));
        VerifyLastRecordIs(*plain, m_files.Last().Records().back());
        QCOMPARE(plain->facts.m_nChannelCount, uint8_t(4));
        QCOMPARE(plain->facts.m_layout, EHeaderLayout::A);
        QCOMPARE(plain->view.m_audioSwitches, std::vector<bool>{false});

        recipe.m_bAudio = true;
        auto audio = Probe(m_files.Write(recipe));
        VerifyLastRecordIs(*audio, m_files.Last().Records().back());
        QVERIFY(audio->facts.m_bAudio);
        QCOMPARE(audio->view.m_audioSwitches, std::vector<bool>{true});
    }

    void firstHeaderMustLieWithin128Blocks()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 8;
        recipe.m_dSecondsPerRecord = 0.5;
        const std::string path = m_files.Write(recipe);
        auto inBlock128 = Probe(ShiftRecords(path, 127));
        QVERIFY(inBlock128->ok);
        QCOMPARE(inBlock128->facts.m_nFirstSector, uint64_t(1000));
        const std::string shifted = ShiftRecords(path, 128);
        auto inBlock129 = Probe(shifted);
        QVERIFY(!inBlock129->ok);
        QCOMPARE(inBlock129->view.m_messages, std::vector<std::string>{UnknownCdMessage(shifted, PROBE_NO_FIRST_HEADER)});
    }

    // The window's and kvxtool's words: the old ones, then which file and why.
    void unknownCdSaysWhichFileAndWhy()
    {
        QCOMPARE(UnknownCdMessage("/home/me/notes.txt", PROBE_NO_FIRST_HEADER),
                 std::string(" Unknown CD \nnotes.txt is not a DVR backup recording "
                             "(no record header where one must be)"));
    }

    void refusesWhatIsNotARecording_data()
    {
        QTest::addColumn<int>("reserved");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("fill");
        QTest::newRow("empty file") << 0 << 0 << 0;
        QTest::newRow("shorter than the reserved area") << 1000 << 0 << 0;
        QTest::newRow("no header in 128 blocks") << int(RECORD_AREA_OFFSET) << 400 << 0;
        QTest::newRow("all bytes 0xFF") << int(RECORD_AREA_OFFSET) << 400 << 0xFF;
    }
    void refusesWhatIsNotARecording()
    {
        QFETCH(int, reserved);
        QFETCH(int, blocks);
        QFETCH(int, fill);
        std::vector<uint8_t> bytes(size_t(reserved), 0);
        bytes.resize(bytes.size() + size_t(blocks) * BLOCK_SIZE, uint8_t(fill));
        const std::string path = m_files.WriteBytes(bytes);
        auto r = Probe(path);
        QVERIFY(!r->ok);
        QCOMPARE(r->view.m_messages, std::vector<std::string>{UnknownCdMessage(path, PROBE_NO_FIRST_HEADER)});
        QVERIFY(r->view.m_audioSwitches.empty());
    }

    // The backward walk is bounded by the record area: a recording whose records all
    // carry the first record's time has no last record and is refused, not overrun.
    void refusesARecordingWithoutALaterRecord()
    {
        CRecordingRecipe recipe = SixteenChannels(20);
        recipe.m_dSecondsPerRecord = 0;
        const std::string path = m_files.Write(recipe);
        auto r = Probe(path);
        QVERIFY(!r->ok);
        QCOMPARE(r->view.m_messages, std::vector<std::string>{UnknownCdMessage(path, PROBE_NO_LATER_RECORD)});
    }

    void cutOffLastPictureFallsBackToThePreviousRecord()
    {
        CRecordingRecipe recipe = SixteenChannels();
        recipe.m_bCutLastPicture = true;
        auto r = Probe(m_files.Write(recipe));
        const auto& records = m_files.Last().Records();
        VerifyLastRecordIs(*r, records[records.size() - 2]);
    }

    // Cut at a length that is not a multiple of 512: records still sit on 512-byte
    // boundaries, and a last picture whose end marker survived still counts.
    void truncatedFileKeepsTheBlockGrid()
    {
        const CRecordingRecipe recipe = SixteenChannels();
        m_files.Write(recipe);
        const CGeneratedRecord last = m_files.Last().Records().back();
        CRecordingRecipe cut = recipe;
        cut.m_nTruncateBytes = (last.m_nPictureBytes - last.m_nJpegBytes - 2) / 2 * 2 - 1; // odd, inside the padding
        QVERIFY(cut.m_nTruncateBytes > 100);
        auto inPadding = Probe(m_files.Write(cut));
        VerifyLastRecordIs(*inPadding, last);

        cut.m_nTruncateBytes = last.m_nPictureBytes - 777;
        auto inPicture = Probe(m_files.Write(cut));
        const auto& records = m_files.Last().Records();
        VerifyLastRecordIs(*inPicture, records[records.size() - 2]);
    }

    void invalidEndDateOpensWithoutGoToEnd()
    {
        CRecordingRecipe recipe = SixteenChannels();
        recipe.m_invalidDates = {CRecordingRecipe::LAST_RECORD};
        auto r = Probe(m_files.Write(recipe));
        QVERIFY(r->ok);
        QVERIFY(!r->facts.m_timeEnd.IsValid());
        QVERIFY(r->view.m_bEndDisabled);
        QCOMPARE(r->facts.m_nEndOffset, m_files.Last().Records().back().m_nOffset - 1024);
    }

    void markersAreOnlySeenAtEvenOffsets()
    {
        CRecordingRecipe recipe = SixteenChannels();
        recipe.m_jpegStarts[CRecordingRecipe::LAST_RECORD] = EJpegStart::TwoExtraBytes;
        auto even = Probe(m_files.Write(recipe));
        VerifyLastRecordIs(*even, m_files.Last().Records().back());

        recipe.m_jpegStarts[CRecordingRecipe::LAST_RECORD] = EJpegStart::ExtraFF;
        auto odd = Probe(m_files.Write(recipe));
        const auto& records = m_files.Last().Records();
        VerifyLastRecordIs(*odd, records[records.size() - 2]);
    }

    // Blocks after the last record that happen to hold an end and a start marker put
    // the walk into header search early; the walk must still end on a real header.
    void strayMarkersDoNotMakeAHeader()
    {
        const std::string path = m_files.Write(SixteenChannels());
        std::vector<uint8_t> bytes = ReadAll(path);
        std::vector<uint8_t> stray(2 * BLOCK_SIZE, 0x11);
        stray[100] = 0xD8; // stored form of the logical pair FF D8
        stray[101] = 0xFF;
        stray[BLOCK_SIZE + 300] = 0xD9; // FF D9 in the very last block
        stray[BLOCK_SIZE + 301] = 0xFF;
        bytes.insert(bytes.end(), stray.begin(), stray.end());
        auto r = Probe(m_files.WriteBytes(bytes));
        VerifyLastRecordIs(*r, m_files.Last().Records().back());
        QVERIFY(r->facts.m_timeEnd.IsValid());
    }

    void sectorSpanIsTheDistanceInSectors()
    {
        CRecordingRecipe recipe = SixteenChannels(40);
        m_files.Write(recipe);
        const uint64_t lastOffset = m_files.Last().Records().back().m_nOffset;
        recipe.m_nGapBeforeLast = RECORD_AREA_OFFSET + 50000ull * BLOCK_SIZE - lastOffset;
        auto r = Probe(m_files.Write(recipe));
        QVERIFY(r->ok);
        QCOMPARE(r->facts.m_nFirstSector, uint64_t(1000));
        QCOMPARE(r->facts.m_nSectorSpan, uint64_t(50000));
    }

    void recordingsAbove4GiBKeepTheirFullPositions()
    {
        CRecordingRecipe recipe = SixteenChannels(40);
        recipe.m_nGapBeforeLast = 4608ull << 20; // 4.5 GiB hole before the last record
        auto r = Probe(m_files.Write(recipe));
        const CGeneratedRecord& last = m_files.Last().Records().back();
        QVERIFY(last.m_nOffset > (4ull << 30));
        VerifyLastRecordIs(*r, last);
        QVERIFY(r->facts.m_nEndOffset > UINT32_MAX);
        QVERIFY(r->facts.m_nFileLength > (4ull << 30));
    }

    void unreadableFileIsReportedAndNotStarted()
    {
        auto missing = Probe(m_files.PathFor("no such recording.kvx"));
        QVERIFY(!missing->ok);
        QCOMPARE(missing->view.m_messages.size(), size_t(1));
        QVERIFY(QString::fromStdString(missing->view.m_messages[0]).startsWith("Can not open KVX file."));
        QVERIFY(QString::fromStdString(missing->view.m_messages[0]).contains("no such recording.kvx"));
        QVERIFY(missing->view.m_audioSwitches.empty());

        auto folder = Probe(m_files.PathFor(""));
        QVERIFY(!folder->ok);
        QCOMPARE(folder->view.m_messages.size(), size_t(1));
    }
};

KVX_REGISTER_TEST(TestRecordingProbe);
#include "tst_recordingprobe.moc"

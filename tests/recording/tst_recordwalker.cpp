#include "recording/recordwalker.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <map>

Q_DECLARE_METATYPE(CRecordingRecipe)

namespace {

// Everything one walk reported, in order.
class CWalkLog : public IRecordWalkSink {
public:
    struct CPiece {
        uint64_t offset, end;
        bool record;
        CDamagedStretch::EWhat what;
    };
    std::vector<CPiece> pieces;
    std::map<uint64_t, CWalkedRecord> records;
    std::map<uint64_t, std::vector<uint8_t>> pictureStarts; // first bytes of each picture
    CRecordWalker* walker = nullptr;
    size_t stopAfter = SIZE_MAX;

    void OnRecord(const CWalkedRecord& r) override
    {
        pieces.push_back({r.m_nOffset, r.m_nEnd, true, {}});
        records[r.m_nOffset] = r;
        if (r.m_pPicture)
            pictureStarts[r.m_nOffset].assign(r.m_pPicture, r.m_pPicture + 4);
        if (records.size() == stopAfter)
            walker->Stop();
    }
    void OnDamage(const CDamagedStretch& d) override
    {
        pieces.push_back({d.m_nOffset, d.m_nOffset + d.m_nBytes, false, d.m_what});
    }
};

} // namespace

class TestRecordWalker : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    // Walks the whole file with a byte observer; checks that records and stretches
    // follow one another without gap or overlap to the end of the file, and that the
    // observer saw every byte once.
    void WalkAll(const std::string& path, int channels, CWalkLog& log)
    {
        CRecordWalker walker(channels == 4 ? kvx::EHeaderLayout::A : kvx::EHeaderLayout::B);
        QVERIFY(walker.Open(path));
        uint64_t observed = 0;
        walker.SetByteObserver([&](const uint8_t*, size_t size) { observed += size; });
        log.walker = &walker;
        QVERIFY(walker.Walk(kvx::RECORD_AREA_OFFSET, log));
        QCOMPARE(observed, walker.Length());
        uint64_t at = kvx::RECORD_AREA_OFFSET;
        for (const CWalkLog::CPiece& piece : log.pieces) {
            QCOMPARE(piece.offset, at);
            QVERIFY(piece.end > piece.offset);
            at = piece.end;
        }
        if (log.stopAfter == SIZE_MAX)
            QCOMPARE(at, walker.Length());
    }

private slots:
    // Every record the generator wrote that the player can show is found where it is,
    // as long as it is, with its picture from its first byte; the rest is damage.
    void findsEveryRecordAndAccountsForEveryByte_data()
    {
        QTest::addColumn<CRecordingRecipe>("recipe");
        CRecordingRecipe faults;
        faults.m_nRecords = 90;
        faults.m_nGarbageEvery = 11;
        faults.m_invalidDates = {3, 4, 40};
        faults.m_oversize = {20, 21};
        faults.m_nHoleEvery = 30;
        faults.m_nHoleBytes = 3 * 512;
        faults.m_bCutLastPicture = true;
        QTest::newRow("16 channels, damaged") << faults;
        CRecordingRecipe audio = CRecordingRecipe::FourChannelsWithAudio(50, 0.5);
        audio.m_nAudioOnlyEvery = 7;
        audio.m_oversize = {12};
        audio.m_nTruncateBytes = 301; // ends inside the last audio block, on an odd byte
        QTest::newRow("4 channels, audio") << audio;
        CRecordingRecipe pal;
        pal.m_nChannels = 4;
        pal.m_nRecords = 12;
        pal.m_nWidth = 720;
        pal.m_nHeight = 288;
        pal.m_nQuality = 98; // pictures of several units
        QTest::newRow("4 channels, long pictures") << pal;
    }
    void findsEveryRecordAndAccountsForEveryByte()
    {
        QFETCH(CRecordingRecipe, recipe);
        const std::string path = m_files.Write(recipe);
        const CRecordingGenerator& gen = m_files.Last();
        CWalkLog log;
        WalkAll(path, recipe.m_nChannels, log);
        std::map<uint64_t, const CGeneratedRecord*> expected;
        for (const CGeneratedRecord& r : gen.Records()) {
            const bool oversize = r.m_nPictureIndex >= 0 && recipe.IsRecord(recipe.m_oversize, r.m_nPictureIndex);
            if (r.m_time.IsValid() && !oversize && RecordEnd(r) <= gen.FileLength())
                expected[r.m_nOffset] = &r;
        }
        QVERIFY(expected.size() > 10);
        QCOMPARE(log.records.size(), expected.size());
        for (const auto& [offset, r] : expected) {
            QVERIFY2(log.records.count(offset), qPrintable(QString::number(offset)));
            const CWalkedRecord& found = log.records[offset];
            QCOMPARE(found.m_nEnd, RecordEnd(*r));
            QCOMPARE(found.m_bAudioBlock, r->m_bAudioBlock);
            QCOMPARE(found.m_header.Time(), r->m_time);
            if (r->m_nPictureIndex >= 0) {
                QCOMPARE(found.m_nPictureLength, r->m_nPictureBytes);
                QCOMPARE(log.pictureStarts[offset], (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
            }
        }
        for (const CWalkLog::CPiece& piece : log.pieces)
            QVERIFY(piece.record || !expected.count(piece.offset)); // no stretch begins at a record
    }

    // A walk stopped by its sink reads no further record, but a byte observer still
    // sees the whole file: a hash in the same pass stays whole.
    void stoppedWalkStillObservesEveryByte()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 40;
        const std::string path = m_files.Write(recipe);
        CWalkLog log;
        log.stopAfter = 5;
        WalkAll(path, 16, log);
        QCOMPARE(log.records.size(), size_t(5));
    }

    // Walking from a record's header mid-file finds the same records from there on.
    void walkFromTheMiddle()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 40;
        const std::string path = m_files.Write(recipe);
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        CRecordWalker walker(kvx::EHeaderLayout::B);
        QVERIFY(walker.Open(path));
        CWalkLog log;
        QVERIFY(walker.Walk(r[25].m_nOffset, log));
        QCOMPARE(log.records.size(), size_t(15));
        QCOMPARE(log.records.begin()->first, r[25].m_nOffset);
        QVERIFY(log.pieces.front().record);
    }
};

KVX_REGISTER_TEST(TestRecordWalker);
#include "tst_recordwalker.moc"

#include "recording/datetime.h"
#include "recording/recordformat.h"
#include "recording/recordheader.h"
#include "tests/support/testmain.h"

#include <array>
#include <numeric>
#include <vector>

using namespace kvx;

class TestRecordFormat : public QObject {
    Q_OBJECT

    // A stored (pair-swapped) header block built from logical bytes.
    static std::vector<uint8_t> Stored(std::vector<uint8_t> logical)
    {
        logical.resize(BLOCK_SIZE, 0);
        SwapBytePairs(logical.data(), logical.size());
        return logical;
    }

private slots:
    void storageTransformsUndoThemselves()
    {
        uint8_t pairs[] = {0x01, 0x02, 0x03, 0x04};
        SwapBytePairs(pairs, 4);
        QCOMPARE(std::vector<uint8_t>(pairs, pairs + 4), (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03}));

        std::array<uint8_t, 256> all, copy;
        for (int i = 0; i < 256; ++i)
            all[i] = copy[i] = uint8_t(i);
        SwapBytePairs(all.data(), all.size());
        SwapBytePairs(all.data(), all.size());
        QCOMPARE(all, copy);

        uint8_t odd[19];
        std::iota(odd, odd + 19, 0);
        SwapBytePairs(odd, 19); // the byte without a partner stays
        for (int i = 0; i < 18; ++i)
            QCOMPARE(odd[i], uint8_t(i ^ 1));
        QCOMPARE(odd[18], uint8_t(18));

        uint8_t bits[] = {0x01, 0xF0, 0xA5, 0x03};
        ReverseBitOrder(bits, 4);
        QCOMPARE(std::vector<uint8_t>(bits, bits + 4), (std::vector<uint8_t>{0x80, 0x0F, 0xA5, 0xC0}));
        ReverseBitOrder(all.data(), all.size());
        ReverseBitOrder(all.data(), all.size());
        QCOMPARE(all, copy);
    }

    // The chunked swap against the byte-by-byte definition: every length around the
    // chunk size, at each start alignment, touching nothing outside its range.
    void pairSwapMatchesDefinitionAtAnyLengthAndAlignment()
    {
        for (size_t offset = 0; offset < 8; ++offset) {
            for (size_t length = 0; length <= 67; ++length) {
                std::vector<uint8_t> buffer(offset + length + 8);
                std::iota(buffer.begin(), buffer.end(), uint8_t(0x40));
                std::vector<uint8_t> expected = buffer;
                for (size_t i = offset; i + 1 < offset + length; i += 2)
                    std::swap(expected[i], expected[i + 1]);
                SwapBytePairs(buffer.data() + offset, length);
                QVERIFY2(buffer == expected, qPrintable(QString("length %1 at offset %2").arg(length).arg(offset)));
            }
        }
    }

    void headerFieldsReadInBothLayouts()
    {
        std::vector<uint8_t> logical(BLOCK_SIZE, 0);
        logical[0] = 0xFF;
        logical[1] = 0xFC;
        const uint8_t prev[8] = {0, 0, 0, 0, 0x80, 0, 0, 0};
        std::copy(prev, prev + 8, logical.begin() + 4);
        std::fill(logical.begin() + 12, logical.begin() + 20, 0xFF);
        logical[21] = 16;
        const uint8_t dateA[6] = {9, 2, 28, 23, 59, 58};
        const uint8_t dateB[6] = {255, 12, 31, 1, 2, 3};
        std::copy(dateA, dateA + 6, logical.begin() + 24);
        std::copy(dateB, dateB + 6, logical.begin() + 43);
        std::vector<uint8_t> block = Stored(logical);
        QCOMPARE(block[0], uint8_t(0xFC)); // as stored: FC FF
        SwapBytePairs(block.data(), block.size());

        const CRecordHeader b = CRecordHeader::Parse(block.data(), EHeaderLayout::B);
        QVERIFY(b.IsCandidate());
        QCOMPARE(b.m_byKind, KIND_PICTURE_16CH);
        QCOMPARE(b.m_nPrevSector, uint64_t(2147483648u)); // not negative
        QCOMPARE(b.m_nSector, UINT64_MAX);
        QCOMPARE(b.m_byGroupLength, uint8_t(16));
        QCOMPARE(b.Time(), CDateTime(2251, 12, 31, 1, 2, 3));

        const CRecordHeader a = CRecordHeader::Parse(block.data(), EHeaderLayout::A);
        QCOMPARE(a.Time(), CDateTime(2005, 2, 28, 23, 59, 58));

        block[24] = 0; // year byte 0
        QCOMPARE(CRecordHeader::Parse(block.data(), EHeaderLayout::A).m_wYear, uint16_t(1996));
        block[1] = 0xD8;
        QVERIFY(!CRecordHeader::Parse(block.data(), EHeaderLayout::A).IsCandidate());
    }

    void layoutFollowsChannelCountOrKind()
    {
        QCOMPARE(LayoutForChannelCount(4), EHeaderLayout::A);
        QCOMPARE(LayoutForChannelCount(8), EHeaderLayout::B);
        QCOMPARE(LayoutForChannelCount(16), EHeaderLayout::B);
        QVERIFY(!LayoutForChannelCount(0));
        QCOMPARE(LayoutForKind(KIND_PICTURE_16CH), EHeaderLayout::B);
        QCOMPARE(LayoutForKind(KIND_PICTURE_4CH), EHeaderLayout::A);
        QVERIFY(!LayoutForKind(KIND_AUDIO_ONLY));
    }

    void calendarRules_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("second");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ordinary") << 2005 << 6 << 15 << 12 << 30 << 30 << true;
        QTest::newRow("month 13") << 2005 << 13 << 1 << 0 << 0 << 0 << false;
        QTest::newRow("month 0") << 2005 << 0 << 1 << 0 << 0 << 0 << false;
        QTest::newRow("30 February") << 2004 << 2 << 30 << 0 << 0 << 0 << false;
        QTest::newRow("29 Feb leap") << 2004 << 2 << 29 << 0 << 0 << 0 << true;
        QTest::newRow("29 Feb common") << 2005 << 2 << 29 << 0 << 0 << 0 << false;
        QTest::newRow("29 Feb 2000") << 2000 << 2 << 29 << 0 << 0 << 0 << true;
        QTest::newRow("29 Feb 2100") << 2100 << 2 << 29 << 0 << 0 << 0 << false;
        QTest::newRow("31 April") << 2005 << 4 << 31 << 0 << 0 << 0 << false;
        QTest::newRow("day 0") << 2005 << 1 << 0 << 0 << 0 << 0 << false;
        QTest::newRow("hour 24") << 2005 << 1 << 1 << 24 << 0 << 0 << false;
        QTest::newRow("minute 60") << 2005 << 1 << 1 << 0 << 60 << 0 << false;
        QTest::newRow("second 60") << 2005 << 1 << 1 << 0 << 0 << 60 << false;
        QTest::newRow("all zero") << 0 << 0 << 0 << 0 << 0 << 0 << false;
    }
    void calendarRules()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, second);
        QFETCH(bool, valid);
        QCOMPARE(IsRecordDateValid(year, month, day, hour, minute, second), valid);
        const CDateTime time(year, month, day, hour, minute, second);
        QCOMPARE(time.IsValid(), valid);
        if (!valid) {
            QCOMPARE(time.GetYear(), -1);
            QCOMPARE(time.GetMonth(), -1);
            QCOMPARE(time.GetSecond(), -1);
            QCOMPARE(time.ToIsoString(), std::string());
        }
    }

    void orderKeyIsChronological_data()
    {
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("later");
        QTest::newRow("year boundary") << "2004-12-31 23:59:59" << "2005-01-01 00:00:00";
        QTest::newRow("end of January") << "2005-01-31 23:59:59" << "2005-02-01 00:00:00";
        QTest::newRow("end of February") << "2005-02-28 23:59:59" << "2005-03-01 00:00:00";
        QTest::newRow("leap day") << "2004-02-29 12:00:00" << "2004-03-01 00:00:00";
        QTest::newRow("end of April") << "2005-04-30 23:59:59" << "2005-05-01 00:00:00";
        QTest::newRow("end of November") << "2005-11-30 23:59:59" << "2005-12-01 00:00:00";
        QTest::newRow("one second") << "2005-06-15 10:00:00" << "2005-06-15 10:00:01";
        QTest::newRow("midnight") << "2005-06-15 23:59:59" << "2005-06-16 00:00:00";
    }
    void orderKeyIsChronological()
    {
        QFETCH(QString, earlier);
        QFETCH(QString, later);
        const CDateTime a = CDateTime::FromIsoString(earlier.toStdString());
        const CDateTime b = CDateTime::FromIsoString(later.toStdString());
        QVERIFY(a.IsValid() && b.IsValid());
        QVERIFY(DateTimeToOrderKey(a) < DateTimeToOrderKey(b));
    }

    void invalidDateTimeSortsLast()
    {
        const uint64_t latest = DateTimeToOrderKey(CDateTime(2251, 12, 31, 23, 59, 59));
        QVERIFY(DateTimeToOrderKey(CDateTime()) > latest);
        QVERIFY(DateTimeToOrderKey(CDateTime(2005, 2, 30, 0, 0, 0)) > latest);
        QCOMPARE(DateTimeToOrderKey(CDateTime(2005, 1, 1, 0, 0, 0)),
                 uint64_t(86400 + 2678400 + 32140800ull * 2005));
    }

    void isoTextRoundTrips()
    {
        const CDateTime t(2005, 1, 2, 3, 4, 5);
        QCOMPARE(t.ToIsoString(), std::string("2005-01-02 03:04:05"));
        QCOMPARE(CDateTime::FromIsoString(t.ToIsoString()), t);
        QVERIFY(!CDateTime::FromIsoString("2005-01-02").IsValid());
        QVERIFY(!CDateTime::FromIsoString("2005-01-02 03:04:05x").IsValid());
    }

    void audioModeRule_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("signature");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("4ch with audio") << 0x01 << true << true << 0 << 3;
        QTest::newRow("4ch signature, no flag") << 0x01 << true << false << 2 << 2;
        QTest::newRow("4ch no signature") << 0x01 << false << true << 3 << 0;
        QTest::newRow("audio-only") << 0x05 << false << true << 0 << 2;
        QTest::newRow("audio-only, no flag") << 0x05 << true << false << 3 << 3;
        QTest::newRow("16ch keeps audio-only") << 0xFC << true << true << 2 << 2;
        QTest::newRow("16ch keeps none") << 0xFC << false << false << 0 << 0;
    }
    void audioModeRule()
    {
        QFETCH(int, kind);
        QFETCH(bool, signature);
        QFETCH(bool, flag);
        QFETCH(int, before);
        QFETCH(int, after);
        std::vector<uint8_t> block(BLOCK_SIZE, 0);
        block[0] = 0xFF;
        block[1] = uint8_t(kind);
        if (signature) {
            block[HDR_AUDIO_SIG1] = 0xFF;
            block[HDR_AUDIO_SIG2] = 4;
        }
        block[HDR_AUDIO_FLAG] = flag ? 1 : 7;
        QCOMPARE(NextAudioMode(before, CRecordHeader::Parse(block.data(), EHeaderLayout::B)), after);
    }
};

KVX_REGISTER_TEST(TestRecordFormat);
#include "tst_recordformat.moc"

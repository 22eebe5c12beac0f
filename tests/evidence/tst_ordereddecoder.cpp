#include "tests/support/testmain.h"
#include "evidence/ordereddecoder.h"
#include "playback/jpegencoder.h"

#include <QImage>

#include <atomic>
#include <thread>
#include <vector>

// The export's decoders work side by side; what they hand on must come in the
// order the pictures were read, each once, whatever order the decoding ends in.
class TestOrderedDecoder : public QObject {
    Q_OBJECT

private slots:
    // One picture at a time, and the eighth-size reads in batches (a last one part full).
    void handsPicturesOnInTheirOrder_data()
    {
        QTest::addColumn<int>("rest");
        QTest::newRow("code only") << int(COrderedDecoder::ERest::CodeOnly);
        QTest::newRow("eighth luma") << int(COrderedDecoder::ERest::EighthLuma);
    }
    void handsPicturesOnInTheirOrder()
    {
        QFETCH(int, rest);
        std::vector<std::vector<uint8_t>> jpegs;
        for (int size : {16, 64, 200}) { // of unequal cost to decode
            QImage image(size, size, QImage::Format_BGR888);
            image.fill(Qt::darkCyan);
            std::vector<uint8_t> jpeg(200000);
            // 16, 64 and 200 pixels of 3 bytes: rows of whole 4-byte words, as a bitmap's
            jpeg.resize(CJpegEncoder::EncodeBuffer(jpeg.data(), image.bits(), size, size, 3, jpeg.size(), 70));
            QVERIFY(!jpeg.empty());
            jpegs.push_back(jpeg);
        }
        std::vector<int> handed;
        std::atomic<int> inside{0};
        std::vector<int> eighthWidths;
        bool overlapped = false;
        {
            COrderedDecoder decoders(16, 3, std::vector<bool>(16, true), COrderedDecoder::ERest(rest), [&](const COrderedDecoder::CDecoded& d) {
                overlapped |= ++inside > 1;
                handed.push_back(d.time.m_byMinute * 60 + d.time.m_bySecond);
                QVERIFY(d.whole);
                QCOMPARE(d.picture.m_header.biWidth, d.picture.m_header.biHeight);
                if (d.eighth)
                    eighthWidths.push_back(d.eighth->m_nWidth);
                if (handed.size() % 7 == 0)
                    std::this_thread::yield();
                --inside;
            });
            for (int i = 0; i < 600; ++i) {
                const std::vector<uint8_t>& jpeg = jpegs[size_t((i * 7) % 3)];
                decoders.Push(jpeg.data(), jpeg.size(), {2024, 1, 1, 0, uint8_t(i / 60), uint8_t(i % 60)});
                if (i == 300)
                    decoders.Finish();
            }
        }
        QVERIFY(!overlapped);
        QCOMPARE(handed.size(), size_t(600));
        for (int i = 0; i < 600; ++i)
            QCOMPARE(handed[size_t(i)], i);
        // Each picture's own: a batch's results are not one another's.
        if (COrderedDecoder::ERest(rest) == COrderedDecoder::ERest::EighthLuma) {
            const int widths[] = {2, 8, 25}; // of 16, 64 and 200 pixels
            QCOMPARE(eighthWidths.size(), size_t(600));
            for (int i = 0; i < 600; ++i)
                QCOMPARE(eighthWidths[size_t(i)], widths[(i * 7) % 3]);
        }
    }

    // Only the channels asked for are decoded whole; the others only as far as
    // their code, which still tells the stream's height.
    void decodesWholeOnlyTheChannelsAskedFor()
    {
        QImage image(200, 64, QImage::Format_BGR888); // too narrow for bars: channel 0
        image.fill(Qt::darkCyan);
        std::vector<uint8_t> jpeg(200000);
        jpeg.resize(CJpegEncoder::EncodeBuffer(jpeg.data(), image.bits(), 200, 64, 3, jpeg.size(), 70));
        for (const bool wanted : {false, true}) {
            std::vector<int> rows, heights;
            {
                std::vector<bool> whole(4, false);
                whole[0] = wanted;
                COrderedDecoder decoders(4, 2, whole, COrderedDecoder::ERest::CodeOnly, [&](const COrderedDecoder::CDecoded& d) {
                    QCOMPARE(d.picture.m_nChannel, uint8_t(0));
                    QCOMPARE(d.whole, wanted);
                    rows.push_back(d.picture.m_header.biHeight);
                    heights.push_back(d.picture.m_nStreamHeight);
                });
                for (int i = 0; i < 5; ++i)
                    decoders.Push(jpeg.data(), jpeg.size(), {});
            }
            QCOMPARE(rows, std::vector<int>(5, wanted ? 64 : 16));
            QCOMPARE(heights, std::vector<int>(5, 64));
        }
    }
};

KVX_REGISTER_TEST(TestOrderedDecoder);
#include "tst_ordereddecoder.moc"

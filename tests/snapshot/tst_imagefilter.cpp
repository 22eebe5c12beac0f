#include "snapshot/imagefilter.h"
#include "snapshot/snapshotbitmap.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

// A bitmap block of `width` x `height` 24-bit pixels, every byte `fill`.
Bytes Picture(int width, int height, uint8_t fill)
{
    Bytes bytes(54 + size_t(3 * width * height), fill);
    const BITMAPINFOHEADER h = CSnapshotBitmap::HeaderFor(width, height);
    const uint32_t size = uint32_t(bytes.size()), offset = 54;
    bytes[0] = 'B';
    bytes[1] = 'M';
    std::memcpy(&bytes[2], &size, 4);
    std::memset(&bytes[6], 0, 4);
    std::memcpy(&bytes[10], &offset, 4);
    std::memcpy(&bytes[14], &h, sizeof h);
    return bytes;
}

// Byte k (0 blue, 1 green, 2 red) of pixel x in memory row `row`.
uint8_t& At(Bytes& p, int width, int row, int x, int k = 0)
{
    return p[54 + size_t(row * 3 * width + 3 * x + k)];
}
uint8_t At(const Bytes& p, int width, int row, int x, int k = 0)
{
    return p[54 + size_t(row * 3 * width + 3 * x + k)];
}

// One pixel among eight neighbours in a 3 x 3 picture: its bytes are the only ones a
// neighbourhood filter computes there.
int Centre(void (*filter)(Bytes&), int centre, int around)
{
    Bytes p = Picture(3, 3, uint8_t(around));
    for (int k = 0; k < 3; ++k)
        At(p, 3, 1, 1, k) = uint8_t(centre);
    filter(p);
    return At(p, 3, 1, 1);
}

void Sharpen(Bytes& p) { CImageFilter().Sharpen(p); }
void Blur(Bytes& p) { CImageFilter().Blur(p); }
void Despeckle(Bytes& p) { CImageFilter().Despeckle(p); }

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", name);
    return file.fileName();
}

} // namespace

class TestImageFilter : public QObject {
    Q_OBJECT

private slots:
    void brightnessAndContrastClamp()
    {
        const CImageFilter filter;
        Bytes p = Picture(4, 1, 250);
        At(p, 4, 0, 1) = 5;
        filter.AdjustBrightness(p, 10);
        QCOMPARE(At(p, 4, 0, 0), uint8_t(255));
        filter.AdjustBrightness(p, -10);
        QCOMPARE(At(p, 4, 0, 0), uint8_t(245)); // the clamp lost the difference
        QCOMPARE(At(p, 4, 0, 1), uint8_t(5));   // 15, then 5
        filter.AdjustBrightness(p, -10);
        QCOMPARE(At(p, 4, 0, 1), uint8_t(0));

        // The quotient is truncated towards zero: 1 loses its last step to 0, 50
        // goes down by 6 (-780 / 128), 200 up by 5.
        const std::pair<int, int> contrast[] = {{0, 0},     {1, 0},     {50, 44},   {127, 127},
                                                {128, 128}, {200, 205}, {250, 255}, {255, 255}};
        Bytes c = Picture(8, 1, 0);
        for (int i = 0; i < 8; ++i)
            At(c, 8, 0, i, 2) = uint8_t(contrast[i].first);
        filter.AdjustContrast(c, 10);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(At(c, 8, 0, i, 2)), contrast[i].second);
    }

    // 1.4 and 0.05 are not exact in binary: 101 among 101s comes out as 100.999...
    void sharpenWorksInDoubles()
    {
        QCOMPARE(Centre(Sharpen, 100, 100), 100);
        QCOMPARE(Centre(Sharpen, 101, 101), 100);
        QCOMPARE(Centre(Sharpen, 200, 100), 240);
        QCOMPARE(Centre(Sharpen, 100, 200), 60);
        QCOMPARE(Centre(Sharpen, 250, 50), 255);
        QCOMPARE(Centre(Sharpen, 10, 250), 0);
    }

    void despeckleReplacesOnlyMoreThan50()
    {
        QCOMPARE(Centre(Despeckle, 255, 100), 100);
        QCOMPARE(Centre(Despeckle, 151, 100), 100);
        QCOMPARE(Centre(Despeckle, 150, 100), 150);
        QCOMPARE(Centre(Despeckle, 50, 100), 50);
        QCOMPARE(Centre(Despeckle, 49, 100), 100);

        // Four of the nine far above leave the median where it was; five move it.
        Bytes p = Picture(3, 3, 100);
        for (auto [row, x] : {std::pair{2, 0}, {2, 1}, {2, 2}, {1, 2}})
            At(p, 3, row, x) = 200;
        Bytes four = p;
        Despeckle(four);
        QCOMPARE(At(four, 3, 1, 1), uint8_t(100));
        At(p, 3, 0, 0) = 200;
        Despeckle(p);
        QCOMPARE(At(p, 3, 1, 1), uint8_t(200));
    }

    // The scan stores each result at once: the pixel left of the bright one used its
    // old value, the one right of it its blurred value.
    void blurIsCausal()
    {
        QCOMPARE(Centre(Blur, 100, 100), 100);
        Bytes p = Picture(5, 5, 100);
        At(p, 5, 2, 2) = 200;
        Blur(p);
        QCOMPARE(int(At(p, 5, 1, 1)), 105); // 2100 / 20: its DR was the bright 200
        QCOMPARE(int(At(p, 5, 1, 2)), 115); // its L was 105 by then, its D 200
        QCOMPARE(int(At(p, 5, 2, 1)), 116); // its R was 200, its UR 115
        QCOMPARE(int(At(p, 5, 2, 2)), 125); // 4 x 200 + 3 x (116 + 100 + 115 + 100) + 105 + 107 + 100 + 100
        QCOMPARE(int(At(p, 5, 2, 3)), 105); // its L was 125 by then, not 200
    }

    // Despeckle against a plain median, in the filters' own order.
    void despeckleTakesTheMedian()
    {
        std::mt19937 random(7);
        Bytes p = Picture(9, 7, 0);
        for (size_t i = 54; i < p.size(); ++i)
            p[i] = uint8_t(random() % 256);
        Bytes expected = p;
        const int row = 27;
        for (int i = row + 3; i + row + 3 < 27 * 7; ++i) {
            uint8_t* v = expected.data() + 54 + i;
            uint8_t n[9] = {v[-row - 3], v[-row], v[-row + 3], v[-3], v[0], v[3], v[row - 3], v[row], v[row + 3]};
            std::nth_element(n, n + 4, n + 9);
            if (n[4] > v[0] + 50 || n[4] < v[0] - 50)
                *v = n[4];
        }
        Despeckle(p);
        QCOMPARE(p, expected);
    }

    // Row 0 and the top row are never computed, nor the first pixel of row 1 and the
    // last of the row below the top, whose neighbourhoods reach outside the array.
    void bytesAtTheEdgesStay()
    {
        for (auto filter : {Sharpen, Blur, Despeckle}) {
            Bytes p = Picture(4, 4, 0);
            for (size_t i = 54; i < p.size(); ++i)
                p[i] = uint8_t(i * 37 % 256);
            const Bytes before = p;
            filter(p);
            for (int x = 0; x < 4; ++x)
                for (int row : {0, 3})
                    QCOMPARE(At(p, 4, row, x, 1), At(before, 4, row, x, 1));
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(At(p, 4, 1, 0, k), before[54 + size_t(12 + k)]);
                QCOMPARE(At(p, 4, 2, 3, k), before[54 + size_t(33 + k)]);
            }
            QVERIFY(p != before); // the inner bytes did change

            Bytes line = Picture(6, 1, 0);
            line[60] = 255;
            const Bytes lineBefore = line;
            filter(line);
            QCOMPARE(line, lineBefore);
        }
    }

    // The filters trust nothing in the block and touch nothing outside it.
    void malformedPicturesAreLeftAlone()
    {
        const CImageFilter filter;
        Bytes tall = Picture(4, 4, 100);
        const int32_t height = 5; // one row more than the block holds
        std::memcpy(&tall[22], &height, 4);
        Bytes negative = Picture(4, 4, 100);
        const int32_t width = -4;
        std::memcpy(&negative[18], &width, 4);
        Bytes farOffset = Picture(4, 4, 100);
        const uint32_t offset = 0xFFFFFFF0;
        std::memcpy(&farOffset[10], &offset, 4);
        Bytes huge = Picture(4, 4, 100);
        const int32_t big = 0x7FFFFFFF;
        std::memcpy(&huge[18], &big, 4);
        std::memcpy(&huge[22], &big, 4);
        Bytes cut(20, 'B');
        for (Bytes* p : {&tall, &negative, &farOffset, &huge, &cut}) {
            const Bytes before = *p;
            QVERIFY(!filter.AdjustBrightness(*p, 10));
            QVERIFY(!filter.AdjustContrast(*p, 10));
            QVERIFY(!filter.Sharpen(*p));
            QVERIFY(!filter.Blur(*p));
            QVERIFY(!filter.Despeckle(*p));
            QCOMPARE(*p, before);
        }
    }

    void loaderRefusesWhatIsNotItsBitmap()
    {
        const QTemporaryDir dir;
        const Bytes good = Picture(4, 2, 77);
        const QByteArray goodBytes(reinterpret_cast<const char*>(good.data()), qsizetype(good.size()));
        const CBitmapBlock loaded = CImageFilter::LoadBitmapFile(WriteFile(dir, "good.bmp", goodBytes).toStdString());
        QVERIFY(loaded);
        QCOMPARE(Bytes(loaded.Bytes().begin(), loaded.Bytes().end()), good);

        QByteArray longer = goodBytes + "x";
        QByteArray shorter = goodBytes.left(goodBytes.size() - 1);
        QByteArray notBm = goodBytes;
        notBm[1] = 'A';
        const QString refused[] = {
            dir.filePath("missing.bmp"),
            dir.path(),
            WriteFile(dir, "empty.bmp", {}),
            WriteFile(dir, "bm.bmp", "BM"),
            WriteFile(dir, "bm5.bmp", QByteArray("BM\x05\x00\x00", 5)),
            WriteFile(dir, "longer.bmp", longer),
            WriteFile(dir, "shorter.bmp", shorter),
            WriteFile(dir, "notbm.bmp", notBm),
        };
        for (const QString& path : refused)
            QVERIFY2(!CImageFilter::LoadBitmapFile(path.toStdString()), qPrintable(path));
        // The smallest file it takes: the signature and a size field of 6.
        QVERIFY(CImageFilter::LoadBitmapFile(WriteFile(dir, "six.bmp", QByteArray("BM\x06\x00\x00\x00", 6)).toStdString()));
    }
};

KVX_REGISTER_TEST(TestImageFilter);
#include "tst_imagefilter.moc"

#include "playback/smoothscaler.h"
#include "tests/support/testmain.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

QImage GreyRow(std::initializer_list<int> values)
{
    QImage image(int(values.size()), 1, QImage::Format_RGB888);
    int x = 0;
    for (int v : values)
        image.setPixel(x++, 0, qRgb(v, v, v));
    return image;
}

// Where output pixel i of `to` samples a row or column of `from`: the pixel before it
// and the weight, in 256ths, of the one after.
std::pair<int, int> Tap(int i, int from, int to)
{
    const double s = std::clamp((i + 0.5) * from / to - 0.5, 0.0, double(from - 1));
    return {int(s), int(std::lround((s - int(s)) * 256))};
}

// Every output value interpolated on its own between its four neighbours.
uint8_t Bilinear(const QImage& in, int x, int y, int k, QSize size)
{
    const int bpp = in.depth() / 8;
    const auto [ix, wx] = Tap(x, in.width(), size.width());
    const auto [iy, wy] = Tap(y, in.height(), size.height());
    const int nx = std::min(ix + 1, in.width() - 1), ny = std::min(iy + 1, in.height() - 1);
    const auto at = [&](int px, int py) { return int(in.constScanLine(py)[px * bpp + k]); };
    const int top = at(ix, iy) * (256 - wx) + at(nx, iy) * wx;
    const int bottom = at(ix, ny) * (256 - wx) + at(nx, ny) * wx;
    return uint8_t((top * (256 - wy) + bottom * wy + 32768) >> 16);
}

QList<int> RedsOfRow(const QImage& image)
{
    QList<int> reds;
    for (int x = 0; x < image.width(); ++x)
        reds.append(qRed(image.pixel(x, 0)));
    return reds;
}

// A small picture whose every pixel differs from its neighbours.
QImage Pattern5x7()
{
    QImage image(5, 7, QImage::Format_RGB888);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(x * 50, y * 30, (x * y * 7) % 256));
    return image;
}

} // namespace

class TestSmoothScaler : public QObject {
    Q_OBJECT

private slots:
    // Output pixel centres sit at (i + 0.5) x W / Wx - 0.5 in the source; beyond the
    // outer pixel centres the edge pixel repeats.
    void samplesAtCentreAlignedPositions()
    {
        CSmoothScaler scaler;
        const QImage row = GreyRow({0, 255});
        QCOMPARE(RedsOfRow(scaler.Scale(row, row.rect(), QSize(4, 1))), (QList<int>{0, 64, 191, 255}));
        const QImage four = GreyRow({0, 100, 200, 250});
        QCOMPARE(RedsOfRow(scaler.Scale(four, four.rect(), QSize(2, 1))), (QList<int>{50, 225}));
        QCOMPARE(RedsOfRow(scaler.Scale(four, four.rect(), QSize(4, 1))), (QList<int>{0, 100, 200, 250}));
    }

    // Only the rectangle is read: the pixels around it never bleed in.
    void readsOnlyTheSourceRectangle()
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QImage inner(4, 4, QImage::Format_RGB32);
        inner.fill(Qt::blue);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                image.setPixel(2 + x, 2 + y, inner.pixel(x, y));
        CSmoothScaler scaler;
        const QImage out = scaler.Scale(image, QRect(2, 2, 4, 4), QSize(13, 7));
        QCOMPARE(out.size(), QSize(13, 7));
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                QCOMPARE(out.pixel(x, y), QColor(Qt::blue).rgb());
        QVERIFY(scaler.Scale(image, QRect(6, 6, 4, 4), QSize(2, 2)).isNull());
    }

    // Bottom-up bitmaps scale like top-down pictures, and a scaler reused for another
    // size recomputes its tables.
    void isSymmetricAndReusable()
    {
        const QImage image = Pattern5x7();
        CSmoothScaler scaler;
        const QImage up = scaler.Scale(image, image.rect(), QSize(11, 9));
        const QImage flippedUp = scaler.Scale(image.mirrored(), image.rect(), QSize(11, 9));
        QCOMPARE(flippedUp, up.mirrored());
        const QImage small = scaler.Scale(image, image.rect(), QSize(3, 2));
        QCOMPARE(CSmoothScaler().Scale(image, image.rect(), QSize(3, 2)), small);
        QCOMPARE(scaler.Scale(image, image.rect(), QSize(11, 9)), up);
    }

    // 3-byte pixels written as RGB32 carry the same colours as the 3-byte output.
    void widensToOpaqueQuadsWithTheSameColours()
    {
        const QImage image = Pattern5x7();
        CSmoothScaler scaler;
        const QImage narrow = scaler.Scale(image, image.rect(), QSize(11, 9));
        QImage wide(11, 9, QImage::Format_RGB32);
        wide.fill(Qt::transparent);
        // RGB888 holds R, G, B in memory; read as B, G, R they come out swapped, so
        // compare against the same bytes taken as BGR888.
        scaler.Scale(image.constBits(), 5, 7, image.bytesPerLine(), wide.bits(), 11, 9, wide.bytesPerLine(), 3, true);
        const QImage asBgr(narrow.constBits(), 11, 9, narrow.bytesPerLine(), QImage::Format_BGR888);
        QCOMPARE(wide, asBgr.convertToFormat(QImage::Format_RGB32));
        for (int y = 0; y < 9; ++y)
            QCOMPARE(wide.constScanLine(y)[3 + 4 * 10], uchar(0xFF));
    }

    // Up, down and across, with 3 and 4 bytes a pixel, one scaler after the other:
    // each value is the bilinear blend of its four neighbours, to the last bit.
    void matchesPixelByPixelInterpolation()
    {
        CSmoothScaler scaler;
        uint32_t seed = 7;
        for (QImage::Format format : {QImage::Format_RGB888, QImage::Format_ARGB32_Premultiplied}) {
            QImage image(23, 17, format);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.bytesPerLine(); ++x)
                    image.scanLine(y)[x] = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
            for (QSize size : {QSize(61, 45), QSize(9, 5), QSize(40, 6), QSize(5, 40), QSize(23, 17), QSize(1, 1)}) {
                const QImage out = scaler.Scale(image, image.rect(), size);
                const int bpp = image.depth() / 8;
                for (int y = 0; y < size.height(); ++y)
                    for (int x = 0; x < size.width(); ++x)
                        for (int k = 0; k < bpp; ++k)
                            QVERIFY2(out.constScanLine(y)[x * bpp + k] == Bilinear(image, x, y, k, size),
                                     qPrintable(QString("%1 x %2 at (%3, %4)").arg(size.width()).arg(size.height()).arg(x).arg(y)));
            }
        }
    }
};

KVX_REGISTER_TEST(TestSmoothScaler);
#include "tst_smoothscaler.moc"

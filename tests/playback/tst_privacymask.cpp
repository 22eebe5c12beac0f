#include "playback/maskpainter.h"
#include "playback/privacymaskset.h"
#include "tests/support/testmain.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {

const CDateTime T0(2024, 3, 18, 9, 30, 0);

CDateTime After(int seconds)
{
    return DateTimeFromSeconds(DateTimeToSeconds(T0) + seconds);
}

double SecondsAfter(double seconds)
{
    return double(DateTimeToSeconds(T0)) + seconds;
}

// Keys at 0 s, 10 s and 20 s; active from -5 s to 30 s.
CPrivacyMask ThreeKeys()
{
    CPrivacyMask mask;
    mask.m_nChannel = 2;
    mask.m_from = After(-5);
    mask.m_to = After(30);
    mask.SetKey(After(20), QRectF(0.5, 0.5, 0.4, 0.4));
    mask.SetKey(After(0), QRectF(0.1, 0.1, 0.2, 0.2));
    mask.SetKey(After(10), QRectF(0.3, 0.2, 0.2, 0.4));
    return mask;
}

// Noise with a pattern of strokes, so that a mask that lets detail through shows it.
QImage Busy(QImage::Format format)
{
    QImage image(360, 240, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    QPainter painter(&image);
    painter.setFont(QFont("Liberation Sans", 40, QFont::Bold));
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, "AB 1234");
    painter.end();
    return image.convertToFormat(format);
}

double Correlation(const QImage& a, const QImage& b, const QRect& area)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x, ++n) {
            const double p = qGray(a.pixel(x, y)), q = qGray(b.pixel(x, y));
            sa += p, sb += q, saa += p * p, sbb += q * q, sab += p * q;
        }
    const double cov = sab / n - sa / n * sb / n;
    const double va = saa / n - sa / n * sa / n, vb = sbb / n - sb / n * sb / n;
    return va <= 0 || vb <= 0 ? 0 : cov / std::sqrt(va * vb);
}

bool InsideEllipse(const QRect& box, int x, int y)
{
    const double dx = (x + 0.5 - box.left() - box.width() / 2.0) / (box.width() / 2.0);
    const double dy = (y + 0.5 - box.top() - box.height() / 2.0) / (box.height() / 2.0);
    return dx * dx + dy * dy < 1;
}

} // namespace

class TestPrivacyMask : public QObject {
    Q_OBJECT

private slots:
    // Between keys the box moves linearly, to within a pixel of a 720 x 480 picture,
    // also within a second; before the first key and after the last it stands still.
    void boxFollowsItsKeys()
    {
        const CPrivacyMask mask = ThreeKeys();
        const QSize size(720, 480);
        const auto pixels = [&](double seconds) { return CMaskPainter::PixelBox(*mask.BoxAt(SecondsAfter(seconds)), size); };
        const auto expect = [&](const QRectF& f) {
            return QRectF(f.x() * 720, f.y() * 480, f.width() * 720, f.height() * 480);
        };
        const QList<std::pair<double, QRectF>> cases = {
            {-5, expect({0.1, 0.1, 0.2, 0.2})},   {0, expect({0.1, 0.1, 0.2, 0.2})},
            {2.5, expect({0.15, 0.125, 0.2, 0.25})}, {5, expect({0.2, 0.15, 0.2, 0.3})},
            {17.5, expect({0.45, 0.425, 0.35, 0.4})}, {25, expect({0.5, 0.5, 0.4, 0.4})},
            {30.9, expect({0.5, 0.5, 0.4, 0.4})}};
        for (const auto& [seconds, want] : cases) {
            const QRect got = pixels(seconds);
            QVERIFY2(std::abs(got.x() - want.x()) <= 1 && std::abs(got.y() - want.y()) <= 1
                         && std::abs(got.width() - want.width()) <= 1 && std::abs(got.height() - want.height()) <= 1,
                     qPrintable(QString("at %1 s").arg(seconds)));
        }
        QVERIFY(!mask.BoxAt(SecondsAfter(-5.5)));
        QVERIFY(!mask.BoxAt(SecondsAfter(31)));
        QVERIFY(mask.BoxAt(After(30)));
        // Bottom-up rows: the same box upside down.
        const QRect up = CMaskPainter::PixelBox(QRectF(0.1, 0.1, 0.2, 0.3), size, true);
        QCOMPARE(up, QRect(72, 288, 144, 144));
    }

    void keysStayInOrder()
    {
        CPrivacyMask mask = ThreeKeys();
        mask.SetKey(After(10), QRectF(0, 0, 1, 1));
        mask.SetKey(After(15), QRectF(0, 0, 0.5, 0.5));
        QCOMPARE(mask.m_keys.size(), size_t(4));
        QCOMPARE(mask.m_keys[1].m_box, QRectF(0, 0, 1, 1));
        QCOMPARE(mask.m_keys[2].m_at, After(15));
    }

    void jsonRoundTrip()
    {
        CPrivacyMaskSet set;
        set.m_masks.push_back(ThreeKeys());
        CPrivacyMask ellipse;
        ellipse.m_nChannel = 4;
        ellipse.m_shape = EMaskShape::Ellipse;
        ellipse.m_style = EMaskStyle::Blur;
        ellipse.m_from = ellipse.m_to = After(3);
        ellipse.SetKey(After(3), QRectF(0.123456789, 0, 1 - 0.123456789, 1.0 / 3));
        set.m_masks.push_back(ellipse);
        set.m_mute.push_back({After(1), After(4)});
        QString error;
        const std::optional<CPrivacyMaskSet> back = CPrivacyMaskSet::FromJson(set.ToJson(), error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(back->ToJson(), set.ToJson());
        QCOMPARE(back->m_masks[1].m_keys[0].m_box, ellipse.m_keys[0].m_box);
        QCOMPARE(back->m_masks[1].m_shape, EMaskShape::Ellipse);
        QCOMPARE(back->m_masks[1].m_style, EMaskStyle::Blur);
        QCOMPARE(back->MasksFor(4).size(), size_t(1));
        QVERIFY(back->MutedAt(After(1)) && back->MutedAt(SecondsAfter(4.9)) && !back->MutedAt(After(5))
                && !back->MutedAt(After(0)));
        // The defaults: a mask without shape or style is a solid rectangle.
        const QByteArray brief = R"({"masks": [{"channel": 1, "from": "2024-03-18 09:30:00",
            "to": "2024-03-18 09:30:10", "keys": [{"at": "2024-03-18 09:30:00", "box": [0, 0, 1, 1]}]}]})";
        const std::optional<CPrivacyMaskSet> plain = CPrivacyMaskSet::FromJson(brief, error);
        QVERIFY2(plain, qPrintable(error));
        QCOMPARE(plain->m_masks[0].m_shape, EMaskShape::Rect);
        QCOMPARE(plain->m_masks[0].m_style, EMaskStyle::Solid);
    }

    void faultsNameTheirEntry_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const QByteArray good = R"({"channel": 1, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
                                    "keys": [{"at": "2024-03-18 09:30:00", "box": [0.1, 0.1, 0.2, 0.2]}]})";
        const auto masks = [&](const QByteArray& second) { return "{\"masks\": [" + good + ", " + second + "]}"; };
        QTest::newRow("zero width") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0.1, 0.1, 0, 0.2]}]})")
                                    << "masks[1].keys[0].box: w must be > 0";
        QTest::newRow("past the edge") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0.9, 0.1, 0.2, 0.2]}]})")
                                       << "masks[1].keys[0].box: the box must end inside";
        QTest::newRow("three numbers") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0.1, 0.1, 0.2]}]})")
                                       << "masks[1].keys[0].box: must be [x, y, w, h]";
        QTest::newRow("keys out of order") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}, {"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                                           << "masks[1].keys[1].at: must come after the key before it";
        QTest::newRow("bad time") << masks(R"({"channel": 2, "from": "2024-03-18 9:30", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                                  << "masks[1].from: not a date-time";
        QTest::newRow("to before from") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:29:59",
            "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                                        << "masks[1].to: lies before from";
        QTest::newRow("no keys") << masks(R"({"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10", "keys": []})")
                                 << "masks[1].keys: a mask needs at least one key";
        QTest::newRow("channel 17") << masks(R"({"channel": 17, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:10",
            "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                                    << "masks[1].channel: a camera is 1 to 16";
        QTest::newRow("shape") << masks(R"({"channel": 2, "shape": "circle", "from": "2024-03-18 09:30:00",
            "to": "2024-03-18 09:30:10", "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                               << "masks[1].shape: the shape is";
        QTest::newRow("misspelt key") << masks(R"({"channel": 2, "stlye": "blur", "from": "2024-03-18 09:30:00",
            "to": "2024-03-18 09:30:10", "keys": [{"at": "2024-03-18 09:30:05", "box": [0, 0, 1, 1]}]})")
                                      << "masks[1]: unknown key \"stlye\"";
        QTest::newRow("mute") << QByteArray(R"({"mute": [{"from": "2024-03-18 09:30:00", "to": "2024-03-18 09:31:00"}, {"from": "2024-03-18 09:30:00"}]})")
                              << "mute[1]: \"to\" is missing";
        QTest::newRow("not json") << QByteArray("{\"masks\": [") << "not JSON at byte";
    }

    void faultsNameTheirEntry()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!CPrivacyMaskSet::FromJson(json, got));
        QVERIFY2(got.startsWith(error), qPrintable(got));
    }

    void cameraBeyondTheRecordingIsRefused()
    {
        CPrivacyMaskSet set;
        set.m_masks.push_back(ThreeKeys());
        set.m_masks.back().m_nChannel = 5;
        QString error;
        QVERIFY(set.CheckChannels(16, error));
        QVERIFY(!set.CheckChannels(4, error));
        QCOMPARE(error, QString("masks[0].channel: camera 5 is not in the recording (cameras 1 to 4)"));
    }

    // Every pixel of the shape takes the fill, and none outside it changes, in the
    // export's 3-byte rows and the tiles' 4-byte ones.
    void solidFillsTheShapeExactly()
    {
        for (const QImage::Format format : {QImage::Format_BGR888, QImage::Format_RGB32}) {
            for (const EMaskShape shape : {EMaskShape::Rect, EMaskShape::Ellipse}) {
                const QImage source = Busy(format);
                QImage masked = source;
                const QRect box(50, 40, 101, 61);
                CMaskPainter::PaintShape(masked, shape, EMaskStyle::Solid, box);
                for (int y = 0; y < masked.height(); ++y)
                    for (int x = 0; x < masked.width(); ++x) {
                        const bool inside = box.contains(x, y) && (shape == EMaskShape::Rect || InsideEllipse(box, x, y));
                        const QRgb want = inside ? CMaskPainter::SOLID_COLOUR : source.pixel(x, y);
                        if (masked.pixel(x, y) != want)
                            QFAIL(qPrintable(QString("pixel %1, %2 of shape %3").arg(x).arg(y).arg(int(shape))));
                    }
            }
        }
    }

    // Blocks on the picture's grid, at least 1/24 of its width, each of one colour.
    void pixelateMakesUniformBlocks()
    {
        const QImage source = Busy(QImage::Format_RGB32);
        QImage masked = source;
        const QRect box(60, 45, 150, 90);
        CMaskPainter::PaintShape(masked, EMaskShape::Rect, EMaskStyle::Pixelate, box);
        const int block = CMaskPainter::PixelateBlock(masked.width());
        QVERIFY(block * 24 >= masked.width());
        int blocks = 0;
        for (int by = box.top() / block; (by + 1) * block <= box.bottom() + 1; ++by)
            for (int bx = box.left() / block; (bx + 1) * block <= box.right() + 1; ++bx) {
                const QRect cell(bx * block, by * block, block, block);
                if (!box.contains(cell))
                    continue;
                ++blocks;
                for (int y = cell.top(); y <= cell.bottom(); ++y)
                    for (int x = cell.left(); x <= cell.right(); ++x)
                        QCOMPARE(masked.pixel(x, y), masked.pixel(cell.topLeft()));
            }
        QVERIFY(blocks >= 20);
        QCOMPARE(masked.pixel(box.left() - 1, box.top()), source.pixel(box.left() - 1, box.top()));
    }

    // The source cannot be read through a blur: little correlation with it.
    void blurLeavesNoDetail()
    {
        const QImage source = Busy(QImage::Format_BGR888);
        QImage masked = source;
        const QRect box(80, 70, 200, 100); // over the text
        CMaskPainter::PaintShape(masked, EMaskShape::Ellipse, EMaskStyle::Blur, box);
        const QRect core(130, 95, 100, 50);
        const double r = Correlation(source, masked, core);
        QVERIFY2(std::abs(r) < 0.2, qPrintable(QString("correlation %1").arg(r)));
        QVERIFY(Correlation(source, source, core) > 0.99);
    }

    // Only the channel's masks active at the moment are painted.
    void paintsTheChannelsActiveMasks()
    {
        CPrivacyMaskSet set;
        set.m_masks.push_back(ThreeKeys()); // camera 2
        const QImage source = Busy(QImage::Format_RGB32);
        QImage image = source;
        CMaskPainter::Paint(image, set, 1, SecondsAfter(0));
        CMaskPainter::Paint(image, set, 2, SecondsAfter(40));
        QCOMPARE(image, source);
        CMaskPainter::Paint(image, set, 2, SecondsAfter(0));
        QCOMPARE(image.pixel(36 + 10, 24 + 10), CMaskPainter::SOLID_COLOUR);
    }
};

KVX_REGISTER_TEST(TestPrivacyMask);
#include "tst_privacymask.moc"

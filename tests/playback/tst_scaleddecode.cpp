#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"
#include "tests/support/testmain.h"
#include "tools/recgen/recordinggenerator.h"
#include "tools/recgen/scenepainter.h"

#include <QPainter>

#include <cmath>

namespace {

std::vector<uint8_t> Scene(int channel, int width, int height)
{
    return CRecordingGenerator::PictureArea(CScenePainter::Paint(width, height, channel, 3, CDateTime(2005, 1, 1, 0, 0, 0)),
                                            75);
}

CDecodedPicture DecodeAt(CDibPicture& picture, const std::vector<uint8_t>& stream, int scale, int channelCount = 16)
{
    return picture.DecodeJpegFrame(stream.data(), stream.size(), channelCount, [scale](uint8_t, int, int) { return scale; });
}

} // namespace

// Pictures decoded at a fraction of their size for tiles smaller than the recording.
class TestScaledDecode : public QObject {
    Q_OBJECT

private slots:
    // The part a tile shows, without the recorder's margins, must keep a pixel for
    // each of the tile's at the chosen scale: a tile is never scaled up from less.
    void chooserTakesTheCoarsestScaleThatStillFillsTheTile()
    {
        struct Case {
            int width, height, channels;
            bool pal;
            QSize tile;
            int scale;
        };
        const Case cases[] = {
            {352, 240, 16, false, {180, 120}, 1}, // 334 x 227 shown: half would be 167 wide
            {352, 240, 16, false, {240, 160}, 1},
            {352, 240, 16, false, {150, 100}, 2},
            {352, 240, 16, false, {60, 40}, 4},
            {352, 240, 16, false, {41, 28}, 8},
            {720, 288, 16, true, {180, 120}, 2}, // 693 x 275 (PAL margins of 16 cameras)
            {720, 288, 16, true, {346, 137}, 2},
            {720, 288, 16, true, {347, 137}, 1}, // one pixel too wide for half
            {720, 288, 4, true, {180, 120}, 2},  // 690 x 275 (PAL margins of 4 cameras)
            {720, 288, 4, true, {360, 240}, 1},
            {1440, 240, 16, false, {180, 120}, 1}, // wide enough for an eighth, not tall enough
            {720, 480, 16, false, {720, 480}, 1},
        };
        for (const Case& c : cases)
            QVERIFY2(CTileRenderer::DecodeScale(c.width, c.height, c.pal, c.channels, c.tile) == c.scale,
                     qPrintable(QString("%1 x %2 in %3 x %4").arg(c.width).arg(c.height).arg(c.tile.width()).arg(c.tile.height())));
    }

    // The code and the mark are too fine to survive scaling: they come from the top
    // rows at full size, and must be those of the whole decode at every scale.
    void everyScaleAnswersTheWholeDecodesChannelAndMark()
    {
        CDibPicture whole, scaled;
        for (const QSize size : {QSize(352, 240), QSize(352, 288), QSize(720, 288), QSize(720, 240)}) {
            whole.SetPal(size.height() == 288);
            scaled.SetPal(size.height() == 288);
            for (int channel = 0; channel < 16; ++channel) {
                const std::vector<uint8_t> stream = Scene(channel, size.width(), size.height());
                const CDecodedPicture expected = whole.DecodeJpegFrame(stream.data(), stream.size(), 16);
                QCOMPARE(expected.m_nChannel, uint8_t(channel));
                for (const int scale : {1, 2, 4, 8}) {
                    const CDecodedPicture shown = DecodeAt(scaled, stream, scale);
                    QCOMPARE(shown.m_nChannel, expected.m_nChannel);
                    QCOMPARE(shown.m_bMarkAbsent, expected.m_bMarkAbsent);
                    QCOMPARE(shown.m_nScale, scale);
                    QCOMPARE(shown.m_nStreamHeight, size.height());
                    QCOMPARE(shown.m_header.biWidth, (size.width() + scale - 1) / scale);
                    QCOMPARE(shown.m_header.biHeight, (size.height() + scale - 1) / scale);
                }
            }
        }
    }

    // Damage anywhere refuses the picture at every scale, as the whole decode does: the
    // codec reads every coefficient whatever the scale. (The fuzz target's corpus
    // checks the same over every kind of damage.)
    void damageIsJudgedAsInTheWholeDecode()
    {
        const std::vector<uint8_t> intact = Scene(6, 720, 288);
        CDibPicture whole, scaled;
        size_t end = intact.size();
        while (end > 2 && !(intact[end - 2] == 0xFF && intact[end - 1] == 0xD9))
            --end;
        for (const size_t cut : {size_t(700), end / 3, end / 2, end - 40}) {
            std::vector<uint8_t> damaged(intact.begin(), intact.begin() + long(cut));
            const bool refused = !whole.DecodeJpegFrame(damaged.data(), damaged.size(), 16).IsDecoded();
            QVERIFY(refused);
            for (const int scale : {2, 4, 8})
                QVERIFY(!DecodeAt(scaled, damaged, scale).IsDecoded());
        }
        std::vector<uint8_t> flipped = intact;
        flipped[end * 3 / 4] ^= 0x5A; // a bad entropy code far below the top rows
        const CDecodedPicture expected = whole.DecodeJpegFrame(flipped.data(), flipped.size(), 16);
        for (const int scale : {2, 4, 8})
            QCOMPARE(DecodeAt(scaled, flipped, scale).m_nChannel, expected.m_nChannel);
        QCOMPARE(DecodeAt(scaled, intact, 3).m_nChannel, CDibPicture::NO_CHANNEL); // no such scale
    }

    // A tile drawn from a half-size picture samples the same places of the recorded
    // picture as one drawn from the whole: its crop edges fall between pixels.
    void halfSizeTileLinesUpWithTheWholeTile()
    {
        QImage stripes(720, 288, QImage::Format_RGB888);
        stripes.fill(Qt::black);
        QPainter painter(&stripes);
        for (int x = 0; x < 720; x += 64)
            painter.fillRect(x, 0, 32, 288, Qt::white);
        painter.end();
        CScenePainter::DrawRowMark(stripes);
        CScenePainter::DrawChannelCode(stripes, 2);
        const std::vector<uint8_t> stream = CRecordingGenerator::PictureArea(stripes, 95);
        CDibPicture whole, half;
        const CDecodedPicture w = whole.DecodeJpegFrame(stream.data(), stream.size(), 16);
        const CDecodedPicture h = DecodeAt(half, stream, 2);
        CTileRenderer renderer;
        const QImage a = renderer.RenderPicture({&w.m_header, w.m_pBits, w.m_bMarkAbsent, false, 16}, QSize(180, 120));
        const QImage b = renderer.RenderPicture({&h.m_header, h.m_pBits, h.m_bMarkAbsent, false, 16, 2}, QSize(180, 120));
        QCOMPARE(b.size(), a.size());
        double squares = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const int d = qGray(a.pixel(x, y)) - qGray(b.pixel(x, y));
                squares += d * d;
            }
        const double psnr = 10 * std::log10(255.0 * 255.0 * a.width() * a.height() / std::max(squares, 1.0));
        // Lined up, about 29 dB (the edges of the half-size picture are softer); shifted
        // by one recorded pixel, about 17.
        QVERIFY2(psnr > 25, qPrintable(QString::number(psnr)));
    }
};

KVX_REGISTER_TEST(TestScaledDecode);
#include "tst_scaleddecode.moc"

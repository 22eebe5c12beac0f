#include "tools/recgen/scenepainter.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace {

// Where the reader looks for the bars: x of the first of 30 pixels, bit 3 first,
// then the reference bar.
constexpr int BAR_STARTS[5] = {90, 218, 346, 474, 602};
constexpr int BAR_WIDTH = 30;
constexpr int BAND_ROWS = 8;          // one JPEG block row: the marks survive compression
constexpr int MARK_COLUMNS = 78;      // dark 0..15, bright 16..46, dark 47..77
constexpr int MARK_BRIGHT_FIRST = 16;
constexpr int MARK_BRIGHT_LAST = 46;

void FillColumn(QImage& image, int column, int firstRow, int lastRow, bool bright)
{
    const uint8_t value = bright ? 255 : 0;
    for (int row = firstRow; row <= lastRow; ++row) {
        uint8_t* pixel = image.scanLine(row) + 3 * column;
        pixel[0] = pixel[1] = pixel[2] = value;
    }
}

// The rows the recorder draws its marks into: they stay as drawn, whatever the scene does.
void DrawMarks(QImage& image, int channel)
{
    for (int row = 0; row < BAND_ROWS && row < image.height(); ++row)
        std::fill_n(image.scanLine(row), 3 * image.width(), uint8_t(0));
    CScenePainter::DrawRowMark(image);
    CScenePainter::DrawChannelCode(image, channel);
}

} // namespace

QColor CScenePainter::BackgroundColour(int channel)
{
    return QColor::fromHsv((channel * 360 / 16 + 200) % 360, 150, 170);
}

void CScenePainter::DrawRowMark(QImage& image)
{
    for (int column = 0; column < MARK_COLUMNS && column < image.width(); ++column)
        FillColumn(image, column, 0, BAND_ROWS - 1, column >= MARK_BRIGHT_FIRST && column <= MARK_BRIGHT_LAST);
}

// The reader takes pixel x of the bar row (the second row from the top) at byte 3x of
// that row; in pictures narrower than 632 pixels the later bars therefore lie in the
// row above, further left. The bars are drawn where the reader looks. Beside the row
// mark they only fill the two top rows, leaving the mark's rows to the mark.
void CScenePainter::DrawChannelCode(QImage& image, int channel)
{
    const int stride = (image.width() * 3 + 3) / 4 * 4;
    for (int bar = 0; bar < 5; ++bar) {
        const bool lit = bar < 4 && (channel >> (3 - bar)) & 1;
        for (int x = BAR_STARTS[bar]; x < BAR_STARTS[bar] + BAR_WIDTH; ++x) {
            const int offset = 3 * x;
            const int imageRow = 1 - offset / stride;
            const int column = offset % stride / 3;
            if (imageRow < 0 || column >= image.width())
                continue;
            FillColumn(image, column, 0, column < MARK_COLUMNS ? 1 : BAND_ROWS - 1, lit);
        }
    }
}

QImage CScenePainter::PaintStill(int width, int height, int channel, const CDateTime& time, bool clock)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(BackgroundColour(channel));
    {
        QPainter p(&image);
        p.fillRect(width * 5 / 100, height * 20 / 100, width * 20 / 100, height * 25 / 100, QColor(120, 100, 90));
        p.fillRect(width * 70 / 100, height * 85 / 100, width * 25 / 100, height * 10 / 100, QColor(90, 110, 90));
        QFont big("Arial", -1, QFont::Bold);
        big.setPixelSize(height / 10);
        p.setFont(big);
        p.setPen(QColor(220, 220, 220));
        p.drawText(QRect(width / 2, height * 12 / 100, width / 2, height / 8), Qt::AlignCenter,
                   QString("CAM %1").arg(channel + 1, 2, 10, QChar('0')));
        if (clock) {
            QFont small("Arial", -1, QFont::Bold);
            small.setPixelSize(height / 12);
            p.setFont(small);
            p.setPen(Qt::white);
            p.drawText(QRect(0, height * 34 / 100, width, height / 8), Qt::AlignHCenter | Qt::AlignVCenter,
                       QString::fromStdString(time.IsValid() ? time.ToIsoString() : "----"));
        }
    }
    DrawMarks(image, channel);
    return image;
}

// Striped like clothing, so that it changes the picture where it moves, not only at its edges.
void CScenePainter::DrawBox(QImage& image, const QRect& box)
{
    constexpr int STRIPE = 6;
    QPainter p(&image);
    p.setClipRect(QRect(0, BAND_ROWS, image.width(), image.height() - BAND_ROWS));
    p.fillRect(box, QColor(25, 25, 30));
    for (int x = box.left() + STRIPE; x < box.right(); x += 2 * STRIPE)
        p.fillRect(QRect(x, box.top(), std::min(STRIPE, box.right() - x), box.height()), QColor(110, 40, 40));
}

void CScenePainter::AddLightAndNoise(QImage& image, int levels, int noise, uint32_t seed)
{
    uint32_t state = seed * 2654435761u + 1;
    for (int row = BAND_ROWS; row < image.height(); ++row) {
        uint8_t* pixel = image.scanLine(row);
        for (int x = 0; x < image.width(); ++x, pixel += 3) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5; // xorshift: fast enough for every pixel
            const int move = levels + (noise ? int(state % uint32_t(2 * noise + 1)) - noise : 0);
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(std::clamp(pixel[c] + move, 0, 255));
        }
    }
}

QImage CScenePainter::Paint(int width, int height, int channel, int frame, const CDateTime& time)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(BackgroundColour(channel));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        // A road with lane marks moving towards the camera, and a car crossing it.
        const int roadTop = height * 55 / 100;
        const int roadBottom = height * 80 / 100;
        p.fillRect(0, roadTop, width, roadBottom - roadTop, QColor(60, 60, 66));
        const int dash = width / 8;
        for (int x = -(frame * 3 % dash); x < width; x += dash)
            p.fillRect(x, (roadTop + roadBottom) / 2 - 1, dash / 2, 3, QColor(230, 230, 200));
        const int speed = 3 + channel % 5;
        const int carWidth = width / 6;
        const int carX = (frame * speed + channel * 37) % (width + carWidth) - carWidth;
        p.setBrush(QColor::fromHsv(channel * 360 / 16, 220, 240));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(carX, roadTop + 4, carWidth, (roadBottom - roadTop) - 8, 6, 6);

        QFont big("Arial", -1, QFont::Bold);
        big.setPixelSize(height / 6);
        p.setFont(big);
        p.setPen(Qt::white);
        p.drawText(QRect(0, height * 12 / 100, width, height / 5), Qt::AlignHCenter | Qt::AlignVCenter,
                   QString("CAM %1").arg(channel + 1, 2, 10, QChar('0')));
        QFont small("Arial", -1, QFont::Bold);
        small.setPixelSize(height / 12);
        p.setFont(small);
        p.drawText(QRect(0, height * 34 / 100, width, height / 8), Qt::AlignHCenter | Qt::AlignVCenter,
                   QString::fromStdString(time.IsValid() ? time.ToIsoString() : "----"));
    }
    DrawMarks(image, channel);
    return image;
}

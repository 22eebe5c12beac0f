#include "tools/skingen/clockstrip.h"

#include "tools/skingen/skinpalette.h"
#include "tools/skingen/skintext.h"

#include <QPainter>
#include <QPainterPath>

using namespace SkinPalette;

namespace {

// Segments a..g: top, upper right, lower right, bottom, lower left, upper left, middle.
constexpr unsigned char SEGMENTS[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

constexpr double LEFT = 2.0, RIGHT = 7.2, TOP = 1.0, MIDDLE = 6.0, BOTTOM = 11.0, THICK = 1.7;

// A segment with pointed ends, from `a` to `b` (horizontal or vertical).
QPainterPath Segment(QPointF a, QPointF b)
{
    const double h = THICK / 2;
    const bool horizontal = a.y() == b.y();
    const QPointF along = horizontal ? QPointF(h, 0) : QPointF(0, h);
    const QPointF across = horizontal ? QPointF(0, h) : QPointF(h, 0);
    QPainterPath path;
    path.moveTo(a + along * 0.4);
    path.lineTo(a + along * 1.4 - across);
    path.lineTo(b - along * 1.4 - across);
    path.lineTo(b - along * 0.4);
    path.lineTo(b - along * 1.4 + across);
    path.lineTo(a + along * 1.4 + across);
    path.closeSubpath();
    return path;
}

QPainterPath SegmentPath(int index, QPointF o)
{
    const QPointF tl = o + QPointF(LEFT, TOP), tr = o + QPointF(RIGHT, TOP);
    const QPointF ml = o + QPointF(LEFT, MIDDLE), mr = o + QPointF(RIGHT, MIDDLE);
    const QPointF bl = o + QPointF(LEFT, BOTTOM), br = o + QPointF(RIGHT, BOTTOM);
    const QPointF ends[7][2] = {{tl, tr}, {tr, mr}, {mr, br}, {bl, br}, {ml, bl}, {tl, ml}, {ml, mr}};
    return Segment(ends[index][0], ends[index][1]);
}

} // namespace

QImage CClockStrip::Paint()
{
    QImage strip(WIDTH, HEIGHT, QImage::Format_RGB32);
    strip.fill(CARD); // the clock stands on a card of the background
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int digit = 0; digit < 10; ++digit)
        PaintDigit(painter, digit, QPointF(DIGIT_WIDTH * digit, 0));
    PaintColon(painter, QPointF(COLON_X, 0));
    PaintSign(painter, "AM", AM_X);
    PaintSign(painter, "PM", PM_X);
    return strip;
}

void CClockStrip::PaintDigit(QPainter& painter, int digit, QPointF origin)
{
    for (int s = 0; s < 7; ++s) {
        const bool lit = (SEGMENTS[digit] >> s) & 1;
        painter.setBrush(lit ? ACCENT : WithAlpha(ACCENT, 26));
        painter.drawPath(SegmentPath(s, origin));
    }
}

void CClockStrip::PaintColon(QPainter& painter, QPointF origin)
{
    painter.setBrush(ACCENT);
    painter.drawEllipse(QRectF(origin.x() + 2, 2.6, 1.9, 1.9));
    painter.drawEllipse(QRectF(origin.x() + 2, 7.6, 1.9, 1.9));
}

void CClockStrip::PaintSign(QPainter& painter, const char* text, int x)
{
    QFont font = CSkinText::CardLabel();
    font.setPixelSize(9);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    CSkinText::Draw(painter, QRectF(x, 0, SIGN_WIDTH, HEIGHT), text, font, ACCENT, Qt::AlignCenter);
}

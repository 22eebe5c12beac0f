#include "tools/skingen/sliderpictures.h"

#include "tools/skingen/skinpalette.h"

#include <QPainter>
#include <QPainterPath>

using namespace SkinPalette;

namespace {

// Rows of the 8-row block that carry the rail; stretched to 16 rows they become 6..9.
constexpr int RAIL_FIRST_ROW = 3;
constexpr int RAIL_ROWS = 2;

} // namespace

QImage CSliderPictures::Track()
{
    QImage block(BLOCK, BLOCK, QImage::Format_RGB32);
    block.fill(WINDOW);
    QPainter(&block).fillRect(0, RAIL_FIRST_ROW, BLOCK, RAIL_ROWS, RAIL);
    return block;
}

QRect CSliderPictures::Rail(const QRect& slider)
{
    const int scale = HEIGHT / BLOCK;
    return QRect(slider.x(), slider.y() + RAIL_FIRST_ROW * scale, slider.width(), RAIL_ROWS * scale);
}

QImage CSliderPictures::Thumb()
{
    QImage thumb(THUMB_WIDTH, HEIGHT, QImage::Format_RGB32);
    thumb.fill(WINDOW);
    QPainter painter(&thumb);
    painter.fillRect(Rail(thumb.rect()), RAIL);
    painter.setRenderHint(QPainter::Antialiasing);
    // A round knob with a lit centre: the point the play position is read at.
    const QRectF knob(THUMB_WIDTH / 2.0 - 7, HEIGHT / 2.0 - 7, 14, 14);
    QLinearGradient face(knob.topLeft(), knob.bottomLeft());
    face.setColorAt(0, QColor(238, 240, 244));
    face.setColorAt(1, QColor(168, 173, 182));
    painter.setPen(QPen(KEY_EDGE, 1.0));
    painter.setBrush(face);
    painter.drawEllipse(knob.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ACCENT);
    painter.drawEllipse(knob.center(), 2.6, 2.6);
    return thumb;
}

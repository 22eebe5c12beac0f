#include "tools/skingen/picturepainter.h"

#include "tools/skingen/iconpainter.h"
#include "tools/skingen/skinpalette.h"
#include "tools/skingen/skintext.h"

#include <QPainter>
#include <QPainterPath>

using namespace SkinPalette;

// A rounded square in the accent colour holding a play sign: the emblem of the player.
void CPicturePainter::PaintEmblem(QPainter& painter, const QRectF& box)
{
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, ACCENT.lighter(112));
    fill.setColorAt(1, ACCENT.darker(135));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 5, 5);
    CIconPainter::Paint(painter, EIcon::ForwardPlay, box.adjusted(5, 5, -4, -5), TITLE_BOTTOM);
}

QImage CPicturePainter::Logo(const QImage& ground)
{
    QImage logo = ground.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&logo);
    PaintWordMark(painter, logo.rect());
    return logo;
}

void CPicturePainter::PaintWordMark(QPainter& painter, const QRectF& box)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = box.height() - 4;
    PaintEmblem(painter, QRectF(box.x() + 1, box.y() + 2, side, side));
    const QFont strong = CSkinText::Logo(true);
    const QFont light = CSkinText::Logo(false);
    const double x = box.x() + side + 9;
    const QRectF line(x, box.y(), box.right() - x, box.height());
    CSkinText::Draw(painter, line, "KVX", strong, GLYPH, Qt::AlignLeft | Qt::AlignVCenter);
    const double shift = CSkinText::Width("KVX", strong) + 1;
    CSkinText::Draw(painter, line.adjusted(shift, 0, 0, 0), "Player", light, ACCENT, Qt::AlignLeft | Qt::AlignVCenter);
    painter.restore();
}

QImage CPicturePainter::EmptyTile(QSize size)
{
    QImage tile(size, QImage::Format_RGB32);
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size.width() / 2.0, size.height() * 0.44);
    QRadialGradient ground(centre, size.width() * 0.62);
    ground.setColorAt(0, TILE_GROUND.lighter(125));
    ground.setColorAt(1, TILE_GROUND.darker(150));
    painter.fillRect(tile.rect(), ground);
    const double side = size.height() * 0.30;
    CIconPainter::Paint(painter, EIcon::Camera, QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side),
                        TILE_GLYPH);
    QFont font = CSkinText::CardLabel();
    font.setPixelSize(9);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    const QRectF caption(0, centre.y() + side / 2 + 4, size.width(), 14);
    CSkinText::Draw(painter, caption, "NO SIGNAL", font, TILE_GLYPH.lighter(130), Qt::AlignHCenter | Qt::AlignTop);
    return tile;
}

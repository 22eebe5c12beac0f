#include "tools/skingen/appiconpainter.h"

#include "tools/skingen/picturepainter.h"
#include "tools/skingen/skinpalette.h"

#include <QDir>
#include <QPainter>

using namespace SkinPalette;

namespace {

// Drawn on a 64-unit grid and scaled, so every size has the same proportions.
constexpr double GRID = 64;
constexpr int THEME_SIZES[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

void PaintGround(QPainter& painter)
{
    const QRectF body(2, 2, 60, 60);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, TITLE_TOP.lighter(130));
    fill.setColorAt(1, WINDOW);
    painter.setPen(QPen(WINDOW_EDGE.lighter(140), 1.2));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 12, 12);
}

// Four cameras, as the player's four-tile layout shows them.
void PaintTiles(QPainter& painter)
{
    const QColor scenes[4] = {QColor(70, 130, 200), QColor(140, 80, 190), QColor(200, 90, 80), QColor(90, 170, 90)};
    const QRectF area(9, 10, 46, 34);
    const double gap = 2.4, w = (area.width() - gap) / 2, h = (area.height() - gap) / 2;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const QRectF tile(area.x() + (i % 2) * (w + gap), area.y() + (i / 2) * (h + gap), w, h);
        QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
        fill.setColorAt(0, scenes[i].lighter(115));
        fill.setColorAt(1, scenes[i].darker(140));
        painter.setBrush(fill);
        painter.drawRoundedRect(tile, 2.5, 2.5);
    }
}

} // namespace

QImage CAppIconPainter::Paint(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / GRID, size / GRID);
    PaintGround(painter);
    PaintTiles(painter);
    // A ring of the ground around the emblem keeps it apart from the tile behind.
    const QRectF emblem(33, 33, 25, 25);
    painter.setPen(Qt::NoPen);
    painter.setBrush(WINDOW);
    painter.drawRoundedRect(emblem.adjusted(-1.6, -1.6, 1.6, 1.6), 6.5, 6.5);
    CPicturePainter::PaintEmblem(painter, emblem);
    return icon;
}

bool CAppIconPainter::WriteThemeIcons(const QString& folder, const QString& name)
{
    for (int size : THEME_SIZES) {
        const QString dir = QString("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) || !Paint(size).save(dir + "/" + name + ".png"))
            return false;
    }
    return true;
}

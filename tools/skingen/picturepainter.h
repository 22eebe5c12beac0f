#pragma once

#include <QImage>

class QPainter;
class QRectF;

// The player window's own pictures besides background, clock and slider.
class CPicturePainter {
public:
    // The "KVXPlayer" word mark with its emblem, drawn over `ground` (the title strip
    // under the logo's rectangle, since the player copies the logo opaquely).
    static QImage Logo(const QImage& ground);
    static void PaintWordMark(QPainter& painter, const QRectF& box);
    // The emblem alone: a rounded square in the accent colour holding a play sign.
    static void PaintEmblem(QPainter& painter, const QRectF& box);
    // What the player stretches over a camera tile that has no picture yet.
    static QImage EmptyTile(QSize size);
};

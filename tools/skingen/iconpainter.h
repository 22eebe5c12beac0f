#pragma once

#include "tools/skingen/skinrecords.h"

#include <QPainterPath>

class QColor;
class QPainter;
class QRectF;

// The skin's vector glyphs. Each is a filled outline drawn on a 16 x 16 grid and
// scaled into the box it is given, so one design serves every button size.
class CIconPainter {
public:
    static constexpr double GRID = 16.0;

    // The glyph's outline in grid units.
    static QPainterPath Outline(EIcon icon);
    // Fills the glyph into `box` (kept square, centred).
    static void Paint(QPainter& painter, EIcon icon, const QRectF& box, const QColor& colour);
    // The same with a soft halo around it, for what is lit.
    static void PaintGlowing(QPainter& painter, EIcon icon, const QRectF& box, const QColor& colour);

private:
    static QPainterPath Transport(EIcon icon);
    static QPainterPath Tool(EIcon icon);
    static QPainterPath Grid(int perSide);
    static QPainterPath Adjustment(EIcon icon);
    static QPainterPath Emblem(EIcon icon);
    static QPainterPath Placed(EIcon icon, const QRectF& box);
};

#pragma once

#include "tools/skingen/skinrecords.h"

#include <QImage>

#include <vector>

class QPainter;

// Draws a window background: the ground, the window's outline and the panels its
// layout lists, in order. Cards are flat inside, so a picture cut from them (a
// button's corners, the clock strip's ground) matches wherever it is put.
class CBackgroundPainter {
public:
    static QImage Paint(QSize size, const std::vector<CPanel>& panels);

private:
    static void PaintPanel(QPainter& painter, const CPanel& panel);
    static void PaintOutline(QPainter& painter, const QRect& rect);
    static void PaintTitleBar(QPainter& painter, const CPanel& panel);
    static void PaintCard(QPainter& painter, const CPanel& panel);
    static void PaintVideoWell(QPainter& painter, const QRect& rect);
    static void PaintFieldBezel(QPainter& painter, const QRect& field);
    static void PaintGroove(QPainter& painter, const QRect& slider);
};

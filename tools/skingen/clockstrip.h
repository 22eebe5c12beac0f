#pragma once

#include <QImage>

class QPainter;
class QPointF;

// The strip from which the player composes its clock: the digits 0..9 at x = 9 x digit
// (9 wide), a colon at x 90 (6 wide), the AM sign at x 96 and the PM sign at x 115
// (19 wide each), all 12 pixels high. Seven-segment digits in the accent colour, with
// the unlit segments faintly there, as on a real display.
class CClockStrip {
public:
    static constexpr int WIDTH = 134;
    static constexpr int HEIGHT = 12;
    static constexpr int DIGIT_WIDTH = 9;
    static constexpr int COLON_X = 90;
    static constexpr int AM_X = 96;
    static constexpr int PM_X = 115;
    static constexpr int SIGN_WIDTH = 19;

    static QImage Paint();

private:
    static void PaintDigit(QPainter& painter, int digit, QPointF origin);
    static void PaintColon(QPainter& painter, QPointF origin);
    static void PaintSign(QPainter& painter, const char* text, int x);
};

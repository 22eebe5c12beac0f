#pragma once

#include "tools/skingen/skinrecords.h"

#include <QImage>

class QPainter;

// The four picture slots of a skin button, in res.ini order.
enum class EButtonState { Normal, Down, Latched, Disabled };

// Draws the pictures of the skin buttons. Every picture is exactly the button's size
// and starts from the window background under the button, because the player copies
// it opaquely: the rounded corners must show what lies around them.
class CButtonPainter {
public:
    static QImage Paint(const CButtonDef& button, EButtonState state, const QImage& ground);

private:
    struct CLook;
    static CLook LookOf(const CButtonDef& button, EButtonState state);
    static void PaintKey(QPainter& painter, const QRectF& face, const CLook& look);
    static void PaintLamp(QPainter& painter, const QRectF& face, const CButtonDef& button, bool lit);
    static void PaintContent(QPainter& painter, const QRectF& face, const CButtonDef& button, const CLook& look);
};

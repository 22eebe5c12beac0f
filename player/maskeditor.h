#pragma once

#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

// What a drag with the mask tool does to the enlarged camera's masks: a press inside a
// mask takes it to move, one on its edge or corner (within GRIP pixels) takes that
// edge or corner to resize, one anywhere else starts a new mask; the drag then makes
// the rectangle the mask is to have. Window coordinates throughout: the view maps them
// to boxes of the exported picture and keys the mask.
//
// A value; window thread.
class CMaskEditor {
public:
    static constexpr double GRIP = 5;  // pixels either side of an edge that take it
    static constexpr double LEAST = 4; // a new rectangle smaller than this either way was a click

    enum EEdge { LEFT = 1, TOP = 2, RIGHT = 4, BOTTOM = 8, INSIDE = 16 };

    struct CDrag {
        int m_nMask = -1; // the index of the mask taken; -1 for a new one
        int m_nEdges = 0; // what of it moves (EEdge); 0 for a new one
        QRectF m_from;    // its rectangle when pressed
        QPointF m_pressed;
        QRectF m_now; // what the drag makes of it, normalized
    };

    // Starts a drag at `at`. `shown` holds each mask's rectangle where it can be
    // taken (none where it cannot), by mask index; a later mask lies over an earlier one.
    void Press(QPointF at, const std::vector<std::optional<QRectF>>& shown);
    void Move(QPointF at);
    // Ends the drag at `at`: what it made, or none when nothing changed (a click).
    std::optional<CDrag> Release(QPointF at);
    void Cancel() { m_drag.reset(); }
    const std::optional<CDrag>& Drag() const { return m_drag; }

    // What of `shape` a press at `at` takes (EEdge bits), 0 when it is outside.
    static int EdgesAt(QPointF at, const QRectF& shape);
    // `box` (fractions of the picture) kept within it: a moved box keeps its size and
    // is pushed back in, any other is cut to the picture.
    static QRectF KeepInside(const QRectF& box, bool moved);

private:
    std::optional<CDrag> m_drag;
};

#include "player/maskeditor.h"

#include <algorithm>
#include <cmath>

void CMaskEditor::Press(QPointF at, const std::vector<std::optional<QRectF>>& shown)
{
    m_drag = CDrag{-1, 0, QRectF(at, at), at, QRectF(at, at)};
    for (size_t i = shown.size(); i-- > 0;) {
        if (!shown[i])
            continue;
        if (const int edges = EdgesAt(at, *shown[i])) {
            m_drag = CDrag{int(i), edges, *shown[i], at, *shown[i]};
            return;
        }
    }
}

void CMaskEditor::Move(QPointF at)
{
    if (!m_drag)
        return;
    CDrag& d = *m_drag;
    const QPointF by = at - d.m_pressed;
    if (d.m_nEdges == 0) {
        d.m_now = QRectF(d.m_pressed, at).normalized();
        return;
    }
    if (d.m_nEdges == INSIDE) {
        d.m_now = d.m_from.translated(by);
        return;
    }
    QRectF r = d.m_from;
    if (d.m_nEdges & LEFT)
        r.setLeft(r.left() + by.x());
    if (d.m_nEdges & RIGHT)
        r.setRight(r.right() + by.x());
    if (d.m_nEdges & TOP)
        r.setTop(r.top() + by.y());
    if (d.m_nEdges & BOTTOM)
        r.setBottom(r.bottom() + by.y());
    d.m_now = r.normalized();
}

std::optional<CMaskEditor::CDrag> CMaskEditor::Release(QPointF at)
{
    Move(at);
    std::optional<CDrag> done = std::exchange(m_drag, std::nullopt);
    if (!done)
        return std::nullopt;
    const bool drawn = done->m_nEdges != 0 || (done->m_now.width() >= LEAST && done->m_now.height() >= LEAST);
    if (!drawn || done->m_now == done->m_from)
        return std::nullopt;
    return done;
}

int CMaskEditor::EdgesAt(QPointF at, const QRectF& shape)
{
    const QRectF r = shape.normalized();
    if (!r.adjusted(-GRIP, -GRIP, GRIP, GRIP).contains(at))
        return 0;
    // A small shape keeps an inside to take: its edges grip less.
    const double grip = std::min(GRIP, std::min(r.width(), r.height()) / 4);
    int edges = 0;
    if (std::abs(at.x() - r.left()) <= grip)
        edges |= LEFT;
    else if (std::abs(at.x() - r.right()) <= grip)
        edges |= RIGHT;
    if (std::abs(at.y() - r.top()) <= grip)
        edges |= TOP;
    else if (std::abs(at.y() - r.bottom()) <= grip)
        edges |= BOTTOM;
    if (edges)
        return edges;
    return r.contains(at) ? INSIDE : 0;
}

QRectF CMaskEditor::KeepInside(const QRectF& box, bool moved)
{
    const QRectF picture(0, 0, 1, 1);
    if (!moved)
        return box.normalized().intersected(picture);
    QRectF r = box.normalized();
    r.setSize(r.size().boundedTo(picture.size()));
    r.moveLeft(std::clamp(r.left(), 0.0, 1.0 - r.width()));
    r.moveTop(std::clamp(r.top(), 0.0, 1.0 - r.height()));
    return r;
}

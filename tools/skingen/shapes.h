#pragma once

#include <QPainterPath>
#include <QRectF>

inline QPainterPath RoundRectPath(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

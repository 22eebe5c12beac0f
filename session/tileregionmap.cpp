#include "session/tileregionmap.h"

#include <algorithm>

CTileRegionMap::CTileRegionMap(QRect tile, QSize picture, QRect crop, CTileZoom zoom)
    : m_tile(tile), m_picture(picture), m_crop(crop), m_zoom(zoom)
{
}

CActivityRegion CTileRegionMap::RegionOf(const QRectF& drawn) const
{
    const QRectF inside = drawn.normalized().intersected(QRectF(m_tile));
    const QPointF a = PictureAt(inside.topLeft()), b = PictureAt(inside.bottomRight());
    const double left = std::clamp(a.x(), 0.0, 1.0), top = std::clamp(a.y(), 0.0, 1.0);
    return {left, top, std::clamp(b.x(), 0.0, 1.0) - left, std::clamp(b.y(), 0.0, 1.0) - top};
}

QRectF CTileRegionMap::WindowRectOf(const CActivityRegion& region) const
{
    return QRectF(WindowAt({region.m_dX, region.m_dY}),
                  WindowAt({region.m_dX + region.m_dWidth, region.m_dY + region.m_dHeight}));
}

// Window point -> fraction of the crop the tile shows (the zoom's own mapping) ->
// fraction of the whole picture.
QPointF CTileRegionMap::PictureAt(QPointF window) const
{
    if (m_tile.isEmpty() || m_picture.isEmpty())
        return {};
    const QPointF inCrop = m_zoom.PictureAt(window - QPointF(m_tile.topLeft()), QSizeF(m_tile.size()));
    return {(m_crop.x() + inCrop.x() * m_crop.width()) / m_picture.width(),
            (m_crop.y() + inCrop.y() * m_crop.height()) / m_picture.height()};
}

QPointF CTileRegionMap::WindowAt(QPointF picture) const
{
    if (m_crop.isEmpty())
        return QPointF(m_tile.topLeft());
    const QPointF inCrop((picture.x() * m_picture.width() - m_crop.x()) / m_crop.width(),
                         (picture.y() * m_picture.height() - m_crop.y()) / m_crop.height());
    const QRectF visible = m_zoom.Visible(QRectF(0, 0, 1, 1));
    return QPointF(m_tile.topLeft()) + QPointF((inCrop.x() - visible.x()) / visible.width() * m_tile.width(),
                                               (inCrop.y() - visible.y()) / visible.height() * m_tile.height());
}

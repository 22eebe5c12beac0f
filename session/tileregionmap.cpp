#include "session/tileregionmap.h"

#include <algorithm>

CTileRegionMap::CTileRegionMap(QRect tile, QSize picture, QRect crop, CTileZoom zoom, QRect exported)
    : m_tile(tile), m_picture(picture), m_crop(crop), m_exported(exported), m_zoom(zoom)
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

QRectF CTileRegionMap::ExportedBoxOf(const QRectF& drawn) const
{
    if (m_exported.isEmpty())
        return {};
    const auto inExported = [this](QPointF window) {
        const QPointF p = PictureAt(window);
        return QPointF((p.x() * m_picture.width() - m_exported.x()) / m_exported.width(),
                       (p.y() * m_picture.height() - m_exported.y()) / m_exported.height());
    };
    const QRectF d = drawn.normalized();
    return QRectF(inExported(d.topLeft()), inExported(d.bottomRight()));
}

QRectF CTileRegionMap::WindowRectOfExported(const QRectF& box) const
{
    if (m_picture.isEmpty())
        return {};
    const auto inPicture = [this](QPointF exported) {
        return QPointF((m_exported.x() + exported.x() * m_exported.width()) / m_picture.width(),
                       (m_exported.y() + exported.y() * m_exported.height()) / m_picture.height());
    };
    return QRectF(WindowAt(inPicture(box.topLeft())), WindowAt(inPicture(box.bottomRight())));
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

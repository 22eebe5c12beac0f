#pragma once

#include "evidence/activityindex.h"
#include "playback/tilezoom.h"

#include <QRect>
#include <QRectF>
#include <QSize>

// Where a camera's picture lies in its tile: the tile shows the part the renderer
// crops out of the decoded picture (without the recorder's margins and code rows),
// enlarged by the tile's zoom, while a search region is in fractions of the whole
// decoded picture, as the index divides it into cells. Maps a rectangle drawn over
// the tile to such a region and back. A plain value.
class CTileRegionMap {
public:
    // `tile` in window coordinates; `picture` the decoded picture's size and `crop` the
    // part of it the tile shows.
    CTileRegionMap(QRect tile, QSize picture, QRect crop, CTileZoom zoom);

    // The part of the picture under `drawn` (window coordinates), cut to the tile.
    CActivityRegion RegionOf(const QRectF& drawn) const;
    // Where `region` lies in the window; it may reach beyond the tile when zoomed.
    QRectF WindowRectOf(const CActivityRegion& region) const;
    QRect Tile() const { return m_tile; }

private:
    QPointF PictureAt(QPointF window) const;
    QPointF WindowAt(QPointF picture) const;

    QRect m_tile;
    QSizeF m_picture;
    QRectF m_crop;
    CTileZoom m_zoom;
};

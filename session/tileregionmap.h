#pragma once

#include "evidence/activityindex.h"
#include "playback/tilezoom.h"

#include <QRect>
#include <QRectF>
#include <QSize>

// Where a camera's picture lies in its tile: the tile shows the part the renderer
// crops out of the decoded picture (without the recorder's margins and code rows),
// enlarged by the tile's zoom, while a search region is in fractions of the whole
// decoded picture, as the index divides it into cells, and a privacy mask's box in
// fractions of the part an export keeps. Maps a rectangle drawn over the tile to such
// a region or box and back. A plain value.
class CTileRegionMap {
public:
    // `tile` in window coordinates; `picture` the decoded picture's size and `crop` the
    // part of it the tile shows; `exported` the part an export keeps.
    CTileRegionMap(QRect tile, QSize picture, QRect crop, CTileZoom zoom, QRect exported = {});

    // The part of the picture under `drawn` (window coordinates), cut to the tile.
    CActivityRegion RegionOf(const QRectF& drawn) const;
    // Where `region` lies in the window; it may reach beyond the tile when zoomed.
    QRectF WindowRectOf(const CActivityRegion& region) const;
    // The mask box under `drawn`, in fractions of the exported part, not cut to it:
    // where a mask drawn on screen lands in an export.
    QRectF ExportedBoxOf(const QRectF& drawn) const;
    // Where the mask box `box` lies in the window.
    QRectF WindowRectOfExported(const QRectF& box) const;
    QRect Tile() const { return m_tile; }

private:
    QPointF PictureAt(QPointF window) const;
    QPointF WindowAt(QPointF picture) const;

    QRect m_tile;
    QSizeF m_picture;
    QRectF m_crop;
    QRectF m_exported;
    CTileZoom m_zoom;
};

#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The digital zoom of the one-tile layout: how far the picture is enlarged (1x to 8x)
// and which part of it the tile shows. Positions in the picture are fractions of its
// width and height, so the same zoom fits any picture size and any tile size.
class CTileZoom {
public:
    static constexpr double MIN_FACTOR = 1.0;
    static constexpr double MAX_FACTOR = 8.0;
    static constexpr double STEP = 1.25; // one wheel notch, one key press

    double Factor() const { return m_dFactor; }
    bool IsZoomed() const { return m_dFactor > MIN_FACTOR; }

    // Zooms to `factor` (kept within 1x..8x) so that the picture point under `at`, a
    // point of a tile of size `tile`, stays under it, as far as the picture's edges allow.
    void ZoomAt(double factor, QPointF at, QSizeF tile);
    // Moves the picture with a drag of `delta` tile pixels, as far as its edges allow.
    void Pan(QPointF delta, QSizeF tile);
    void Reset() { *this = CTileZoom(); }

    // The part of `source` (the picture's rectangle) that the tile shows.
    QRectF Visible(const QRectF& source) const;
    // The picture point, in fractions, under the tile point `at`.
    QPointF PictureAt(QPointF at, QSizeF tile) const;

    bool operator==(const CTileZoom&) const = default;

private:
    void KeepInside();

    double m_dFactor = MIN_FACTOR;
    QPointF m_ptOrigin{0, 0}; // the visible part's top-left corner, in fractions of the picture
};

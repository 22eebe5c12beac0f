#include "playback/tilezoom.h"

#include <algorithm>

void CTileZoom::ZoomAt(double factor, QPointF at, QSizeF tile)
{
    if (tile.isEmpty())
        return;
    const QPointF picture = PictureAt(at, tile);
    m_dFactor = std::clamp(factor, MIN_FACTOR, MAX_FACTOR);
    m_ptOrigin = picture - QPointF(at.x() / tile.width(), at.y() / tile.height()) / m_dFactor;
    KeepInside();
}

void CTileZoom::Pan(QPointF delta, QSizeF tile)
{
    if (tile.isEmpty())
        return;
    m_ptOrigin -= QPointF(delta.x() / tile.width(), delta.y() / tile.height()) / m_dFactor;
    KeepInside();
}

QRectF CTileZoom::Visible(const QRectF& source) const
{
    return QRectF(source.x() + m_ptOrigin.x() * source.width(), source.y() + m_ptOrigin.y() * source.height(),
                  source.width() / m_dFactor, source.height() / m_dFactor);
}

QPointF CTileZoom::PictureAt(QPointF at, QSizeF tile) const
{
    return m_ptOrigin + QPointF(at.x() / tile.width(), at.y() / tile.height()) / m_dFactor;
}

// The tile never shows anything beyond the picture.
void CTileZoom::KeepInside()
{
    const double most = 1.0 - 1.0 / m_dFactor;
    m_ptOrigin = QPointF(std::clamp(m_ptOrigin.x(), 0.0, most), std::clamp(m_ptOrigin.y(), 0.0, most));
}

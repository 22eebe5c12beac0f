#include "skin/skinslider.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int THUMB_HALF = CSkinSlider::SKIN_THUMB_WIDTH / 2;
constexpr int TRACK_BLOCK = 8;
} // namespace

CSkinSlider::CSkinSlider(int controlId, QWidget* parent) : QWidget(parent), m_nControlId(controlId)
{
    setFocusPolicy(Qt::NoFocus);
    setProperty("controlId", controlId);
}

void CSkinSlider::SetBitmaps(const QImage* thumb, const QImage* track)
{
    m_pThumbBitmap = thumb;
    m_pTrackBitmap = track;
}

void CSkinSlider::MoveSlider(int left, int top, int width, int height, bool repaint)
{
    m_nLeft = left;
    m_nTop = top;
    m_nWidth = width;
    m_nHeight = height;
    setGeometry(left, top, width, height);
    m_nPos = std::clamp(m_nPos, 0, std::max(0, m_nWidth - SKIN_THUMB_WIDTH));
    if (repaint)
        update();
}

void CSkinSlider::SetPos(int pos)
{
    pos = std::clamp(pos, 0, std::max(0, m_nWidth - SKIN_THUMB_WIDTH));
    if (pos == m_nPos)
        return;
    update(ThumbRect());
    m_nPos = pos;
    update(ThumbRect());
}

QRect CSkinSlider::ThumbRect() const
{
    return QRect(m_nPos, 0, SKIN_THUMB_WIDTH, m_nHeight);
}

void CSkinSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_pTrackBitmap && !m_pTrackBitmap->isNull())
        painter.drawImage(QRect(0, 0, m_nWidth, m_nHeight), *m_pTrackBitmap, QRect(0, 0, TRACK_BLOCK, TRACK_BLOCK));
    if (m_pThumbBitmap && !m_pThumbBitmap->isNull())
        painter.drawImage(QPoint(m_nPos, 0), *m_pThumbBitmap, QRect(0, 0, SKIN_THUMB_WIDTH, m_nHeight));
}

void CSkinSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    m_bPressed = true;
    if (!m_bDragging && ThumbRect().contains(at)) {
        m_bDragging = true;
        m_bMoved = false;
        return;
    }
    SetPos(at.x() - THUMB_HALF); // the thumb jumps to put its centre under the pointer
    m_nClickPos = at.x();
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging)
        return;
    const int before = m_nPos;
    SetPos(int(event->position().x()) - THUMB_HALF);
    m_bMoved |= m_nPos != before;
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_bPressed)
        return;
    m_bPressed = false;
    const bool wasDragging = std::exchange(m_bDragging, false);
    if (wasDragging) {
        if (!m_bMoved)
            return; // a click on the thumb: nothing to seek to
        m_nClickPos = m_nPos + THUMB_HALF;
    } else if (!rect().contains(event->position().toPoint())) {
        return; // released away from the slider: no click
    }
    QMetaObject::invokeMethod(this, [this] { emit clicked(m_nControlId); }, Qt::QueuedConnection);
}

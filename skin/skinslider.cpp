#include "skin/skinslider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace {
constexpr int THUMB_HALF = CSkinSlider::SKIN_THUMB_WIDTH / 2;
constexpr int TRACK_BLOCK = 8;
constexpr int HEAT_KNOWN_ALPHA = 90;
constexpr int TICK_REACH = 2;      // how far from a one-pixel tick hovering still finds it
constexpr int RANGE_TINT_ALPHA = 60;
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
    PaintHeat(painter);
    PaintMarks(painter);
    if (m_pThumbBitmap && !m_pThumbBitmap->isNull())
        painter.drawImage(QPoint(m_nPos, 0), *m_pThumbBitmap, QRect(0, 0, SKIN_THUMB_WIDTH, m_nHeight));
}

void CSkinSlider::SetHeat(std::vector<uint8_t> levels, int known)
{
    if (levels == m_heat && known == m_nHeatKnown)
        return;
    m_heat = std::move(levels);
    m_nHeatKnown = known;
    update();
}

// The marks take the thumb's middle colour, as strong as their level, over the
// middle of the groove; runs of one level are filled at once.
void CSkinSlider::PaintHeat(QPainter& painter) const
{
    if (m_heat.empty() || !m_pThumbBitmap || m_pThumbBitmap->isNull())
        return;
    const QColor accent = m_pThumbBitmap->pixelColor(m_pThumbBitmap->width() / 2, m_pThumbBitmap->height() / 2);
    const int band = std::max(2, m_nHeight / 2), top = (m_nHeight - band) / 2;
    const int positions = std::min<int>(int(m_heat.size()), m_nWidth);
    if (m_nHeatKnown > 0) {
        QColor line = accent;
        line.setAlpha(HEAT_KNOWN_ALPHA);
        painter.fillRect(0, top + band, std::min(m_nHeatKnown, m_nWidth), 1, line);
    }
    for (int x = 0; x < positions;) {
        const uint8_t level = m_heat[size_t(x)];
        int end = x + 1;
        while (end < positions && m_heat[size_t(end)] == level)
            ++end;
        if (level) {
            QColor mark = accent;
            mark.setAlpha(level);
            painter.fillRect(x, top, end - x, band, mark);
        }
        x = end;
    }
}

void CSkinSlider::SetMarks(ESliderMarkLayer layer, CSliderMarks marks)
{
    m_marks[size_t(layer)] = std::move(marks);
    update();
}

QString CSkinSlider::MarkTextAt(int pos) const
{
    QStringList lines;
    for (size_t layer = m_marks.size(); layer-- > 0;) {
        for (const CSliderMark& mark : m_marks[layer]) {
            const int reach = mark.m_nTo == mark.m_nFrom ? TICK_REACH : 0;
            if (pos >= mark.m_nFrom - reach && pos <= mark.m_nTo + reach && !mark.m_text.isEmpty())
                lines << mark.m_text;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void CSkinSlider::PaintMarks(QPainter& painter) const
{
    const int band = std::max(2, m_nHeight / 4);
    // A one-position gap or jump would be a hairline: it is drawn three pixels wide.
    for (const CSliderMark& mark : Marks(ESliderMarkLayer::Evidence)) {
        const int width = mark.m_nTo - mark.m_nFrom + 1;
        const int left = width < 3 ? mark.m_nFrom - 1 : mark.m_nFrom;
        painter.fillRect(left, m_nHeight - band, std::max(3, width), band, mark.m_colour);
    }
    for (const CSliderMark& mark : Marks(ESliderMarkLayer::Bookmarks))
        painter.fillRect(mark.m_nFrom, 0, std::max(2, mark.m_nTo - mark.m_nFrom + 1), m_nHeight, mark.m_colour);
    for (const CSliderMark& mark : Marks(ESliderMarkLayer::InOut)) {
        QColor tint = mark.m_colour;
        tint.setAlpha(RANGE_TINT_ALPHA);
        const int width = mark.m_nTo - mark.m_nFrom + 1;
        painter.fillRect(mark.m_nFrom, 0, width, m_nHeight, tint);
        painter.fillRect(mark.m_nFrom, 0, 2, m_nHeight, mark.m_colour);
        painter.fillRect(mark.m_nTo - 1, 0, 2, m_nHeight, mark.m_colour);
    }
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

#include "player/audiocheckbox.h"

#include "player/panelcolours.h"

#include <QPainter>

namespace {
constexpr int BOX_LEFT = 4;
constexpr int BOX_SIDE = 11;
constexpr int TEXT_GAP = 5;
} // namespace

CAudioCheckBox::CAudioCheckBox(int controlId, const QString& text, QWidget* parent)
    : QCheckBox(text, parent), m_nControlId(controlId)
{
    setFocusPolicy(Qt::NoFocus);
    setProperty("controlId", controlId);
}

QRect CAudioCheckBox::BoxRect() const
{
    return QRect(BOX_LEFT, (height() - BOX_SIDE) / 2, BOX_SIDE, BOX_SIDE);
}

// The panel's ground with its light text, as the time panel is drawn: an outlined box
// that fills when the channel is on, and the channel number beside it. A switch that
// is on is lit as well: box, number and an outline round it in the accent.
void CAudioCheckBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), panel::GROUND);
    const QColor ink = !isEnabled() ? panel::TEXT.darker(200) : isChecked() ? panel::LIT : panel::TEXT;
    if (isChecked() && isEnabled()) {
        painter.setPen(panel::LIT);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
    const QRect box = BoxRect();
    if (isChecked() || isDown()) {
        painter.fillRect(box, isDown() && !isChecked() ? panel::TEXT.darker(250) : ink);
    }
    painter.setPen(ink);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (isChecked()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(panel::GROUND, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[3] = {box.topLeft() + QPointF(2.5, 5.5), box.topLeft() + QPointF(4.5, 8),
                                 box.topLeft() + QPointF(8.5, 3)};
        painter.drawPolyline(tick, 3);
    }
    painter.setPen(ink);
    painter.setFont(font());
    const QRect label(box.right() + 1 + TEXT_GAP, 0, width() - box.right() - 1 - TEXT_GAP, height());
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text());
}

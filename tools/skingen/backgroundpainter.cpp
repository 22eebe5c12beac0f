#include "tools/skingen/backgroundpainter.h"

#include "tools/skingen/iconpainter.h"
#include "tools/skingen/picturepainter.h"
#include "tools/skingen/shapes.h"
#include "tools/skingen/skinpalette.h"
#include "tools/skingen/sliderpictures.h"
#include "tools/skingen/skintext.h"

#include <QPainter>
#include <QPainterPath>

using namespace SkinPalette;

namespace {

constexpr double CARD_RADIUS = 6;

// A one-pixel line on pixel centres.
void Line(QPainter& painter, QPointF from, QPointF to, const QColor& colour)
{
    painter.setPen(QPen(colour, 1.0));
    painter.drawLine(from + QPointF(0.5, 0.5), to + QPointF(0.5, 0.5));
}

} // namespace

QImage CBackgroundPainter::Paint(QSize size, const std::vector<CPanel>& panels)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(WINDOW);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const CPanel& panel : panels)
        PaintPanel(painter, panel);
    return image;
}

void CBackgroundPainter::PaintPanel(QPainter& painter, const CPanel& panel)
{
    switch (panel.kind) {
    case EPanel::Outline: PaintOutline(painter, panel.rect); break;
    case EPanel::TitleBar: PaintTitleBar(painter, panel); break;
    case EPanel::WordMark: CPicturePainter::PaintWordMark(painter, panel.rect); break;
    case EPanel::Card: PaintCard(painter, panel); break;
    case EPanel::VideoWell: PaintVideoWell(painter, panel.rect); break;
    case EPanel::FieldBezel: PaintFieldBezel(painter, panel.rect); break;
    case EPanel::Groove: PaintGroove(painter, panel.rect); break;
    case EPanel::Label:
        CSkinText::Draw(painter, panel.rect, panel.text, CSkinText::CardLabel(), CARD_LABEL,
                        Qt::AlignLeft | Qt::AlignVCenter);
        break;
    case EPanel::Note:
        CSkinText::Draw(painter, panel.rect, panel.text, CSkinText::Note(), GLYPH_DISABLED, Qt::AlignCenter);
        break;
    case EPanel::Icon: CIconPainter::Paint(painter, panel.icon, panel.rect, GLYPH_DISABLED); break;
    }
}

// A borderless window still needs an edge to stand out from the desktop behind it.
void CBackgroundPainter::PaintOutline(QPainter& painter, const QRect& rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(WINDOW_EDGE);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

void CBackgroundPainter::PaintTitleBar(QPainter& painter, const CPanel& panel)
{
    const QRect& r = panel.rect;
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, TITLE_TOP);
    fill.setColorAt(1, TITLE_BOTTOM);
    painter.fillRect(r, fill);
    Line(painter, r.topLeft(), r.topRight(), WithAlpha(Qt::white, 14));
    Line(painter, r.bottomLeft() + QPoint(0, 1), r.bottomRight() + QPoint(0, 1), KEY_EDGE);
    const QRectF text(r.x(), r.y(), r.width() - 12, r.height());
    CSkinText::Draw(painter, text, panel.text, CSkinText::CardLabel(), CARD_LABEL, Qt::AlignRight | Qt::AlignVCenter);
}

void CBackgroundPainter::PaintCard(QPainter& painter, const CPanel& panel)
{
    const QRectF r = QRectF(panel.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(CARD_EDGE, 1.0));
    painter.setBrush(CARD);
    painter.drawPath(RoundRectPath(r, CARD_RADIUS));
    // A faint light along the top edge lifts the card off the ground.
    painter.save();
    painter.setClipRect(QRectF(r.x(), r.y(), r.width(), CARD_RADIUS));
    painter.setPen(QPen(WithAlpha(Qt::white, 16), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(RoundRectPath(r.adjusted(0, 1, 0, 0), CARD_RADIUS));
    painter.restore();
    if (!panel.text.isEmpty()) {
        const QRectF header(panel.rect.x() + 8, panel.rect.y() + 7, panel.rect.width() - 16, 11);
        CSkinText::Draw(painter, header, panel.text, CSkinText::CardLabel(), CARD_LABEL, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void CBackgroundPainter::PaintVideoWell(QPainter& painter, const QRect& rect)
{
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(CARD_EDGE, 1.0));
    painter.setBrush(WELL);
    painter.drawPath(RoundRectPath(r, 3));
}

void CBackgroundPainter::PaintFieldBezel(QPainter& painter, const QRect& field)
{
    const QRectF r = QRectF(field).adjusted(-1.5, -1.5, 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(WELL);
    painter.drawPath(RoundRectPath(r, 3));
    painter.save();
    painter.setClipRect(QRectF(r.x() - 1, r.center().y(), r.width() + 2, r.height()));
    painter.setPen(QPen(WELL_LIGHT, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(RoundRectPath(r.adjusted(-0.5, -0.5, 0.5, 0.5), 3.5));
    painter.restore();
    // The player fills the field itself; the same grey here keeps it whole before then.
    painter.fillRect(field, FIELD_GROUND);
}

// The slider's track runs from edge to edge of its control; rounded ends just outside
// it close the groove.
void CBackgroundPainter::PaintGroove(QPainter& painter, const QRect& slider)
{
    const QRect groove = CSliderPictures::Rail(slider);
    painter.setPen(Qt::NoPen);
    painter.setBrush(CSliderPictures::RAIL);
    painter.drawPath(RoundRectPath(QRectF(groove).adjusted(-3, 0, 3, 0), groove.height() / 2.0));
    painter.fillRect(groove, CSliderPictures::RAIL);
}

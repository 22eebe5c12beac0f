#include "tools/skingen/buttonpainter.h"

#include "tools/skingen/iconpainter.h"
#include "tools/skingen/shapes.h"
#include "tools/skingen/skinpalette.h"
#include "tools/skingen/skintext.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace SkinPalette;

struct CButtonPainter::CLook {
    QColor top, bottom, edge, glyph; // the glyph colour is also the label's
    std::optional<QColor> icon;      // a glyph of its own colour
    std::optional<QColor> rim; // the top edge: light on a raised key, dark on a pressed one
    std::optional<QColor> glow; // the lit inner edge of a latched key
    double sink = 0;            // how far the content moves down on a pressed key
};

namespace {

QPainterPath Face(const QRectF& face) { return RoundRectPath(face, face.height() >= 28 ? 5.0 : 4.0); }

// Strokes the key's outline one pixel inside, on its upper part only.
void StrokeUpperRim(QPainter& painter, const QRectF& face, const QColor& colour)
{
    painter.save();
    painter.setClipRect(QRectF(face.x(), face.y(), face.width(), face.height() * 0.45));
    painter.setPen(QPen(colour, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Face(face.adjusted(1, 1, -1, -1)));
    painter.restore();
}

constexpr double WIDE_KEY = 150;

double IconSide(const CButtonDef& button)
{
    const double side = std::min(button.rect.width(), button.rect.height());
    switch (button.icon) {
    case EIcon::Grid1:
    case EIcon::Grid4:
    case EIcon::Grid9:
    case EIcon::Grid16: return std::round(side * 0.62);
    default: break;
    }
    if (button.kind == EButtonKind::Lamp)
        return std::round(side * 0.52);
    if (!button.text.isEmpty())
        return std::min(16.0, std::round(side * 0.5));
    return std::min(18.0, std::round(side * 0.5));
}

} // namespace

QImage CButtonPainter::Paint(const CButtonDef& button, EButtonState state, const QImage& ground)
{
    QImage image = ground.copy(QRect(QPoint(0, 0), button.rect.size())).convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (button.kind == EButtonKind::Lamp) {
        PaintLamp(painter, face, button, state != EButtonState::Disabled);
        return image;
    }
    const CLook look = LookOf(button, state);
    PaintKey(painter, face, look);
    PaintContent(painter, face, button, look);
    return image;
}

CButtonPainter::CLook CButtonPainter::LookOf(const CButtonDef& button, EButtonState state)
{
    const bool records = button.kind == EButtonKind::Export;
    const QColor accent = records ? RECORD : ACCENT;
    const QColor deep = records ? RECORD_DEEP : ACCENT_DEEP;
    // A record key shows its red dot whenever it can be pressed.
    const std::optional<QColor> dot = button.icon == EIcon::Record ? std::optional<QColor>(RECORD) : std::nullopt;
    const CLook raised{KEY_TOP, KEY_BOTTOM, KEY_EDGE, GLYPH, dot, WithAlpha(Qt::white, 30), {}, 0};
    const CLook pressed{KEY_PRESSED_TOP, KEY_PRESSED_BOTTOM, KEY_EDGE, accent, dot, WithAlpha(Qt::black, 150), {}, 1};
    switch (state) {
    case EButtonState::Normal: return raised;
    case EButtonState::Down: return pressed;
    case EButtonState::Latched:
        return {Mixed(KEY_PRESSED_TOP, accent, 0.10), Mixed(KEY_PRESSED_BOTTOM, accent, 0.16), deep, accent, {}, {},
                WithAlpha(accent, 110), 1};
    case EButtonState::Disabled: break;
    }
    // The player disables the transport key of the running state: it should look held in.
    if (button.kind == EButtonKind::Navigation)
        return {KEY_PRESSED_TOP, KEY_PRESSED_BOTTOM, KEY_EDGE, GLYPH_ENGAGED, {}, WithAlpha(Qt::black, 150), {}, 1};
    return {KEY_DISABLED, KEY_DISABLED, KEY_EDGE, GLYPH_DISABLED, {}, {}, {}, 0};
}

void CButtonPainter::PaintKey(QPainter& painter, const QRectF& face, const CLook& look)
{
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(Face(face));
    if (look.rim)
        StrokeUpperRim(painter, face, *look.rim);
    if (look.glow) {
        painter.setPen(QPen(*look.glow, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Face(face.adjusted(1, 1, -1, -1)));
    }
    painter.setPen(QPen(look.edge, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Face(face));
}

void CButtonPainter::PaintContent(QPainter& painter, const QRectF& face, const CButtonDef& button, const CLook& look)
{
    const QRectF area = face.translated(0, look.sink);
    const bool glowing = look.glow.has_value();
    if (button.icon == EIcon::None) {
        CSkinText::Draw(painter, area, button.text, CSkinText::KeyNumber(), look.glyph, Qt::AlignCenter);
        return;
    }
    const double side = IconSide(button);
    QRectF icon(0, 0, side, side);
    if (button.text.isEmpty()) {
        icon.moveCenter(area.center());
    } else {
        // Glyph and label centred together; on a wide key they start at its left, as
        // in a list.
        const QFont font = CSkinText::KeyLabel();
        const double gap = 8;
        const double width = side + gap + CSkinText::Width(button.text, font);
        const double left = area.width() >= WIDE_KEY ? area.x() + 12 : area.center().x() - width / 2;
        icon.moveTopLeft(QPointF(left, area.center().y() - side / 2));
        const QRectF label(icon.right() + gap, area.y(), width, area.height());
        CSkinText::Draw(painter, label, button.text, font, look.glyph, Qt::AlignLeft | Qt::AlignVCenter);
    }
    const QColor colour = look.icon.value_or(look.glyph);
    if (glowing)
        CIconPainter::PaintGlowing(painter, button.icon, icon, colour);
    else
        CIconPainter::Paint(painter, button.icon, icon, colour);
}

void CButtonPainter::PaintLamp(QPainter& painter, const QRectF& face, const CButtonDef& button, bool lit)
{
    const QPainterPath bezel = Face(face);
    painter.setPen(Qt::NoPen);
    painter.setBrush(WELL);
    painter.drawPath(bezel);
    if (lit) {
        QRadialGradient glow(face.center(), face.width() * 0.55);
        glow.setColorAt(0, WithAlpha(ACCENT, 56));
        glow.setColorAt(1, WithAlpha(ACCENT, 6));
        painter.setBrush(glow);
        painter.drawPath(bezel);
    }
    painter.setPen(QPen(lit ? ACCENT_DEEP : KEY_EDGE, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(bezel);

    const double side = IconSide(button);
    QRectF icon(0, 0, side, side);
    icon.moveCenter(face.center());
    if (lit)
        CIconPainter::PaintGlowing(painter, button.icon, icon, Mixed(ACCENT, Qt::white, 0.18));
    else
        CIconPainter::Paint(painter, button.icon, icon, GLYPH_UNLIT);
}

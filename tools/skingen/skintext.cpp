#include "tools/skingen/skintext.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

QFont Sans(int pixels, QFont::Weight weight, double spacing = 0)
{
    // The same family the player's "Arial" resolves to, so skin and player texts match.
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferFullHinting);
    if (spacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

} // namespace

QFont CSkinText::KeyNumber() { return Sans(12, QFont::Bold); }
QFont CSkinText::KeyLabel() { return Sans(12, QFont::Bold); }
QFont CSkinText::CardLabel() { return Sans(9, QFont::Bold, 1.2); }
QFont CSkinText::Note() { return Sans(11, QFont::Normal); }
QFont CSkinText::Logo(bool bold) { return Sans(18, bold ? QFont::Black : QFont::Normal); }

double CSkinText::Width(const QString& text, const QFont& font) { return QFontMetricsF(font).horizontalAdvance(text); }

void CSkinText::Draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& colour, Qt::Alignment alignment)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, int(alignment), text);
    painter.restore();
}

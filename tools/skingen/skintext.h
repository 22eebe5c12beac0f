#pragma once

#include <QFont>
#include <Qt>

class QColor;
class QPainter;
class QRectF;
class QString;

// The type of the skin: one sans-serif family in a few sizes.
class CSkinText {
public:
    static QFont KeyNumber(); // the numbers on the channel keys
    static QFont KeyLabel();  // a word beside a glyph
    static QFont CardLabel(); // the small spaced capitals that head a card
    static QFont Note();      // a line of explanation
    static QFont Logo(bool bold);

    static double Width(const QString& text, const QFont& font);
    static void Draw(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& colour, Qt::Alignment alignment);
};

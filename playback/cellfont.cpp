#include "playback/cellfont.h"

#include <QFontMetricsF>

QFont MakeCellFont(int height, int width)
{
    QFont font("Arial");
    font.setWeight(QFont::Bold);
    font.setPixelSize(height);
    const QFontMetricsF cell(font);
    font.setPixelSize(qMax(1, qRound(height * height / cell.height())));
    const QFontMetricsF sized(font);
    if (sized.averageCharWidth() > 0)
        font.setStretch(qBound(1, qRound(100.0 * width / sized.averageCharWidth()), 4000));
    return font;
}

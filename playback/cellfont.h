#pragma once

#include <QFont>

// A bold Arial of the desktop's font-cell metrics: `height` is the character cell's
// height and `width` the average character width, both in pixels. The skin's texts
// are all drawn in fonts made so. Needs a QGuiApplication.
QFont MakeCellFont(int height, int width);

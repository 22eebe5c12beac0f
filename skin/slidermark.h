#pragma once

#include <QColor>
#include <QString>

#include <vector>

// One mark over the position slider: a stretch of slider positions (the 0..710
// scale a click seeks to, which is also the pixel it is drawn at), its colour, and
// what hovering over it says ("no recording 14:02:10 – 14:05:00").
struct CSliderMark {
    int m_nFrom = 0; // first position
    int m_nTo = 0;   // last position, inclusive; m_nTo == m_nFrom is a one-pixel tick
    QColor m_colour;
    QString m_text;
};

// Who sets a set of marks. Each layer is replaced whole by its owner and drawn in
// this order, so a bookmark stays visible over a gap and the in/out range over both.
enum class ESliderMarkLayer { Evidence, Bookmarks, InOut, Count };

using CSliderMarks = std::vector<CSliderMark>;

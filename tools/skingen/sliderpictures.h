#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// The slider's two pictures. The player stretches the track picture's top-left 8 x 8
// block over the whole control and copies the thumb's left 18 columns, as high as
// the control, on top; so the track is a profile of rows: ground, a thin rail, ground.
class CSliderPictures {
public:
    static constexpr int HEIGHT = 16; // the slider control's height in this skin
    static constexpr int THUMB_WIDTH = 18;
    static inline const QColor RAIL{44, 48, 55};

    static QImage Track();
    static QImage Thumb();
    // Where the rail runs in a slider control placed at `slider`.
    static QRect Rail(const QRect& slider);

private:
    static constexpr int BLOCK = 8;
};

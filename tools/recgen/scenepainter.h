#pragma once

#include "recording/datetime.h"

#include <QImage>

// Draws the picture a camera of the test recorder sees: a scene of its own colour
// with a moving object, the camera's number and the time, so a person watching can
// tell the channels apart and see time move. The top rows carry what the recorder
// draws there: the channel's bar code and the row mark.
class CScenePainter {
public:
    static QImage Paint(int width, int height, int channel, int frame, const CDateTime& time);
    // A scene that does not move: the background, a building, the camera's number and,
    // with `clock`, the time; and the recorder's marks.
    static QImage PaintStill(int width, int height, int channel, const CDateTime& time, bool clock);
    // A dark striped box at `box` (pixels) over the scene.
    static void DrawBox(QImage& image, const QRect& box);
    // Below the recorder's marks: every pixel brighter by `levels`, then each moved by
    // up to `noise` at random (the same on its three colours, so its luma moves).
    static void AddLightAndNoise(QImage& image, int levels, int noise, uint32_t seed);

    // The scene's background colour of a channel. Right of 85 % of the width and
    // between 15 % and 50 % of the height the scene shows nothing else.
    static QColor BackgroundColour(int channel);

    // The recorder's marks alone, for tests that draw their own pictures. `image`
    // must be RGB888 and at least 8 rows high.
    static void DrawChannelCode(QImage& image, int channel);
    static void DrawRowMark(QImage& image);
};

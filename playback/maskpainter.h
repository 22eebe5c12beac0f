#pragma once

#include "playback/privacymaskset.h"

#include <QImage>
#include <QRect>

#include <algorithm>

// Hides a camera's masked areas in an output picture: the exported frame after its crop
// and scale and before its stamp, a mosaic's tile, a still. Never the screen.
//
//  - solid: every pixel of the shape takes one colour;
//  - pixelate: blocks of at least 1/24 of the picture's width, on a grid fixed to the
//    picture so that a moving mask does not shimmer, each the mean of its block;
//  - blur: the means of blocks of at least 1/12 of the width and half the box's smaller
//    side, smoothed between block centres: no detail smaller than a block survives.
//
// Works on the pixels' bytes, so any 3- or 4-byte format will do. Stateless; any thread.
class CMaskPainter {
public:
    static constexpr QRgb SOLID_COLOUR = 0xFF808080;

    // The masks of `channel` (from 1) active at `seconds` (CPrivacyMaskSet::SecondsOf).
    // `bottomUp`: the image's rows are stored bottom-up, as the export's buffer is.
    static void Paint(QImage& image, const CPrivacyMaskSet& set, int channel, double seconds, bool bottomUp = false);
    // One shape in pixels, rows as stored.
    static void PaintShape(QImage& image, EMaskShape shape, EMaskStyle style, const QRect& box);
    // A box of fractions in the image's pixels, rows as stored.
    static QRect PixelBox(const QRectF& box, QSize size, bool bottomUp = false);

    static int PixelateBlock(int width) { return (width + 23) / 24; }
    // Blur blocks: 1/12 of the width, and at least half the box's smaller side, so
    // that a large box holds no more than a few of them either way.
    static int BlurBlock(int width, const QRect& box) { return std::max((width + 11) / 12, std::min(box.width(), box.height()) / 2); }
};

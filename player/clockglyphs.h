#pragma once

#include <QRect>

#include <vector>

// One piece of the clock: `width` pixels from x `stripX` of the clock strip, drawn
// at window x `x`.
struct CClockGlyph {
    int x;
    int stripX;
    int width;
};

// The clock reads the time of day in 12-hour form from the skin's digit strip:
// digits 9 pixels wide at x = 9 x digit, the colon at 90, AM at 96, PM at 115.
inline constexpr int CLOCK_Y = 76;
inline constexpr int CLOCK_HEIGHT = 12;
// The window rectangle the clock is drawn in, repainted every second.
inline constexpr QRect CLOCK_RECT(790, CLOCK_Y, 110, 13);

std::vector<CClockGlyph> ClockGlyphs(int hour, int minute, int second);

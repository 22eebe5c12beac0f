#include "player/clockglyphs.h"

namespace {
constexpr int DIGIT_WIDTH = 9;
constexpr int COLON_STRIP_X = 90, COLON_WIDTH = 6;
constexpr int AM_STRIP_X = 96, PM_STRIP_X = 115, SIGN_WIDTH = 19;
constexpr int SIGN_X = 870;
} // namespace

std::vector<CClockGlyph> ClockGlyphs(int hour, int minute, int second)
{
    std::vector<CClockGlyph> glyphs;
    glyphs.push_back({SIGN_X, hour < 12 ? AM_STRIP_X : PM_STRIP_X, SIGN_WIDTH});
    if (hour >= 12)
        hour -= 12;
    auto digits = [&](int value, int x) {
        glyphs.push_back({x, DIGIT_WIDTH * (value / 10), DIGIT_WIDTH});
        glyphs.push_back({x + DIGIT_WIDTH, DIGIT_WIDTH * (value % 10), DIGIT_WIDTH});
    };
    digits(hour, 796);
    glyphs.push_back({815, COLON_STRIP_X, COLON_WIDTH});
    digits(minute, 822);
    glyphs.push_back({841, COLON_STRIP_X, COLON_WIDTH});
    digits(second, 848);
    return glyphs;
}

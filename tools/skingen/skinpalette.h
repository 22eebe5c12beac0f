#pragma once

#include <QColor>

// The colours of the default skin. Dark neutral surfaces, one warm accent for what
// is lit, active or latched, and red for a running export.
namespace SkinPalette {

inline const QColor WINDOW(14, 16, 19);       // the window's own ground
inline const QColor WINDOW_EDGE(44, 48, 55);  // one-pixel outline of the borderless window
inline const QColor TITLE_TOP(29, 32, 37);    // title strip, top of its gradient
inline const QColor TITLE_BOTTOM(21, 23, 27); // title strip, bottom of its gradient

// Cards are exactly the grey on which the player draws its time texts opaquely, so
// the texts sit on the card without a visible box.
inline const QColor CARD(24, 24, 24);
inline const QColor CARD_EDGE(37, 40, 45);
inline const QColor CARD_LABEL(112, 118, 128);

inline const QColor KEY_TOP(45, 50, 58);
inline const QColor KEY_BOTTOM(34, 38, 45);
inline const QColor KEY_EDGE(8, 9, 11);
inline const QColor KEY_PRESSED_TOP(17, 19, 22);
inline const QColor KEY_PRESSED_BOTTOM(24, 26, 30);
inline const QColor KEY_DISABLED(29, 32, 37);

inline const QColor GLYPH(222, 226, 232);
inline const QColor GLYPH_ENGAGED(141, 147, 157); // a navigation key held in by its active state
inline const QColor GLYPH_DISABLED(72, 77, 85);
inline const QColor GLYPH_UNLIT(58, 62, 69); // a dark lamp's symbol

inline const QColor ACCENT(255, 178, 62);
inline const QColor ACCENT_DEEP(122, 82, 22);
inline const QColor RECORD(255, 84, 72);
inline const QColor RECORD_DEEP(120, 30, 26);

inline const QColor WELL(5, 6, 8);           // video area, lamp and field surrounds
inline const QColor WELL_LIGHT(40, 44, 50);  // the lit lower edge of a recess
inline const QColor TILE_GROUND(17, 20, 24); // an empty camera tile
inline const QColor TILE_GLYPH(44, 50, 58);

// What the player paints itself, reproduced by the preview.
inline const QColor TIME_TEXT(0xAC, 0xAC, 0xAB);
inline const QColor TIME_CAPTION(0x80, 0x80, 0x00);
inline const QColor TIME_GROUND(0x18, 0x18, 0x18);
inline const QColor FIELD_TEXT(41, 42, 42);
inline const QColor FIELD_GROUND(163, 164, 164);
inline const QColor TILE_BORDER(6, 7, 9);

inline QColor WithAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// `a` moved the fraction `t` of the way towards `b`.
inline QColor Mixed(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace SkinPalette

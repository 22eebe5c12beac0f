#pragma once

#include "skin/skinbutton.h"

#include <QColor>

// The colours the player draws its own texts and controls in over the skin: the time
// panel's light grey on its dark ground, the captions' olive, and the value fields'
// dark text on light grey, and the accent of what is lit.
namespace panel {
inline const QColor TEXT(0xAC, 0xAC, 0xAB);
inline const QColor GROUND(0x18, 0x18, 0x18);
inline const QColor CAPTION(0x80, 0x80, 0x00);
inline const QColor FIELD_TEXT(41, 42, 42);
inline const QColor FIELD_GROUND(163, 164, 164);
// What is on: a lit switch, the speaker while sound plays, the level; the colour a
// lit key is outlined in.
inline const QColor LIT = CSkinButton::LIT_OUTLINE;
} // namespace panel

#pragma once

#include "skin/skinbutton.h"

#include <QColor>
#include <QString>

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

// The style sheet of a tool window of rows beside the player (the activity, bookmark
// and mask lists), named `objectName`: the time panel's colours, captions in olive.
inline QString ListWindowStyle(const QString& objectName)
{
    return QString("QWidget#%1, QTreeWidget { background: %2; color: %3; }"
                   "QHeaderView::section { background: %2; color: %4; border: none; padding: 2px; }")
        .arg(objectName, GROUND.name(), TEXT.name(), CAPTION.name());
}
} // namespace panel

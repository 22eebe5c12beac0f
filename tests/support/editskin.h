#pragma once

#include <QColor>
#include <QRect>
#include <QString>

// The snapshot editor's part of a test skin: backgrounds of plain colours, the
// picture where the player's is, and every text and button at a rectangle of its own.
namespace editskin {

inline const QPoint PICTURE_ORIGIN(56, 60);
inline const QColor NTSC_GROUND(30, 60, 90);
inline const QColor PAL_GROUND(90, 60, 30);
inline const QRect SAVE_RECT(60, 560, 80, 30);
inline const QRect SAVE_OK_RECT(790, 200, 150, 14);

// Writes the editor's pictures into `folder` and returns the res.ini lines that name them.
QString Write(const QString& folder);

} // namespace editskin

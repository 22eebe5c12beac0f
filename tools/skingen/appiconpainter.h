#pragma once

#include <QImage>
#include <QString>

// The application's icon for the desktop's menus and file manager: four camera tiles
// on the player's dark ground, with the player's emblem in front.
class CAppIconPainter {
public:
    static QImage Paint(int size);
    // Writes the icon in every size the desktop's icon theme asks for, as
    // DIR/hicolor/NxN/apps/NAME.png. False when a file could not be written.
    static bool WriteThemeIcons(const QString& folder, const QString& name);
};

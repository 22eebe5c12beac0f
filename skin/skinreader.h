#pragma once

#include "skin/profilefile.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <optional>
#include <string>

// The file names of a skin button's four pictures (normal, down, latched, disabled);
// empty where the skin has none.
struct CButtonImageNames {
    std::array<QString, 4> m_names;
};

// Reads the skin description of one window: rectangles (with the window's PAL
// offset), picture files and texts. Runs on the window thread.
class CSkinReader {
public:
    // `palOffset` is what the window adds to a rectangle's top in its PAL layout:
    // 99 for the player, 96 for the edit dialog, 0 for the backup dialog.
    CSkinReader(std::string iniPath, std::string appFolder, int palOffset);

    const CProfileFile& Profile() const { return m_profile; }
    const std::string& AppFolder() const { return m_strAppFolder; }

    // A rectangle value "<x><y><w><h>"; a missing key reads as (0, 0, 20, 10).
    QRect LoadSkinRect(const std::string& section, const std::string& key, bool pal) const;
    // The same for a place that skins made before it existed lack: nothing then, for
    // the caller to lay it out from the places the skin has.
    std::optional<QRect> FindSkinRect(const std::string& section, const std::string& key, bool pal) const;

    // A window background or picture: the three standard greys of the file are shown
    // in the desktop's 3-D shadow, face and light colours. A null image when the
    // value is missing or the file cannot be read.
    QImage LoadSkinBitmap(const std::string& section, const std::string& key) const;

    // The four picture names of a button's image section; a value whose first
    // character is an upper-case E ("EMPTY") means no picture. The dialogs have no
    // latched picture (`withLatched` false).
    CButtonImageNames ReadButtonImages(const std::string& section, bool withLatched) const;

    // Where a picture value is looked for: relative names in the program folder
    // (whatever the current folder is). Values written on the recorder's desktop may
    // use backslashes.
    QString ImagePath(const std::string& value) const;

private:
    CProfileFile m_profile;
    std::string m_strAppFolder;
    int m_nPalOffset;
};

// Parses the rectangle grammar: tokens cut at every '<' and '>', the first four read
// as left, top, width, height; missing or digitless tokens read 0, and numbers
// beyond +-SKIN_COORD_MAX read as that limit.
inline constexpr int SKIN_COORD_MAX = 32767;
QRect ParseSkinRect(const std::string& value);

// The main window's size from POS_SKIN; nothing when the key (or the whole file) is
// missing, in which case the program cannot build its window.
std::optional<QRect> LoadFrameRect(const CProfileFile& profile);

// Shows the desktop's 3-D colours in place of the standard greys of a picture.
QImage MapStandardGreys(QImage image);

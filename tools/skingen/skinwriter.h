#pragma once

#include "tools/skingen/buttonpainter.h"

#include <QImage>
#include <QString>

#include <string>

class CIniText;
class CWindowLayout;

// Writes the default skin into a program folder: res.ini and the bitmaps it names,
// in the folder "skin" beside it.
class CSkinWriter {
public:
    explicit CSkinWriter(QString folder);

    // Everything, or the reason it could not be written.
    bool Write();
    const QString& Error() const { return m_strError; }

    static QString IniPath(const QString& folder);

private:
    void WritePlayer(CIniText& ini);
    void WriteEdit(CIniText& ini);
    void WriteBackup(CIniText& ini);
    void WriteOptions(CIniText& ini);
    static void WriteRects(CIniText& ini, const CWindowLayout& layout);
    // The button pictures of a window whose background is `ntsc` (and `pal`, where
    // some buttons sit lower).
    void WriteButtons(CIniText& ini, const CWindowLayout& layout, const QImage& ntsc, const QImage& pal);
    void CheckGroundMatches(const CWindowLayout& layout, const CButtonDef& button, const QImage& ntsc,
                            const QImage& pal);
    // Saves a window background or picture that the player loads with the desktop's
    // 3-D colours in place of the standard greys, so those greys must not occur.
    std::string SaveMapped(const std::string& name, QImage image);
    // Saves a picture under "skin/" and returns its res.ini value.
    std::string Save(const std::string& name, const QImage& image);
    bool Fail(const QString& error);

    QString m_strFolder;
    QString m_strError;
};

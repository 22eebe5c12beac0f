#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

// What the player view asks of the window that holds it and of the application around
// it: where the program and its skin live, the window's size on the screen, the
// program's title, the recent-file list and the About box. The main frame provides it.
// Window thread only.
class IPlayerFrame {
public:
    // The program folder, with its trailing slash, and the skin description in it.
    virtual const QString& AppFolder() const = 0;
    virtual const QString& IniPath() const = 0;
    // The window size the skin gives.
    virtual QSize SkinSize() const = 0;
    // Sizes the window and centres it on the screen, as a layout switch does.
    virtual void CentreOnScreen(int width, int height) = 0;
    // The caption of the program's messages and windows.
    virtual QString AppTitle() const = 0;
    // The recordings opened last, newest first.
    virtual QStringList RecentFiles() const = 0;
    virtual void AddToRecentFileList(const QString& path) = 0;
    // The modal About box over `parent`.
    virtual void ShowAboutBox(QWidget* parent) = 0;

protected:
    ~IPlayerFrame() = default;
};

#pragma once

#include "player/iplayerframe.h"

#include <QString>
#include <QWidget>

class CKVXPlayerView;

// The program's top-level window: no caption, border or menu, the skin's size,
// centred on the screen and clipped to its region, holding the player view. It finds
// the program folder and the skin description, and refuses to exist without a skin
// size. It gives the view what the view takes from the window and the application.
// Window thread only.
class CMainFrame : public QWidget, public IPlayerFrame {
    Q_OBJECT

public:
    // `appFolder` (with its trailing slash) is the folder of the executable unless given.
    explicit CMainFrame(QString appFolder = QString());
    ~CMainFrame() override;

    // Reads the window size from the skin; without one it tells the user and returns
    // false, and the window must not be shown.
    bool PreCreateWindow();
    // Builds the view inside the frame and runs its first update.
    void CreateView(const QString& commandLine);

    CKVXPlayerView* View() const { return m_pView; }

    // IPlayerFrame
    const QString& AppFolder() const override { return m_strAppFolder; }
    const QString& IniPath() const override { return m_strIniPath; }
    QSize SkinSize() const override { return QSize(m_nSkinWidth, m_nSkinHeight); }
    void CentreOnScreen(int width, int height) override;
    QString AppTitle() const override;
    QStringList RecentFiles() const override;
    void AddToRecentFileList(const QString& path) override;
    void ShowAboutBox(QWidget* parent) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_strIniPath;
    QString m_strAppFolder;
    int m_nSkinWidth = 0;
    int m_nSkinHeight = 0;
    CKVXPlayerView* m_pView = nullptr;
};

inline constexpr const char* APP_TITLE = "KVXPlayer";

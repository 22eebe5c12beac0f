#pragma once

#include <QString>
#include <QWidget>

class CKVXPlayerView;

// The program's top-level window: no caption, border or menu, the skin's size,
// centred on the screen and clipped to its region, holding the player view. It finds
// the program folder and the skin description, and refuses to exist without a skin
// size. Window thread only.
class CMainFrame : public QWidget {
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
    const QString& AppFolder() const { return m_strAppFolder; }
    const QString& IniPath() const { return m_strIniPath; }
    int SkinWidth() const { return m_nSkinWidth; }
    int SkinHeight() const { return m_nSkinHeight; }

    // Centres the frame on the screen at this size, as the layout switch does.
    void CentreOnScreen(int width, int height);

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

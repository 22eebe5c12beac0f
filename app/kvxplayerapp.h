#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;

// The application: settings, the main window with its view, and the recent-file list.
class CKVXPlayerApp {
public:
    CKVXPlayerApp();
    ~CKVXPlayerApp();

    // Builds the window and opens the recording of the command line. False when the
    // program cannot run (no skin): it then ends without a window.
    bool InitInstance(const QStringList& arguments);

    // The four most recent recordings, newest first.
    static QStringList RecentFiles();
    // Puts `path` first. Empty, or a message naming the settings file and why the
    // list could not be saved there.
    static QString AddToRecentFileList(const QString& path);

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};

// The command line as the desktop hands it to a program: the text after the program's
// name, its arguments joined by blanks.
QString CommandLineText(const QStringList& arguments);

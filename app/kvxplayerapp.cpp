#include "app/kvxplayerapp.h"

#include "app/mainframe.h"
#include "player/kvxplayerview.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
constexpr int RECENT_FILES = 4;
const char* const RECENT_GROUP = "Recent File List";
const char* const NAME = "KVXPlayer";
// Earlier versions kept the recent-file list under the window framework's placeholder
// organisation; it is read from there until the list is first saved in its own place.
const char* const FORMER_ORGANISATION = "Local AppWizard-Generated Applications";

// ~/.config/KVXPlayer/KVXPlayer.conf, beside the user's own res.ini.
QSettings Settings()
{
    return QSettings(NAME, NAME);
}

QStringList ReadRecentFiles(QSettings& settings)
{
    settings.beginGroup(RECENT_GROUP);
    QStringList files;
    for (int i = 1; i <= RECENT_FILES; ++i) {
        const QString file = settings.value(QString("File%1").arg(i)).toString();
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

// QSettings saves by renaming a new file over the one it read, but a link in that
// file's place it follows first: the file the link names, a recording perhaps, would
// be the one replaced. Such a link is taken away, so that the save makes a file of
// its own there and whatever the link named stays as it is.
void RemoveLinkInPlaceOf(const QString& settingsFile)
{
    if (QFileInfo(settingsFile).isSymLink())
        QFile::remove(settingsFile);
}
// The icon skingen drew beside the skin, else the installed theme's.
void SetWindowIcon(const QString& appFolder)
{
    const QString beside = appFolder + "skin/kvxplayer.png";
    QApplication::setWindowIcon(QFileInfo::exists(beside) ? QIcon(beside) : QIcon::fromTheme("kvxplayer"));
}
} // namespace

QString CommandLineText(const QStringList& arguments)
{
    return arguments.mid(1).join(' ');
}

CKVXPlayerApp::CKVXPlayerApp()
{
    QCoreApplication::setOrganizationName(NAME);
    QCoreApplication::setApplicationName(NAME);
}

CKVXPlayerApp::~CKVXPlayerApp() = default;

bool CKVXPlayerApp::InitInstance(const QStringList& arguments)
{
    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->PreCreateWindow())
        return false;
    SetWindowIcon(m_pMainFrame->AppFolder());
    m_pMainFrame->CreateView(CommandLineText(arguments));
    const QString opened = m_pMainFrame->View()->FilePath();
    if (!opened.isEmpty())
        m_pMainFrame->AddToRecentFileList(QFileInfo(opened).absoluteFilePath());
    m_pMainFrame->show();
    return true;
}

QStringList CKVXPlayerApp::RecentFiles()
{
    QSettings settings = Settings();
    if (settings.childGroups().contains(RECENT_GROUP))
        return ReadRecentFiles(settings);
    QSettings former(FORMER_ORGANISATION, NAME);
    return ReadRecentFiles(former);
}

QString CKVXPlayerApp::AddToRecentFileList(const QString& path)
{
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    RemoveLinkInPlaceOf(Settings().fileName());
    QSettings settings = Settings();
    settings.beginGroup(RECENT_GROUP);
    for (int i = 1; i <= RECENT_FILES; ++i)
        settings.setValue(QString("File%1").arg(i), i <= files.size() ? files[i - 1] : QString());
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return {};
    return "Can not save the recent files to " + settings.fileName() + "\n"
         + (settings.status() == QSettings::FormatError ? "It is not a settings file." : "It cannot be written.");
}

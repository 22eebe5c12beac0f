#include "platform/outputfolders.h"

#include "platform/nativefilename.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <sys/stat.h>

namespace {

std::optional<bool> g_writableForTest;

QString WithSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

// The user's own folder of a kind, or the home folder where the desktop names none.
QString UserFolder(QStandardPaths::StandardLocation kind)
{
    const QString folder = QStandardPaths::writableLocation(kind);
    return WithSlash(folder.isEmpty() ? QDir::homePath() : folder);
}

} // namespace

COutputFolders::COutputFolders(const QString& programFolder)
    : COutputFolders(programFolder, IsWritable(programFolder))
{
}

COutputFolders::COutputFolders(const QString& programFolder, bool programFolderWritable)
    : m_bInProgramFolder(programFolderWritable)
{
    const QString program = WithSlash(programFolder);
    if (m_bInProgramFolder) {
        m_strAvi = program + "avi/";
        m_strBackup = program + "Backup/";
        m_strOptions = program + "res.ini";
    } else {
        m_strAvi = UserFolder(QStandardPaths::MoviesLocation) + "KVXPlayer/avi/";
        m_strBackup = UserFolder(QStandardPaths::PicturesLocation) + "KVXPlayer/Backup/";
        m_strOptions = UserSettingsFolder() + "res.ini";
    }
}

// Made from the name's own bytes: a folder whose name is not UTF-8 is the one the
// user named, not a new one that Qt's decoding would name with U+FFFD. A part that
// exists already or cannot be made shows in the last check.
bool COutputFolders::Ensure(const QString& folder)
{
    const QByteArray path = CNativeFileName::Encode(folder);
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0777);
    ::mkdir(path.constData(), 0777);
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString COutputFolders::UserSettingsFolder()
{
    return WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)) + "KVXPlayer/";
}

void COutputFolders::SetWritableForTest(std::optional<bool> writable)
{
    g_writableForTest = writable;
}

bool COutputFolders::IsWritable(const QString& folder)
{
    if (g_writableForTest)
        return *g_writableForTest;
    QTemporaryFile probe(WithSlash(folder) + ".kvxplayer-write-test-XXXXXX");
    return probe.open();
}

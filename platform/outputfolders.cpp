#include "platform/outputfolders.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

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
        m_strOptions = WithSlash(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)) + "res.ini";
    }
}

bool COutputFolders::Ensure(const QString& folder)
{
    return QDir().mkpath(folder);
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

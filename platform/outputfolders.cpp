#include "platform/outputfolders.h"

#include "platform/nativefilename.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
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

bool COutputFolders::Ensure(const QString& folder)
{
    QString reason;
    return Ensure(folder, reason);
}

// Made from the name's own bytes: a folder whose name is not UTF-8 is the one the
// user named, not a new one that Qt's decoding would name with U+FFFD. A part that
// exists already or cannot be made shows in the last check. The first refusal on the
// way down is the one that explains the rest; a file standing where a folder must be
// is named as such, not as the system's "File exists".
bool COutputFolders::Ensure(const QString& folder, QString& reason)
{
    const QByteArray path = CNativeFileName::Encode(folder);
    int refusal = 0;
    const auto make = [&refusal](const QByteArray& part) {
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST && refusal == 0)
            refusal = errno;
    };
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        make(path.left(slash));
    make(path);
    struct stat st;
    if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    const bool blocked = refusal == 0 || refusal == ENOTDIR;
    reason = blocked ? QString("a file stands where a folder of its path must be")
                     : QString::fromLocal8Bit(std::strerror(refusal));
    return false;
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

#include "evidence/recordingdatafile.h"

#include "platform/outputfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

constexpr int MOST_SET_ASIDE = 1000; // damaged files kept beside one store before the folder is said to be full

} // namespace

CRecordingDataFile::CRecordingDataFile(QString folder, std::string what)
    : m_strFolder(std::move(folder)), m_strWhat(std::move(what))
{
    if (!m_strFolder.endsWith('/'))
        m_strFolder += '/';
}

QString CRecordingDataFile::FolderNamed(const char* name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/KVXPlayer/" + name + "/";
}

void CRecordingDataFile::Bind(const CRecordingIdentity& identity, const std::string& recordingPath)
{
    m_identity = identity;
    m_strRecording = recordingPath;
}

QJsonObject CRecordingDataFile::RecordingJson() const
{
    return {{"size", qint64(m_identity.m_nSize)},
            {"identity", QString::fromStdString(m_identity.Key())},
            {"path", QString::fromStdString(m_strRecording)}};
}

QString CRecordingDataFile::FilePath() const
{
    return m_strFolder + QString::fromStdString(m_identity.Key() + ".json");
}

CRecordingDataFile::ERead CRecordingDataFile::Read(QByteArray& bytes, std::string& message) const
{
    QFile file(FilePath());
    if (!file.exists())
        return ERead::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        message = FilePath().toStdString() + ": the " + m_strWhat + " cannot be read: " + file.errorString().toStdString();
        return ERead::Failed;
    }
    bytes = file.readAll();
    return ERead::Read;
}

// A damaged file may still hold what someone made: it keeps its bytes under a new
// name, and the store starts again beside it.
bool CRecordingDataFile::SetAside(const std::string& reason, std::string& message) const
{
    const QString damaged = FilePath();
    message = damaged.toStdString() + ": damaged " + m_strWhat + " (" + reason + ")";
    for (int n = 1; n <= MOST_SET_ASIDE; ++n) {
        const QString aside = damaged + QString(".damaged-%1").arg(n);
        if (QFile::exists(aside))
            continue;
        // QFile::rename never replaces a file, so a name taken meanwhile fails here.
        if (!QFile::rename(damaged, aside))
            break;
        message += "; set aside as " + aside.toStdString();
        return true;
    }
    message += "; it could not be set aside, so no " + m_strWhat + " can be kept until it is moved";
    return false;
}

bool CRecordingDataFile::Write(const QByteArray& bytes, std::string& error) const
{
    if (!QDir().mkpath(m_strFolder)) {
        error = m_strFolder.toStdString() + ": the folder for " + m_strWhat + " cannot be made";
        return false;
    }
    const std::string path = FilePath().toStdString();
    std::string reason;
    if (COutputFile::ReplaceWholeFile(path, {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())},
                                      reason))
        return true;
    error = path + ": the " + m_strWhat + " cannot be saved: " + reason;
    return false;
}

#include "evidence/maskstore.h"

CMaskStore::CMaskStore(QString folder) : m_file(std::move(folder), "masks") {}

QString CMaskStore::DefaultFolder()
{
    return CRecordingDataFile::FolderNamed("masks");
}

bool CMaskStore::Load(const CRecordingIdentity& identity, const std::string& path, std::string& message)
{
    Unload();
    m_file.Bind(identity, path);
    QByteArray bytes;
    const CRecordingDataFile::ERead read = m_file.Read(bytes, message);
    m_bLoaded = read == CRecordingDataFile::ERead::Missing; // nothing kept yet
    if (read != CRecordingDataFile::ERead::Read)
        return m_bLoaded;
    QString error;
    std::optional<CPrivacyMaskSet> set = CPrivacyMaskSet::FromJson(bytes, error);
    if (!set) {
        m_bLoaded = m_file.SetAside(error.toStdString(), message);
        return false;
    }
    m_set = std::move(*set);
    m_bLoaded = true;
    return true;
}

void CMaskStore::Unload()
{
    m_set = {};
    m_bLoaded = false;
}

bool CMaskStore::Replace(CPrivacyMaskSet set, std::string& error)
{
    if (!m_bLoaded) {
        error = "no masks can be kept for this recording now";
        return false;
    }
    if (!m_file.Write(set.ToJson(), error))
        return false;
    m_set = std::move(set);
    return true;
}

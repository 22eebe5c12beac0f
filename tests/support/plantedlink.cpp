#include "tests/support/plantedlink.h"

#include "platform/sha256.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::optional<std::string> DigestOf(const QString& path)
{
    return Sha256OfFile(QFile::encodeName(path).toStdString());
}

} // namespace

CPlantedLink::CPlantedLink(const QString& recording, const QString& linkPath)
    : m_strRecording(recording), m_strLink(linkPath), m_digest(DigestOf(recording))
{
    m_bPlanted = m_digest && QFile::link(recording, linkPath);
}

bool CPlantedLink::RecordingIntact() const
{
    return m_digest && DigestOf(m_strRecording) == m_digest;
}

bool CPlantedLink::LinkIntact() const
{
    const QFileInfo link(m_strLink);
    return link.isSymLink() && link.canonicalFilePath() == QFileInfo(m_strRecording).canonicalFilePath();
}

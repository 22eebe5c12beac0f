#include "tools/kvxtool/maskoption.h"

#include "platform/nativefilename.h"
#include "tools/kvxtool/optionparser.h"

#include <QFile>

bool CMaskOption::Read(const std::string& file)
{
    m_strFile = file;
    QFile in(CNativeFileName::Decode(QByteArray::fromStdString(file)));
    if (!in.open(QIODevice::ReadOnly))
        return Refuse("--masks " + file, "cannot read it: " + in.errorString().toStdString());
    QString error;
    std::optional<CPrivacyMaskSet> set = CPrivacyMaskSet::FromJson(in.readAll(), error);
    if (!set)
        return Refuse("--masks " + file, error.toStdString());
    m_pMasks = std::make_shared<const CPrivacyMaskSet>(std::move(*set));
    return true;
}

bool CMaskOption::CheckCameras(int channelCount) const
{
    QString error;
    return !m_pMasks || m_pMasks->CheckChannels(channelCount, error) || Refuse("--masks " + m_strFile, error.toStdString());
}

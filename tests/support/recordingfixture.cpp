#include "tests/support/recordingfixture.h"

#include <QFile>
#include <QTest>

CRecordingFixture::CRecordingFixture()
{
    QVERIFY2(m_dir.isValid(), "no temporary folder");
}

std::string CRecordingFixture::PathFor(const char* name) const
{
    return m_dir.filePath(QString::fromUtf8(name)).toStdString();
}

std::string CRecordingFixture::Write(const CRecordingRecipe& recipe)
{
    const std::string path = PathFor(("rec" + std::to_string(++m_nCount) + ".kvx").c_str());
    m_generators.push_back(std::make_unique<CRecordingGenerator>(recipe));
    std::string error;
    if (!m_generators.back()->Write(path, error))
        qFatal("generating a test recording failed: %s", error.c_str());
    return path;
}

std::string CRecordingFixture::WriteBytes(const std::vector<uint8_t>& bytes)
{
    const std::string path = PathFor(("raw" + std::to_string(++m_nCount) + ".kvx").c_str());
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()))
        qFatal("cannot write %s", path.c_str());
    return path;
}

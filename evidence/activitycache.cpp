#include "evidence/activitycache.h"

#include "platform/sha256.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr char MAGIC[8] = {'K', 'V', 'X', 'A', 'C', 'T', 'I', 'X'};
constexpr size_t PICTURE_BYTES = 40;
constexpr size_t SUM_BYTES = 64;       // hex SHA-256 of everything before it

class CWriter {
public:
    void Bytes(const void* data, size_t size)
    {
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    }
    template <class T>
    void Number(T value)
    {
        for (size_t i = 0; i < sizeof(T); ++i)
            m_bytes.push_back(uint8_t(uint64_t(value) >> (8 * i)));
    }
    std::vector<uint8_t>& Data() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

class CReader {
public:
    CReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}
    bool Bytes(void* out, size_t size)
    {
        if (m_nSize - m_nAt < size)
            return false;
        std::copy_n(m_pData + m_nAt, size, static_cast<uint8_t*>(out));
        m_nAt += size;
        return true;
    }
    template <class T>
    bool Number(T& value)
    {
        uint8_t bytes[sizeof(T)];
        if (!Bytes(bytes, sizeof bytes))
            return false;
        uint64_t v = 0;
        for (size_t i = sizeof(T); i-- > 0;)
            v = v << 8 | bytes[i];
        value = T(v);
        return true;
    }
    size_t Left() const { return m_nSize - m_nAt; }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nAt = 0;
};

std::string HexSum(const uint8_t* data, size_t size)
{
    CSha256 sum;
    sum.Add(data, size);
    return sum.HexDigest();
}

void WritePicture(CWriter& out, const CActivityPicture& p)
{
    out.Number(p.m_nOffset);
    out.Number(p.m_nSeconds);
    out.Number(p.m_nChannel);
    out.Number(p.m_nScore);
    out.Number(p.m_nFlags);
    out.Number(uint8_t(0));
    for (uint64_t word : p.m_cells)
        out.Number(word);
}

bool ReadPicture(CReader& in, CActivityPicture& p)
{
    uint8_t padding = 0;
    return in.Number(p.m_nOffset) && in.Number(p.m_nSeconds) && in.Number(p.m_nChannel) && in.Number(p.m_nScore)
        && in.Number(p.m_nFlags) && in.Number(padding) && in.Number(p.m_cells[0]) && in.Number(p.m_cells[1])
        && in.Number(p.m_cells[2]);
}

// Everything after the sum's check: the header, then the pictures. Empty when it is not what it says.
std::string ParseBody(CReader& in, const CRecordingIdentity& key, int channelCount, CActivityIndex& index)
{
    char magic[sizeof MAGIC];
    uint32_t version = 0, channels = 0, pathLength = 0;
    CRecordingIdentity stored;
    if (!in.Bytes(magic, sizeof magic) || !std::equal(magic, magic + sizeof magic, MAGIC))
        return "not an activity index";
    if (!in.Number(version) || version != CActivityCache::FORMAT_VERSION)
        return "made by another version (" + std::to_string(version) + ")";
    if (!in.Number(stored.m_nSize) || !in.Bytes(stored.m_hash.data(), stored.m_hash.size()) || !(stored == key))
        return "foreign: it belongs to another recording";
    std::string path;
    uint64_t pictures = 0, undecodable = 0;
    if (!in.Number(channels) || int(channels) != channelCount || !in.Number(pathLength) || pathLength > in.Left())
        return "damaged header";
    path.resize(pathLength);
    if (!in.Bytes(path.data(), pathLength) || !in.Number(undecodable) || !in.Number(pictures)
        || pictures * PICTURE_BYTES != in.Left())
        return "damaged header";
    CActivityIndex read(channelCount);
    read.SetUndecodableCount(undecodable);
    for (uint64_t i = 0; i < pictures; ++i) {
        CActivityPicture p;
        if (!ReadPicture(in, p) || p.m_nChannel >= channels || p.m_nScore > CActivityPicture::CELLS)
            return "damaged picture entry";
        read.Append(p);
    }
    index = std::move(read);
    return {};
}

} // namespace

CActivityCache::CActivityCache(QString folder) : m_strFolder(std::move(folder))
{
    if (!m_strFolder.endsWith('/'))
        m_strFolder += '/';
}

QString CActivityCache::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/KVXPlayer/activity/";
}

QString CActivityCache::PathFor(const CRecordingIdentity& key) const
{
    return m_strFolder + QString::fromStdString(key.Key() + ".kvxact");
}

CActivityCache::ELoad CActivityCache::Load(const CRecordingIdentity& key, int channelCount, CActivityIndex& index,
                                           std::string& reason) const
{
    QFile file(PathFor(key));
    if (!file.exists())
        return ELoad::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        reason = "cannot be read: " + file.errorString().toStdString();
        return ELoad::Missing;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const size_t body = bytes.size() > qsizetype(SUM_BYTES) ? size_t(bytes.size()) - SUM_BYTES : 0;
    if (body == 0 || HexSum(data, body) != std::string(bytes.constData() + body, SUM_BYTES))
        reason = "damaged: its sum does not match";
    else {
        CReader in(data, body);
        reason = ParseBody(in, key, channelCount, index);
    }
    if (reason.empty())
        return ELoad::Hit;
    QFile::remove(file.fileName());
    return ELoad::Discarded;
}

bool CActivityCache::Save(const CRecordingIdentity& key, const std::string& recording, const CActivityIndex& index,
                          std::string& error) const
{
    CWriter out;
    out.Bytes(MAGIC, sizeof MAGIC);
    out.Number(FORMAT_VERSION);
    out.Number(key.m_nSize);
    out.Bytes(key.m_hash.data(), key.m_hash.size());
    out.Number(uint32_t(index.ChannelCount()));
    out.Number(uint32_t(recording.size()));
    out.Bytes(recording.data(), recording.size());
    out.Number(index.UndecodableCount());
    out.Number(index.PictureCount());
    for (int channel = 0; channel < index.ChannelCount(); ++channel)
        for (const CActivityPicture& p : index.Pictures(channel))
            WritePicture(out, p);
    const std::string sum = HexSum(out.Data().data(), out.Data().size());
    out.Bytes(sum.data(), sum.size());

    if (!QDir().mkpath(m_strFolder)) {
        error = m_strFolder.toStdString() + ": the folder cannot be made";
        return false;
    }
    // A name of its own, created new, so that two writers never share a half-written file.
    const QString temporary = PathFor(key) + QString(".%1.part").arg(std::random_device()(), 8, 16, QChar('0'));
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = temporary.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    const auto size = qint64(out.Data().size());
    const bool written = file.write(reinterpret_cast<const char*>(out.Data().data()), size) == size && file.flush();
    file.close();
    if (written && std::rename(temporary.toLocal8Bit().constData(), PathFor(key).toLocal8Bit().constData()) == 0)
        return true;
    error = PathFor(key).toStdString() + ": " + (written ? "cannot be renamed into place" : "cannot be written");
    QFile::remove(temporary);
    return false;
}

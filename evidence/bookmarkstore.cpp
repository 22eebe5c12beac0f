#include "evidence/bookmarkstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr int MOST_CAMERAS = 16;

QJsonObject ToJson(const CBookmark& b)
{
    return {{"offset", qint64(b.m_nOffset)},
            {"time", QString::fromStdString(b.m_time.ToIsoString())},
            {"camera", b.m_nCamera},
            {"note", QString::fromStdString(b.m_strNote)}};
}

bool IsCount(const QJsonValue& v)
{
    return v.isDouble() && v.toDouble() >= 0 && v.toDouble() == double(v.toInteger());
}

// One entry, or the reason it is not one.
std::string FromJson(const QJsonValue& value, uint64_t size, CBookmark& b)
{
    const QJsonObject o = value.toObject();
    if (!value.isObject() || !IsCount(o["offset"]) || !o["time"].isString() || !IsCount(o["camera"])
        || !o["note"].isString())
        return "an entry lacks its offset, time, camera or note";
    b.m_nOffset = uint64_t(o["offset"].toInteger());
    b.m_time = CDateTime::FromIsoString(o["time"].toString().toStdString());
    b.m_nCamera = int(o["camera"].toInteger());
    b.m_strNote = o["note"].toString().toStdString();
    if (b.m_nOffset >= size)
        return "an entry's offset " + std::to_string(b.m_nOffset) + " lies beyond the recording's end";
    if (b.m_nCamera > MOST_CAMERAS)
        return "an entry names camera " + std::to_string(b.m_nCamera);
    if (!b.m_time.IsValid() && !o["time"].toString().isEmpty())
        return "an entry's time is not a date-time";
    return {};
}

// The bookmarks `bytes` hold for `identity`, or the reason they are not bookmarks.
std::string Parse(const QByteArray& bytes, const CRecordingIdentity& identity, CBookmarks& bookmarks)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return "not JSON (" + error.errorString().toStdString() + " at byte " + std::to_string(error.offset) + ")";
    const QJsonObject root = document.object();
    if (root["format"].toInt() != CBookmarkStore::FORMAT_VERSION)
        return "not bookmarks of this program's format";
    if (root["recording"].toObject()["identity"].toString().toStdString() != identity.Key())
        return "it names another recording";
    if (!root["bookmarks"].isArray())
        return "it has no list of bookmarks";
    CBookmarks read;
    for (const QJsonValue& entry : root["bookmarks"].toArray()) {
        const std::string reason = FromJson(entry, identity.m_nSize, read.emplace_back());
        if (!reason.empty())
            return reason;
    }
    bookmarks = std::move(read);
    return {};
}

bool ByOffset(const CBookmark& a, const CBookmark& b)
{
    return a.m_nOffset < b.m_nOffset;
}

} // namespace

CBookmarkStore::CBookmarkStore(QString folder) : m_file(std::move(folder), "bookmarks") {}

QString CBookmarkStore::DefaultFolder()
{
    return CRecordingDataFile::FolderNamed("bookmarks");
}

bool CBookmarkStore::Load(const std::string& path, std::string& message)
{
    Unload();
    const std::optional<CRecordingIdentity> identity = CRecordingIdentity::Of(path, message);
    return identity && Load(*identity, path, message);
}

bool CBookmarkStore::Load(const CRecordingIdentity& identity, const std::string& path, std::string& message)
{
    Unload();
    m_file.Bind(identity, path);
    return LoadFile(message);
}

void CBookmarkStore::Unload()
{
    m_bookmarks.clear();
    m_bLoaded = false;
}

bool CBookmarkStore::LoadFile(std::string& message)
{
    QByteArray bytes;
    const CRecordingDataFile::ERead read = m_file.Read(bytes, message);
    m_bLoaded = read == CRecordingDataFile::ERead::Missing; // nothing kept yet
    if (read != CRecordingDataFile::ERead::Read)
        return m_bLoaded;
    const std::string reason = Parse(bytes, m_file.Identity(), m_bookmarks);
    if (!reason.empty()) {
        m_bLoaded = m_file.SetAside(reason, message);
        return false;
    }
    std::stable_sort(m_bookmarks.begin(), m_bookmarks.end(), ByOffset);
    m_bLoaded = true;
    return true;
}

CBookmarks CBookmarkStore::BookmarksOf(const std::string& path, std::string& message)
{
    CBookmarkStore store;
    store.Load(path, message);
    return store.Bookmarks();
}

template <class F>
bool CBookmarkStore::Change(F change, std::string& error)
{
    if (!m_bLoaded) {
        error = "no bookmarks can be kept for this recording now";
        return false;
    }
    const CBookmarks before = m_bookmarks;
    change();
    if (Save(error))
        return true;
    m_bookmarks = before;
    return false;
}

bool CBookmarkStore::Add(const CBookmark& bookmark, std::string& error)
{
    return Change(
        [&] {
            const auto at = std::upper_bound(m_bookmarks.begin(), m_bookmarks.end(), bookmark, ByOffset);
            m_bookmarks.insert(at, bookmark);
        },
        error);
}

bool CBookmarkStore::Remove(size_t index, std::string& error)
{
    if (index >= m_bookmarks.size()) {
        error = "there is no bookmark " + std::to_string(index + 1);
        return false;
    }
    return Change([&] { m_bookmarks.erase(m_bookmarks.begin() + std::ptrdiff_t(index)); }, error);
}

bool CBookmarkStore::SetNote(size_t index, const std::string& note, std::string& error)
{
    if (index >= m_bookmarks.size()) {
        error = "there is no bookmark " + std::to_string(index + 1);
        return false;
    }
    return Change([&] { m_bookmarks[index].m_strNote = note; }, error);
}

bool CBookmarkStore::Save(std::string& error) const
{
    QJsonArray entries;
    for (const CBookmark& b : m_bookmarks)
        entries.append(ToJson(b));
    return m_file.Write(QJsonDocument(QJsonObject{{"format", FORMAT_VERSION},
                                                  {"recording", m_file.RecordingJson()},
                                                  {"bookmarks", entries}})
                            .toJson(),
                        error);
}

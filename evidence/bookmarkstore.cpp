#include "evidence/bookmarkstore.h"

#include "platform/outputfile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr int MOST_CAMERAS = 16;
constexpr int MOST_SET_ASIDE = 1000; // damaged files kept beside one store before the folder is said to be full

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

CBookmarkStore::CBookmarkStore(QString folder) : m_strFolder(std::move(folder))
{
    if (!m_strFolder.endsWith('/'))
        m_strFolder += '/';
}

QString CBookmarkStore::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/KVXPlayer/bookmarks/";
}

QString CBookmarkStore::FilePath() const
{
    return m_strFolder + QString::fromStdString(m_identity.Key() + ".json");
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
    m_identity = identity;
    m_strRecording = path;
    return LoadFile(message);
}

void CBookmarkStore::Unload()
{
    m_bookmarks.clear();
    m_bLoaded = false;
}

bool CBookmarkStore::LoadFile(std::string& message)
{
    QFile file(FilePath());
    if (!file.exists()) {
        m_bLoaded = true;
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        message = FilePath().toStdString() + ": the bookmarks cannot be read: " + file.errorString().toStdString();
        return false;
    }
    const std::string reason = Parse(file.readAll(), m_identity, m_bookmarks);
    if (!reason.empty())
        return SetAside(reason, message);
    std::stable_sort(m_bookmarks.begin(), m_bookmarks.end(), ByOffset);
    m_bLoaded = true;
    return true;
}

// A damaged file may still hold what someone noted: it keeps its bytes under a new
// name for a person to read, and the store starts again beside it.
bool CBookmarkStore::SetAside(const std::string& reason, std::string& message)
{
    const QString damaged = FilePath();
    message = damaged.toStdString() + ": damaged bookmarks (" + reason + ")";
    for (int n = 1; n <= MOST_SET_ASIDE; ++n) {
        const QString aside = damaged + QString(".damaged-%1").arg(n);
        if (QFile::exists(aside))
            continue;
        // QFile::rename never replaces a file, so a name taken meanwhile fails here.
        if (!QFile::rename(damaged, aside))
            break;
        message += "; set aside as " + aside.toStdString();
        m_bLoaded = true;
        return false;
    }
    message += "; it could not be set aside, so no bookmark can be kept until it is moved";
    return false;
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
    const QJsonObject recording{{"size", qint64(m_identity.m_nSize)},
                                {"identity", QString::fromStdString(m_identity.Key())},
                                {"path", QString::fromStdString(m_strRecording)}};
    const QByteArray bytes = QJsonDocument(QJsonObject{{"format", FORMAT_VERSION},
                                                       {"recording", recording},
                                                       {"bookmarks", entries}})
                                 .toJson();
    const std::string path = FilePath().toStdString();
    if (!QDir().mkpath(m_strFolder)) {
        error = m_strFolder.toStdString() + ": the folder for bookmarks cannot be made";
        return false;
    }
    std::string reason;
    if (COutputFile::ReplaceWholeFile(path, {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())},
                                      reason))
        return true;
    error = path + ": the bookmarks cannot be saved: " + reason;
    return false;
}

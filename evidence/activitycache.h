#pragma once

#include "evidence/activityindex.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What a cached index is filed under: the recording's size and a SHA-256 of its first
// and last MiB. Cheap to learn from a disc, and a different recording (or the same
// name over other bytes) gets another key.
struct CActivityCacheKey {
    uint64_t m_nSize = 0;
    std::array<uint8_t, 32> m_hash{};

    std::string FileName() const; // hex, for the cache file's name
    bool operator==(const CActivityCacheKey&) const = default;
};

// Activity indexes kept in the user's cache folder, never beside the recording (a
// disc, read-only). A file carries a format version, its key and a SHA-256 of its
// contents; one of another version, another key (foreign) or whose sum does not match
// (damaged) is removed and never used. A cache folder that cannot be written only
// means that the next run builds the index again. One thread per object.
class CActivityCache {
public:
    static constexpr uint32_t FORMAT_VERSION = 1;

    // A cache in `folder` (created when first written).
    explicit CActivityCache(QString folder);
    // The user's cache folder for activity indexes: KVXPlayer/activity/ under
    // QStandardPaths' cache location, shared by the player and kvxtool.
    static QString DefaultFolder();

    // Reads the key of the recording at `path`; nothing, `error` set, when it cannot be read.
    static std::optional<CActivityCacheKey> KeyOf(const std::string& path, std::string& error);

    enum class ELoad { Hit, Missing, Discarded };
    // Hit fills `index`; Discarded says why in `reason` (the file is removed).
    ELoad Load(const CActivityCacheKey& key, int channelCount, CActivityIndex& index, std::string& reason) const;
    // Writes the index whole under a new name and renames it into place; false, with
    // the reason, when the folder cannot take it.
    bool Save(const CActivityCacheKey& key, const std::string& recording, const CActivityIndex& index,
              std::string& error) const;

    QString PathFor(const CActivityCacheKey& key) const;

private:
    QString m_strFolder; // ends with '/'
};

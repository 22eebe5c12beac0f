#pragma once

#include "evidence/activityindex.h"
#include "evidence/recordingidentity.h"

#include <QString>

#include <cstdint>
#include <string>

// Activity indexes kept in the user's cache folder, filed under the recording's
// identity, never beside the recording (a disc, read-only). A file carries a format version, its key and a SHA-256 of its
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

    enum class ELoad { Hit, Missing, Discarded };
    // Hit fills `index`; Discarded says why in `reason` (the file is removed).
    ELoad Load(const CRecordingIdentity& key, int channelCount, CActivityIndex& index, std::string& reason) const;
    // Writes the index whole under a new name and renames it into place; false, with
    // the reason, when the folder cannot take it.
    bool Save(const CRecordingIdentity& key, const std::string& recording, const CActivityIndex& index,
              std::string& error) const;

    QString PathFor(const CRecordingIdentity& key) const;

private:
    QString m_strFolder; // ends with '/'
};

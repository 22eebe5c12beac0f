#pragma once

#include "evidence/recordingdatafile.h"
#include "playback/privacymaskset.h"

#include <QString>

#include <string>

// The privacy masks of one recording, kept like its bookmarks: in the user's data
// folder under the recording's identity, never beside the recording. The file holds
// the set exactly as a masks file is written, so it can be given to an export as it
// is. Every change is saved at once, the file replaced whole; a file that cannot be
// read as masks is set aside under a name of its own (".damaged-N"), never dropped,
// and the message names both.
//
// Threads: one thread at a time.
class CMaskStore {
public:
    // A store in `folder` (made when first written).
    explicit CMaskStore(QString folder = DefaultFolder());
    // KVXPlayer/masks/ under QStandardPaths' generic data location.
    static QString DefaultFolder();

    // Takes the masks of the recording at `path` whose identity is known (none when it
    // has none yet). False, `message` naming the file and the reason, when its file
    // was damaged and set aside (the store then starts empty and can be changed) or
    // could not be read.
    bool Load(const CRecordingIdentity& identity, const std::string& path, std::string& message);
    // Forgets the recording: nothing can be changed until the next Load.
    void Unload();
    bool IsLoaded() const { return m_bLoaded; }

    const CPrivacyMaskSet& Set() const { return m_set; }
    // Takes `set` and saves it; false, `error` naming the file and the reason, when it
    // could not be saved (the store then keeps what it held).
    bool Replace(CPrivacyMaskSet set, std::string& error);

    // The file of the loaded recording's masks.
    QString FilePath() const { return m_file.FilePath(); }

private:
    CRecordingDataFile m_file;
    CPrivacyMaskSet m_set;
    bool m_bLoaded = false;
};

#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingdatafile.h"

#include <QString>

#include <cstddef>
#include <string>

// The bookmarks of one recording, kept in the user's data folder under the
// recording's identity, never beside the recording: a recording on a disc or in a
// read-only folder has them all the same, and a copy of it anywhere finds them. In
// file order (by offset). Every change is saved at once, the file replaced whole. A
// file that cannot be read as bookmarks is set aside under a name of its own
// (".damaged-N"), never dropped, and the message names both.
//
// Threads: one thread at a time.
class CBookmarkStore {
public:
    static constexpr int FORMAT_VERSION = 1;

    // A store in `folder` (made when first written).
    explicit CBookmarkStore(QString folder = DefaultFolder());
    // KVXPlayer/bookmarks/ under QStandardPaths' generic data location, shared by the
    // player and kvxtool.
    static QString DefaultFolder();

    // Takes the bookmarks of the recording at `path` (none when it has none yet).
    // False, `message` naming the file and the reason, when the recording cannot be
    // read (nothing can be kept then), or when its file was damaged and set aside (the
    // store then starts empty and can be added to) or could not be read.
    bool Load(const std::string& path, std::string& message);
    // The same for a recording whose identity is known.
    bool Load(const CRecordingIdentity& identity, const std::string& path, std::string& message);
    // Forgets the recording: nothing can be added until the next Load.
    void Unload();
    bool IsLoaded() const { return m_bLoaded; }

    const CBookmarks& Bookmarks() const { return m_bookmarks; }
    // The bookmarks of the recording at `path` from the user's store, for a note
    // beside an output; `message` says why there are none when they cannot be had.
    static CBookmarks BookmarksOf(const std::string& path, std::string& message);
    // Each change saves the store; false, `error` naming the file and the reason,
    // when it could not be saved (the change is then undone).
    bool Add(const CBookmark& bookmark, std::string& error);
    bool Remove(size_t index, std::string& error);
    bool SetNote(size_t index, const std::string& note, std::string& error);

    // The file of the loaded recording's bookmarks.
    QString FilePath() const { return m_file.FilePath(); }

private:
    bool LoadFile(std::string& message);
    bool Save(std::string& error) const;
    // Applies `change`, saves, and puts the old list back when the save fails.
    template <class F>
    bool Change(F change, std::string& error);

    CRecordingDataFile m_file;
    CBookmarks m_bookmarks;
    bool m_bLoaded = false;
};

#pragma once

#include "recording/datetime.h"

#include <cstdint>
#include <string>
#include <vector>

// A moment a user marked in a recording, with what they noted about it.
struct CBookmark {
    uint64_t m_nOffset = 0; // the offset of the record shown when it was set
    CDateTime m_time;       // that record's date-time
    int m_nCamera = 0;      // the camera shown enlarged (1-based), 0 when several were
    std::string m_strNote;  // UTF-8; may be empty
};

using CBookmarks = std::vector<CBookmark>;

// One line for a person and for the notes beside outputs, in the order date-time,
// offset, camera, note: "2024-03-18 14:01:10  offset 1048576  CAM 02  the van leaves".
std::string BookmarkLine(const CBookmark& bookmark);
// "CAM 02", or "several cameras".
std::string BookmarkCameraText(int camera);
// Those of `bookmarks` dated from `first` to `last`, inclusive; none without a date.
CBookmarks BookmarksDated(const CBookmarks& bookmarks, const CDateTime& first, const CDateTime& last);
// Those of `bookmarks` set at offsets from `from` to `to`, inclusive.
CBookmarks BookmarksAt(const CBookmarks& bookmarks, uint64_t from, uint64_t to);

#include "evidence/bookmark.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

std::string BookmarkCameraText(int camera)
{
    char text[16];
    std::snprintf(text, sizeof text, "CAM %02d", camera);
    return camera > 0 ? text : "several cameras";
}

std::string BookmarkLine(const CBookmark& b)
{
    std::string line = (b.m_time.IsValid() ? b.m_time.ToIsoString() : "no date") + "  offset "
                     + std::to_string(b.m_nOffset) + "  " + BookmarkCameraText(b.m_nCamera);
    return b.m_strNote.empty() ? line : line + "  " + b.m_strNote;
}

CBookmarks BookmarksDated(const CBookmarks& bookmarks, const CDateTime& first, const CDateTime& last)
{
    const uint64_t from = DateTimeToOrderKey(first), to = DateTimeToOrderKey(last);
    CBookmarks dated;
    std::copy_if(bookmarks.begin(), bookmarks.end(), std::back_inserter(dated), [&](const CBookmark& b) {
        const uint64_t key = DateTimeToOrderKey(b.m_time);
        return b.m_time.IsValid() && key >= from && key <= to;
    });
    return dated;
}

CBookmarks BookmarksAt(const CBookmarks& bookmarks, uint64_t from, uint64_t to)
{
    CBookmarks at;
    std::copy_if(bookmarks.begin(), bookmarks.end(), std::back_inserter(at),
                 [&](const CBookmark& b) { return b.m_nOffset >= from && b.m_nOffset <= to; });
    return at;
}

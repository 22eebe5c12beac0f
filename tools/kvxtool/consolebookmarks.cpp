#include "tools/kvxtool/consolebookmarks.h"

#include "evidence/bookmarkstore.h"

#include <cstdio>

CBookmarks ConsoleBookmarks(const std::string& recording)
{
    std::string message;
    CBookmarks bookmarks = CBookmarkStore::BookmarksOf(recording, message);
    if (!message.empty())
        std::fprintf(stderr, "kvxtool: %s\n", message.c_str());
    return bookmarks;
}

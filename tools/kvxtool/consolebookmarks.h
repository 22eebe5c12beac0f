#pragma once

#include "evidence/bookmark.h"

#include <string>

// The user's bookmarks of a recording, for a note or a report. Bookmarks that cannot be
// had cost the command nothing: why goes to standard error.
CBookmarks ConsoleBookmarks(const std::string& recording);

#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingreport.h"

#include <string>

// The report as one JSON object on one line (no line end): what `kvxtool report
// --json` prints and what the window's Save writes, so that both hand over the same
// bytes. With bookmarks it ends with a "bookmarks" array of {"offset","time",
// "camera","note"} (camera null where several were shown); without, it is exactly
// what it was before bookmarks existed.
std::string RecordingReportJson(const CRecordingReport& report, const CBookmarks& bookmarks);

#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingreport.h"

#include <cstdint>
#include <string>

// The report for a person to read, a line each ending in '\n': the file, its sum and
// the probe's facts, each camera with its gaps longer than `gapSeconds`, the clock
// jumps, the damage; then the user's bookmarks, when there are any. What `kvxtool
// report` prints without --json.
std::string RecordingReportText(const CRecordingReport& report, int64_t gapSeconds, const CBookmarks& bookmarks);

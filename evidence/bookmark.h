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

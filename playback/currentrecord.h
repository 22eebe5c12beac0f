#pragma once

#include "recording/recordheader.h"

#include <cstdint>

// The values of the block the playback thread read last while looking for a record,
// shared with the frame router. Both run on the playback thread; whoever runs the
// engine may set them only while no playback thread runs. The group counter lives here, not
// with the thread, because it carries over when a thread is restarted.
struct CCurrentRecord {
    CRecordHeader m_header;     // in the recording's date layout
    int m_nGroupCounter = 0;
    uint64_t m_nHeaderOffset = 0; // where that block starts in the file
};

#pragma once

#include "recording/datetime.h"
#include "recording/recordingprobe.h"
#include "recording/recordwalker.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Two consecutive pictures of one camera further apart than the gap allows; `offset`
// is the header of the later one.
struct CReportGap {
    CDateTime m_from, m_to;
    uint64_t m_nOffset = 0;
};

struct CReportChannel {
    int m_nChannel = 0; // 1-based, as the tiles show it
    uint64_t m_nPictures = 0;
    CDateTime m_first, m_last;
    std::vector<CReportGap> m_gaps;
};

// Time going backwards, or forwards by more than the gap, between two consecutive
// records; `offset` is the header of the later one.
struct CClockJump {
    uint64_t m_nOffset = 0;
    CDateTime m_from, m_to;
};

// What one pass over a recording found.
struct CRecordingReport {
    std::string m_strFile;
    uint64_t m_nSize = 0;
    std::optional<std::string> m_sha256; // lower-case hex of the whole file
    CRecordingFacts m_facts;
    std::vector<CReportChannel> m_channels; // ascending, only channels with pictures
    std::vector<CClockJump> m_clockJumps;
    std::vector<CDamagedStretch> m_damaged;
    uint64_t m_nRecords = 0;
    uint64_t m_nPictures = 0;
    uint64_t m_nUndecodable = 0;
    uint64_t m_nAudioBlocks = 0;
};

struct CReportOptions {
    int64_t m_nGapSeconds = 10;
    bool m_bHash = true;
    unsigned m_nWorkers = 0; // decoding threads; 0: one per core
    std::function<void(uint64_t position, uint64_t length)> m_onProgress;
};

// Reads a probed recording once from its start to the end of its file (past where
// forward play stops): hashes every byte, walks every record and damaged stretch, and
// decodes every picture on the cores to count it under the channel its bar code
// gives. Runs on the calling thread plus the decoding workers.
//
// False when the file could not be read; `error` then says why.
bool BuildRecordingReport(const std::string& path, const CRecordingFacts& facts, const CReportOptions& options,
                          CRecordingReport& report, std::string& error);

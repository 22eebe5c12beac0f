#pragma once

#include "recording/datetime.h"
#include "recording/recordingprobe.h"
#include "recording/recordwalker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A record a finding follows: where it starts, its date-time, and the camera its bar
// code names (from 1; 0 for an audio-only record or a picture whose code cannot be read).
struct CReportRecord {
    uint64_t m_nOffset = 0;
    CDateTime m_time;
    int m_nChannel = 0;
};

// Two consecutive pictures of one camera further apart than the gap allows; `offset`
// is the header of the later one, `before` the earlier one (dated `from`).
struct CReportGap {
    CDateTime m_from, m_to;
    uint64_t m_nOffset = 0;
    CReportRecord m_before;
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
    CReportRecord m_before; // the record dated `from`
};

// One stretch the walk found damaged, and the last record in front of it (none when
// the damage starts the record area).
struct CReportDamage {
    CDamagedStretch m_stretch;
    std::optional<CReportRecord> m_before;
};

// A picture record whose picture the player could not show. Its camera is the one
// the bar code in its top rows names, when they decode; 0 otherwise.
struct CUndecodablePicture {
    CReportRecord m_record;
};

// Damage as a timeline shows it: damaged stretches and undecodable pictures with no
// playable record between them, from the first damaged byte to the byte after the
// last, and the last playable record in front of it.
struct CDamagedRun {
    uint64_t m_nOffset = 0, m_nEnd = 0;
    uint64_t m_nStretches = 0, m_nUndecodable = 0;
    std::optional<CReportRecord> m_before;

    // 512-byte blocks the run touches.
    uint64_t Blocks() const;
};

// What one pass over a recording found.
struct CRecordingReport {
    std::string m_strFile;
    uint64_t m_nSize = 0;
    std::optional<std::string> m_sha256; // lower-case hex of the whole file
    CRecordingFacts m_facts;
    std::vector<CReportChannel> m_channels; // ascending, only channels with pictures
    std::vector<CClockJump> m_clockJumps;
    std::vector<CReportDamage> m_damaged;
    uint64_t m_nRecords = 0;
    uint64_t m_nPictures = 0;
    uint64_t m_nUndecodable = 0;
    uint64_t m_nAudioBlocks = 0;
    std::vector<CUndecodablePicture> m_undecodable; // in file order
    std::vector<CDamagedRun> m_damagedRuns;         // in file order
};

struct CReportOptions {
    int64_t m_nGapSeconds = 10;
    bool m_bHash = true;
    unsigned m_nWorkers = 0; // decoding threads; 0: one per core
    std::function<void(uint64_t position, uint64_t length)> m_onProgress;
    const std::atomic<bool>* m_pCancel = nullptr; // set: the read stops soon after
};

// Reads a probed recording once from its start to the end of its file (past where
// forward play stops): hashes every byte, walks every record and damaged stretch, and
// decodes every picture on the cores to count it under the channel its bar code
// gives. Runs on the calling thread plus the decoding workers; the report is a plain
// value, free to hand to another thread once built.
//
// False when the file could not be read, or the build was cancelled (`error` then
// says "cancelled"); `error` says why.
bool BuildRecordingReport(const std::string& path, const CRecordingFacts& facts, const CReportOptions& options,
                          CRecordingReport& report, std::string& error);

#pragma once

#include "evidence/activityindex.h"
#include "recording/recordingprobe.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct CActivityScanOptions {
    unsigned m_nWorkers = 0;   // decoding threads; 0: one per core
    int64_t m_nGapSeconds = 10; // a camera's pictures further apart than this are not compared
    // On the reading thread, every few hundred pictures: the header offset reached and
    // where forward play ends.
    std::function<void(uint64_t position, uint64_t end)> m_onProgress;
    const std::atomic<bool>* m_pCancel = nullptr; // set: the scan stops soon after
};

enum class EActivityScan { Complete, Cancelled, Failed };

struct CActivityScanResult {
    EActivityScan m_result = EActivityScan::Failed;
    uint64_t m_nUndecodable = 0; // pictures left out: they do not decode, and the player shows none of them
    std::string m_strError;      // on Failed: why
};

// Reads a probed recording as forward play delivers it, decodes every picture at an
// eighth of its size on the cores and hands each decodable one's entry to `onPicture`,
// in file order, one call at a time, on a decoding thread.
CActivityScanResult ScanActivity(const std::string& path, const CRecordingFacts& facts,
                                 const CActivityScanOptions& options,
                                 const std::function<void(const CActivityPicture&)>& onPicture);

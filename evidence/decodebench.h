#pragma once

#include "recording/recordingprobe.h"

#include <cstdint>
#include <string>

class COutputFile;

struct CDecodeBenchResult {
    uint64_t m_nPictures = 0, m_nFailed = 0;
    double m_dPixels = 0;       // of the pictures decoded
    bool m_bDumpWritten = true; // every stream went into the dump
    double m_dDumpSeconds = 0;  // of the run's time, spent on the dump
};

// Reads a probed recording as forward play does, as fast as it can, and decodes every
// picture; with `dump`, each repaired stream up to its first end-of-image marker goes
// into it, one after another, as a plain decoder would take it (writing stops at the
// first failure), and the time that took is counted apart. False when a read failed
// (the engine's message is on standard error). The calling thread.
bool RunDecodeBench(const std::string& path, const CRecordingFacts& facts, COutputFile* dump,
                    CDecodeBenchResult& result);

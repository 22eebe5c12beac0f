#pragma once

#include "evidence/activitycache.h"
#include "evidence/activityscan.h"
#include "evidence/sharedactivityindex.h"

#include <QString>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct CActivityIndexRequest {
    std::string m_strPath;
    CRecordingFacts m_facts;
    bool m_bUseCache = true;
    QString m_strCacheFolder; // empty: CActivityCache::DefaultFolder()
    CActivityScanOptions m_scan;
};

struct CActivityIndexOutcome {
    CActivityScanResult m_scan; // from the cache: Complete, and the undecodable count kept with the index
    bool m_bFromCache = false;
    // What became of the cache, each naming the file and the reason: a discarded
    // file, an index that could not be kept. None of them stops the search.
    std::vector<std::string> m_notes;
};

// Fills `index` from the cache when a file there fits the recording, else by scanning
// it, and keeps a complete scan in the cache. Runs on the calling thread and the
// decoding workers.
CActivityIndexOutcome ObtainActivityIndex(const CActivityIndexRequest& request, CSharedActivityIndex& index);

// Builds the activity index of an open recording in the background: a worker thread
// of the lowest priority (its decoding threads inherit it), so that playback keeps
// its pace; the window searches the index while it grows and gets progress and the
// end through its handlers, which run on the worker and must only post onwards
// (a queued signal). Cancel stops the scan soon; the destructor cancels and waits.
//
// Threads: Start, Cancel and the destructor on the owning (window) thread; Index()
// from any thread; the handlers on the worker.
class CActivityIndexBuilder {
public:
    using ProgressHandler = std::function<void(uint64_t position, uint64_t end)>;
    using DoneHandler = std::function<void(const CActivityIndexOutcome&)>;

    explicit CActivityIndexBuilder(CActivityIndexRequest request);
    ~CActivityIndexBuilder();
    CActivityIndexBuilder(const CActivityIndexBuilder&) = delete;
    CActivityIndexBuilder& operator=(const CActivityIndexBuilder&) = delete;

    // Once; a second call does nothing.
    void Start(ProgressHandler onProgress, DoneHandler onDone);
    void Cancel() { m_bCancel = true; }
    bool IsDone() const { return m_bDone; }
    const CSharedActivityIndex& Index() const { return m_index; }

private:
    void Run(ProgressHandler onProgress, DoneHandler onDone);

    const CActivityIndexRequest m_request; // set before the worker starts, then only read
    CSharedActivityIndex m_index;
    std::atomic<bool> m_bCancel{false};    // written by the owner, read by the worker
    std::atomic<bool> m_bDone{false};      // written by the worker
    std::thread m_worker;                  // owner thread only
};

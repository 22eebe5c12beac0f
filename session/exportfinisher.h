#pragma once

#include "export/finishedexport.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Completes the window's exports after their stop, in the order they stopped, on a
// worker of the lowest priority: the video closed, the log written, the master's
// sum awaited for the note, the .sha256 over them all, and its signature last. So the stop
// costs the window thread only the taking of the export out of its recorder, however
// long the files take to hash. Completion is never cancelled: an export left without
// its sums would look cut short. The destructor completes what was handed over, then
// ends.
//
// Threads: Complete, IsIdle and the destructor on the owning (window) thread; the
// completion and `onDone` on the worker, which must only post onwards.
class CExportFinisher {
public:
    struct CResult {
        QString m_strAviName;
        // For a person, each naming the file and the reason: that it was cut short,
        // what could not be written. Empty when the export is complete with its sums.
        QStringList m_problems;
        // The frames the video holds, as its stop found them written.
        uint32_t m_nFrames = 0;
        // Why a complete export is unsigned, naming the key file; empty when signed.
        QString m_strUnsignedReason;
    };
    using DoneHandler = std::function<void(const CResult&)>;

    explicit CExportFinisher(DoneHandler onDone);
    ~CExportFinisher();
    CExportFinisher(const CExportFinisher&) = delete;
    CExportFinisher& operator=(const CExportFinisher&) = delete;

    // `end` is the date-time its log ends with.
    void Complete(CFinishedExport done, const CFrameTime& end);
    // Nothing handed over is still being completed.
    bool IsIdle() const;

private:
    struct CJob {
        CFinishedExport m_done;
        CFrameTime m_end;
    };
    void Run();
    static CResult CompleteJob(CJob& job);

    const DoneHandler m_onDone;

    // Guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<CJob> m_jobs;
    bool m_bBusy = false;      // the worker completes a job taken off the queue
    bool m_bStopping = false;  // set by the destructor

    std::thread m_worker; // last: it starts when everything above is made
};

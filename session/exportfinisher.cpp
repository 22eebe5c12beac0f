#include "session/exportfinisher.h"

#include "platform/threadpriority.h"

CExportFinisher::CExportFinisher(DoneHandler onDone) : m_onDone(std::move(onDone)), m_worker(&CExportFinisher::Run, this)
{
}

CExportFinisher::~CExportFinisher()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void CExportFinisher::Complete(CFinishedExport done, const CFrameTime& end)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({std::move(done), end});
    }
    m_wake.notify_one();
}

bool CExportFinisher::IsIdle() const
{
    std::lock_guard lock(m_mutex);
    return m_jobs.empty() && !m_bBusy;
}

// The queue is emptied before the worker ends, also when stopping.
void CExportFinisher::Run()
{
    LowerThisThreadPriority();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_jobs.empty() || m_bStopping; });
        if (m_jobs.empty())
            return;
        CJob job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_bBusy = true;
        lock.unlock();
        const CResult result = CompleteJob(job);
        if (m_onDone)
            m_onDone(result);
        lock.lock();
        m_bBusy = false;
    }
}

CExportFinisher::CResult CExportFinisher::CompleteJob(CJob& job)
{
    const QString error = job.m_done.Complete(job.m_end);
    CResult result{job.m_done.m_strAviName, {}, job.m_done.m_nFrames, job.m_done.UnsignedReason()};
    if (job.m_done.m_failure)
        result.m_problems << job.m_done.FailureText();
    if (!error.isEmpty())
        result.m_problems << error;
    return result;
}

#include "session/reporttracker.h"

#include "platform/threadpriority.h"

#include <atomic>
#include <thread>

// One build on its worker; destroying it cancels the read and waits for the worker.
class CReportTracker::CBuild {
public:
    CBuild(CReportTracker& tracker, int generation, std::string path, const CRecordingFacts& facts)
        : m_worker(&CBuild::Run, this, &tracker, generation, std::move(path), facts)
    {
    }
    ~CBuild()
    {
        m_bCancel = true;
        m_worker.join();
    }
    CBuild(const CBuild&) = delete;
    CBuild& operator=(const CBuild&) = delete;

private:
    // The decoding threads the report starts inherit the lowered priority.
    void Run(CReportTracker* tracker, int generation, std::string path, CRecordingFacts facts)
    {
        LowerThisThreadPriority();
        auto report = std::make_shared<CRecordingReport>();
        CReportOptions options;
        options.m_pCancel = &m_bCancel;
        std::string error;
        QString failure;
        if (!BuildRecordingReport(path, facts, options, *report, error))
            failure = QString::fromStdString(path + ": no report: " + error);
        if (m_bCancel)
            return;
        QMetaObject::invokeMethod(
            tracker, [=] { tracker->OnBuilt(generation, report, failure); }, Qt::QueuedConnection);
    }

    std::atomic<bool> m_bCancel{false}; // written by the owner, read by the worker
    std::thread m_worker;               // last: it starts when the flag is made
};

CReportTracker::CReportTracker(QObject* parent) : QObject(parent) {}

// Says nothing: whoever listens may be going too. The worker's last call, if
// posted, goes with the tracker.
CReportTracker::~CReportTracker()
{
    m_pBuild.reset();
}

void CReportTracker::Start(const std::string& path, const CRecordingFacts& facts)
{
    Stop();
    m_pBuild = std::make_unique<CBuild>(*this, m_nGeneration, path, facts);
    emit reportCleared();
}

// Said only when there was something to forget: a second stop, as the session's
// end makes after the window's, reaches no listener that may be going.
void CReportTracker::Stop()
{
    ++m_nGeneration; // what the stopped build still posts is dropped
    if (!m_pBuild)
        return;
    m_pBuild.reset();
    m_report.reset();
    m_strFailure.clear();
    emit reportCleared();
}

void CReportTracker::OnBuilt(int generation, std::shared_ptr<CRecordingReport> report, const QString& failure)
{
    if (generation != m_nGeneration)
        return;
    if (!failure.isEmpty()) {
        m_strFailure = failure;
        emit reportFailed(failure);
        return;
    }
    m_report = std::move(*report);
    emit reportReady(*m_report);
}

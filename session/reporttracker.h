#pragma once

#include "evidence/recordingreport.h"
#include "recording/recordingprobe.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>

// The report of the open recording, built once on a worker of the lowest priority
// from the moment the recording opens: the timeline's marks and the report panel are
// drawn from it. Another open, a close or the tracker's end cancels the build and
// waits for its worker; what a stopped build still delivers is dropped.
//
// Threads: the tracker lives on the window thread, which makes every call below and
// receives every signal. The worker reaches it only through a queued call carrying
// the number of its build.
class CReportTracker : public QObject {
    Q_OBJECT

public:
    explicit CReportTracker(QObject* parent = nullptr);
    ~CReportTracker() override;

    // Starts reporting on `path` (as the file system names it), whose probe gave
    // `facts`; a build still running for another recording is cancelled first.
    void Start(const std::string& path, const CRecordingFacts& facts);
    // Cancels the build and forgets the report; waits for the worker to stop. The
    // destructor does the same, silently.
    void Stop();

    bool IsBuilding() const { return m_pBuild && !m_report && m_strFailure.isEmpty(); }
    const std::optional<CRecordingReport>& Report() const { return m_report; }
    // Why the build gave no report, naming the file; empty otherwise.
    const QString& Failure() const { return m_strFailure; }

signals:
    // A build started, or a build or report was forgotten.
    void reportCleared();
    void reportReady(const CRecordingReport& report);
    void reportFailed(const QString& text);

private:
    class CBuild;
    void OnBuilt(int generation, std::shared_ptr<CRecordingReport> report, const QString& failure);

    // Window thread only.
    std::unique_ptr<CBuild> m_pBuild;
    std::optional<CRecordingReport> m_report;
    QString m_strFailure;
    // Counted up at every start and stop; the worker's queued call carries its build's.
    int m_nGeneration = 0;
};

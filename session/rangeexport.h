#pragma once

#include "export/irecordingexportview.h"
#include "export/recordingexport.h"
#include "recording/recordingprobe.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The window's export of a marked range: the one-pass export kvxtool export makes
// with --from and --to, run on a worker of the lowest priority while the window
// plays on, so that the same options give the same files. The panel's stop cancels
// it: the export then ends with the frames written so far, marked incomplete. How it
// ended reaches the window as `finished`, queued. The destructor cancels and waits.
//
// Threads: Start, Cancel, the accessors and the destructor on the window thread; the
// export and the IRecordingExportView calls on the worker, which keeps the messages
// under m_mutex and emits `finished` last.
class CRangeExport : public QObject, private IRecordingExportView {
    Q_OBJECT

public:
    explicit CRangeExport(QObject* parent = nullptr);
    ~CRangeExport() override;

    // Exports `settings` (its range set) of `recording`, probed into `facts`, unless
    // one runs still.
    bool Start(const std::string& recording, const CRecordingFacts& facts, const CRecordingExportSettings& settings);
    void Cancel();
    bool IsRunning() const { return m_pExport != nullptr; }
    // The running export's video and frames so far.
    QString VideoName() const;
    uint32_t FrameCount() const { return m_pExport ? m_pExport->FrameCount() : 0; }

signals:
    // `problems` each name the file and the reason; empty when the export is complete
    // with its sums. `videoName` is empty when no file was made. `unsignedReason` says
    // why a written copy is not signed.
    void finished(const QString& videoName, const QStringList& problems, uint frames, const QString& unsignedReason);

private:
    void Run();
    void Join();
    void OnExportProgress(uint64_t offset, bool last) override;
    void OnExportMessage(const QString& text) override;
    void OnExportUnsigned(const QString& text, const QString& reason) override;

    // Made and released on the window thread while no worker runs; run by the worker.
    std::unique_ptr<CRecordingExport> m_pExport;
    std::thread m_worker;
    QString m_strNothing; // why nothing was made when no record lies in the range; set by Start
    // Guarded by m_mutex: what the export said, for `finished`.
    std::mutex m_mutex;
    QStringList m_problems;
    QString m_strUnsigned;
};

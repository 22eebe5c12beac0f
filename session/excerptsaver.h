#pragma once

#include "evidence/bookmark.h"
#include "evidence/excerptjob.h"

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// The window's "Save excerpt…": the excerpt kvxtool excerpt makes, run on a worker
// of the lowest priority so that the window plays on while the recording is read
// twice over. What came of it reaches the window as `saved`, queued, in words that
// name the file and, when none was written, the reason. The destructor waits for the
// excerpt under way: a copy left half written would be removed by nobody.
//
// Threads: Save, IsRunning and the destructor on the window thread; the job on the worker.
class CExcerptSaver : public QObject {
    Q_OBJECT

public:
    explicit CExcerptSaver(QObject* parent = nullptr);
    ~CExcerptSaver() override;

    // False while an excerpt is being made still.
    bool Save(CExcerptJob::CRequest request, const CRecordingFacts& facts, const CBookmarks& bookmarks);
    bool IsRunning() const { return m_pJob != nullptr; }

signals:
    // `text` for a person: where the excerpt was saved, or why it was not.
    void saved(bool ok, const QString& text);

private:
    void Run();
    void Join();
    static QString SavedText(const CExcerptJob& job);

    // Made and released on the window thread while no worker runs; run by the worker.
    std::unique_ptr<CExcerptJob> m_pJob;
    std::thread m_worker;
};

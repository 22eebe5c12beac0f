#pragma once

#include "evidence/activityindex.h"
#include "evidence/activityindexbuilder.h"
#include "recording/recordingprobe.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The activity index of the open recording as the window uses it: built in the
// background from the moment the recording opens, searched by value while it grows,
// and turned into what the window shows: a heat level for every slider position and
// the stretch to jump to from where playback stands.
//
// Threads: the tracker lives on the window thread, which makes every call below and
// receives every signal. The builder's worker reaches it only through queued calls,
// dropped once the build they belong to has been stopped.
class CActivityTracker : public QObject {
    Q_OBJECT

public:
    // The weakest stretch still shows on the heat strip at this level of 255.
    static constexpr int HEAT_FLOOR = 128;

    explicit CActivityTracker(QObject* parent = nullptr);
    ~CActivityTracker() override;

    // Starts indexing `path` (as the file system names it), whose probe gave `facts`;
    // a build still running for another recording is cancelled first.
    void Start(const std::string& path, const CRecordingFacts& facts);
    // Cancels the build and forgets the index; waits for the worker to stop.
    void Stop();

    bool IsStarted() const { return m_pBuilder != nullptr; }
    bool IsDone() const { return m_bDone; }
    // Of the file read so far, 0..100.
    int Percent() const { return m_nPercent; }
    // What the finished build had to say (a cache file discarded or not written, a
    // scan that failed), each naming the file and the reason.
    const QStringList& Notes() const { return m_notes; }

    std::vector<CActivityStretch> Find(const CActivityQuery& query) const;
    // The first stretch `query` finds that starts after the record at `offset`, or
    // the last that starts before it.
    std::optional<CActivityStretch> Neighbour(const CActivityQuery& query, uint64_t offset, bool forward) const;
    // One level (0: none) for every slider position 0..SLIDER_MAX: the strongest
    // stretch `query` finds over the records there, HEAT_FLOOR..255 by its peak.
    std::vector<uint8_t> HeatProfile(const CActivityQuery& query) const;
    // The slider positions the index covers so far, from position 0.
    int IndexedPositions() const;

signals:
    void progressed(int percent);
    void finished();

private:
    void OnProgress(int generation, uint64_t position);
    void OnDone(int generation, bool complete, const QStringList& notes);

    // Window thread only.
    std::unique_ptr<CActivityIndexBuilder> m_pBuilder;
    CRecordingFacts m_facts;
    uint64_t m_nPosition = 0; // the header offset the scan reached
    int m_nPercent = 0;
    bool m_bDone = false;
    QStringList m_notes;

    // Counted up by the window thread at every start and stop; the worker's queued
    // calls carry the count of their build.
    std::atomic<int> m_nGeneration{0};
};

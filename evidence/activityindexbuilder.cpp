#include "evidence/activityindexbuilder.h"

#include "platform/threadpriority.h"

namespace {

// A cached index that fits, into `index`; false when there is none (the reason, if
// one was thrown away, noted).
bool LoadCached(const CActivityCache& cache, const CRecordingIdentity& key, const CActivityIndexRequest& request,
                CSharedActivityIndex& index, CActivityIndexOutcome& outcome)
{
    CActivityIndex cached;
    std::string reason;
    switch (cache.Load(key, request.m_facts.m_nChannelCount, cached, reason)) {
    case CActivityCache::ELoad::Hit:
        index.Replace(std::move(cached));
        return true;
    case CActivityCache::ELoad::Discarded:
        outcome.m_notes.push_back(cache.PathFor(key).toStdString() + ": " + reason + "; discarded, built anew");
        return false;
    case CActivityCache::ELoad::Missing:
        if (!reason.empty())
            outcome.m_notes.push_back(cache.PathFor(key).toStdString() + ": " + reason);
        return false;
    }
    return false;
}

} // namespace

CActivityIndexOutcome ObtainActivityIndex(const CActivityIndexRequest& request, CSharedActivityIndex& index)
{
    CActivityIndexOutcome outcome;
    const CActivityCache cache(request.m_strCacheFolder.isEmpty() ? CActivityCache::DefaultFolder()
                                                                  : request.m_strCacheFolder);
    std::optional<CRecordingIdentity> key;
    if (request.m_bUseCache) {
        std::string error;
        key = CRecordingIdentity::Of(request.m_strPath, error);
        if (!key)
            outcome.m_notes.push_back("activity cache not used: " + error);
        if (key && LoadCached(cache, *key, request, index, outcome)) {
            outcome.m_scan.m_result = EActivityScan::Complete;
            outcome.m_scan.m_nUndecodable = index.Snapshot().UndecodableCount();
            outcome.m_bFromCache = true;
            return outcome;
        }
    }
    outcome.m_scan = ScanActivity(request.m_strPath, request.m_facts, request.m_scan,
                                  [&index](const CActivityPicture& p) { index.Append(p); });
    index.SetUndecodableCount(outcome.m_scan.m_nUndecodable);
    std::string error;
    if (outcome.m_scan.m_result == EActivityScan::Complete && key
        && !cache.Save(*key, request.m_strPath, index.Snapshot(), error))
        outcome.m_notes.push_back("activity index not cached: " + error);
    return outcome;
}

CActivityIndexBuilder::CActivityIndexBuilder(CActivityIndexRequest request)
    : m_request(std::move(request)), m_index(m_request.m_facts.m_nChannelCount)
{
}

CActivityIndexBuilder::~CActivityIndexBuilder()
{
    m_bCancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void CActivityIndexBuilder::Start(ProgressHandler onProgress, DoneHandler onDone)
{
    if (!m_worker.joinable())
        m_worker = std::thread(&CActivityIndexBuilder::Run, this, std::move(onProgress), std::move(onDone));
}

// The decoding threads the scan starts inherit the lowest priority.
void CActivityIndexBuilder::Run(ProgressHandler onProgress, DoneHandler onDone)
{
    LowerThisThreadPriority();
    CActivityIndexRequest request = m_request;
    request.m_scan.m_pCancel = &m_bCancel;
    request.m_scan.m_onProgress = std::move(onProgress);
    const CActivityIndexOutcome outcome = ObtainActivityIndex(request, m_index);
    m_bDone = true;
    if (onDone)
        onDone(outcome);
}

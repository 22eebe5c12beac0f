#pragma once

#include "evidence/activityindex.h"

#include <mutex>
#include <vector>

// An activity index that one thread fills while others search it. Searches and copies
// come out by value; the lock is held only for one append, one search or one copy.
// Any thread.
class CSharedActivityIndex {
public:
    explicit CSharedActivityIndex(int channelCount) : m_index(channelCount) {}

    void Append(const CActivityPicture& picture);
    void SetUndecodableCount(uint64_t count);
    // Puts a whole index (from the cache) in place of what was gathered.
    void Replace(CActivityIndex index);
    void Clear();

    std::vector<CActivityStretch> Find(const CActivityQuery& query) const;
    CActivityIndex Snapshot() const;
    uint64_t PictureCount() const;

private:
    mutable std::mutex m_mutex;
    CActivityIndex m_index; // m_mutex
};

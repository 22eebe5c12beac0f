#include "evidence/sharedactivityindex.h"

void CSharedActivityIndex::Append(const CActivityPicture& picture)
{
    std::lock_guard lock(m_mutex);
    m_index.Append(picture);
}

void CSharedActivityIndex::SetUndecodableCount(uint64_t count)
{
    std::lock_guard lock(m_mutex);
    m_index.SetUndecodableCount(count);
}

void CSharedActivityIndex::Replace(CActivityIndex index)
{
    std::lock_guard lock(m_mutex);
    m_index = std::move(index);
}

void CSharedActivityIndex::Clear()
{
    std::lock_guard lock(m_mutex);
    m_index = CActivityIndex(m_index.ChannelCount());
}

std::vector<CActivityStretch> CSharedActivityIndex::Find(const CActivityQuery& query) const
{
    std::lock_guard lock(m_mutex);
    return m_index.Find(query);
}

CActivityIndex CSharedActivityIndex::Snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_index;
}

uint64_t CSharedActivityIndex::PictureCount() const
{
    std::lock_guard lock(m_mutex);
    return m_index.PictureCount();
}

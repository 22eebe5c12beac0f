#include "session/masterhash.h"

#include "platform/sha256.h"
#include "platform/threadpriority.h"

CMasterHash::CMasterHash(std::string path, uint64_t size)
    : m_strPath(std::move(path)), m_nSize(size), m_sum(m_promise.get_future().share()),
      m_worker(&CMasterHash::Run, this)
{
}

CMasterHash::~CMasterHash()
{
    Cancel();
    m_worker.join();
}

void CMasterHash::Run()
{
    LowerThisThreadPriority();
    m_promise.set_value(Sha256OfFile(m_strPath, &m_bCancel));
    m_bDone = true;
}

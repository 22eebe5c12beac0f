#include "playback/playthread.h"

#include "playback/playbackengine.h"

void CPlayThread::Start(PLAYTHREADPARAM& param)
{
    Stop();
    m_pParam = &param;
    param.m_pThreadRun->store(1);
    m_thread = std::thread(PlayThreadProc, &param);
}

void CPlayThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_pParam->m_pThreadRun->store(0);
    m_thread.join();
    m_pParam = nullptr;
}

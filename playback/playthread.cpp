#include "playback/playthread.h"

#include "playback/playbackengine.h"

void CPlayThread::Start(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current)
{
    Stop();
    m_pSteering = &steering;
    steering.m_bThreadRun = true;
    m_thread = std::thread([&steering, &view, &current] { RunPlaybackEngine(steering, view, current); });
}

void CPlayThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_pSteering->m_bThreadRun = false;
    m_thread.join();
    m_pSteering = nullptr;
}

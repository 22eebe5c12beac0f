#include "evidence/forwardreader.h"

#include "playback/playbackengine.h"
#include "playback/playstate.h"
#include "evidence/immediateclock.h"

#include <cstdio>

bool CForwardReader::Run(const std::string& path, const CRecordingFacts& facts, FrameHandler onFrame)
{
    std::atomic<int> delay{1}, speed{0}, seek{0};
    std::atomic<uint64_t> firstSector{facts.m_nFirstSector};
    CImmediateClock clock;
    PLAYTHREADPARAM param;
    param.m_pDelayIndex = &delay;
    param.m_pSpeedIndex = &speed;
    param.m_pSeekPos = &seek;
    param.m_nChannelCount = facts.m_nChannelCount;
    param.m_pThreadRun = &m_bThreadRun;
    param.m_dwEndOffset = facts.m_dwEndOffset;
    param.m_strPath = path;
    param.m_pFirstSector = &firstSector;
    param.m_pView = this;
    param.m_pCurrent = &m_current;
    param.m_pClock = &clock;
    m_onFrame = std::move(onFrame);
    m_bReadError = m_bEndOfFile = false;
    m_bThreadRun = 1;
    PlayThreadProc(&param);
    return !m_bReadError;
}

// The engine begins by going to the start; reading forward from there gives every
// record once. Forward play ends in a pause, which ends the run.
void CForwardReader::SetPlayState(uint8_t state)
{
    if (state == PS_START)
        state = PS_FPLAY;
    if (state == PS_PAUSE)
        m_bThreadRun = 0;
    m_nPlayState = state;
}

uint8_t CForwardReader::OnPlayFrame(bool, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                                    const uint8_t* picture)
{
    m_onFrame({m_current, audioMode, pictureLength, audio, picture});
    return 0;
}

void CForwardReader::ShowReadError(const char* text)
{
    std::fprintf(stderr, "%s\n", text);
    m_bReadError = true;
}

void CForwardReader::OnEndOfFile()
{
    m_bEndOfFile = true;
    m_bThreadRun = 0;
}

#include "evidence/forwardreader.h"

#include "playback/playbackengine.h"
#include "playback/playstate.h"
#include "evidence/immediateclock.h"

#include <cstdio>

bool CForwardReader::Run(const std::string& path, const CRecordingFacts& facts, FrameHandler onFrame)
{
    CImmediateClock clock;
    m_steering.m_nChannelCount = facts.m_nChannelCount;
    m_steering.m_nEndOffset = facts.m_nEndOffset;
    m_steering.m_strPath = path;
    m_steering.m_nFirstSector = facts.m_nFirstSector;
    m_steering.m_pClock = &clock;
    m_onFrame = std::move(onFrame);
    m_bReadError = m_bEndOfFile = false;
    m_steering.m_bThreadRun = true;
    RunPlaybackEngine(m_steering, *this, m_current);
    m_steering.m_pClock = nullptr;
    return !m_bReadError;
}

// The engine begins by going to the start; reading forward from there gives every
// record once. Forward play ends in a pause, which ends the run.
void CForwardReader::OnPlayStateSet(uint8_t state)
{
    if (state == PS_START)
        m_steering.m_nPlayState = PS_FPLAY;
    if (state == PS_PAUSE)
        m_steering.m_bThreadRun = false;
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
    m_steering.m_bThreadRun = false;
}

#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class IPlaybackClock;
class IPlaybackView;
struct CCurrentRecord;

// Handed to every playback thread. The view owns it for its whole life; the
// pointed-to fields are the view's, the copies are made at each thread start.
struct PLAYTHREADPARAM {
    std::atomic<int>* m_pDelayIndex = nullptr;   // m_nDelayIndex, read at every pacing step
    std::atomic<int>* m_pSpeedIndex = nullptr;   // m_nSpeedIndex, read at every jump
    std::atomic<int>* m_pSeekPos = nullptr;      // m_nSeekPos, read when a seek is acted on
    uint8_t m_nChannelCount = 0;                 // copy of m_nChannelCount
    std::atomic<int>* m_pThreadRun = nullptr;    // m_bThreadRun: the thread runs while it is non-zero
    uint64_t m_dwEndOffset = 0;                  // copy of m_dwEndOffset: forward play stops here
    std::string m_strPath;                       // copy of m_strFilePath
    std::atomic<uint64_t>* m_pFirstSector = nullptr; // m_nFirstSector, read in backward play
    std::atomic<uint64_t>* m_pTargetOffset = nullptr; // m_nTargetOffset: the header PS_LOCATE goes to
    std::atomic<int>* m_pStepRecords = nullptr;  // m_nStepRecords: records a step shows, 0 for a whole group
    std::atomic<int>* m_pStepChannel = nullptr;  // m_nStepChannel: a step goes on to this channel's picture; -1 for any
    IPlaybackView* m_pView = nullptr;
    CCurrentRecord* m_pCurrent = nullptr;        // the values of the last header read
    IPlaybackClock* m_pClock = nullptr;          // null: the steady clock
};

#pragma once

#include "playback/playstate.h"

#include <atomic>
#include <cstdint>
#include <string>

class IPlaybackClock;

// Every value the playback engine steers by, with the values a player starts with.
// Whoever runs an engine owns one of these for as long as the engine runs; a
// command is one store into it, and the engine reads it between records.
struct CPlaySteering {
    // --- written by the window thread, read by the playback thread ---
    // What to do next. The playback thread writes it too: it pauses at the ends of
    // the recording, after a jump's show and after a read error, and turns a jump
    // into its show; the last store wins.
    std::atomic<uint8_t> m_nPlayState{PS_PAUSE};
    std::atomic<int> m_nDelayIndex{DELAY_MIN};  // the frame period, read at every pacing step
    std::atomic<int> m_nSpeedIndex{SPEED_MIN};  // the fast-play jump, read at every jump
    std::atomic<int> m_nSeekPos{0};             // the slider position PS_SEEK goes to
    std::atomic<uint64_t> m_nTargetOffset{0};   // the header PS_LOCATE goes to
    std::atomic<int> m_nStepRecords{1};         // records a frame step shows, 0 for a whole group
    std::atomic<int> m_nStepChannel{-1};        // a step goes on to this channel's picture; -1 for any
    std::atomic<uint64_t> m_nFirstSector{0};    // the recording's first sector: backward play stops there

    // --- set when a thread starts, cleared to stop it (window thread, or whoever
    // runs the engine on its own thread); the playback thread only reads it ---
    std::atomic<bool> m_bThreadRun{false};

    // --- set before the thread starts, read-only while it runs ---
    uint8_t m_nChannelCount = 0; // 4 or 16: the date layout and the fast-play steps
    uint64_t m_nEndOffset = 0;   // forward play stops here
    std::string m_strPath;       // the recording, as the file system names it
    IPlaybackClock* m_pClock = nullptr; // null: the steady clock
};

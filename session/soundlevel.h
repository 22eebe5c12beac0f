#pragma once

#include <cstdint>

class CProfileFile;

// How loud the recording's sound plays on this computer: a level in steps of 10 %
// and a mute that keeps the level for when it is lifted. It shapes only what the
// speakers play; an export copies the sound as it was recorded.
class CSoundLevel {
public:
    static constexpr int STEP = 10;
    static constexpr int MAX = 100;

    int Percent() const { return m_nPercent; }
    bool IsMuted() const { return m_bMuted; }
    // Something is heard when a channel plays.
    bool IsAudible() const { return !m_bMuted && m_nPercent > 0; }
    // What the outputs are set to, 0..1.
    double Gain() const { return IsAudible() ? m_nPercent / double(MAX) : 0.0; }

    // `steps` steps up (or down, when negative), within 0..100 %. Turning the sound up
    // or down lifts a mute, as the user wants to hear the change.
    void Step(int steps);
    void ToggleMute() { m_bMuted = !m_bMuted; }

    // The level and mute of an options file's INFO section; a missing or unreadable
    // value keeps what this holds, and a level off the steps is brought onto them.
    void Read(const CProfileFile& options);
    // False when the file cannot be written.
    bool Write(const CProfileFile& options) const;

    bool operator==(const CSoundLevel&) const = default;

private:
    int m_nPercent = MAX;
    bool m_bMuted = false;
};

// What decides whether the speakers sound.
struct CSoundRoute {
    uint8_t m_byAudioMask = 0;   // the switches that are on
    uint8_t m_byOpenOutputs = 0; // the channels whose output is open
    uint8_t m_nPlayState = 0;
    bool m_bRecordingHasSound = false;
    bool m_bExportOpen = false; // the sound goes to the export instead
};

// Sound plays while forward play delivers a recording's sound, record by record, to
// an open output of a switch that is on, loud enough to hear. Backward and fast play
// deliver only scraps of it, which are not listening.
bool SoundReachesSpeakers(const CSoundRoute& route, const CSoundLevel& level);

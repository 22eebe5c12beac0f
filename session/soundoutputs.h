#pragma once

#include "playback/isoundsink.h"

#include <array>
#include <memory>

class CWaveOut;

// The four sound outputs, one per audio channel of a recording, as the frame router's
// sound sink.
//
// Threads: the outputs are opened on the window thread while no playback thread
// runs, and live until this goes; after that the playback thread queues slices.
// Their volume is set on the window thread, which the device objects belong to.
class CSoundOutputs : public ISoundSink {
public:
    CSoundOutputs();
    ~CSoundOutputs();

    bool IsOpen(int channel) const;
    // False when the system has no output that plays the recorder's sound.
    bool Open(int channel);
    // Whether the system has a sound output at all: when it has none, Open cannot succeed.
    static bool HasDevice();

    void OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime& time) override;

    // How loud every output plays, 0..1, and those opened later too. Window thread.
    void SetVolume(double gain);

private:
    std::array<std::unique_ptr<CWaveOut>, 4> m_pOutputs;
    double m_dGain = 1.0; // window thread only
};

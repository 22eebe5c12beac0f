#pragma once

#include "playback/frametime.h"

#include <cstdint>

// Where the frame router hands the sound of the channels switched on, while the sink
// is registered with it. Called on the playback thread; the slice is valid during
// the call only.
class ISoundSink {
public:
    // One 132-byte slice for audio output `channel` (0..3), of the record stamped `time`.
    virtual void OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime& time) = 0;

protected:
    ~ISoundSink() = default;
};

#pragma once

#include <cstdint>

// What the playback engine tells whoever runs it. Every call comes from the playback
// thread; an implementation that shows something hands it to the window thread
// without waiting for it.
class IPlaybackView {
public:
    // The engine has just stored `state` as the steering's play state: it paused (at
    // an end of the recording, after a jump's show, after a read error), or turned a
    // command into what carries it out. A player ends a running export on a pause.
    virtual void OnPlayStateSet(uint8_t /*state*/) {}
    // One assembled record: its picture (pictureLength bytes, whole 8,192-byte units,
    // 0 for an audio-only record) and its unscrambled audio block when audioMode is
    // 2 or 3. Returns the channel the picture showed, 0xFF when none.
    virtual uint8_t OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                                const uint8_t* picture) = 0;
    // Navigation button patterns at the start and at the end of the recording, told
    // after the pause there has been stored.
    virtual void SetStartButtons() = 0;
    virtual void SetEndButtons() = 0;
    // The slider position, 0..710.
    virtual void SetSliderPos(int pos) = 0;
    // A read failed; playback stops. Shown as a message box with this text.
    virtual void ShowReadError(const char* text) = 0;
    // Reading ran into the end of the file without a state action stopping it there:
    // forward play found no picture it could show before the end, or the file is
    // shorter now than it was. The engine reads on from a little before the end
    // (from the start in the go-to-start state), as the player does, unless the run
    // flag has been cleared here.
    virtual void OnEndOfFile() {}
    // The read position jumps (to the start, the end, a slider position or a header
    // gone to): what was shown before is not of the moment read next.
    virtual void OnJump() {}

protected:
    ~IPlaybackView() = default;
};

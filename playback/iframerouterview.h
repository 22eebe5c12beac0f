#pragma once

#include "playback/tilerenderer.h"

#include <QRect>

#include <cstdint>

// What the frame router asks of the player view. Called on the playback thread (and,
// when the paused page is drawn again, on the window thread); an implementation
// hands everything visible to the window thread without waiting for it.
class IFrameRouterView {
public:
    // Part of the window (window coordinates) shows something new.
    virtual void RepaintWindowRect(const QRect& rect) = 0;
    // The first picture of a playback thread is of the other video standard.
    virtual void SwitchVideoStandard(bool pal) = 0;
    // One 132-byte slice for audio output `channel` (0..3).
    virtual void QueueAudioSlice(int channel, const uint8_t* slice) = 0;
    // While the backup window is open no audio is played, and every decoded picture
    // goes to ExportPicture, playback thread, before its tile is drawn.
    virtual bool IsBackupOpen() const = 0;
    virtual void ExportPicture(int /*channel*/, const CTilePicture& /*picture*/, const CFrameTime& /*time*/) {}
    // A channel got its first picture since the pictures were last forgotten, or
    // they all were forgotten: which channels HasPicture names has changed.
    virtual void OnPicturesChanged() {}

protected:
    ~IFrameRouterView() = default;
};

#pragma once

#include <QRect>

// What the frame router tells whoever shows its video area. Called on the playback
// thread (and, for a refresh of the paused page, on the window thread); an
// implementation hands everything visible to the window thread without waiting for
// it. Pictures and sound go to the sinks registered with the router instead.
class IFrameRouterView {
public:
    // Part of the window (window coordinates) shows something new.
    virtual void RepaintWindowRect(const QRect& rect) = 0;
    // The first picture of a playback thread is of the other video standard.
    virtual void SwitchVideoStandard(bool pal) = 0;
    // A channel got its first picture since the pictures were last forgotten, or
    // they all were forgotten: which channels HasPicture names has changed.
    virtual void OnPicturesChanged() {}

protected:
    ~IFrameRouterView() = default;
};

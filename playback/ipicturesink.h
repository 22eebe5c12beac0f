#pragma once

#include "playback/tilerenderer.h"

// Where the frame router hands every decoded picture, before its tile is drawn, while
// the sink is registered with it. Called on the playback thread (and on the window
// thread for a picture the router holds); the picture is valid during the call only.
class IPictureSink {
public:
    virtual void OnPicture(int channel, const CTilePicture& picture, const CFrameTime& time) = 0;

protected:
    ~IPictureSink() = default;
};

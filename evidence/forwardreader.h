#pragma once

#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playsteering.h"
#include "recording/recordingprobe.h"

#include <atomic>
#include <functional>
#include <string>

// Runs the playback engine over a recording in forward play from its first record,
// without pacing, until forward play ends at the end offset, handing every delivered
// record to `onFrame`. Where the player would cycle at the end of the file (no
// picture it could show before the end, a file cut short while read), the reader
// stops there. Runs on the calling thread.
class CForwardReader : public IPlaybackView {
public:
    struct CFrame {
        const CCurrentRecord& record;
        int audioMode;
        uint32_t pictureLength;
        const uint8_t* audio;
        const uint8_t* picture;
    };
    using FrameHandler = std::function<void(const CFrame&)>;

    // False when a read failed; the engine's message is on standard error.
    bool Run(const std::string& path, const CRecordingFacts& facts, FrameHandler onFrame);
    // The last run ended at the end of the file, before forward play reached the end offset.
    bool EndedAtEndOfFile() const { return m_bEndOfFile; }
    // Called from the frame handler: no record after this one is read.
    void Stop() { m_steering.m_bThreadRun = false; }

    void OnPlayStateSet(uint8_t state) override;
    uint8_t OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                        const uint8_t* picture) override;
    void SetStartButtons() override {}
    void SetEndButtons() override {}
    void SetSliderPos(int) override {}
    void ShowReadError(const char* text) override;
    void OnEndOfFile() override;

private:
    CPlaySteering m_steering;
    CCurrentRecord m_current;
    FrameHandler m_onFrame;
    bool m_bReadError = false;
    bool m_bEndOfFile = false;
};

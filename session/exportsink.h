#pragma once

#include "playback/ipicturesink.h"
#include "playback/isoundsink.h"

#include <QString>

#include <functional>
#include <memory>

class CBackupRecorder;

// The export recorder as the frame router's picture and sound sink: of the pictures
// handed to it, the export's camera goes to the recorder, cropped, scaled and stamped
// there; of the sound, the MP4's audio channel, with its record's date-time.
//
// Threads: made and released on the window thread while no playback thread runs;
// OnPicture and OnSoundSlice run on the playback thread (and OnPicture on the window
// thread for the picture an export starts with). The recorder guards its own state.
class CExportSink : public IPictureSink, public ISoundSink {
public:
    // `onWriteFailed` is called on the thread whose picture or sound could not be written.
    explicit CExportSink(std::function<void()> onWriteFailed);
    ~CExportSink();

    // Exports are written into `aviFolder`.
    void Create(const QString& aviFolder);
    // Completes an export still running, without showing its folder.
    void Finish(const CFrameTime& end);
    CBackupRecorder* Recorder() const { return m_pRecorder.get(); }

    void OnPicture(int channel, const CTilePicture& picture, const CFrameTime& time) override;
    void OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime& time) override;

private:
    std::function<void()> m_onWriteFailed;
    std::unique_ptr<CBackupRecorder> m_pRecorder;
};

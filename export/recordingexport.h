#pragma once

#include "evidence/forwardreader.h"
#include "evidence/ordereddecoder.h"
#include "evidence/strandpool.h"
#include "export/backuprecorder.h"
#include "export/backupsetting.h"
#include "export/exportoptions.h"
#include "export/irecordingexportview.h"
#include "recording/datetime.h"
#include "recording/recordingprobe.h"

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a one-pass export makes: cameras of one recording, all into one folder.
struct CRecordingExportSettings {
    std::vector<int> m_channels; // from 1, ascending, each once, none above the recording's count
    CDateTime m_from, m_to;      // the range of record dates; invalid: open
    int m_nFps = 10;
    int m_nWidth = 360, m_nHeight = 240;
    QString m_strFolder;         // ends in '/'; created when missing
    // The format, the MP4's quality, the AVI's own rate and the note's options. A
    // mosaic makes one export of all the channels; the sound is SOUND_OWN's or that
    // of m_options' channel.
    CExportOptions m_options;
    bool m_bMosaic = false;
    bool m_bOwnSound = true;     // each camera's own audio channel, when the recording has it

    // The export the player's panel sets up, of its one camera, with the sound and
    // format of `options`: what kvxtool export makes of --channel, --fps, --size,
    // --format and --audio giving the same.
    static CRecordingExportSettings ForPanel(const BACKUPSETTING& setting, const CExportOptions& options)
    {
        CRecordingExportSettings s;
        s.m_channels = {setting.m_byChannel + 1};
        // An MP4 is timed by the recorder's clock: the rate only hints its encoder,
        // and kvxtool, which takes no rate for one, hints the default.
        if (options.m_format != EExportFormat::Mp4)
            s.m_nFps = setting.m_byFrameRate;
        s.m_nWidth = setting.m_nWidth;
        s.m_nHeight = setting.m_nHeight;
        s.m_options = options;
        s.ChooseSound(options.m_nSoundChannel);
        return s;
    }

    // One audio channel (from 0; -1 none) for every export instead of each camera's own.
    void ChooseSound(int channel)
    {
        m_bOwnSound = false;
        m_options.m_nSoundChannel = channel;
    }
    CBookmarks m_bookmarks;      // the user's, of the recording, for the notes
};

// Cameras of a recording into AVIs with their logs and checksums, made by the
// player's own recorder from the pictures forward play delivers, from the first
// record to where forward play stops, or only those dated in a range.
//
// Several cameras are exported in one pass: each record is read once and each
// picture decoded once, on several cores, then handled in order, one at a time
// (COrderedDecoder), then written by the export of the camera its bar code names,
// the cameras side by side (CStrandPool). Each camera gets the names, log and sums of
// a single export. A pass that ends early (a write that failed, an export that could
// not be made, a recording that could not be read on) cuts every camera's export
// short: each ends with its frames so far and is marked incomplete instead of
// getting sums.
//
// Threads: Run on the calling (reading) thread, which also calls the view. The
// decoding threads hand pictures on in order; each camera's frames are written on
// its strand's thread.
class CRecordingExport {
public:
    enum class EResult {
        Done,           // every camera's export is complete
        NothingInRange, // no record lies in the range: no file is made
        Failed,         // an export could not be made, written or completed: it said why
    };

    struct CCamera {
        int m_nChannel = 0; // from 1
        std::unique_ptr<CBackupRecorder> m_recorder;
    };
    // What one camera's finished export made.
    struct CExported {
        int m_nChannel = 0; // from 1
        QString m_strAvi, m_strLog, m_strTxt; // the video (AVI or MP4) and its companions
        uint32_t m_nFrames = 0;
        int m_nFps = 0;                        // of the log
        int m_nSoundChannel = -1;              // from 0; -1 none
    };

    // `recording` must have been probed into `facts`.
    CRecordingExport(std::string recording, const CRecordingFacts& facts, CRecordingExportSettings settings,
                     IRecordingExportView& view);
    CRecordingExport(const CRecordingExport&) = delete;
    CRecordingExport& operator=(const CRecordingExport&) = delete;

    EResult Run();
    // Ends the pass soon, as a failed write would: every export is cut short with the
    // frames written so far, and says it was stopped. Any thread.
    void Cancel() { m_bCancelled = true; }

    // Each camera's export, in the order of the settings' channels; any thread
    // (the frame counts are atomics).
    const std::vector<CCamera>& Cameras() const { return m_cameras; }
    uint32_t FrameCount() const;
    // Once Run is Done: each camera's files and frames.
    std::vector<CExported> Results() const;

    // The folder exports go into: `given` (its bytes as the user typed them), or with
    // none the player's avi folder beside the program; a path ending in '/'.
    static QString FolderFor(const std::string& given);

private:
    // Reading thread.
    void OnRecord(const CForwardReader::CFrame& f);
    void PostSound(const uint8_t* audio);
    CExportOptions OptionsFor(int channel) const;
    bool InRange(const CRecordHeader& header) const;
    bool StartExport(const CFrameTime& start);
    QString StopCause(bool readOk) const;
    EResult Finish(bool readOk);
    // A decoding thread, one picture at a time, in delivery order.
    void OnPicture(const COrderedDecoder::CDecoded& d);
    // The camera's strand.
    void ExportPicture(CCamera& camera, int channel, const CTilePicture& picture, const CFrameTime& time);

    // Set at construction, read-only after.
    const std::string m_strRecording;
    const CRecordingFacts m_facts;
    const CRecordingExportSettings m_settings;
    IRecordingExportView& m_view;
    CExportMaster m_master;                 // its sum computed beside the pass
    std::vector<CCamera> m_cameras;
    std::array<CCamera*, 16> m_byChannel{}; // by channel code: the camera's export (or the mosaic), if chosen

    // Reading thread only.
    CForwardReader m_reader;
    std::unique_ptr<COrderedDecoder> m_decoders;
    std::unique_ptr<CStrandPool> m_strands; // one strand per camera
    CFrameTime m_timeLast;                  // of the last record delivered (in the range)
    bool m_bStarted = false;
    std::vector<int> m_soundChannels;       // by camera: its audio channel from 0, or -1
    QString m_strStopCause;                 // an export could not be created

    // Decoding threads, one at a time.
    std::optional<bool> m_bPal; // decided by the first picture delivered

    // Written by the strands, read by the reading thread.
    std::atomic<bool> m_bWriteFailed{false}; // a frame could not be written
    // Written by whoever cancels, read by the reading thread.
    std::atomic<bool> m_bCancelled{false};
};

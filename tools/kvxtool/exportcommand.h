#pragma once

#include "export/backuprecorder.h"
#include "playback/dibpicture.h"
#include "recording/recordingprobe.h"
#include "evidence/forwardreader.h"
#include "evidence/ordereddecoder.h"
#include "evidence/strandpool.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// kvxtool export: cameras of a recording into AVIs with their logs and checksums,
// made by the player's own recorder from the pictures forward play delivers, from
// the first record to where forward play stops, or only those dated in a range.
//
// Several cameras are exported in one pass: each record is read once and each
// picture decoded once, on both cores, then handled in order, one at a time
// (COrderedDecoder), then written by the export of the camera its bar code names,
// the cameras side by side (CStrandPool). Each camera gets the names, log and sums of
// a single export.
class CExportCommand {
public:
    struct COptions {
        std::string m_strRecording;
        std::vector<int> m_channels; // as the user sees them, from 1, ascending
        bool m_bAllChannels = false; // every channel of the recording
        CDateTime m_from, m_to;      // the range of record dates; invalid: open
        int m_nFps = 10;
        int m_nWidth = 360, m_nHeight = 240;
        std::string m_strOutDir; // empty: the player's avi folder
        bool m_bJson = false;
    };

    static const char* const SYNOPSIS;
    // False on a usage error. The channels are checked against the recording later.
    static bool Parse(const std::vector<std::string>& args, COptions& out);

    explicit CExportCommand(COptions options);
    virtual ~CExportCommand() = default;
    // The exit status: 0 done, 1 refused recording, nothing in the range or unwritable
    // output, 2 usage.
    int Run();

protected:
    // One camera's export.
    struct CCamera {
        int m_nChannel = 0; // from 1
        std::unique_ptr<CBackupRecorder> m_recorder;
    };

    // Every record forward play delivers; reading thread.
    virtual void OnRecord(const CForwardReader::CFrame& f);
    // Every picture, decoded, in delivery order; a decoding thread.
    virtual void OnPicture(const COrderedDecoder::CDecoded& d);
    // One picture of an exported channel into its AVI.
    void ExportPicture(CCamera& camera, const BITMAPINFOHEADER& header, const uint8_t* bits, bool markAbsent,
                       const CFrameTime& time);

    COptions m_options;
    CRecordingFacts m_facts;
    CForwardReader m_reader;

private:
    bool SelectChannels();
    bool InRange(const CRecordHeader& header) const;
    bool StartExport(const CFrameTime& start);
    QString StopCause(bool readOk) const;
    int Finish(bool readOk);
    void ShowProgress(uint64_t offset, bool last);
    void PrintResult(const CCamera& camera) const;
    QString OutputFolder() const;
    uint32_t FrameCount() const;

    std::vector<CCamera> m_cameras;
    std::array<CCamera*, 16> m_byChannel{}; // by channel code: the camera's export, if chosen
    std::unique_ptr<COrderedDecoder> m_decoders;
    std::unique_ptr<CStrandPool> m_strands;  // one strand per camera
    std::optional<bool> m_bPal;  // decided by the first picture delivered; decoding threads
    CFrameTime m_timeLast;       // of the last record delivered (in the range)
    bool m_bStarted = false;
    QString m_strStopCause;                   // an export could not be created
    std::atomic<bool> m_bWriteFailed{false};  // a frame could not be written
    bool m_bProgress = false;
    std::chrono::steady_clock::time_point m_tStart, m_tShown;
};

int RunExportCommand(const std::vector<std::string>& args);

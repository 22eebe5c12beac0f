#pragma once

#include "export/backuprecorder.h"
#include "playback/dibpicture.h"
#include "recording/recordingprobe.h"
#include "tools/kvxtool/forwardreader.h"
#include "tools/kvxtool/ordereddecoder.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// kvxtool export: one channel of a recording into an AVI with its log and checksums,
// made by the player's own recorder from the pictures forward play delivers, from
// the first record to where forward play stops.
//
// The run is split into its steps (parse, probe, each delivered record, each decoded
// picture, finish) so that narrower selections of records or several channels can be
// built on it. The records are read on the calling thread; the pictures are decoded
// on both cores and handled in their order, one at a time (COrderedDecoder).
class CExportCommand {
public:
    struct COptions {
        std::string m_strRecording;
        int m_nChannel = 0; // as the user sees it, from 1
        int m_nFps = 10;
        int m_nWidth = 360, m_nHeight = 240;
        std::string m_strOutDir; // empty: the player's avi folder
        bool m_bJson = false;
    };

    static const char* const SYNOPSIS;
    // False on a usage error. The channel is checked against the recording later.
    static bool Parse(const std::vector<std::string>& args, COptions& out);

    explicit CExportCommand(COptions options);
    virtual ~CExportCommand() = default;
    // The exit status: 0 done, 1 refused recording or unwritable output, 2 usage.
    int Run();

protected:
    // Every record forward play delivers; reading thread.
    virtual void OnRecord(const CForwardReader::CFrame& f);
    // Every picture, decoded, in delivery order; a decoding thread.
    virtual void OnPicture(const COrderedDecoder::CDecoded& d);
    // One picture of the exported channel into the AVI.
    void ExportPicture(const COrderedDecoder::CDecoded& d);

    const COptions m_options;
    CRecordingFacts m_facts;
    CForwardReader m_reader;

private:
    bool StartExport(const CFrameTime& start);
    int Finish(bool readOk);
    void ShowProgress(uint64_t offset, bool last);
    void PrintResult() const;
    QString OutputFolder() const;

    std::optional<CBackupRecorder> m_recorder;
    std::unique_ptr<COrderedDecoder> m_decoders;
    std::optional<bool> m_bPal;  // decided by the first picture delivered; decoding threads
    CFrameTime m_timeLast;       // of the last record delivered
    bool m_bStarted = false;
    bool m_bCreateFailed = false;             // the export could not be created
    std::atomic<bool> m_bWriteFailed{false};  // a frame could not be written
    bool m_bProgress = false;
    std::chrono::steady_clock::time_point m_tStart, m_tShown;
};

int RunExportCommand(const std::vector<std::string>& args);

#pragma once

#include "export/aviwriter.h"
#include "export/backupsetting.h"
#include "export/exportoptions.h"
#include "export/finishedexport.h"
#include "export/maskclock.h"
#include "export/mosaicframe.h"
#include "export/mp4copy.h"
#include "export/ratecounter.h"
#include "playback/smoothscaler.h"

#include <QFont>
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Turns the pictures of one channel into a Motion-JPEG AVI with the channel number
// and the date-time burnt into each frame, and writes beside it a log of the export
// and the SHA-256 sums of both, so that whoever receives them can check them. An
// export that stopped before its end is not vouched for by sums: a note beside it
// says that it is incomplete and why.
//
// An export is a file of evidence: it is created under a name that nothing in the
// folder has yet (never truncating or sharing a file, even with another player
// exporting into the same folder), written so that a kill or a power cut keeps it,
// and a write that fails ends it cleanly with the frames before it.
//
// Threads: StartBackup, StopBackup and the questions run on the window thread (or
// the one thread of a command line); WritePicture on the playback thread. One mutex
// serialises an export's start and stop with the frame in progress, and is held
// only for what a frame must wait for: StopBackup takes the finished export out
// under it, then completes the AVI and writes its log and sums without it, so that
// the playback thread never waits for a whole file to be hashed. The frame count and
// the failure flag are atomics, for a window showing progress.
class CBackupRecorder {
public:
    enum class EFrame { Written, Skipped, Failed };

    // Exports go into `aviFolder`, a path ending in '/', created when missing.
    explicit CBackupRecorder(const QString& aviFolder);
    ~CBackupRecorder();
    CBackupRecorder(const CBackupRecorder&) = delete;
    CBackupRecorder& operator=(const CBackupRecorder&) = delete;

    // Creates NN_Capture.avi (NN the channel from 01), or the first free
    // NN_Capture(01).avi, ..., and makes ready for frames of `setting`'s size. `start`
    // is the date-time the log gives as the start. False with ErrorText() when the
    // file cannot be created; nothing is then left behind.
    //
    // `options` may make it an MP4 working copy instead (NN_Capture.mp4, or
    // Mosaic_Capture.mp4 for several cameras in the player's grid), timed by the
    // recorder's clock and with sound; or an AVI whose rate is the camera's own. With a
    // master, NN_Capture.txt beside it traces it to the recording, and the sums
    // cover it too.
    bool StartBackup(const BACKUPSETTING& setting, const CFrameTime& start, const CExportOptions& options = {});
    // Ends the export: closes the AVI, writes its log with `end` as the end time, the
    // .sha256 file and its signature (Outcome() says why there is none). An
    // export cut short (a failed write, CutShort, an AVI that
    // could not be completed) instead ends its log at the last frame written and
    // gets NN_Capture.INCOMPLETE.txt, with the reason and the frames, in place of the
    // sums. False with ErrorText() when something could not be written; what could
    // be is written all the same. Nothing when no export runs.
    bool StopBackup(const CFrameTime& end);
    // The first half of StopBackup: the running export let go, under the lock, for
    // the caller to complete where it will (the window completes it on a worker, so
    // that its thread never waits for a file to be hashed). Nothing when no export runs.
    std::optional<CFinishedExport> TakeExport();

    // One decoded picture of `channel`, recorded at `time`: when it is the exported
    // camera's, it is cropped, scaled, stamped, encoded and written. Failed is
    // answered once, for the write that ended the export (disk full, medium removed):
    // the AVI then holds the frames before it, FailureText() says why, and later
    // pictures are Skipped until StopBackup. The window's export and the one-pass
    // export of the command line both write their frames here.
    EFrame WritePicture(int channel, const CTilePicture& picture, const CFrameTime& time);
    // One record's sound of audio channel `channel` (from 0): 132 samples, taken by an
    // MP4 export of that channel's sound, on the thread that writes its pictures or
    // serialised with it. Silence instead within the export's mute ranges.
    EFrame WriteSound(int channel, const uint8_t* slice, const CFrameTime& time);
    // Ends the running export's frames for a reason outside it (the camera exported
    // beside it could not be written, the recording could not be read on): later
    // pictures are Skipped and StopBackup completes it as cut short. Nothing when no
    // export runs.
    void CutShort(const QString& reason);

    const QString& AviFolder() const { return m_strAviFolder; }
    bool IsExporting() const { return m_bExporting; }
    // The settings of the running export.
    std::optional<BACKUPSETTING> Setting() const;
    QString AviName() const;          // of the current or last export
    uint32_t FrameCount() const { return m_nFrames; }
    QString ErrorText() const;        // why StartBackup or StopBackup failed
    // Why an export was cut short, naming its file, for a person; empty while it is
    // not. Kept after StopBackup until the next export starts.
    QString FailureText() const;
    // What the last export StopBackup completed came to, all of it read under one
    // lock, so that its parts belong to the same export. Kept until the next starts.
    struct COutcome {
        QString m_strAviName;
        uint32_t m_nFrames = 0;
        uint8_t m_byFrameRate = 0; // its log's: chosen, or the camera's own mean
        int m_nSoundChannel = -1;  // from 0; -1: none
        QString m_strError;        // ErrorText()
        QString m_strFailure;      // FailureText()
        // Why it is unsigned, naming it and the key file, and the reason alone; empty
        // when it was signed.
        QString m_strUnsigned, m_strUnsignedReason;
    };
    COutcome Outcome() const;

    // The stamp's text cell height for an export `width` pixels wide.
    static int FontHeightFor(int width) { return width <= 360 ? 20 : 25; }
    // `path`, or the first of path(01).ext, path(02).ext, ... for which neither the
    // AVI nor its log, its sums or its note exist.
    static QString MakeUniqueFileName(const QString& path);
    // The stamp's font: bold Arial whose text cell is `fontHeight` pixels high.
    static QFont StampFont(int fontHeight);

    // The steps of one frame, each on the export's buffers (public for the tests).
    bool CropPicture(const CTilePicture& picture);
    void ScalePicture(int width, int height);
    void StampPicture(int channel, const CFrameTime& time, int width, int height);
    // The channel's privacy masks over the scaled picture, before its stamp.
    void MaskPicture(int channel, const CFrameTime& time, int width, int height);
    const uint8_t* CropBits() const { return m_crop.data(); }
    int CropWidth() const { return m_nCropWidth; }
    int CropHeight() const { return m_nCropHeight; }
    const uint8_t* ExportBits() const { return m_export.data(); }
    static int64_t Stride(int width) { return (int64_t(width) * 24 + 31) / 32 * 4; }

private:
    bool OpenUniqueAvi(const QString& base, int width, int height, int fps);
    uint8_t LoggedFrameRate() const; // chosen, or the camera's own mean (1..60)
    bool OpenUniqueMp4(const QString& base, const BACKUPSETTING& setting, const CFrameTime& start);
    QString BaseName(const BACKUPSETTING& setting) const;
    bool TakesPicture(int channel) const;
    bool PreparePicture(int channel, const CTilePicture& picture, const CFrameTime& time);
    bool WriteFrame(const CFrameTime& time);
    void CountForRate(const CFrameTime& time);
    void SetFailure(const QString& reason);
    QString LockedFailureText() const; // FailureText, m_mutex held
    void DrawStampText(QImage& strip, int top, int x, const QString& text);
    bool SetError(const QString& text);

    const QString m_strAviFolder;

    // Guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::unique_ptr<CAviWriter> m_pAviWriter; // while an AVI export runs
    std::unique_ptr<CMp4Copy> m_pMp4;         // while an MP4 export runs
    CExportOptions m_options;                 // of the running or last export
    std::optional<CFrameTime> m_timeFirstWritten;
    CRateCounter m_rate;                      // the camera's own rate
    uint8_t m_byLastRate = 0;                 // the last log's
    QString m_strAviName;
    QString m_strError;
    QString m_strFailure;                  // the reason alone, while m_bFailed
    QString m_strUnsigned, m_strUnsignedReason; // of the last export StopBackup completed
    std::optional<BACKUPLOG> m_pBackupLog; // while an export runs
    std::optional<CFrameTime> m_timeLastWritten; // of the last frame the AVI took
    std::atomic<bool> m_bExporting{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<uint32_t> m_nFrames{0};

    // The export's buffers, made at start (the crop buffer at the first picture) and
    // reused for every frame. Guarded by m_mutex.
    std::vector<uint8_t> m_crop;
    int m_nCropWidth = 0, m_nCropHeight = 0;
    std::vector<uint8_t> m_export;
    std::vector<uint8_t> m_jpeg;
    QImage m_stampStrip;  // the rows under the texts, top-down, while they are drawn
    QFont m_fontStamp;
    int m_nStampFontHeight = 0;
    CSmoothScaler m_scaler;
    std::unique_ptr<CMosaicFrame> m_pMosaic; // while a mosaic is exported
    CMaskClock m_maskClock;                  // while a redacted copy is exported
};

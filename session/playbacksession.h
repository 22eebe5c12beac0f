#pragma once

#include "evidence/bookmarkstore.h"
#include "evidence/maskstore.h"
#include "export/exportoptions.h"
#include "playback/currentrecord.h"
#include "playback/framerouter.h"
#include "playback/iframerouterview.h"
#include "playback/iplaybackview.h"
#include "playback/playsteering.h"
#include "playback/playthread.h"
#include "recording/recordingprobe.h"
#include "session/activitytracker.h"
#include "session/camerarateprobe.h"
#include "session/exportfinisher.h"
#include "session/exportsink.h"
#include "session/masterhash.h"
#include "session/reporttracker.h"
#include "session/soundlevel.h"
#include "session/soundoutputs.h"
#include "session/tileregionmap.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include <optional>

class CBackupRecorder;
struct BACKUPSETTING;

// One open recording being played: the probe's facts, the playback thread and its
// steering, the frame router with its video area, the sound outputs and the export
// recorder. The window turns the user's commands into calls here and learns what
// changed from the signals; nothing here is a widget.
//
// Threads: the session lives on the window thread, which makes every call below and
// receives every signal. The playback thread reaches it only through IPlaybackView
// and IFrameRouterView: those calls touch atomics and the router (which guards
// itself) and hand the rest to the window thread as a queued call. A queued call of
// a thread that has been stopped since is dropped. The window thread waits for the
// playback thread only in StopThread (join); never the other way round.
class CPlaybackSession : public QObject,
                         public IPlaybackView,
                         public IFrameRouterView,
                         public IProbeView {
    Q_OBJECT

public:
    explicit CPlaybackSession(QObject* parent = nullptr);
    ~CPlaybackSession() override;

    // --- the recording ---
    // Pauses, forgets the pictures and puts the slider back to its start.
    void Reset();
    // Resets and probes `path`; true when it is a recording, ready to be played.
    bool Open(const QString& path);
    // Plays the recording opened last from its start, stopping a thread still running.
    void StartThread(const QString& path);
    void StopThread();
    // Stops the thread and completes an export still running; at the window's end.
    void Close();
    bool IsThreadStarted() const { return m_playThread.IsStarted(); }
    const CRecordingFacts& Recording() const { return m_recording; }

    // --- steering ---
    uint8_t PlayState() const { return m_steering.m_nPlayState; }
    // A pause also draws the page again from the pictures held.
    void SetPlayState(uint8_t state);
    int SpeedIndex() const { return m_steering.m_nSpeedIndex; }
    int DelayIndex() const { return m_steering.m_nDelayIndex; }
    // One step faster or slower, within the range; returns the new index.
    int ChangeSpeed(bool faster);
    int ChangeDelay(bool longer);
    // To slider position `pos` (0..710).
    void Seek(int pos);
    // To the record whose header lies at `offset`; one group is shown, then a pause.
    void GoTo(uint64_t offset);
    // From the record shown last: `records` records on (0: a group), or on to the
    // next picture of `channel` unless it is -1. Only while paused; false otherwise.
    bool FrameStep(bool forward, int records, int channel);

    // --- the video area: layout and what it shows ---
    void SetFonts(const QFont& tileSmall, const QFont& tileLarge) { m_router.SetFonts(tileSmall, tileLarge); }
    void SetOverlay(const QImage& overlay, const QRect& source) { m_router.SetOverlay(overlay, source); }
    void SetAudioFilter(bool on);
    void SetPal(bool pal) { m_router.SetPal(pal); }
    // The layout setters leave the paused page as it is: see RefreshIfPaused.
    void SetVideoArea(QPoint origin, QSize size, const QImage& background)
    {
        m_router.SetVideoArea(origin, size, background);
    }
    void SetGrid(int n) { m_router.SetGrid(n); }
    int Grid() const { return m_router.Grid(); }
    void SetCurChannel(int channel) { m_router.SetCurChannel(channel); }
    int CurChannel() const { return m_router.CurChannel(); }
    void SetLastChannel(uint8_t channel) { m_router.SetLastChannel(channel); }
    void SetAudioMask(uint8_t mask) { m_router.SetAudioMask(mask); }
    uint8_t AudioMask() const { return m_router.AudioMask(); }
    void SetZoom(const CTileZoom& zoom) { m_router.SetZoom(zoom); }
    CTileZoom Zoom() const { return m_router.Zoom(); }
    QRect TileRect(int channel) const { return m_router.TileRect(channel); }
    bool HasPicture(int channel) const { return m_router.HasPicture(channel); }
    // Draws the tiles of the shown page again from the channels' pictures.
    void RefreshPage() { m_router.RefreshPage(); }
    // The same while paused, then signals `paused`. The window calls it once a
    // command has set the whole layout up: a step of it drawn on its own could leave
    // a picture that the next step hides. A pause, by either thread, calls it too.
    void RefreshIfPaused();
    void PaintVideo(QPainter& painter) const { m_router.PaintVideo(painter); }
    std::optional<CFrameTime> ShownFrameTime() const { return m_router.ShownFrameTime(); }
    // The date-time on screen, or the recording's start before anything is shown.
    CDateTime ShownTime() const;
    // The header offset of the record routed last, the one on screen.
    uint64_t ShownOffset() const { return m_nRoutedOffset; }
    CFrameRouter::CVideoSnapshot SnapshotVideo() { return m_router.SnapshotVideo(); }
    const CFrameRouter& Router() const { return m_router; }

    // --- sound and export ---
    bool HasAudioOutput(int channel) const { return m_sound.IsOpen(channel); }
    // How loud the speakers play; the export's sound stays as recorded.
    void SetSoundLevel(const CSoundLevel& level);
    const CSoundLevel& SoundLevel() const { return m_soundLevel; }
    // The recording's sound is heard now (see SoundReachesSpeakers).
    bool IsSoundPlaying() const;
    // Where exports are written; once, before the first export window opens.
    void CreateRecorder(const QString& aviFolder) { m_export.Create(aviFolder); }
    CBackupRecorder* Recorder() const { return m_export.Recorder(); }
    // While the export window is open every picture and the switched-on sound go to
    // the recorder (unfiltered, as recorded) and no sound plays, and a pause of the
    // playback thread asks to stop the export.
    void SetExportWindowOpen(bool open);
    bool IsExportWindowOpen() const { return m_bExportOpen; }
    // Starts the export `setting` describes, of the recording open now; false when
    // its file could not be made (the recorder says why). Paused, the export begins
    // with the camera's picture on screen and playback goes on forward.
    // `options` beyond the settings (the format, ...); the recording is named as the
    // export's master, its sum read beside the export.
    bool StartExport(BACKUPSETTING& setting, CExportOptions options = {});

    // --- the window's export: completion, the master's sum, the cameras' rates ---
    // Takes the running export out of the recorder and completes it on a worker:
    // `exportCompleted` follows. False when no export ran.
    bool StopExport();
    // Some stopped export is still being completed.
    bool IsCompletingExport() const { return !m_finisher.IsIdle(); }
    // The open recording's cameras' own rates, when read; ReadCameraRates reads them
    // on a worker (once per recording) and `cameraRatesRead` follows.
    const std::optional<CCameraRateProbe::Rates>& CameraRates() const { return m_cameraRates; }
    void ReadCameraRates();

    // --- the activity index ---
    // Built from the moment a recording opens until another opens or the session closes.
    CActivityTracker& Activity() { return m_activity; }
    const CActivityTracker& Activity() const { return m_activity; }
    // Goes, as go-to does, to the first stretch `query` finds after the record shown
    // (before it, backwards) and returns it; nothing when the index has none. Right
    // after such a jump the stretch jumped to is where the next search starts.
    std::optional<CActivityStretch> GoToActivity(const CActivityQuery& query, bool forward);
    // The report of the whole file, built from the moment a recording opens until
    // another opens or the session closes, for the timeline and the report panel.
    CReportTracker& Report() { return m_report; }
    const CReportTracker& Report() const { return m_report; }
    // How the tile of `channel` shows its picture; none before the camera showed one.
    std::optional<CTileRegionMap> RegionMap(int channel) const;
    // The record time of the picture the tile of `channel` shows: the moment a mask
    // drawn over it is keyed at. None before the camera showed one.
    std::optional<CFrameTime> PictureTime(int channel) const;

    // --- bookmarks ---
    // The open recording's, loaded when it opens; every change is saved at once.
    CBookmarkStore& Bookmarks() { return m_bookmarks; }
    const CBookmarkStore& Bookmarks() const { return m_bookmarks; }
    // What loading them said (a damaged file set aside, a store that cannot be read);
    // empty when all went well.
    const QString& BookmarkMessage() const { return m_strBookmarkMessage; }
    // A bookmark of the record shown, without a note yet: the record routed last,
    // the date-time on screen, the enlarged camera.
    CBookmark BookmarkHere() const;

    // --- privacy masks ---
    // The open recording's, loaded beside its bookmarks; every change is saved at once.
    CMaskStore& Masks() { return m_masks; }
    const CMaskStore& Masks() const { return m_masks; }
    // What loading them said; empty when all went well.
    const QString& MaskMessage() const { return m_strMaskMessage; }

    // For measuring and testing: the records routed since the last reset, and a call
    // on the playback thread after each; set while no playback thread runs.
    int DeliveredFrames() const { return m_nDeliveredFrames; }
    std::function<void()> m_onFrameRouted;

    // IPlaybackView: the playback thread.
    void OnPlayStateSet(uint8_t state) override;
    uint8_t OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                        const uint8_t* picture) override;
    void SetStartButtons() override;
    void SetEndButtons() override;
    void SetSliderPos(int pos) override;
    void ShowReadError(const char* text) override;
    void OnJump() override;

    // IFrameRouterView: the playback thread, and the window thread while refreshing.
    void RepaintWindowRect(const QRect& rect) override;
    void SwitchVideoStandard(bool pal) override;
    void OnPicturesChanged() override;

    // IProbeView: the window thread, while Open probes.
    void ShowProbeMessage(const std::string& text) override;
    void EnableAudioControls(bool enable) override;
    void DisableEndButton() override;

signals:
    void sliderMoved(int pos);
    void startReached();   // the start buttons' pattern
    void endReached();     // the end buttons' pattern
    void readFailed(const QString& text);
    // Part of the window shows something new; `played` when the playback thread drew
    // it, which moves the play time too.
    void repaintWanted(const QRect& rect, bool played);
    void videoStandardSwitched(bool pal);
    void picturesChanged();
    void paused();         // paused, the page has been drawn again
    void probeMessage(const QString& text);
    void audioControlsShown(bool shown);
    void audioOutputFailed();
    void endButtonDisabled();
    void exportStopWanted(); // paused while the export window is open
    void exportWriteFailed();
    // A stopped export has its log, note, sums and signature, or `problems` say what
    // it lacks, and `unsignedReason` why it is not signed; its video holds `frames` frames.
    void exportCompleted(const QString& aviName, const QStringList& problems, uint frames,
                         const QString& unsignedReason);
    void cameraRatesRead(const QVector<int>& rates);

private:
    // Runs `call` on the window thread: at once when already there, else queued and
    // dropped if a newer playback thread has started since.
    void OnWindowThread(std::function<void()> call);
    // The sum of the open recording, read once on a worker for all its exports.
    CMasterHash::Sum MasterSum();
    // The bookmarks and masks the user keeps about the recording at `path`.
    void LoadUserData(const QString& path);
    void ApplyAudioFilter();

    // Window thread only.
    CRecordingFacts m_recording;
    // The window's export: the filter the user chose (off while exporting), the sums
    // of the recordings exported from (kept while an export may await one), and the
    // open recording's cameras' rates, read once.
    bool m_bAudioFilter = false;
    // The speakers: how loud, and whether the open recording has sound to play.
    CSoundLevel m_soundLevel;
    bool m_bRecordingHasSound = false;
    std::vector<std::unique_ptr<CMasterHash>> m_masterHashes;
    std::unique_ptr<CCameraRateProbe> m_pRateProbe;
    std::optional<CCameraRateProbe::Rates> m_cameraRates;
    int m_nRateProbe = 0; // counts the probes started: a late result of an older one is dropped
    // Destroyed before the hashes it may await, completing what was handed over.
    CExportFinisher m_finisher;

    // The activity index. Window thread only, but for the header offset of the record
    // routed last, which the playback thread writes.
    CActivityTracker m_activity;
    std::optional<uint64_t> m_activityAnchor; // the stretch jumped to, until a command moves playback
    std::atomic<uint64_t> m_nRoutedOffset{0};
    CReportTracker m_report; // window thread only

    // Bookmarks and masks: window thread only.
    CBookmarkStore m_bookmarks;
    QString m_strBookmarkMessage;
    CMaskStore m_masks;
    QString m_strMaskMessage;

    // Written by the window thread while no playback thread runs, then the playback
    // thread's until it is joined.
    CCurrentRecord m_currentRecord;

    // Shared; atomics, or guarding themselves.
    CPlaySteering m_steering;
    std::atomic<int> m_nThreadGeneration{0};
    std::atomic<int> m_nDeliveredFrames{0};
    std::atomic<bool> m_bExportOpen{false};
    CFrameRouter m_router{*this};
    CSoundOutputs m_sound;
    CExportSink m_export;

    // Last, so that it is joined before anything it uses goes.
    CPlayThread m_playThread;
};

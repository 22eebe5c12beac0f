#pragma once

#include "export/backupsetting.h"
#include "export/ibackupowner.h"
#include "playback/currentrecord.h"
#include "playback/framerouter.h"
#include "playback/iframerouterview.h"
#include "playback/iplaybackview.h"
#include "playback/playthread.h"
#include "playback/playthreadparam.h"
#include "player/controlids.h"
#include "player/iplayerframe.h"
#include "player/playercontrols.h"
#include "player/playertooltips.h"
#include "player/skinimages.h"
#include "player/viewgeometry.h"
#include "recording/recordinglocator.h"
#include "recording/recordingprobe.h"
#include "skin/skinreader.h"

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CBackupDlg;
class CBackupRecorder;
class CSkinButton;
class CWaveOut;
class CSkinSlider;
class CImageEditDlg;
class CSliderTimeTip;
class QMimeData;
class QRegion;
class QToolButton;

// The one window the user works with: it shows the recording's channels in tiles,
// the time panel and the clock, carries the 44 skin buttons and lamps and the
// position slider, opens recordings and runs their playback thread.
//
// Threads: everything here belongs to the window thread except what the playback
// thread reaches through IPlaybackView. Those calls only touch the atomics below and
// hand everything visible to the window thread as a queued call; the window thread
// never waits for the playback thread except in StopPlayThread, while the playback
// thread never waits for the window thread.
class CKVXPlayerView : public QWidget,
                       public IPlaybackView,
                       public IProbeView,
                       public IFrameRouterView,
                       public IBackupOwner {
    Q_OBJECT

public:
    // `parent` is the window that holds the view; `frame` gives what the view takes
    // from it and from the application.
    CKVXPlayerView(QWidget* parent, IPlayerFrame& frame);
    ~CKVXPlayerView() override;

    // Builds the window from the skin and opens the recording named on the command line.
    void OnInitialUpdate(const QString& commandLine);

    // The window's command dispatch: every skin control reports its control ID here.
    void OnCommand(int id);

    // IPlaybackView: called on the playback thread.
    uint8_t PlayState() const override { return m_nPlayState; }
    void SetPlayState(uint8_t state) override;
    uint8_t OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                        const uint8_t* picture) override;
    void SetStartButtons() override;
    void SetEndButtons() override;
    void SetSliderPos(int pos) override;
    void ShowReadError(const char* text) override;
    void OnJump() override;

    // IProbeView: called on the window thread by the probe.
    void ShowProbeMessage(const std::string& text) override;
    void EnableAudioControls(bool enable) override;
    void DisableEndButton() override;

    // IFrameRouterView: called on the playback thread, and on the window thread while the
    // paused page is drawn again.
    void RepaintWindowRect(const QRect& rect) override;
    void SwitchVideoStandard(bool pal) override;
    void QueueAudioSlice(int channel, const uint8_t* slice) override;
    bool IsBackupOpen() const override { return m_bBackupOpen; }
    void ExportPicture(int channel, const CTilePicture& picture, const CFrameTime& time) override;
    void OnPicturesChanged() override;

    // IBackupOwner: the backup window's start and stop, on the window thread.
    void StartBackup() override;
    void StopBackup() override;
    QString BackupProgressText() const override;

    // What a test or a screenshot wants to know.
    const CRecordingFacts& Recording() const { return m_recording; }
    const QString& FilePath() const { return m_strFilePath; }
    bool IsPal() const { return m_bPal; }
    int Grid() const { return m_router.Grid(); }
    int Page() const { return m_nPage; }
    int CurrentChannel() const { return m_router.CurChannel(); }
    uint8_t AudioMask() const { return m_router.AudioMask(); }
    uint8_t PlayStateForTest() const { return m_nPlayState; }
    int SpeedIndex() const { return m_nSpeedIndex; }
    int DelayIndex() const { return m_nDelayIndex; }
    QRect VideoRect() const { return m_geometry.m_rcVideo; }
    QRect TileRect(int channel) const { return m_router.TileRect(channel); }
    bool HasAudioOutput(int channel) const;
    CSkinButton* Button(int id) const;
    CSkinSlider* Slider() const { return m_controls.m_slider; }
    QWidget* Control(int id) const;
    bool IsPlayThreadStarted() const { return m_pPlayThread.IsStarted(); }
    int DeliveredFrames() const { return m_nDeliveredFrames; }
    CImageEditDlg* EditDialog() const { return m_pEditDlg.get(); }
    CBackupDlg* BackupDialog() const { return m_pBackupDlg.get(); }
    CBackupRecorder* BackupRecorder() const { return m_pBackupRecorder.get(); }
    CTileZoom Zoom() const { return m_router.Zoom(); }
    const CFrameRouter& Router() const { return m_router; }
    // The date-time on screen, or the recording's start before anything is shown.
    CDateTime ShownTime() const;
    CSliderTimeTip* SliderTimeTip() const { return m_pSliderTip; }
    // Called on the playback thread after every routed frame; set while no playback
    // thread runs. For measuring.
    std::function<void()> m_onFrameRouted;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // First update and teardown.
    void InitViewMembers();
    void LoadMainBitmaps();
    void LoadOptions();
    void SaveOptions();
    void LoadToolTips();
    void CreatePlayParam();
    void CreateControls();
    void ApplyToolTips();
    void ReleaseViewResources();

    // Recording and playback thread.
    bool OpenRecording();
    void ResetPlayback();
    void ReleaseChannelPictures();
    void StartPlayThread();
    void StopPlayThread();
    void SetVideoStandard(bool pal);
    // Runs `call` on the window thread: at once when already there, else queued and
    // dropped if a newer playback thread has started since.
    void OnWindowThread(std::function<void()> call);

    // Layout of the skin controls.
    void LayoutSkinControls();
    void LayoutMainButtons();
    void LayoutModeButtons();
    void LayoutNavigation();
    void LayoutChannelButtons();
    void LayoutValueFields();
    void ApplyVideoStandardLayout(bool pal);
    void ResetPageDisplay();
    void SetupSkinButton(CSkinButton* button, const char* imageSection);
    void BindAndPlace(CSkinButton* button, const std::string& imageSection, const char* section, const std::string& key);
    void PlaceControl(QWidget* control, const char* section, const std::string& key, bool pal);
    void PlaceSlider(bool pal);

    // Navigation state.
    void EnableNavButtons(bool enable);
    void SetNavButtonsEnabled(const std::array<bool, 7>& enabled);
    void SetGrid(int n);
    // While paused the playback thread draws nothing: what the page shows is drawn
    // here, from each camera's newest picture, whenever the page, its layout or its
    // zoom changes and when playback comes to a pause.
    void RefreshTiles();
    // Queued when the playback thread pauses: the pause lamp and the tiles follow.
    void OnPlaybackPaused();

    // Commands: one table says which handler each control ID runs.
    struct CCommand {
        int m_nId;
        std::function<void(CKVXPlayerView&)> m_run;
    };
    static const std::vector<CCommand>& Commands();
    void OnNavigate(int id);
    void OnSliderRelease();
    void OnMode(int id);
    void OnChannel(int channel);
    void OnPrevPage();
    void OnNextPage();
    void OnSpeed(int step);
    void OnDelay(int step);
    void OnAudio(int bit);
    static QString RecordingPathFromCommandLine(const QString& commandLine);
    void OnOpenFile();
    void OpenFile(const QString& path);
    bool IsDroppableFile(const QMimeData* data) const;
    void OnExit();
    void OnClockTimer();
    void OnEdit();
    void OpenEditDialog();
    void OnBackup();
    void OpenBackupWindow();
    void CloseBackupWindow();
    void OnBackupWriteFailed();
    void StopBackupOnPause();
    void ReleaseBackup();
    void OpenAudioOutput(int channel);
    bool IsAudioChannelMissing(int channel) const;
    void ShowPage(int page);
    void EnableEditButton(bool singleTile);
    void EnableChannelButtons();
    int ChannelCount() const;
    int LastPage(int n) const;
    int ChannelInTile(int tile) const;
    static int CommandForKey(const QKeyEvent& event);

    // Finding a moment: go to a date and time, frame steps, slider time, zoom.
    void CreateFindControls();
    void PlaceFindControls();
    void OpenLocator();
    void OnGoTo();
    void ShowRecordAt(uint64_t offset);
    void OnFrameStep(bool forward, bool shift);
    bool HandleFindKey(const QKeyEvent& event);
    bool ZoomTile(double factor, QPointF at);
    void SetTileZoom(const CTileZoom& zoom);
    bool StartPan(const QMouseEvent& event);

    // Painting, const: a paint draws what is there and changes nothing, tiles and
    // buttons included.
    void Paint(QPainter& painter, const QRegion& dirty) const;
    void PaintBackground(QPainter& painter) const;
    void PaintTimePanel(QPainter& painter) const;
    void PaintClock(QPainter& painter) const;
    void PaintPlayTime(QPainter& painter) const;
    void DrawBlankTile(QPainter& painter, int channel) const;
    void DrawTileBorder(QPainter& painter, const QRect& rect) const;

    IPlayerFrame& m_frame;
    std::unique_ptr<CSkinReader> m_skin;

    // Skin resources and where the view paints them: window thread only, read from
    // the skin at the first update.
    CSkinImages m_images;
    CViewGeometry m_geometry;

    // Strings: window thread only.
    QString m_strFilePath;
    QString m_strAppFolder;
    QString m_strIniPath;
    QString m_strOptionsPath; // where PAL is remembered: res.ini, or a per-user copy
                              // when the program folder cannot be written
    CPlayerToolTips m_toolTips;

    // Controls, owned by the view as their parent: window thread only.
    CPlayerControls m_controls;

    // Playback: the steering fields the playback thread reads.
    std::atomic<uint8_t> m_nPlayState{0};
    std::atomic<int> m_nDelayIndex{1};
    std::atomic<int> m_nSpeedIndex{0};
    std::atomic<int> m_nSeekPos{0};
    std::atomic<int> m_bThreadRun{0};
    std::atomic<uint64_t> m_nFirstSector{0};
    std::atomic<uint64_t> m_nTargetOffset{0}; // the header a go-to shows
    std::atomic<int> m_nStepRecords{1};       // records a frame step shows, 0 for a group
    std::atomic<int> m_nStepChannel{-1};      // the channel a frame step goes on to, -1 for any
    CPlayThread m_pPlayThread;
    std::unique_ptr<PLAYTHREADPARAM> m_pPlayParam;
    CCurrentRecord m_currentRecord; // playback thread only, once a thread runs
    CRecordingFacts m_recording;    // what the probe found: channel count, times, end offset
    std::atomic<int> m_nThreadGeneration{0};
    std::atomic<int> m_nDeliveredFrames{0};
    bool m_bEndAllowed = true; // the recording's end time is valid

    // Tiles, pages and sound. The router holds the tile layout, the shown channel
    // and the audio mask, which the playback thread reads.
    CFrameRouter m_router{*this};
    int m_nStartGrid = 4;
    int m_nModeCmd = ctl::MODE16; // the layout a double-click on the enlarged picture goes back to
    int m_nPage = 0;
    std::array<std::unique_ptr<CWaveOut>, 4> m_pAudioOut;
    std::atomic<bool> m_bBackupOpen{false};
    BACKUPSETTING m_backupSetting;                     // window thread; the recorder keeps its copy
    std::unique_ptr<CBackupRecorder> m_pBackupRecorder; // made at the first update
    std::unique_ptr<CBackupDlg> m_pBackupDlg;           // made at the first opening
    std::unique_ptr<CImageEditDlg> m_pEditDlg; // created at the first snapshot

    // Options: window thread only.
    bool m_bPal = false;

    QTimer m_timerClock;

    // Finding a moment: window thread only.
    std::unique_ptr<CRecordingLocator> m_pLocator; // the open recording's
    CSliderTimeTip* m_pSliderTip = nullptr;
    QToolButton* m_btnPlayTime = nullptr;         // over the play-time text: opens the go-to dialog
    std::optional<QPointF> m_panFrom;             // where a right-button drag of the zoomed picture is
};

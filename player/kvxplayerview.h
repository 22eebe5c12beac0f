#pragma once

#include "export/backupsetting.h"
#include "export/ibackupowner.h"
#include "player/iplayerframe.h"
#include "recording/recordinglocator.h"
#include "session/playbacksession.h"
#include "skin/skinreader.h"

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class CBackupDlg;
class CBackupRecorder;
class CSkinButton;
class CSkinSlider;
class CAudioCheckBox;
class CImageEditDlg;
class CSliderTimeTip;
class QLabel;
class QMimeData;
class QToolButton;

// The one window the user works with: it shows the recording's channels in tiles,
// the time panel and the clock, carries the 44 skin buttons and lamps and the
// position slider, and turns what the user does into calls on the playback session,
// which opens and plays the recording.
//
// Threads: everything here belongs to the window thread. What the playback thread
// has to show reaches the view as the session's signals, on the window thread.
class CKVXPlayerView : public QWidget, public IBackupOwner {
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

    // IBackupOwner: the backup window's start and stop, on the window thread.
    void StartBackup() override;
    void StopBackup() override;
    QString BackupProgressText() const override;

    // What a test, a measurement or a screenshot wants to know.
    CPlaybackSession& Session() { return m_session; }
    const CRecordingFacts& Recording() const { return m_session.Recording(); }
    const QString& FilePath() const { return m_strFilePath; }
    bool IsPal() const { return m_bPal; }
    int Grid() const { return m_session.Grid(); }
    int Page() const { return m_nPage; }
    int CurrentChannel() const { return m_session.CurChannel(); }
    uint8_t AudioMask() const { return m_session.AudioMask(); }
    uint8_t PlayStateForTest() const { return m_session.PlayState(); }
    int SpeedIndex() const { return m_session.SpeedIndex(); }
    int DelayIndex() const { return m_session.DelayIndex(); }
    QRect VideoRect() const { return m_rcVideo; }
    QRect TileRect(int channel) const { return m_session.TileRect(channel); }
    bool HasAudioOutput(int channel) const { return m_session.HasAudioOutput(channel); }
    CSkinButton* Button(int id) const;
    CSkinSlider* Slider() const { return m_slider; }
    QWidget* Control(int id) const;
    bool IsPlayThreadStarted() const { return m_session.IsThreadStarted(); }
    int DeliveredFrames() const { return m_session.DeliveredFrames(); }
    bool IsBackupOpen() const { return m_session.IsExportWindowOpen(); }
    CImageEditDlg* EditDialog() const { return m_pEditDlg.get(); }
    CBackupDlg* BackupDialog() const { return m_pBackupDlg.get(); }
    CBackupRecorder* BackupRecorder() const { return m_session.Recorder(); }
    CTileZoom Zoom() const { return m_session.Zoom(); }
    const CFrameRouter& Router() const { return m_session.Router(); }
    // The date-time on screen, or the recording's start before anything is shown.
    CDateTime ShownTime() const { return m_session.ShownTime(); }
    CSliderTimeTip* SliderTimeTip() const { return m_pSliderTip; }

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
    void CreateControls();
    void ApplyToolTips();
    void ReleaseViewResources();

    // Recording and playback thread.
    void ConnectSession();
    bool OpenRecording();
    void ResetPlayback();
    void StopPlayThread();
    void SetVideoStandard(bool pal);
    // What the session tells.
    void SetStartButtons();
    void SetEndButtons();
    void MoveSlider(int pos);
    void ShowMessage(const QString& text);
    void RepaintPart(const QRect& rect, bool played);
    void OnVideoStandardSwitched(bool pal);
    void OnPaused();
    void ShowAudioControls(bool show);
    void DisableEndButton();

    // Layout of the skin controls.
    void LayoutSkinControls();
    void LayoutMainButtons();
    void LayoutModeButtons();
    void LayoutNavigation();
    void LayoutChannelButtons();
    void ApplyVideoStandardLayout(bool pal);
    void ResetPageDisplay();
    void SetupSkinButton(CSkinButton* button, const char* imageSection);
    void BindAndPlace(CSkinButton* button, const std::string& imageSection, const char* section, const std::string& key);
    void PlaceControl(QWidget* control, const char* section, const std::string& key, bool pal);
    void PlaceSlider(bool pal);

    // Navigation state.
    void EnableNavButtons(bool enable);
    void SetStateLamp(int lamp);
    void SetNavButtonsEnabled(const std::array<bool, 7>& enabled);
    void SetGrid(int n);

    // Commands.
    void OnNavigate(int id);
    void OnSliderRelease();
    void OnMode(int id);
    void OnChannel(int id);
    void OnPrevPage();
    void OnNextPage();
    void OnSpeed(int id);
    void OnDelay(int id);
    void OnAudio(int id);
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
    void ShowPage(int page);
    void EnableEditButton(bool singleTile);
    void EnableChannelButtons();
    int ChannelCount() const;
    int LastPage(int n) const;
    int ChannelInTile(int tile) const;
    static int TipIndexFromID(int id);
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

    // Painting.
    void PaintTimePanel(QPainter& painter);
    void PaintClock(QPainter& painter);
    void PaintPlayTime(QPainter& painter);
    void DrawBlankTile(QPainter& painter, int channel);
    void DrawTileBorder(QPainter& painter, const QRect& rect);

    IPlayerFrame& m_frame;
    std::unique_ptr<CSkinReader> m_skin;

    // Skin resources.
    QImage m_bmpNtSkin, m_bmpPalSkin;
    const QImage* m_pBackground = nullptr;
    QImage m_bmpLogo, m_bmpOverlay, m_bmpTime;
    QImage m_bmpSliderUp, m_bmpSliderDn;
    QBrush m_brushBack;
    QFont m_fontInfo, m_fontTileSmall, m_fontTileLarge, m_fontForm;

    // Strings.
    QString m_strFilePath;
    QString m_strAppFolder;
    QString m_strIniPath;
    QString m_strOptionsPath; // where PAL is remembered: res.ini, or a per-user copy
                              // when the program folder cannot be written
    std::array<QString, 24> m_strToolTip;

    // Controls, owned by the view as their parent.
    CSkinSlider* m_slider = nullptr;
    CSkinButton *m_btnExit = nullptr, *m_btnOpen = nullptr, *m_btnBackup = nullptr, *m_btnEdit = nullptr;
    std::array<CSkinButton*, 7> m_btnStateLamp{};
    CSkinButton *m_btnStart = nullptr, *m_btnRwPlay = nullptr, *m_btnBPlay = nullptr, *m_btnPause = nullptr,
                *m_btnFPlay = nullptr, *m_btnFFPlay = nullptr, *m_btnEnd = nullptr;
    CSkinButton *m_btnMode1 = nullptr, *m_btnMode4 = nullptr, *m_btnMode9 = nullptr, *m_btnMode16 = nullptr;
    CSkinButton *m_btnSpeedUp = nullptr, *m_btnSpeedDn = nullptr, *m_btnDelayUp = nullptr, *m_btnDelayDn = nullptr;
    std::array<CSkinButton*, 16> m_btnChannel{};
    CSkinButton *m_btnPrevPage = nullptr, *m_btnNextPage = nullptr;
    CSkinButton* m_ctrlSetting = nullptr; // a plain form control with a tool tip only
    QLabel *m_staticDelay = nullptr, *m_staticSpeed = nullptr, *m_staticPage = nullptr, *m_staticAudio = nullptr;
    std::array<CAudioCheckBox*, 4> m_checkAudio{};

    // Geometry.
    int m_nSkinWidth = 0, m_nSkinHeight = 0;
    QSize m_sizeNtsc, m_sizePal;
    int m_nWndWidth = 0, m_nWndHeight = 0;
    QPoint m_ptVideo;
    int m_nVideoWidth = 720, m_nVideoHeight = 480;
    QRect m_rcVideo, m_rcLogo, m_rcOverlay, m_rcSlide;
    QRect m_rcStartCaption, m_rcStartDate, m_rcStartTime, m_rcEndCaption, m_rcEndDate, m_rcEndTime, m_rcPlayTime;

    // Playback: the session plays the recording, owns its thread, steering, tiles,
    // sound and export recorder, and signals on the window thread.
    CPlaybackSession m_session;
    bool m_bEndAllowed = true; // the recording's end time is valid

    // Tiles, pages and the windows beside the player. The session holds the tile
    // layout, the shown channel and the audio mask.
    int m_nStartGrid = 4;
    int m_nModeCmd = 1006;
    int m_nPage = 0;
    BACKUPSETTING m_backupSetting;            // the recorder keeps its copy
    std::unique_ptr<CBackupDlg> m_pBackupDlg; // made at the first opening
    std::unique_ptr<CImageEditDlg> m_pEditDlg; // created at the first snapshot

    // Options.
    bool m_bPal = false;
    bool m_bAudioFilter = false;
    bool m_bToolTipOn = false;

    QTimer m_timerClock;

    // Finding a moment.
    std::unique_ptr<CRecordingLocator> m_pLocator; // the open recording's, window thread
    CSliderTimeTip* m_pSliderTip = nullptr;
    QToolButton* m_btnPlayTime = nullptr;         // over the play-time text: opens the go-to dialog
    bool m_bPanning = false;
    QPointF m_ptPanFrom;
};

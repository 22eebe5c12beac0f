#pragma once

#include "export/backupsetting.h"
#include "export/ibackupowner.h"
#include "player/controlids.h"
#include "player/iplayerframe.h"
#include "player/maskeditor.h"
#include "player/playercontrols.h"
#include "player/playertooltips.h"
#include "player/skinimages.h"
#include "player/viewgeometry.h"
#include "recording/recordinglocator.h"
#include "session/excerptsaver.h"
#include "session/inoutmarks.h"
#include "session/playbacksession.h"
#include "session/rangeexport.h"
#include "skin/skinreader.h"

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class CActivityList;
class CReportPanel;
class CBackupDlg;
class CBookmarkList;
class CMaskList;
class CBackupRecorder;
class CFullScreenView;
class CSkinButton;
class CSkinSlider;
class CImageEditDlg;
class CSliderTimeTip;
class QMimeData;
class QRegion;
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
    void ReturnKeyboard() override;

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
    QRect VideoRect() const { return m_geometry.m_rcVideo; }
    QRect TileRect(int channel) const { return m_session.TileRect(channel); }
    bool HasAudioOutput(int channel) const { return m_session.HasAudioOutput(channel); }
    CSkinButton* Button(int id) const;
    CSkinSlider* Slider() const { return m_controls.m_slider; }
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
    // The activity search: the region of the enlarged camera, the last thing N said,
    // the list, and the text over the playback panel that shows the index's progress.
    std::optional<CActivityRegion> ActivityRegion() const { return ActiveRegion(); }
    const QString& ActivityNote() const { return m_strActivityNote; }
    CActivityList* ActivityList() const { return m_pActivityList; }
    QToolButton* ActivityButton() const { return m_btnActivity; }
    CReportPanel* ReportPanel() const { return m_pReportPanel; }
    CBookmarkList* BookmarkList() const { return m_pBookmarkList; }
    // The mask tool (Ctrl+M) and its list of the masks.
    bool IsMaskToolOn() const;
    CMaskList* MaskList() const { return m_pMaskList; }
    const QString& MaskNote() const { return m_strMaskNote; }
    // The speakers: how loud, whether sound is heard now (the speaker sign is lit),
    // and the place of the audio panel, where the wheel sets the level.
    const CSoundLevel& SoundLevel() const { return m_session.SoundLevel(); }
    bool IsSpeakerLit() const { return m_session.IsSoundPlaying(); }
    static QRect SoundPanelRect();
    // Where the picture's date and time are written, and in what font.
    QRect PlayDateRect() const { return m_geometry.m_rcPlayDate; }
    QRect PlayTimeRect() const { return m_geometry.m_rcPlayTime; }
    const QFont& PlayTimeFont() const { return m_images.m_fontPlayTime; }
    // The cover that shows the video area full screen, while it does.
    bool IsFullScreen() const { return m_pFullScreen != nullptr; }
    CFullScreenView* FullScreen() const { return m_pFullScreen.get(); }
    // The in and out marks, and the export of their range under way.
    const CInOutMarks& InOutMarks() const { return m_inOut; }
    const CRangeExport& RangeExport() const { return m_rangeExport; }

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
    // The options file, its folder made: res.ini, or the per-user copy.
    CProfileFile WritableOptionsFile() const;
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
    void OnExportCompleted(const QString& aviName, const QStringList& problems, uint frames,
                           const QString& unsignedReason);
    void OnCameraRatesRead(const QVector<int>& rates);
    CExportOptions ExportOptions() const;
    // A copy of the open recording's masks for an output to own, so that editing them
    // while it is made cannot change it; none when the recording has none.
    std::shared_ptr<const CPrivacyMaskSet> MasksForOutput() const;
    void StopBackupOnPause();
    void ReleaseBackup();
    void ShowPage(int page);
    void EnableEditButton(bool singleTile);
    void EnableChannelButtons();
    int ChannelCount() const;
    int OpeningMode() const;
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

    // Activity: the heat strip on the slider, the search region of the enlarged camera,
    // N and Shift+N, the list. The index and its searches are the session's.
    void CreateActivityControls();
    void PlaceActivityControls();
    void ConnectActivity();
    void OnActivityProgress(int percent);
    void OnActivityFinished();
    void OnActivityTimer();
    void RefreshActivity();
    CActivityQuery ActivityQuery() const;
    QString ActivityWhat() const;
    std::optional<CActivityRegion> ActiveRegion() const;
    void OnActivityJump(bool forward);
    void ShowActivityNote(const QString& text);
    void ShowNote(const QString& text);
    void ToggleActivityList();
    void PlaceActivityList();
    void OnActivityChosen(uint64_t offset);
    bool HandleActivityKey(const QKeyEvent& event);
    bool StartRegionDrag(const QMouseEvent& event);
    bool DragRegion(const QMouseEvent& event);
    bool EndRegionDrag(const QMouseEvent& event);
    void ClearRegion();
    void PaintRegion(QPainter& painter) const;
    void ShowJumpButtons();

    // The report: the timeline's evidence marks and the report panel (Ctrl+I) with
    // its Save. The report is built and written by the session's classes.
    void CreateReportControls();
    void ShowReportState();
    void ToggleReportPanel();
    void SaveReportFiles();
    bool HandleReportKey(const QKeyEvent& event);
    // Bookmarks: B, the marks on the slider, Shift+B the list. The store is the session's.
    void CreateBookmarkControls();
    void ShowOpenedBookmarks();
    void RefreshBookmarks();
    QString BookmarksWhat() const;
    void AddBookmark();
    void RemoveBookmark(int row);
    void EditBookmarkNote(int row, const QString& note);
    void ToggleBookmarkList();
    void PlaceBookmarkList();
    bool HandleBookmarkKey(const QKeyEvent& event);
    // Privacy masks: Ctrl+M, drawn, moved and resized over the enlarged camera, their
    // outlines, the list. The store is the session's, the drag the editor's.
    void CreateMaskControls();
    void ShowOpenedMasks();
    void ShowMaskNote(const QString& text);
    void SetMaskTool(bool on);
    void ToggleMaskTool();
    bool HandleMaskKey(const QKeyEvent& event);
    void RefreshMasks();
    void PlaceMaskList();
    void ReplaceMasks(CPrivacyMaskSet set);
    void ChangeMask(int row, const std::function<void(CPrivacyMask&)>& change);
    void RemoveMaskRow(int row);
    void MuteMarkedRange();
    std::vector<std::optional<QRectF>> MaskRects(bool activeOnly) const;
    bool StartMaskDrag(const QMouseEvent& event);
    bool DragMask(const QMouseEvent& event);
    bool EndMaskDrag(const QMouseEvent& event);
    void KeyMask(int index, const QRectF& box, const CDateTime& at);
    void PaintMasks(QPainter& painter) const;
    void LoadMaskFile();
    void SaveMaskFile();

    // Lit keys: the layout shown, the camera enlarged or first on the page; the
    // transport looks unavailable with nothing open.
    void ShowLitKeys();
    void ShowTransportAvailable();

    // The speakers: level and mute by wheel and keys, kept in the options file; the
    // speaker sign and the level bar on the audio panel.
    void LoadSoundLevel();
    bool HandleSoundKey(const QKeyEvent& event);
    bool WheelSoundLevel(const QWheelEvent& event);
    void ChangeSoundLevel(const CSoundLevel& level);
    void UpdateSpeakerLamp();
    void PaintSoundPanel(QPainter& painter) const;
    void PaintSpeakerLamp(QPainter& painter) const;
    void PaintLevelBar(QPainter& painter) const;
    // Full screen (F, Alt+Enter; Esc leaves) and the notice that there is no sound device.
    bool HandleScreenKey(const QKeyEvent& event);
    void EnterFullScreen();
    void LeaveFullScreen();
    void UpdateFullScreen(const QRect& part);
    void OnAudioOutputFailed();

    // In and out marks (I, O, Esc) and what they drive: the panel's range export and
    // Ctrl+E's excerpt, each on a worker of the session.
    void ConnectRange();
    bool HandleRangeKey(const QKeyEvent& event);
    void SetInOutMark(bool in);
    void ClearInOutMarks();
    void ShowInOutMarks();
    QString RangeText() const;
    void StartRangeExport();
    void OnRangeExportFinished(const QString& videoName, const QStringList& problems, uint frames,
                               const QString& unsignedReason);
    void OnSaveExcerpt();

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

    // Playback: the session plays the recording, owns its thread, steering, tiles,
    // sound and export recorder, and signals on the window thread.
    CPlaybackSession m_session;
    bool m_bEndAllowed = true; // the recording's end time is valid

    // Tiles, pages and the windows beside the player. The session holds the tile
    // layout, the shown channel and the audio mask.
    int m_nStartGrid = 4;
    int m_nModeCmd = ctl::MODE16; // the layout a double-click on the enlarged picture goes back to
    int m_nPage = 0;
    BACKUPSETTING m_backupSetting;            // the recorder keeps its copy
    std::unique_ptr<CBackupDlg> m_pBackupDlg; // made at the first opening
    std::unique_ptr<CImageEditDlg> m_pEditDlg; // created at the first snapshot

    // Options: window thread only.
    bool m_bPal = false;

    QTimer m_timerClock;

    // Finding a moment: window thread only.
    std::unique_ptr<CRecordingLocator> m_pLocator; // the open recording's
    CSliderTimeTip* m_pSliderTip = nullptr;
    QToolButton* m_btnPlayTime = nullptr;         // over the play-time text: opens the go-to dialog
    std::optional<QPointF> m_panFrom;             // where a right-button drag of the zoomed picture is

    // The report: window thread only.
    CReportPanel* m_pReportPanel = nullptr; // a tool window the view owns as its parent
    QString m_strReportFolder;              // where the last report was saved

    // Activity: window thread only.
    QToolButton* m_btnActivity = nullptr;     // the index's progress as its text; a click opens the list
    CActivityList* m_pActivityList = nullptr; // a tool window the view owns as its parent
    std::optional<CActivityRegion> m_region;  // of camera m_nRegionChannel, in fractions of its picture
    int m_nRegionChannel = -1;
    std::optional<QRectF> m_regionDrag;       // the rectangle a Shift + left drag is drawing, in the window
    QString m_strActivityNote;
    bool m_bActivityStale = false;            // the index grew since the strip was drawn
    CBookmarkList* m_pBookmarkList = nullptr; // a tool window the view owns as its parent; window thread only

    // The mask tool: window thread only.
    bool m_bMaskTool = false;             // on (it works while one camera is enlarged)
    bool m_bMaskEllipse = false;          // the mask being drawn is an ellipse (Ctrl at the press)
    CMaskEditor m_maskEditor;             // the drag under way
    CMaskList* m_pMaskList = nullptr;     // a tool window the view owns as its parent
    QString m_strMaskNote;                // what Ctrl+M said last

    // The speakers: window thread only.
    bool m_bSpeakerLitShown = false; // what the speaker sign was last painted as
    int m_nWheelRest = 0;            // wheel turn short of a whole notch, kept for the next
    bool m_bSoundLevelUnsaved = false; // the options file refused the level once; said once
    // Full screen and the sound notice: window thread only.
    std::unique_ptr<CFullScreenView> m_pFullScreen; // a child of the window, over the view
    bool m_bSoundNoticeShown = false;               // once a run: the computer has no sound device
    // In and out marks and their workers: window thread only.
    CInOutMarks m_inOut;
    CRangeExport m_rangeExport;
    CExcerptSaver m_excerptSaver;
};

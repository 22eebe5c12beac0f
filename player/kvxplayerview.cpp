// The player view's life: its controls, the first update that builds the window from
// the skin and opens the recording of the command line, the switch between the NTSC
// and PAL layouts, and the teardown.

#include "player/kvxplayerview.h"

#include "export/backupdlg.h"
#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/fullscreenview.h"
#include "skin/skinbutton.h"
#include "snapshot/imageeditdlg.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>

#include <sys/stat.h>

namespace {

constexpr int PLAYER_PAL_OFFSET = 99;
constexpr int PAL_FRAME_EXTRA = 5;       // the frame is 5 rows taller than the PAL background
constexpr int TIMER_CLOCK_PERIOD_MS = 1000;

} // namespace

CKVXPlayerView::CKVXPlayerView(QWidget* parent, IPlayerFrame& frame) : QWidget(parent), m_frame(frame)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus); // the keyboard shortcuts
    setAcceptDrops(true);            // a recording dragged from the file manager
    CreateControls();
    ConnectSession();
    ConnectActivity();
    ConnectRange();
    connect(&m_timerClock, &QTimer::timeout, this, &CKVXPlayerView::OnClockTimer);
}

// The controls of the player form, in place of a dialog template: each exists with
// its control ID, unplaced and hidden, until the layout binds and places it.
void CKVXPlayerView::CreateControls()
{
    m_controls.Create(this, [this](int id) { OnCommand(id); });
    CreateFindControls();
    CreateActivityControls();
    CreateReportControls();
    CreateBookmarkControls();
    CreateMaskControls();
}

CKVXPlayerView::~CKVXPlayerView()
{
    SaveOptions();
    StopPlayThread();
    ReleaseViewResources();
}

void CKVXPlayerView::OnInitialUpdate(const QString& commandLine)
{
    InitViewMembers();
    LoadMainBitmaps();
    LoadOptions();
    ResetPlayback();
    LayoutSkinControls();
    LoadToolTips();
    PlaceFindControls();
    PlaceActivityControls();
    SetVideoStandard(m_bPal);
    SetGrid(m_nStartGrid);
    m_nModeCmd = ctl::MODE16;

    m_strFilePath = RecordingPathFromCommandLine(commandLine);
    if (m_strFilePath.isEmpty()) {
        EnableNavButtons(false);
        return;
    }
    if (OpenRecording() && OpeningMode() != m_nModeCmd)
        OnMode(OpeningMode());
}

// The desktop hands over the file's name as it is, quotes and all; a command typed
// by hand may put a path with spaces in quotes, which are then no part of it.
QString CKVXPlayerView::RecordingPathFromCommandLine(const QString& commandLine)
{
    struct stat st {};
    if (commandLine.contains('"') && ::stat(CNativeFileName::Encode(commandLine).constData(), &st) == 0)
        return commandLine;
    return QString(commandLine).remove('"');
}

void CKVXPlayerView::InitViewMembers()
{
    m_nStartGrid = 4;
    m_nPage = 0;
    m_session.SetCurChannel(0);
    m_session.SetAudioMask(0);

    m_strAppFolder = m_frame.AppFolder();
    m_strIniPath = m_frame.IniPath();
    m_skin = std::make_unique<CSkinReader>(m_strIniPath.toStdString(), m_strAppFolder.toStdString(), PLAYER_PAL_OFFSET);
    m_geometry.Load(*m_skin, m_frame.SkinSize());

    // The output folders; one that exists already is fine, and a failure shows where
    // an export or a snapshot is written.
    const COutputFolders output(m_strAppFolder);
    m_strOptionsPath = output.OptionsPath();
    if (output.IsInProgramFolder()) {
        COutputFolders::Ensure(output.BackupFolder());
        COutputFolders::Ensure(output.AviFolder());
    }
    m_session.CreateRecorder(output.AviFolder());

    m_session.SetFonts(CTileRenderer::TileFont(true), CTileRenderer::TileFont(false));

    m_timerClock.start(TIMER_CLOCK_PERIOD_MS);
}

void CKVXPlayerView::LoadMainBitmaps()
{
    m_images.Load(*m_skin);
    m_geometry.FitPlayLines(QFontMetrics(m_images.m_fontPlayTime).height());
    m_session.SetOverlay(m_images.m_bmpOverlay, m_geometry.m_rcOverlay);
}

void CKVXPlayerView::LoadOptions()
{
    const CProfileFile& ini = m_skin->Profile();
    // An installed player remembers the layout per user, in preference to res.ini's.
    m_bPal = CProfileFile(m_strOptionsPath.toStdString()).GetInt("INFO", "PAL", ini.GetInt("INFO", "PAL", 0)) != 0;
    m_session.SetAudioFilter(ini.GetInt("INFO", "FILTER", 0) != 0);
    LoadSoundLevel();
}

void CKVXPlayerView::SaveOptions()
{
    if (!m_skin)
        return;
    WritableOptionsFile().WriteString("INFO", "PAL", std::to_string(int(m_bPal)));
}

CProfileFile CKVXPlayerView::WritableOptionsFile() const
{
    QDir().mkpath(QFileInfo(m_strOptionsPath).absolutePath());
    return CProfileFile(m_strOptionsPath.toStdString());
}

void CKVXPlayerView::LoadToolTips()
{
    m_toolTips.Load(m_skin->Profile());
    ApplyToolTips();
}

void CKVXPlayerView::ApplyToolTips()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setToolTip(m_toolTips.TextFor(child->property("controlId").toInt()));
}

// The session, a member, goes after these: the export recorder outlives its window.
void CKVXPlayerView::ReleaseViewResources()
{
    ReleaseBackup();
    m_pEditDlg.reset();
}

void CKVXPlayerView::SetVideoStandard(bool pal)
{
    const int grid = m_session.Grid() > 0 ? m_session.Grid() : m_nStartGrid;
    const QSize size = m_geometry.WindowSize(pal);
    m_geometry.SetVideoStandard(pal);
    const QRect video = m_geometry.m_rcVideo;
    m_session.SetPal(pal);
    m_session.SetVideoArea(video.topLeft(), video.size(), m_images.Background(pal));
    SetGrid(1);
    m_frame.CentreOnScreen(size.width(), size.height() + (pal ? PAL_FRAME_EXTRA : 0));
    setGeometry(0, 0, size.width(), size.height() + (pal ? PAL_FRAME_EXTRA : 0));
    ApplyVideoStandardLayout(pal);
    m_session.SetGrid(0); // the tiles are laid out afresh for the new size, in the layout shown
    SetGrid(grid);
    update();
    m_session.RefreshIfPaused();
}

CSkinButton* CKVXPlayerView::Button(int id) const
{
    for (CSkinButton* b : findChildren<CSkinButton*>(Qt::FindDirectChildrenOnly))
        if (b->ControlId() == id)
            return b;
    return nullptr;
}

QWidget* CKVXPlayerView::Control(int id) const
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->property("controlId").toInt() == id)
            return child;
    return nullptr;
}

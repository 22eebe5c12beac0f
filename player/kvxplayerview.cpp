// The player view's life: its controls, the first update that builds the window from
// the skin and opens the recording of the command line, the switch between the NTSC
// and PAL layouts, and the teardown.

#include "player/kvxplayerview.h"

#include "export/backupdlg.h"
#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/cellfont.h"
#include "player/audiocheckbox.h"
#include "player/controlids.h"
#include "player/panelcolours.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"
#include "snapshot/imageeditdlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <sys/stat.h>

namespace {

constexpr int PLAYER_PAL_OFFSET = 99;
constexpr int PAL_EXTRA_HEIGHT = 96;     // the PAL background is this much taller
constexpr int PAL_FRAME_EXTRA = 5;       // and the frame 5 more
constexpr int TIMER_CLOCK_PERIOD_MS = 1000;

const char* const TOOL_TIP_KEYS[24] = {
    "TTIP_EXIT", "TTIP_SPEED", "TTIP_SPEEDUP", "TTIP_SPEEDDN", "TTIP_DELAY", "TTIP_DELAYUP",
    "TTIP_DELAYDN", "TTIP_OPEN", "TTIP_BACKUP", "TTIP_EDIT", "TTIP_SETTING", "TTIP_MODE",
    "TTIP_PREV", "TTIP_NEXT", "TTIP_NG_END", "TTIP_NG_FFPLAY", "TTIP_NG_FPLAY", "TTIP_NG_PAUSE",
    "TTIP_NG_BPLAY", "TTIP_NG_RWPLAY", "TTIP_NG_START", "TTIP_CH", "TTIP_NAVIGATION_STATE", "TTIP_NULL",
};
constexpr int TOOL_TIP_MAX = 79;

} // namespace

CKVXPlayerView::CKVXPlayerView(QWidget* parent, IPlayerFrame& frame) : QWidget(parent), m_frame(frame)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus); // the keyboard shortcuts
    setAcceptDrops(true);            // a recording dragged from the file manager
    CreateControls();
    ConnectSession();
    connect(&m_timerClock, &QTimer::timeout, this, &CKVXPlayerView::OnClockTimer);
}

// The controls of the player form, in place of a dialog template: each exists with
// its control ID, unplaced and hidden, until the layout binds and places it.
void CKVXPlayerView::CreateControls()
{
    auto button = [this](int id) {
        auto* b = new CSkinButton(id, this);
        b->hide();
        connect(b, &CSkinButton::clicked, this, &CKVXPlayerView::OnCommand);
        return b;
    };
    m_btnExit = button(ctl::EXIT);
    m_btnOpen = button(ctl::OPEN);
    m_btnBackup = button(ctl::BACKUP);
    m_btnEdit = button(ctl::EDIT);
    for (int k = 0; k < 7; ++k)
        m_btnStateLamp[size_t(k)] = button(ctl::LAMP_FIRST + k);
    m_btnEnd = button(ctl::END);
    m_btnFFPlay = button(ctl::FFPLAY);
    m_btnFPlay = button(ctl::FPLAY);
    m_btnPause = button(ctl::PAUSE);
    m_btnBPlay = button(ctl::BPLAY);
    m_btnRwPlay = button(ctl::RWPLAY);
    m_btnStart = button(ctl::START);
    m_btnMode1 = button(ctl::MODE1);
    m_btnMode4 = button(ctl::MODE4);
    m_btnMode9 = button(ctl::MODE9);
    m_btnMode16 = button(ctl::MODE16);
    m_btnSpeedUp = button(ctl::SPEED_UP);
    m_btnSpeedDn = button(ctl::SPEED_DN);
    m_btnDelayUp = button(ctl::DELAY_UP);
    m_btnDelayDn = button(ctl::DELAY_DN);
    for (int n = 0; n < 16; ++n)
        m_btnChannel[size_t(n)] = button(ctl::CHANNEL_FIRST + n);
    m_btnPrevPage = button(ctl::PREV_PAGE);
    m_btnNextPage = button(ctl::NEXT_PAGE);
    m_ctrlSetting = button(ctl::SETTING);

    auto label = [this](const QString& text, int id) {
        auto* l = new QLabel(text, this);
        l->setProperty("controlId", id);
        l->setAutoFillBackground(true);
        QPalette palette = l->palette(); // the static controls' colours
        palette.setColor(QPalette::Window, panel::FIELD_GROUND);
        palette.setColor(QPalette::WindowText, panel::FIELD_TEXT);
        l->setPalette(palette);
        l->hide();
        return l;
    };
    m_staticDelay = label("Static", ctl::DELAY_VAL);
    m_staticSpeed = label("Static", ctl::SPEED_VAL);
    m_staticPage = label("Static", ctl::PAGE_VAL);
    m_staticAudio = label("Audio", ctl::AUDIO_CAPTION);
    static const char* const audioTexts[4] = {"1", "2", "3", "4"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new CAudioCheckBox(ctl::AUDIO_IDS[i], audioTexts[i], this);
        box->hide();
        connect(box, &QCheckBox::clicked, this, [this, id = ctl::AUDIO_IDS[i]] { OnCommand(id); });
        m_checkAudio[size_t(i)] = box;
    }

    m_slider = new CSkinSlider(ctl::SLIDER, this);
    m_slider->hide();
    connect(m_slider, &CSkinSlider::clicked, this, &CKVXPlayerView::OnCommand);
    CreateFindControls();
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
    SetVideoStandard(m_bPal);
    SetGrid(m_nStartGrid);
    m_nModeCmd = ctl::MODE16;

    m_strFilePath = RecordingPathFromCommandLine(commandLine);
    if (m_strFilePath.isEmpty()) {
        EnableNavButtons(false);
        return;
    }
    OpenRecording();
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

    m_nSkinWidth = m_frame.SkinSize().width();
    m_nSkinHeight = m_frame.SkinSize().height();
    m_strAppFolder = m_frame.AppFolder();
    m_strIniPath = m_frame.IniPath();
    m_skin = std::make_unique<CSkinReader>(m_strIniPath.toStdString(), m_strAppFolder.toStdString(), PLAYER_PAL_OFFSET);
    m_sizeNtsc = QSize(m_nSkinWidth, m_nSkinHeight);
    m_sizePal = QSize(m_nSkinWidth, m_nSkinHeight + PAL_EXTRA_HEIGHT);
    m_nWndWidth = m_nSkinWidth;
    m_nWndHeight = m_nSkinHeight;

    m_rcLogo = m_skin->LoadSkinRect("MAIN POS", "POS_LOGO", false);
    m_rcOverlay = m_skin->LoadSkinRect("MAIN POS", "POS_OVERLAY", false);
    m_ptVideo = m_skin->LoadSkinRect("MAIN POS", "POS_OVERLAY_TERM", false).topLeft();

    // The output folders; one that exists already is fine, and a failure shows where
    // an export or a snapshot is written.
    const COutputFolders output(m_strAppFolder);
    m_strOptionsPath = output.OptionsPath();
    if (output.IsInProgramFolder()) {
        COutputFolders::Ensure(output.BackupFolder());
        COutputFolders::Ensure(output.AviFolder());
    }
    m_session.CreateRecorder(output.AviFolder());

    m_brushBack = QBrush(panel::FIELD_GROUND);
    m_fontInfo = MakeCellFont(12, 5);
    m_fontTileSmall = CTileRenderer::TileFont(true);
    m_fontTileLarge = CTileRenderer::TileFont(false);
    m_fontForm = QFont("Liberation Mono");
    m_fontForm.setPixelSize(13);
    m_fontForm.setBold(true);
    m_session.SetFonts(m_fontTileSmall, m_fontTileLarge);

    m_timerClock.start(TIMER_CLOCK_PERIOD_MS);
}

void CKVXPlayerView::LoadMainBitmaps()
{
    m_bmpNtSkin = m_skin->LoadSkinBitmap("MAIN", "NTSKIN");
    m_bmpPalSkin = m_skin->LoadSkinBitmap("MAIN", "PALSKIN");
    m_bmpLogo = m_skin->LoadSkinBitmap("MAIN", "LOGO");
    m_bmpOverlay = m_skin->LoadSkinBitmap("MAIN", "OVERLAY");
    m_bmpTime = m_skin->LoadSkinBitmap("MAIN", "TIME");
    m_pBackground = &m_bmpNtSkin;
    m_session.SetOverlay(m_bmpOverlay, m_rcOverlay);
}

void CKVXPlayerView::LoadOptions()
{
    const CProfileFile& ini = m_skin->Profile();
    // An installed player remembers the layout per user, in preference to res.ini's.
    m_bPal = CProfileFile(m_strOptionsPath.toStdString()).GetInt("INFO", "PAL", ini.GetInt("INFO", "PAL", 0)) != 0;
    m_bAudioFilter = ini.GetInt("INFO", "FILTER", 0) != 0;
    m_bToolTipOn = ini.GetInt("INFO", "TOOLTIP_ON", 0) != 0;
    m_session.SetAudioFilter(m_bAudioFilter);
    m_rcStartCaption = m_skin->LoadSkinRect("TIME INFO POS", "POS_S_TIME_TEXT", false);
    m_rcStartDate = m_skin->LoadSkinRect("TIME INFO POS", "POS_S_DATE", false);
    m_rcStartTime = m_skin->LoadSkinRect("TIME INFO POS", "POS_S_TIME", false);
    m_rcEndCaption = m_skin->LoadSkinRect("TIME INFO POS", "POS_E_TIME_TEXT", false);
    m_rcEndDate = m_skin->LoadSkinRect("TIME INFO POS", "POS_E_DATE", false);
    m_rcEndTime = m_skin->LoadSkinRect("TIME INFO POS", "POS_E_TIME", false);
    m_rcPlayTime = m_skin->LoadSkinRect("TIME INFO POS", "POS_CUR_PLAY_TIME", false);
}

void CKVXPlayerView::SaveOptions()
{
    if (!m_skin)
        return;
    QDir().mkpath(QFileInfo(m_strOptionsPath).absolutePath());
    CProfileFile(m_strOptionsPath.toStdString()).WriteString("INFO", "PAL", std::to_string(int(m_bPal)));
}

void CKVXPlayerView::LoadToolTips()
{
    for (size_t i = 0; i < m_strToolTip.size(); ++i)
        m_strToolTip[i] = QString::fromStdString(m_skin->Profile().GetString("TOOL_TIP", TOOL_TIP_KEYS[i], "EMPTY"));
    ApplyToolTips();
}

// Tool tips show on the skin controls only while the skin switches them on; a text
// is cut to 79 characters.
void CKVXPlayerView::ApplyToolTips()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int id = child->property("controlId").toInt();
        child->setToolTip(m_bToolTipOn ? m_strToolTip[size_t(TipIndexFromID(id))].left(TOOL_TIP_MAX) : QString());
    }
}

// The session, a member, goes after these: the export recorder outlives its window.
void CKVXPlayerView::ReleaseViewResources()
{
    ReleaseBackup();
    m_pEditDlg.reset();
    m_pBackground = nullptr;
}

void CKVXPlayerView::SetVideoStandard(bool pal)
{
    const QSize size = pal ? m_sizePal : m_sizeNtsc;
    m_nWndWidth = size.width();
    m_nWndHeight = size.height();
    m_pBackground = pal ? &m_bmpPalSkin : &m_bmpNtSkin;
    m_nVideoWidth = 720;
    m_nVideoHeight = pal ? 576 : 480;
    m_rcVideo = QRect(m_ptVideo, QSize(m_nVideoWidth, m_nVideoHeight));
    m_session.SetPal(pal);
    m_session.SetVideoArea(m_ptVideo, m_rcVideo.size(), m_pBackground ? *m_pBackground : QImage());
    SetGrid(1);
    m_frame.CentreOnScreen(m_nWndWidth, m_nWndHeight + (pal ? PAL_FRAME_EXTRA : 0));
    setGeometry(0, 0, m_nWndWidth, m_nWndHeight + (pal ? PAL_FRAME_EXTRA : 0));
    ApplyVideoStandardLayout(pal);
    SetGrid(m_nStartGrid);
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

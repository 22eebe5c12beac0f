// What the user does to the player window: the commands of its controls and keys,
// the mouse on its body, tool tips and the clock. All on the window thread.

#include "player/kvxplayerview.h"

#include "platform/nativefilename.h"
#include "platform/opendialog.h"
#include "playback/playstate.h"
#include "player/audiocheckbox.h"
#include "player/clockglyphs.h"
#include "player/controlids.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QFileInfo>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>

namespace {

// Where `id` stands in a series of control IDs.
template <size_t N>
int IndexIn(const int (&ids)[N], int id)
{
    return int(std::find(std::begin(ids), std::end(ids), id) - std::begin(ids));
}

} // namespace

void CKVXPlayerView::OnCommand(int id)
{
    const std::vector<CCommand>& commands = Commands();
    const auto command =
        std::find_if(commands.begin(), commands.end(), [id](const CCommand& c) { return c.m_nId == id; });
    if (command != commands.end())
        command->m_run(*this);
    UpdateSpeakerLamp();
}

const std::vector<CKVXPlayerView::CCommand>& CKVXPlayerView::Commands()
{
    static const std::vector<CCommand> commands = [] {
        std::vector<CCommand> all = {
            {ctl::SPEED_UP, [](CKVXPlayerView& v) { v.OnSpeed(+1); }},
            {ctl::SPEED_DN, [](CKVXPlayerView& v) { v.OnSpeed(-1); }},
            {ctl::DELAY_UP, [](CKVXPlayerView& v) { v.OnDelay(+1); }},
            {ctl::DELAY_DN, [](CKVXPlayerView& v) { v.OnDelay(-1); }},
            {ctl::SLIDER, [](CKVXPlayerView& v) { v.OnSliderRelease(); }},
            {ctl::PREV_PAGE, [](CKVXPlayerView& v) { v.OnPrevPage(); }},
            {ctl::NEXT_PAGE, [](CKVXPlayerView& v) { v.OnNextPage(); }},
            {ctl::OPEN, [](CKVXPlayerView& v) { v.OnOpenFile(); }},
            {ctl::EXIT, [](CKVXPlayerView& v) { v.OnExit(); }},
            {ctl::EDIT, [](CKVXPlayerView& v) { v.OnEdit(); }},
            {ctl::BACKUP, [](CKVXPlayerView& v) { v.OnBackup(); }},
        };
        for (int id : ctl::MODES)
            all.push_back({id, [id](CKVXPlayerView& v) { v.OnMode(id); }});
        for (int id : ctl::NAVIGATION)
            all.push_back({id, [id](CKVXPlayerView& v) { v.OnNavigate(id); }});
        for (int bit = 0; bit < 4; ++bit)
            all.push_back({ctl::AUDIO_IDS[bit], [bit](CKVXPlayerView& v) { v.OnAudio(bit); }});
        for (int channel = 0; channel < 16; ++channel)
            all.push_back({ctl::CHANNEL_FIRST + channel, [channel](CKVXPlayerView& v) { v.OnChannel(channel); }});
        return all;
    }();
    return commands;
}

// The pressed button stays disabled while its state lasts, so it reads as "on".
void CKVXPlayerView::OnNavigate(int id)
{
    if (m_strFilePath.isEmpty())
        return;
    EnableNavButtons(true);
    const int nav = IndexIn(ctl::NAVIGATION, id);
    constexpr uint8_t STATES[7] = {PS_START, PS_RWPLAY, PS_BPLAY, PS_PAUSE, PS_FPLAY, PS_FFPLAY, PS_END};
    m_session.SetPlayState(STATES[nav]);
    if (id == ctl::START)
        SetStartButtons();
    else if (id == ctl::END)
        SetEndButtons();
    else
        m_controls.Navigation()[size_t(nav)]->EnableButton(false);
    m_controls.SetStateLamp(nav);
    if (id == ctl::START || id == ctl::END)
        update();
}

void CKVXPlayerView::OnSliderRelease()
{
    update();
    m_session.Seek(m_controls.m_slider->m_nClickPos);
    EnableNavButtons(true);
    m_controls.m_btnPause->EnableButton(false);
    if (m_session.IsExportWindowOpen())
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
}

void CKVXPlayerView::SetGrid(int n)
{
    if (n == m_session.Grid())
        return;
    m_session.SetGrid(n);
    ShowLitKeys();
    if (n == 4)
        m_controls.m_btnNextPage->EnableButton(false);
    update(m_geometry.m_rcVideo.adjusted(0, 0, 1, 1));
}

// The layouts of 1, 4, 9 and 16 tiles are grids of 1 x 1 to 4 x 4.
void CKVXPlayerView::OnMode(int id)
{
    m_nModeCmd = id;
    SetGrid(IndexIn(ctl::MODES, id) + 1);
    ResetPageDisplay();
    EnableEditButton(id == ctl::MODE1);
    m_session.SetLastChannel(uint8_t(m_session.CurChannel()));
    m_session.RefreshIfPaused();
    RefreshActivity();
}

// The snapshot editor works on the one enlarged picture, and only while that camera
// has a picture to show: a still of nothing would name a camera that showed none.
void CKVXPlayerView::EnableEditButton(bool singleTile)
{
    m_controls.m_btnEdit->EnableButton(!m_strFilePath.isEmpty() && singleTile && !m_session.IsExportWindowOpen() &&
                            m_session.HasPicture(m_session.CurChannel()));
}

// The cameras the recording has: 4 or 16, and 16 before one is open.
int CKVXPlayerView::ChannelCount() const
{
    return !m_strFilePath.isEmpty() && m_session.Recording().m_nChannelCount == 4 ? 4 : 16;
}

// A camera key or a layout of more tiles than the recording has cameras would only
// show empty tiles.
void CKVXPlayerView::EnableChannelButtons()
{
    for (int k = 0; k < 16; ++k)
        m_controls.m_btnChannel[size_t(k)]->EnableButton(k < ChannelCount());
    for (size_t i = 0; i < m_controls.m_btnMode.size(); ++i)
        m_controls.m_btnMode[i]->EnableButton((i + 1) * (i + 1) <= size_t(ChannelCount()));
}

// The last page of n x n tiles that shows a camera of the recording.
int CKVXPlayerView::LastPage(int n) const
{
    if (n < 1)
        return 0;
    return (ChannelCount() + n * n - 1) / (n * n) - 1;
}

void CKVXPlayerView::OnChannel(int channel)
{
    if (channel >= ChannelCount())
        return; // a camera this recording does not have
    if (m_session.Grid() != 1)
        SetGrid(1);
    m_controls.m_btnPrevPage->EnableButton(channel > 0);
    m_controls.m_btnNextPage->EnableButton(channel < LastPage(1));
    if (channel != m_session.CurChannel()) {
        m_session.SetCurChannel(channel);
        m_session.SetZoom(CTileZoom()); // another camera starts unzoomed
        m_nPage = channel;
        m_controls.m_staticPage->setText(QString::number(channel + 1));
    }
    update(TileRect(channel));
    ShowLitKeys();
    EnableEditButton(true);
    m_session.RefreshIfPaused();
    RefreshActivity();
}

void CKVXPlayerView::ShowPage(int page)
{
    const int n = m_session.Grid();
    m_nPage = page;
    m_session.SetCurChannel(n * n * page);
    m_controls.m_staticPage->setText(QString::number(page + 1));
    ShowLitKeys();
    EnableEditButton(n == 1);
    RefreshActivity();
}

void CKVXPlayerView::OnPrevPage()
{
    const int n = m_session.Grid();
    if (n < 1 || n > 4)
        return;
    if (m_nPage > 0) {
        ShowPage(m_nPage - 1);
        m_controls.m_btnNextPage->EnableButton(true);
    }
    if (m_nPage == 0)
        m_controls.m_btnPrevPage->EnableButton(false);
    update(m_geometry.m_rcVideo);
    m_session.RefreshIfPaused();
}

void CKVXPlayerView::OnNextPage()
{
    const int n = m_session.Grid();
    if (n < 1 || n > 4)
        return;
    if (m_nPage < LastPage(n)) {
        ShowPage(m_nPage + 1);
        m_controls.m_btnPrevPage->EnableButton(true);
    }
    if (m_nPage >= LastPage(n))
        m_controls.m_btnNextPage->EnableButton(false);
    update(m_geometry.m_rcVideo);
    m_session.RefreshIfPaused();
}

// A step up or down, stopping at either end.
void CKVXPlayerView::OnSpeed(int step)
{
    m_controls.m_staticSpeed->setText(VALUE_TEXTS[m_session.ChangeSpeed(step > 0)]);
}

void CKVXPlayerView::OnDelay(int step)
{
    m_controls.m_staticDelay->setText(VALUE_TEXTS[5 + m_session.ChangeDelay(step > 0)]);
}

// Each switch owns one bit of the audio mask. While any channel sounds, the enlarged
// picture shrinks to half size to leave the sound room on screen.
void CKVXPlayerView::OnAudio(int bit)
{
    const uint8_t mask = m_session.AudioMask() ^ uint8_t(1u << bit);
    m_session.SetAudioMask(mask);
    m_controls.m_checkAudio[size_t(bit)]->setChecked(mask & (1u << bit));
    if (m_session.Grid() == 1) {
        m_session.SetGrid(0); // forget the layout, so that the single tile is laid out afresh
        SetGrid(1);
        m_session.RefreshIfPaused();
    }
}

void CKVXPlayerView::OnOpenFile()
{
    const QStringList recent = m_frame.RecentFiles();
    const QString folder = recent.isEmpty() ? QString() : QFileInfo(recent.front()).absolutePath();
    const QString path = COpenDialog::GetOpenFileName(this, folder);
    if (!path.isEmpty())
        OpenFile(path);
}

// A recording picked in the open dialog or dropped on the window.
void CKVXPlayerView::OpenFile(const QString& path)
{
    m_strFilePath = path;
    StopPlayThread();
    ResetPlayback();
    SetGrid(4);
    m_controls.m_btnEdit->EnableButton(false);
    if (!OpenRecording())
        return;
    m_frame.AddToRecentFileList(QFileInfo(path).absoluteFilePath());
    m_session.SetGrid(0);
    OnMode(OpeningMode());
    update();
}

// A file dragged from the file manager opens as if picked in the open dialog, while
// the open button could open one.
bool CKVXPlayerView::IsDroppableFile(const QMimeData* data) const
{
    return m_controls.m_btnOpen->IsButtonEnabled() && data && data->hasUrls() && data->urls().size() == 1 &&
           data->urls().front().isLocalFile();
}

void CKVXPlayerView::dragEnterEvent(QDragEnterEvent* event)
{
    if (IsDroppableFile(event->mimeData()))
        event->acceptProposedAction();
}

void CKVXPlayerView::dropEvent(QDropEvent* event)
{
    if (!IsDroppableFile(event->mimeData()))
        return;
    event->acceptProposedAction();
    // The URL carries the name's bytes percent-encoded, and they need not be UTF-8.
    const QUrl url = event->mimeData()->urls().front();
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    OpenFile(CNativeFileName::Decode(path));
}

void CKVXPlayerView::OnExit()
{
    m_timerClock.stop();
    StopPlayThread();
    QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
}

void CKVXPlayerView::OnClockTimer()
{
    update(CLOCK_RECT);
    UpdateSpeakerLamp(); // the playback thread's own changes of state reach the sign here
    OnActivityTimer();
}

// The window has no caption: dragging its body moves it, except while the backup
// window belongs to it.
void CKVXPlayerView::mousePressEvent(QMouseEvent* event)
{
    if (StartPan(*event) || StartMaskDrag(*event) || StartRegionDrag(*event) || event->button() != Qt::LeftButton || m_session.IsExportWindowOpen())
        return;
    if (QWindow* frame = window()->windowHandle())
        frame->startSystemMove();
}

// On the logo: the About box. On the enlarged picture: back to the last layout. On a
// tile: that tile's channel, enlarged.
void CKVXPlayerView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_geometry.m_rcLogo.contains(at)) {
        m_frame.ShowAboutBox(this);
        return;
    }
    const int n = m_session.Grid();
    if (n == 1 && m_session.Zoom().IsZoomed()) {
        SetTileZoom(CTileZoom()); // a zoomed picture goes back to 1x first
        return;
    }
    if (n == 1) {
        OnMode(m_nModeCmd);
        return;
    }
    for (int t = 0; t < n * n; ++t) {
        const int channel = ChannelInTile(t);
        if (channel >= 0 && TileRect(channel).contains(at)) {
            OnChannel(channel);
            return;
        }
    }
}

// The channel drawn in tile `tile` of the page shown. On the second page of nine,
// the first two tiles keep channels 0 and 1.
int CKVXPlayerView::ChannelInTile(int tile) const
{
    const int first = m_session.CurChannel();
    if (m_session.Grid() == 3 && first == 9)
        return tile < 2 ? tile : tile + 7;
    const int channel = first + tile;
    return channel < 16 ? channel : -1;
}

// Keys do what their buttons do, and nothing while the button is disabled.
void CKVXPlayerView::keyPressEvent(QKeyEvent* event)
{
    if (HandleScreenKey(*event) || HandleFindKey(*event) || HandleActivityKey(*event) || HandleReportKey(*event)
        || HandleRangeKey(*event) || HandleBookmarkKey(*event) || HandleMaskKey(*event))
        return;
    if (HandleSoundKey(*event))
        return;
    int id = CommandForKey(*event);
    if (id == ctl::PAUSE && !(m_controls.m_btnPause->IsButtonEnabled() && m_session.PlayState() != PS_PAUSE))
        id = ctl::FPLAY; // Space pauses what plays, and plays what is paused
    CSkinButton* button = id ? Button(id) : nullptr;
    if (!button) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (button->IsButtonEnabled())
        OnCommand(id);
}

int CKVXPlayerView::CommandForKey(const QKeyEvent& event)
{
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    const bool control = event.modifiers() & Qt::ControlModifier;
    switch (event.key()) {
    case Qt::Key_Space: return ctl::PAUSE;
    case Qt::Key_Home: return ctl::START;
    case Qt::Key_End: return ctl::END;
    case Qt::Key_Left: return shift ? ctl::RWPLAY : ctl::BPLAY;
    case Qt::Key_Right: return shift ? ctl::FFPLAY : ctl::FPLAY;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return ctl::SPEED_UP;
    case Qt::Key_Minus: return ctl::SPEED_DN;
    case Qt::Key_BracketRight: return ctl::DELAY_UP;
    case Qt::Key_BracketLeft: return ctl::DELAY_DN;
    case Qt::Key_1: return ctl::MODE1;
    case Qt::Key_4: return ctl::MODE4;
    case Qt::Key_9: return ctl::MODE9;
    case Qt::Key_0: return ctl::MODE16;
    case Qt::Key_PageUp: return ctl::PREV_PAGE;
    case Qt::Key_PageDown: return ctl::NEXT_PAGE;
    case Qt::Key_O: return control ? ctl::OPEN : 0;
    case Qt::Key_Q: return control ? ctl::EXIT : 0;
    default: return 0;
    }
}

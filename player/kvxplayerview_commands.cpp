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

void CKVXPlayerView::OnCommand(int id)
{
    if (id >= ctl::MODE1 && id <= ctl::MODE16)
        OnMode(id);
    else if (id >= ctl::END && id <= ctl::START)
        OnNavigate(id);
    else if (id >= ctl::CHANNEL_FIRST && id < ctl::CHANNEL_FIRST + 16)
        OnChannel(id);
    else if (std::find(std::begin(ctl::AUDIO_IDS), std::end(ctl::AUDIO_IDS), id) != std::end(ctl::AUDIO_IDS))
        OnAudio(id); // 1036 lies inside the delay range, but it is an audio switch
    else if (id >= ctl::DELAY_DN && id <= ctl::DELAY_UP)
        OnDelay(id);
    else if (id >= ctl::SPEED_DN && id <= ctl::SPEED_UP)
        OnSpeed(id);
    else if (id == ctl::SLIDER)
        OnSliderRelease();
    else if (id == ctl::PREV_PAGE)
        OnPrevPage();
    else if (id == ctl::NEXT_PAGE)
        OnNextPage();
    else if (id == ctl::OPEN)
        OnOpenFile();
    else if (id == ctl::EXIT)
        OnExit();
    else if (id == ctl::EDIT)
        OnEdit();
    else if (id == ctl::BACKUP)
        OnBackup();
}

// The pressed button stays disabled while its state lasts, so it reads as "on".
void CKVXPlayerView::OnNavigate(int id)
{
    if (m_strFilePath.isEmpty())
        return;
    EnableNavButtons(true);
    struct CAction {
        uint8_t state;
        CSkinButton* button;
        int lamp;
    };
    const CAction actions[7] = {
        {PS_END, nullptr, 6},         {PS_FFPLAY, m_btnFFPlay, 5}, {PS_FPLAY, m_btnFPlay, 4},
        {PS_PAUSE, m_btnPause, 3},    {PS_BPLAY, m_btnBPlay, 2},   {PS_RWPLAY, m_btnRwPlay, 1},
        {PS_START, nullptr, 0},
    };
    const CAction& a = actions[id - ctl::END];
    m_session.SetPlayState(a.state);
    if (id == ctl::START)
        SetStartButtons();
    else if (id == ctl::END)
        SetEndButtons();
    else
        a.button->EnableButton(false);
    SetStateLamp(a.lamp);
    if (id == ctl::START || id == ctl::END)
        update();
}

void CKVXPlayerView::OnSliderRelease()
{
    update();
    m_session.Seek(m_slider->m_nClickPos);
    EnableNavButtons(true);
    m_btnPause->EnableButton(false);
    if (m_session.IsExportWindowOpen())
        m_btnBackup->SetImage(SKIN_IMG_NORMAL);
}

void CKVXPlayerView::SetGrid(int n)
{
    if (n == m_session.Grid())
        return;
    m_session.SetGrid(n);
    if (n == 4)
        m_btnNextPage->EnableButton(false);
    update(m_rcVideo.adjusted(0, 0, 1, 1));
}

void CKVXPlayerView::OnMode(int id)
{
    m_nModeCmd = id;
    SetGrid(id - (ctl::MODE1 - 1));
    ResetPageDisplay();
    EnableEditButton(id == ctl::MODE1);
    m_session.SetLastChannel(uint8_t(m_session.CurChannel()));
    m_session.RefreshIfPaused();
}

// The snapshot editor works on the one enlarged picture, and only while that camera
// has a picture to show: a still of nothing would name a camera that showed none.
void CKVXPlayerView::EnableEditButton(bool singleTile)
{
    m_btnEdit->EnableButton(!m_strFilePath.isEmpty() && singleTile && !m_session.IsExportWindowOpen() &&
                            m_session.HasPicture(m_session.CurChannel()));
}

// The cameras the recording has: 4 or 16, and 16 before one is open.
int CKVXPlayerView::ChannelCount() const
{
    return !m_strFilePath.isEmpty() && m_session.Recording().m_nChannelCount == 4 ? 4 : 16;
}

void CKVXPlayerView::EnableChannelButtons()
{
    for (int k = 0; k < 16; ++k)
        m_btnChannel[size_t(k)]->EnableButton(k < ChannelCount());
}

// The last page of n x n tiles that shows a camera of the recording.
int CKVXPlayerView::LastPage(int n) const
{
    if (n < 1)
        return 0;
    return (ChannelCount() + n * n - 1) / (n * n) - 1;
}

void CKVXPlayerView::OnChannel(int id)
{
    const int k = id - ctl::CHANNEL_FIRST;
    if (k >= ChannelCount())
        return; // a camera this recording does not have
    if (m_session.Grid() != 1)
        SetGrid(1);
    m_btnPrevPage->EnableButton(k > 0);
    m_btnNextPage->EnableButton(k < LastPage(1));
    if (k != m_session.CurChannel()) {
        m_session.SetCurChannel(k);
        m_session.SetZoom(CTileZoom()); // another camera starts unzoomed
        m_nPage = k;
        m_staticPage->setText(QString::number(k + 1));
    }
    update(TileRect(k));
    EnableEditButton(true);
    m_session.RefreshIfPaused();
}

void CKVXPlayerView::ShowPage(int page)
{
    const int n = m_session.Grid();
    m_nPage = page;
    m_session.SetCurChannel(n * n * page);
    m_staticPage->setText(QString::number(page + 1));
    EnableEditButton(n == 1);
}

void CKVXPlayerView::OnPrevPage()
{
    const int n = m_session.Grid();
    if (n < 1 || n > 4)
        return;
    if (m_nPage > 0) {
        ShowPage(m_nPage - 1);
        m_btnNextPage->EnableButton(true);
    }
    if (m_nPage == 0)
        m_btnPrevPage->EnableButton(false);
    update(m_rcVideo);
    m_session.RefreshIfPaused();
}

void CKVXPlayerView::OnNextPage()
{
    const int n = m_session.Grid();
    if (n < 1 || n > 4)
        return;
    if (m_nPage < LastPage(n)) {
        ShowPage(m_nPage + 1);
        m_btnPrevPage->EnableButton(true);
    }
    if (m_nPage >= LastPage(n))
        m_btnNextPage->EnableButton(false);
    update(m_rcVideo);
    m_session.RefreshIfPaused();
}

void CKVXPlayerView::OnSpeed(int id)
{
    m_staticSpeed->setText(VALUE_TEXTS[m_session.ChangeSpeed(id == ctl::SPEED_UP)]);
}

void CKVXPlayerView::OnDelay(int id)
{
    m_staticDelay->setText(VALUE_TEXTS[5 + m_session.ChangeDelay(id == ctl::DELAY_UP)]);
}

// Each switch owns one bit of the audio mask. While any channel sounds, the enlarged
// picture shrinks to half size to leave the sound room on screen.
void CKVXPlayerView::OnAudio(int id)
{
    const int bit = int(std::find(std::begin(ctl::AUDIO_IDS), std::end(ctl::AUDIO_IDS), id) - std::begin(ctl::AUDIO_IDS));
    const uint8_t mask = m_session.AudioMask() ^ uint8_t(1u << bit);
    m_session.SetAudioMask(mask);
    m_checkAudio[size_t(bit)]->setChecked(mask & (1u << bit));
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
    m_btnEdit->EnableButton(false);
    if (!OpenRecording())
        return;
    m_frame.AddToRecentFileList(QFileInfo(path).absoluteFilePath());
    m_session.SetGrid(0);
    OnMode(ctl::MODE16);
    update();
}

// A file dragged from the file manager opens as if picked in the open dialog, while
// the open button could open one.
bool CKVXPlayerView::IsDroppableFile(const QMimeData* data) const
{
    return m_btnOpen->IsButtonEnabled() && data && data->hasUrls() && data->urls().size() == 1 &&
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
}

// The window has no caption: dragging its body moves it, except while the backup
// window belongs to it.
void CKVXPlayerView::mousePressEvent(QMouseEvent* event)
{
    if (StartPan(*event) || event->button() != Qt::LeftButton || m_session.IsExportWindowOpen())
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
    if (m_rcLogo.contains(at)) {
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
            OnChannel(ctl::CHANNEL_FIRST + channel);
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
    if (HandleFindKey(*event))
        return;
    int id = CommandForKey(*event);
    if (id == ctl::PAUSE && !(m_btnPause->IsButtonEnabled() && m_session.PlayState() != PS_PAUSE))
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

// Which of the 24 tool tip texts a control shows.
int CKVXPlayerView::TipIndexFromID(int id)
{
    switch (id) {
    case ctl::EXIT: return 0;
    case ctl::SPEED_VAL: return 1;
    case ctl::SPEED_UP: return 2;
    case ctl::SPEED_DN: return 3;
    case ctl::DELAY_VAL: return 4;
    case ctl::DELAY_UP: return 5;
    case ctl::DELAY_DN: return 6;
    case ctl::OPEN: return 7;
    case ctl::BACKUP: return 8;
    case ctl::EDIT: return 9;
    case ctl::SETTING: return 10;
    case ctl::MODE1:
    case ctl::MODE4:
    case ctl::MODE9:
    case ctl::MODE16: return 11;
    case ctl::PREV_PAGE: return 12;
    case ctl::NEXT_PAGE: return 13;
    case ctl::END: return 14;
    case ctl::FFPLAY: return 15;
    case ctl::FPLAY: return 16;
    case ctl::PAUSE: return 17;
    case ctl::BPLAY: return 18;
    case ctl::RWPLAY: return 19;
    case ctl::START: return 20;
    default:
        if (id >= ctl::CHANNEL_FIRST && id < ctl::CHANNEL_FIRST + 16)
            return 21;
        if (id >= ctl::LAMP_FIRST && id < ctl::LAMP_FIRST + 7)
            return 22;
        return 23;
    }
}

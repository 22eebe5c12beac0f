// The player on the whole screen, and the one notice that the computer has no sound
// device. The full-screen picture is a cover over the window (CFullScreenView); the
// view keeps the keyboard under it, so every key does what it does in the window.

#include "player/kvxplayerview.h"

#include "platform/messagebox.h"
#include "player/fullscreenview.h"
#include "session/soundoutputs.h"

#include <QKeyEvent>
#include <QPainter>

namespace {

QString FrameTimeText(const CFrameTime& t)
{
    return QString::asprintf("%04d-%02d-%02d\n%02d:%02d:%02d", t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour,
                             t.m_byMinute, t.m_bySecond);
}

bool IsFullScreenToggle(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_F)
        return modifiers == Qt::NoModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) && modifiers == Qt::AltModifier;
}

} // namespace

// In full screen the first Esc brings the window back; only then does Esc clear a search region.
bool CKVXPlayerView::HandleScreenKey(const QKeyEvent& event)
{
    if (IsFullScreenToggle(event)) {
        if (IsFullScreen())
            LeaveFullScreen();
        else
            EnterFullScreen();
        return true;
    }
    if (event.key() == Qt::Key_Escape && IsFullScreen()) {
        LeaveFullScreen();
        return true;
    }
    return false;
}

// Without a recording there is nothing to watch.
void CKVXPlayerView::EnterFullScreen()
{
    if (IsFullScreen() || m_strFilePath.isEmpty())
        return;
    const auto paintVideo = [this](QPainter& painter) {
        m_session.PaintVideo(painter);
        PaintRegion(painter);
        PaintMasks(painter);
    };
    const auto timeText = [this] {
        const std::optional<CFrameTime> t = m_session.ShownFrameTime();
        return t ? FrameTimeText(*t) : QString();
    };
    m_pFullScreen = std::make_unique<CFullScreenView>(window(), this, m_geometry.m_rcVideo, paintVideo, timeText);
    connect(m_pFullScreen.get(), &CFullScreenView::leaveWanted, this, &CKVXPlayerView::LeaveFullScreen,
            Qt::QueuedConnection); // not while the cover is still handling its double-click
}

void CKVXPlayerView::LeaveFullScreen()
{
    m_pFullScreen.reset();
    setFocus();
}

// The playback thread drew into the video area; the cover shows it too.
void CKVXPlayerView::UpdateFullScreen(const QRect& part)
{
    if (m_pFullScreen)
        m_pFullScreen->UpdateVideoPart(part);
}

// A computer without any sound device is told once, over the player: every recording
// with sound would say it again, and before the window is up it would stand alone. A
// device that is there but does not open is a fault, said each time.
void CKVXPlayerView::OnAudioOutputFailed()
{
    if (CSoundOutputs::HasDevice()) {
        CMessageBox::Show(this, "Error", "Audio initialize exception.");
        return;
    }
    if (m_bSoundNoticeShown)
        return;
    m_bSoundNoticeShown = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            CMessageBox::Show(this, "Error",
                              "Audio initialize exception.\nNo sound device was found, so the recording plays without sound");
        },
        Qt::QueuedConnection);
}

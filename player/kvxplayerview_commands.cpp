// What the user does to the player window: the commands of its controls, the mouse
// on its body, tool tips and the clock.

#include "player/kvxplayerview.h"

#include "app/aboutdialog.h"
#include "app/mainframe.h"
#include "player/controlids.h"
#include "skin/skinbutton.h"

#include <QMouseEvent>
#include <QWindow>

namespace {
// The clock's rectangle, repainted every second.
const QRect CLOCK_RECT(790, 76, 110, 13);
} // namespace

void CKVXPlayerView::OnCommand(int id)
{
    switch (id) {
    case ctl::EXIT: OnExit(); break;
    default: break;
    }
}

void CKVXPlayerView::OnExit()
{
    m_timerClock.stop();
    StopPlayThread();
    QMetaObject::invokeMethod(m_pFrame, &QWidget::close, Qt::QueuedConnection);
}

void CKVXPlayerView::OnClockTimer()
{
    update(CLOCK_RECT);
}

// The window has no caption: dragging its body moves it.
void CKVXPlayerView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (QWindow* window = m_pFrame->windowHandle())
        window->startSystemMove();
}

void CKVXPlayerView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_rcLogo.contains(event->position().toPoint()))
        CAboutDialog(this).exec();
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

// Lays the tiles out n x n over the video area and maps the channels onto them.
void CKVXPlayerView::SetGrid(int n)
{
    if (n == m_nGrid)
        return;
    if (n >= 1 && n <= 4) {
        const int w = m_nVideoWidth / n, h = m_nVideoHeight / n;
        const QPoint o = m_ptVideo;
        for (int i = 0; i < n * n; ++i)
            m_rcTile[size_t(i)] = QRect(o.x() + i % n * w, o.y() + i / n * h, w, h);
        for (int ch = 0; ch < 16; ++ch) {
            if (n == 1)
                m_rcTile[size_t(ch)] = m_byAudioMask ? QRect(o.x() + 180, o.y() + 120, m_nVideoWidth / 2, m_nVideoHeight / 2)
                                                     : QRect(o, QSize(m_nVideoWidth, m_nVideoHeight));
            else if (n == 2 && ch >= 4)
                m_rcTile[size_t(ch)] = m_rcTile[size_t(ch % 4)];
            else if (n == 3 && ch >= 9)
                m_rcTile[size_t(ch)] = m_rcTile[size_t(ch - 7)];
        }
        if (n == 4)
            m_btnNextPage->EnableButton(false);
    }
    m_nGrid = n;
    update(m_rcVideo);
}

#include "player/fullscreenview.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace {

// Long enough not to vanish under a hand still moving, short enough not to stand in the picture.
constexpr int POINTER_REST_MS = 2000;
constexpr int TIME_HEIGHT_DIVISOR = 45; // a line of the time's text is a 45th of the screen high
constexpr int TIME_MARGIN = 8;

} // namespace

CFullScreenView::CFullScreenView(QWidget* window, QWidget* keyTarget, QRect video, VideoPainter paintVideo,
                                 TimeText timeText)
    : QWidget(window), m_pWindow(window), m_rcVideo(video), m_paintVideo(std::move(paintVideo)),
      m_timeText(std::move(timeText)), m_rcNormal(window->geometry()), m_regionNormal(window->mask())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(keyTarget);
    m_timerPointer.setSingleShot(true);
    m_timerPointer.setInterval(POINTER_REST_MS);
    connect(&m_timerPointer, &QTimer::timeout, this, [this] { setCursor(Qt::BlankCursor); });

    // The window is shaped to the skin; full screen it is a plain rectangle.
    window->clearMask();
    window->installEventFilter(this);
    keyTarget->installEventFilter(this);
    // Without a window manager full screen is only a wish: the screen's size is set too.
    if (const QScreen* screen = window->screen())
        window->setGeometry(screen->geometry());
    setGeometry(window->rect());
    raise();
    show();
    window->showFullScreen();
    keyTarget->setFocus();
    m_timerPointer.start();
}

CFullScreenView::~CFullScreenView()
{
    m_pWindow->showNormal();
    m_pWindow->setGeometry(m_rcNormal);
    if (!m_regionNormal.isEmpty())
        m_pWindow->setMask(m_regionNormal);
}

QRect CFullScreenView::PictureRect() const
{
    const QSize picture = m_rcVideo.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - picture.width()) / 2, (height() - picture.height()) / 2), picture);
}

QTransform CFullScreenView::VideoToScreen() const
{
    const QRect picture = PictureRect();
    QTransform transform;
    transform.translate(picture.x(), picture.y());
    transform.scale(double(picture.width()) / m_rcVideo.width(), double(picture.height()) / m_rcVideo.height());
    transform.translate(-m_rcVideo.x(), -m_rcVideo.y());
    return transform;
}

// Smooth scaling spreads a pixel a little beyond its place: a margin covers it.
void CFullScreenView::UpdateVideoPart(const QRect& part)
{
    update(VideoToScreen().mapRect(QRectF(part)).toAlignedRect().adjusted(-2, -2, 2, 2));
    update(TimeRect());
}

// The screen's top right corner: the tiles write their camera and date-time along
// their bottom, which the time must never hide. On a wide screen its two lines fit
// beside the picture.
QRect CFullScreenView::TimeRect() const
{
    return QRect(width() / 2, TIME_MARGIN / 2, width() / 2 - TIME_MARGIN, 2 * TimeLineHeight() + TIME_MARGIN);
}

int CFullScreenView::TimeLineHeight() const
{
    return std::max(12, height() / TIME_HEIGHT_DIVISOR);
}

void CFullScreenView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    painter.save();
    painter.setClipRect(PictureRect());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(VideoToScreen());
    m_paintVideo(painter);
    painter.restore();

    const QString time = m_timeText();
    if (time.isEmpty() || !event->rect().intersects(TimeRect()))
        return;
    QFont font = painter.font();
    font.setPixelSize(TimeLineHeight());
    painter.setFont(font);
    const QRect box = painter.boundingRect(TimeRect(), Qt::AlignRight | Qt::AlignVCenter, time)
                          .adjusted(-TIME_MARGIN / 2, -TIME_MARGIN / 2, TIME_MARGIN / 2, TIME_MARGIN / 2);
    painter.fillRect(box, QColor(0, 0, 0, 160)); // readable where the picture reaches the corner
    painter.setPen(Qt::white);
    painter.drawText(TimeRect(), Qt::AlignRight | Qt::AlignVCenter, time);
}

void CFullScreenView::mouseMoveEvent(QMouseEvent* event)
{
    ShowPointer();
    QWidget::mouseMoveEvent(event);
}

void CFullScreenView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit leaveWanted();
}

void CFullScreenView::ShowPointer()
{
    unsetCursor();
    m_timerPointer.start();
}

// The window's new size is the screen's; a key the player handles may change any
// part of the video area, and the view's own repaints stop at this cover.
bool CFullScreenView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pWindow && event->type() == QEvent::Resize)
        setGeometry(m_pWindow->rect());
    else if (watched != m_pWindow && event->type() == QEvent::KeyPress)
        update();
    return QWidget::eventFilter(watched, event);
}

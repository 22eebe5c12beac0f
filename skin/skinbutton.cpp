#include "skin/skinbutton.h"

#include <QMouseEvent>
#include <QPainter>

CSkinButton::CSkinButton(int controlId, QWidget* parent) : QWidget(parent), m_nControlId(controlId)
{
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setProperty("controlId", controlId);
}

template <typename Emit> void CSkinButton::Post(Emit emitter)
{
    QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

void CSkinButton::LoadBitmaps(const QString& normal, const QString& down, const QString& dncheck,
                              const QString& disable, unsigned notifyId)
{
    const QString* names[4] = {&normal, &down, &dncheck, &disable};
    for (int slot = 0; slot < 4; ++slot)
        m_hImage[size_t(slot)] = names[slot]->isEmpty() ? QPixmap() : QPixmap(*names[slot]);
    m_nNotifyID = notifyId;
    SetImage(SKIN_IMG_NORMAL);
}

void CSkinButton::SetImage(int slot)
{
    if (slot == m_nCurImage)
        return;
    m_nCurImage = slot;
    update();
}

void CSkinButton::EnableButton(bool enable)
{
    m_bEnable = enable;
    SetImage(RestingImage());
}

void CSkinButton::SetLit(bool lit)
{
    if (lit == m_bLit)
        return;
    m_bLit = lit;
    if (!m_bPressed)
        SetImage(RestingImage());
}

// The picture shown while the mouse is not held on the button.
int CSkinButton::RestingImage() const
{
    if (!m_bEnable)
        return SKIN_IMG_DISABLE;
    return m_bPressed || m_bLit ? SKIN_IMG_DNCHECK : SKIN_IMG_NORMAL;
}

// Pictures are drawn as they are, never stretched; a slot without a picture draws
// nothing and the window's background shows through, except a lit one, which must
// still read as lit.
void CSkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled()) {
        PaintUnavailable(painter);
        return;
    }
    if (m_nCurImage < 0)
        return;
    const QPixmap& picture = m_hImage[size_t(m_nCurImage)];
    if (!picture.isNull())
        painter.drawPixmap(0, 0, picture);
    else if (m_nCurImage == SKIN_IMG_DNCHECK && m_bLit)
        PaintDrawnLit(painter);
}

// Faded, the key keeps its shape and symbol but reads as nothing to press, whatever
// the skin's disabled picture says about a running state.
void CSkinButton::PaintUnavailable(QPainter& painter) const
{
    const QPixmap& normal = m_hImage[SKIN_IMG_NORMAL];
    if (normal.isNull())
        return;
    painter.setOpacity(0.3);
    painter.drawPixmap(0, 0, normal);
}

void CSkinButton::PaintDrawnLit(QPainter& painter) const
{
    const QPixmap& normal = m_hImage[SKIN_IMG_NORMAL];
    if (!normal.isNull())
        painter.drawPixmap(0, 0, normal);
    const QRect picture = normal.isNull() ? rect() : rect().intersected(normal.rect());
    painter.setPen(QPen(LIT_OUTLINE, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(picture).adjusted(1, 1, -1, -1));
}

void CSkinButton::mousePressEvent(QMouseEvent* event)
{
    if (!m_bEnable || event->button() != Qt::LeftButton)
        return;
    m_bPressed = true;
    SetImage(SKIN_IMG_DOWN);
    Post([this, id = m_nNotifyID] { emit pressNotified(id, true); });
    emit pressNotifiedSync(m_nNotifyID, true);
}

// The system holds the pointer for the pressed widget; the button itself does not.
// So what happens outside it is handled as the pointer having left: the click is
// complete then, and a later release elsewhere is none of the button's business.
void CSkinButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OnLeftButtonUp();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bEnable)
        return;
    if (!rect().contains(event->position().toPoint())) {
        if (m_bPressed)
            OnMouseLeave();
        return;
    }
    m_bTracking = true; // from now on, leaving the button is reported
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent*)
{
    // The second click of a quick pair is no press: its release finds nothing pressed.
}

void CSkinButton::leaveEvent(QEvent*)
{
    if (m_bTracking)
        OnMouseLeave();
}

void CSkinButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void CSkinButton::OnMouseLeave()
{
    m_bTracking = false;
    OnLeftButtonUp();
}

void CSkinButton::OnLeftButtonUp()
{
    if (!m_bEnable)
        return;
    if (!m_bPressed) {
        Post([this] { emit upWithoutPress(); });
        return;
    }
    m_bPressed = false;
    SetImage(RestingImage());
    Post([this, id = m_nNotifyID] { emit pressNotified(id, false); });
    emit pressNotifiedSync(m_nNotifyID, false);
    Post([this] { emit clicked(m_nControlId); });
}

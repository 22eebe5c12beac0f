// Finding a moment: going to a date and time, stepping picture by picture while paused,
// the date-time under the slider, and the digital zoom of the enlarged picture. The
// work is done by the locator, the go-to dialog, the slider tip and the tile zoom;
// here they are wired to the window.

#include "player/kvxplayerview.h"

#include "player/controlids.h"
#include "player/gotodialog.h"
#include "player/slidertimetip.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double WHEEL_NOTCH = 120.0;

} // namespace

void CKVXPlayerView::CreateFindControls()
{
    m_pSliderTip = new CSliderTimeTip(m_controls.m_slider);
    // The play-time text takes a click: an invisible button over it.
    m_btnPlayTime = new QToolButton(this);
    m_btnPlayTime->setStyleSheet("QToolButton { border: none; background: transparent; }");
    m_btnPlayTime->setFocusPolicy(Qt::NoFocus);
    m_btnPlayTime->setCursor(Qt::PointingHandCursor);
    m_btnPlayTime->hide();
    connect(m_btnPlayTime, &QToolButton::clicked, this, &CKVXPlayerView::OnGoTo);
}

void CKVXPlayerView::PlaceFindControls()
{
    m_btnPlayTime->setGeometry(m_geometry.PlayTimeArea());
    m_btnPlayTime->setToolTip("Go to a date and time (Ctrl+G)");
    m_btnPlayTime->raise();
    m_btnPlayTime->show();
}

// Every opened recording gets a locator of its own, reading through its own file.
void CKVXPlayerView::OpenLocator()
{
    m_pSliderTip->SetRecording(nullptr, 0);
    m_pLocator.reset();
    if (m_strFilePath.isEmpty())
        return;
    auto locator = std::make_unique<CRecordingLocator>(m_session.Recording());
    if (locator->Open(m_strFilePath.toStdString()))
        m_pLocator = std::move(locator);
    m_pSliderTip->SetRecording(m_pLocator.get(), m_session.Recording().m_nFileLength);
}

void CKVXPlayerView::OnGoTo()
{
    if (!m_pLocator)
        return;
    CGoToDialog dialog(this, ShownTime(), m_session.Recording().m_timeStart, m_session.Recording().m_timeEnd,
                       [this](const CDateTime& moment) { return m_pLocator->Locate(moment); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.IsAfterEnd())
        OnNavigate(ctl::END);
    else
        ShowRecordAt(dialog.ChosenOffset());
}

// The engine jumps to the record's header, shows one group from there and pauses; the
// buttons read as after a seek.
void CKVXPlayerView::ShowRecordAt(uint64_t offset)
{
    m_session.GoTo(offset);
    ShowJumpButtons();
}

void CKVXPlayerView::ShowJumpButtons()
{
    EnableNavButtons(true);
    m_controls.m_btnPause->EnableButton(false);
    if (m_session.IsExportWindowOpen())
        m_controls.m_btnBackup->SetImage(SKIN_IMG_NORMAL);
    update();
}

// While paused only. With one camera enlarged a step goes to that camera's next (or
// previous) picture, and Shift steps by one record; on a page of tiles a step is one
// record, and Shift a whole group.
void CKVXPlayerView::OnFrameStep(bool forward, bool shift)
{
    const bool oneCamera = m_session.Grid() == 1;
    const int records = oneCamera || !shift ? 1 : 0;
    const int channel = oneCamera && !shift ? m_session.CurChannel() : -1;
    if (m_strFilePath.isEmpty() || !m_session.FrameStep(forward, records, channel))
        return;
    EnableNavButtons(true);
    m_controls.m_btnPause->EnableButton(false);
}

bool CKVXPlayerView::HandleFindKey(const QKeyEvent& event)
{
    const bool control = event.modifiers() & Qt::ControlModifier;
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    const QPointF centre = QRectF(TileRect(m_session.CurChannel())).center();
    switch (event.key()) {
    case Qt::Key_G:
        if (control)
            OnGoTo();
        return control;
    case Qt::Key_Period: OnFrameStep(true, shift); return true;
    case Qt::Key_Greater: OnFrameStep(true, true); return true; // Shift+. on most layouts
    case Qt::Key_Comma: OnFrameStep(false, shift); return true;
    case Qt::Key_Less: OnFrameStep(false, true); return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return control && ZoomTile(CTileZoom::STEP, centre);
    case Qt::Key_Minus:
        return control && ZoomTile(1 / CTileZoom::STEP, centre);
    case Qt::Key_0:
        return control && ZoomTile(0, centre);
    default:
        return false;
    }
}

// Zooms the enlarged picture by `factor` around the window point `at`; a factor of 0
// goes back to 1x. Only the one-tile layout zooms.
bool CKVXPlayerView::ZoomTile(double factor, QPointF at)
{
    if (m_strFilePath.isEmpty() || m_session.Grid() != 1)
        return false;
    const QRect tile = TileRect(m_session.CurChannel());
    CTileZoom zoom = m_session.Zoom();
    zoom.ZoomAt(zoom.Factor() * factor, at - QPointF(tile.topLeft()), tile.size());
    SetTileZoom(zoom);
    return true;
}

void CKVXPlayerView::SetTileZoom(const CTileZoom& zoom)
{
    if (zoom == m_session.Zoom())
        return;
    m_session.SetZoom(zoom);
    update(m_geometry.m_rcVideo);
    m_session.RefreshIfPaused();
}

void CKVXPlayerView::wheelEvent(QWheelEvent* event)
{
    if (WheelSoundLevel(*event))
        return;
    const QPointF at = event->position();
    if (!TileRect(m_session.CurChannel()).contains(at.toPoint())
        || !ZoomTile(std::pow(CTileZoom::STEP, event->angleDelta().y() / WHEEL_NOTCH), at))
        QWidget::wheelEvent(event);
}

// Dragging with the right button moves the zoomed picture under the pointer.
bool CKVXPlayerView::StartPan(const QMouseEvent& event)
{
    if (event.button() != Qt::RightButton || m_session.Grid() != 1 || !m_session.Zoom().IsZoomed()
        || !TileRect(m_session.CurChannel()).contains(event.position().toPoint()))
        return false;
    m_panFrom = event.position();
    return true;
}

void CKVXPlayerView::mouseMoveEvent(QMouseEvent* event)
{
    if (DragMask(*event) || DragRegion(*event) || !m_panFrom)
        return;
    CTileZoom zoom = m_session.Zoom();
    zoom.Pan(event->position() - *m_panFrom, TileRect(m_session.CurChannel()).size());
    m_panFrom = event->position();
    SetTileZoom(zoom);
}

void CKVXPlayerView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        m_panFrom.reset();
    if (!EndMaskDrag(*event))
        EndRegionDrag(*event);
}

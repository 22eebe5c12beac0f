// Finding what happened without watching: the activity index's heat along the
// position slider, the search region drawn over the enlarged camera, N and Shift+N to
// the next and previous stretch, and the list of stretches. The session builds and
// searches the index; here it is wired to the window.

#include "player/kvxplayerview.h"

#include "player/activitylist.h"
#include "player/controlids.h"
#include "player/panelcolours.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>

namespace {

constexpr int REGION_LEAST_PIXELS = 4; // a shorter drag is a slip of the hand, not a region
constexpr int ACTIVITY_TEXT_WIDTH = 96;
constexpr int ACTIVITY_LIST_GAP = 8;
const QColor REGION_COLOUR(255, 214, 0); // reads over a dark scene and a bright one alike

QString ClockText(const CDateTime& t)
{
    return t.IsValid() ? QString::asprintf("%02d:%02d:%02d", t.GetHour(), t.GetMinute(), t.GetSecond())
                       : QString("the start");
}

} // namespace

void CKVXPlayerView::CreateActivityControls()
{
    // The index's progress in the playback panel, in its caption colour; a click on it
    // opens the list, as a click on the play time opens the go-to dialog.
    m_btnActivity = new QToolButton(this);
    m_btnActivity->setStyleSheet(QString("QToolButton { border: none; background: transparent; color: %1; }")
                                     .arg(panel::CAPTION.name()));
    m_btnActivity->setFocusPolicy(Qt::NoFocus);
    m_btnActivity->setCursor(Qt::PointingHandCursor);
    m_btnActivity->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_btnActivity->hide();
    connect(m_btnActivity, &QToolButton::clicked, this, &CKVXPlayerView::ToggleActivityList);
    m_pActivityList = new CActivityList(this);
    connect(m_pActivityList, &CActivityList::chosen, this, &CKVXPlayerView::OnActivityChosen);
}

// In the same panel as the play date and time, at the right of the line above them:
// beside the time, it would cover its figures.
void CKVXPlayerView::PlaceActivityControls()
{
    const QRect play = m_geometry.PlayTimeArea();
    const int height = QFontMetrics(m_images.m_fontInfo).height();
    m_btnActivity->setFont(m_images.m_fontInfo);
    m_btnActivity->setGeometry(play.right() + 1 - ACTIVITY_TEXT_WIDTH, play.top() - height, ACTIVITY_TEXT_WIDTH, height);
    m_btnActivity->setToolTip(CPlayerToolTips::ActivityKeys());
    m_btnActivity->raise();
    m_btnActivity->show();
}

void CKVXPlayerView::ConnectActivity()
{
    const CActivityTracker* tracker = &m_session.Activity();
    connect(tracker, &CActivityTracker::progressed, this, &CKVXPlayerView::OnActivityProgress);
    connect(tracker, &CActivityTracker::finished, this, &CKVXPlayerView::OnActivityFinished);
}

// The strip and the list follow the growing index once a second, on the clock's tick.
void CKVXPlayerView::OnActivityProgress(int percent)
{
    m_btnActivity->setText(QString("ACTIVITY %1 %").arg(percent));
    m_bActivityStale = true;
}

// What went wrong with the cache is no reason to stop anyone: it is said in the tool
// tip and on the text, which the user reads when they wonder.
void CKVXPlayerView::OnActivityFinished()
{
    const CActivityTracker& tracker = m_session.Activity();
    const QStringList& notes = tracker.Notes();
    m_btnActivity->setText(tracker.Percent() == 100 ? (notes.isEmpty() ? "ACTIVITY" : "ACTIVITY *")
                                                    : "NO ACTIVITY");
    m_btnActivity->setToolTip(notes.isEmpty() ? CPlayerToolTips::ActivityKeys()
                                              : notes.join('\n') + "\n\n" + CPlayerToolTips::ActivityKeys());
    RefreshActivity();
}

void CKVXPlayerView::OnActivityTimer()
{
    if (m_bActivityStale)
        RefreshActivity();
}

void CKVXPlayerView::RefreshActivity()
{
    m_bActivityStale = false;
    if (m_strFilePath.isEmpty()) {
        m_controls.m_slider->SetHeat({}, 0);
        m_btnActivity->setText(QString());
        return;
    }
    const CActivityQuery query = ActivityQuery();
    const CActivityTracker& tracker = m_session.Activity();
    m_controls.m_slider->SetHeat(tracker.HeatProfile(query), tracker.IndexedPositions());
    if (m_pActivityList->isVisible())
        m_pActivityList->Show(ActivityWhat(), tracker.Find(query));
}

// The enlarged camera in its region, or every camera of the shown page.
CActivityQuery CKVXPlayerView::ActivityQuery() const
{
    CActivityQuery query;
    const int n = m_session.Grid();
    for (int t = 0; t < n * n; ++t) {
        const int channel = ChannelInTile(t);
        if (channel >= 0 && channel < ChannelCount())
            query.m_channels.push_back(channel);
    }
    if (const std::optional<CActivityRegion> region = ActiveRegion())
        query.m_region = *region;
    return query;
}

QString CKVXPlayerView::ActivityWhat() const
{
    const CActivityQuery query = ActivityQuery();
    QString what = query.m_channels.size() == 1 ? QString::asprintf("CAM %02d", query.m_channels.front() + 1)
                                                : QString("the cameras shown");
    what += ActiveRegion() ? ", in the region" : ", whole picture";
    const CActivityTracker& tracker = m_session.Activity();
    if (!tracker.IsDone())
        what += QString(" (indexing, %1 % read)").arg(tracker.Percent());
    return what;
}

// A region belongs to the camera it was drawn on and counts while that camera is enlarged.
std::optional<CActivityRegion> CKVXPlayerView::ActiveRegion() const
{
    if (m_session.Grid() != 1 || m_session.CurChannel() != m_nRegionChannel)
        return std::nullopt;
    return m_region;
}

void CKVXPlayerView::OnActivityJump(bool forward)
{
    if (m_strFilePath.isEmpty())
        return;
    const CActivityTracker& tracker = m_session.Activity();
    if (m_session.GoToActivity(ActivityQuery(), forward)) {
        ShowJumpButtons();
        m_strActivityNote.clear();
        return;
    }
    QString text = (forward ? "No further activity after " : "No activity before ") + ClockText(ShownTime());
    if (ActiveRegion())
        text += " in the region";
    if (!tracker.IsDone())
        text += QString(" in the part indexed so far (%1 %)").arg(tracker.Percent());
    ShowActivityNote(text);
}

// Kept for the tool tip of the progress.
void CKVXPlayerView::ShowActivityNote(const QString& text)
{
    m_strActivityNote = text;
    ShowNote(text);
}

// Said where the eye is, over the slider: a note needs no answer.
void CKVXPlayerView::ShowNote(const QString& text)
{
    const QPoint at(m_controls.m_slider->Pos(), 0);
    QToolTip::showText(m_controls.m_slider->mapToGlobal(at), text, m_controls.m_slider);
}

void CKVXPlayerView::ToggleActivityList()
{
    if (m_pActivityList->isVisible()) {
        m_pActivityList->hide();
        return;
    }
    m_pActivityList->setWindowTitle("Activity - " + m_strFilePath.section('/', -1));
    m_pActivityList->Show(ActivityWhat(), m_session.Activity().Find(ActivityQuery()));
    if (!m_pActivityList->property("placed").toBool())
        PlaceActivityList();
    m_pActivityList->show();
    m_pActivityList->raise();
}

// The first time, beside the player where the screen has room, else at the screen's
// right edge, covering as little of the player as it can.
void CKVXPlayerView::PlaceActivityList()
{
    const QRect player = window()->frameGeometry();
    const QRect screen = window()->screen() ? window()->screen()->availableGeometry() : QRect();
    QPoint at = player.topRight() + QPoint(ACTIVITY_LIST_GAP, 0);
    if (!screen.isEmpty() && at.x() + m_pActivityList->width() > screen.right())
        at = QPoint(screen.right() + 1 - m_pActivityList->width(), player.top());
    m_pActivityList->move(at);
    m_pActivityList->setProperty("placed", true);
}

void CKVXPlayerView::OnActivityChosen(uint64_t offset)
{
    if (!m_strFilePath.isEmpty())
        ShowRecordAt(offset);
}

bool CKVXPlayerView::HandleActivityKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (event.key()) {
    case Qt::Key_N:
        if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
            return false;
        OnActivityJump(modifiers == Qt::NoModifier);
        return true;
    case Qt::Key_L:
        if (modifiers != Qt::NoModifier)
            return false;
        ToggleActivityList();
        return true;
    case Qt::Key_Escape:
        if (!m_regionDrag && !m_region)
            return false;
        ClearRegion();
        return true;
    default:
        return false;
    }
}

// Shift + left button on the enlarged picture starts a region.
bool CKVXPlayerView::StartRegionDrag(const QMouseEvent& event)
{
    const QPointF at = event.position();
    if (event.button() != Qt::LeftButton || !(event.modifiers() & Qt::ShiftModifier) || m_strFilePath.isEmpty()
        || m_session.Grid() != 1 || !TileRect(m_session.CurChannel()).contains(at.toPoint()))
        return false;
    m_regionDrag = QRectF(at, at);
    return true;
}

bool CKVXPlayerView::DragRegion(const QMouseEvent& event)
{
    if (!m_regionDrag)
        return false;
    m_regionDrag->setBottomRight(event.position());
    update(m_geometry.m_rcVideo);
    return true;
}

bool CKVXPlayerView::EndRegionDrag(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton || !m_regionDrag)
        return false;
    const QRectF drawn = m_regionDrag->normalized();
    m_regionDrag.reset();
    const int channel = m_session.CurChannel();
    const std::optional<CTileRegionMap> map = m_session.RegionMap(channel);
    if (drawn.width() >= REGION_LEAST_PIXELS && drawn.height() >= REGION_LEAST_PIXELS && map) {
        m_region = map->RegionOf(drawn);
        m_nRegionChannel = channel;
        RefreshActivity();
    } else if (!map) {
        ShowActivityNote(QString::asprintf("CAM %02d has shown no picture yet to draw a region on", channel + 1));
    }
    update(m_geometry.m_rcVideo);
    return true;
}

void CKVXPlayerView::ClearRegion()
{
    m_regionDrag.reset();
    m_region.reset();
    m_nRegionChannel = -1;
    RefreshActivity();
    update(m_geometry.m_rcVideo);
}

// A thin outline over the picture on screen: never in the picture, so a snapshot or
// an export carries no trace of it.
void CKVXPlayerView::PaintRegion(QPainter& painter) const
{
    const std::optional<CActivityRegion> region = ActiveRegion();
    if (!region && !m_regionDrag)
        return;
    const QRect tile = TileRect(m_session.CurChannel());
    painter.save();
    painter.setClipRect(tile);
    painter.setBrush(Qt::NoBrush);
    if (region) {
        if (const std::optional<CTileRegionMap> map = m_session.RegionMap(m_session.CurChannel())) {
            painter.setPen(QPen(REGION_COLOUR, 1));
            painter.drawRect(map->WindowRectOf(*region).adjusted(0, 0, -1, -1));
        }
    }
    if (m_regionDrag) {
        painter.setPen(QPen(REGION_COLOUR, 1, Qt::DashLine));
        painter.drawRect(m_regionDrag->normalized());
    }
    painter.restore();
}

// What the player view paints itself: the background with the time panel, the logo,
// the captions, the clock and the tiles.

#include "player/kvxplayerview.h"

#include "player/clockglyphs.h"
#include "player/panelcolours.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTime>

namespace {

QString DateText(const CDateTime& t)
{
    if (!t.IsValid())
        return "DATE : --- / --- / ---";
    return QString::asprintf("DATE : %02d / %02d / %02d", t.GetYear(), t.GetMonth(), t.GetDay());
}

QString TimeText(const CDateTime& t)
{
    if (!t.IsValid())
        return "TIME : --- : --- : ---";
    return QString::asprintf("TIME : %02d : %02d : %02d", t.GetHour(), t.GetMinute(), t.GetSecond());
}

// As the recording's start and end are shown, in the recorder's own figures.
QString PlayDateText(const CFrameTime& t)
{
    return QString::asprintf("DATE : %02d / %02d / %02d", t.m_wYear, t.m_byMonth, t.m_byDay);
}

} // namespace

void CKVXPlayerView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    Paint(painter, event->region());
}

// While playing, most paints are one tile and the play time. A text is laid out only
// when its place is to be painted: drawn clipped away, it would cost its shaping all
// the same.
void CKVXPlayerView::Paint(QPainter& painter, const QRegion& dirty) const
{
    const CViewGeometry& g = m_geometry;
    PaintBackground(painter);
    if (dirty.intersects(g.m_rcStartDate | g.m_rcStartTime | g.m_rcEndDate | g.m_rcEndTime))
        PaintTimePanel(painter);
    if (!m_images.m_bmpLogo.isNull())
        painter.drawImage(g.m_rcLogo.topLeft(), m_images.m_bmpLogo, QRect(QPoint(0, 0), g.m_rcLogo.size()));

    if (dirty.intersects(g.m_rcStartCaption | g.m_rcEndCaption)) {
        painter.setFont(m_images.m_fontInfo);
        painter.setPen(panel::CAPTION);
        painter.drawText(g.m_rcStartCaption, Qt::AlignLeft | Qt::AlignTop, "START TIME");
        painter.drawText(g.m_rcEndCaption, Qt::AlignLeft | Qt::AlignTop, "END TIME");
    }
    if (dirty.intersects(CLOCK_RECT))
        PaintClock(painter);
    if (dirty.intersects(SoundPanelRect()))
        PaintSoundPanel(painter);

    if (m_strFilePath.isEmpty()) {
        for (int ch = 0; ch < 16; ++ch) {
            DrawBlankTile(painter, ch);
            DrawTileBorder(painter, TileRect(ch));
        }
        return;
    }
    // The tiles are drawn into the router's picture of the video area beforehand: by
    // the playback thread while playing, by the session while paused.
    m_session.PaintVideo(painter);
    PaintRegion(painter);
    PaintMasks(painter);
    if (dirty.intersects(g.PlayTimeArea()))
        PaintPlayTime(painter);
}

void CKVXPlayerView::PaintBackground(QPainter& painter) const
{
    const QImage& background = m_images.Background(m_bPal);
    if (background.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The frame is a few rows taller than the PAL background: they take its colour.
    if (height() > background.height())
        painter.fillRect(rect(), background.pixelColor(0, background.height() - 1));
    painter.drawImage(0, 0, background);
}

// The date-time of the frame shown last, as the recorder stamped it: the time alone
// would read the same on both sides of midnight.
void CKVXPlayerView::PaintPlayTime(QPainter& painter) const
{
    const std::optional<CFrameTime> t = m_session.ShownFrameTime();
    if (!t)
        return;
    painter.save();
    painter.setFont(m_images.m_fontPlayTime);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(panel::GROUND);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
    painter.drawText(m_geometry.m_rcPlayDate, flags, PlayDateText(*t));
    painter.drawText(m_geometry.m_rcPlayTime, flags,
                     QString::asprintf("TIME : %02d : %02d : %02d", t->m_byHour, t->m_byMinute, t->m_bySecond));
    painter.restore();
}

// The start and end of the recording. A date-time that is not valid shows dashes.
void CKVXPlayerView::PaintTimePanel(QPainter& painter) const
{
    const CViewGeometry& g = m_geometry;
    painter.save();
    painter.setFont(m_images.m_fontInfo);
    painter.setPen(panel::TEXT);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(panel::GROUND);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    painter.drawText(g.m_rcStartDate, flags, DateText(m_session.Recording().m_timeStart));
    painter.drawText(g.m_rcStartTime, flags, TimeText(m_session.Recording().m_timeStart));
    const CDateTime end = m_session.Recording().m_timeStart.IsValid() ? m_session.Recording().m_timeEnd : CDateTime();
    painter.drawText(g.m_rcEndDate, flags, DateText(end));
    painter.drawText(g.m_rcEndTime, flags, TimeText(end));
    painter.restore();
}

void CKVXPlayerView::PaintClock(QPainter& painter) const
{
    if (m_images.m_bmpTime.isNull())
        return;
    const QTime now = QTime::currentTime();
    for (const CClockGlyph& g : ClockGlyphs(now.hour(), now.minute(), now.second()))
        painter.drawImage(QPoint(g.x, CLOCK_Y), m_images.m_bmpTime, QRect(g.stripX, 0, g.width, CLOCK_HEIGHT));
}

void CKVXPlayerView::DrawBlankTile(QPainter& painter, int channel) const
{
    if (!m_images.m_bmpOverlay.isNull())
        painter.drawImage(TileRect(channel), m_images.m_bmpOverlay, m_geometry.m_rcOverlay);
}

// A one-pixel frame; the right and bottom lines lie on the rectangle's right and
// bottom coordinates, just outside its last column and row.
void CKVXPlayerView::DrawTileBorder(QPainter& painter, const QRect& r) const
{
    const int left = r.x(), top = r.y(), right = r.x() + r.width(), bottom = r.y() + r.height();
    painter.fillRect(left, top, 1, bottom - top + 1, Qt::white);
    painter.fillRect(left, top, right - left + 1, 1, Qt::white);
    painter.fillRect(right, top, 1, bottom - top + 1, Qt::white);
    painter.fillRect(left, bottom, right - left + 1, 1, Qt::white);
}

// The speakers: the level and mute the user sets with the wheel over the audio panel,
// Up, Down and M, kept in the options file beside PAL; the speaker sign, lit while
// sound is heard; the level bar under the audio switches. The export's sound is the
// recording's and never follows the level.

#include "player/kvxplayerview.h"

#include "platform/messagebox.h"
#include "player/panelcolours.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace {

// Fixed places, as the audio switches' are: the speaker sign above the "Audio"
// caption, where the default skin draws it plain, and the level under the switches.
constexpr QRect SPEAKER_RECT(17, 196, 20, 16);
constexpr QRect LEVEL_RECT(6, 330, 42, 26);
constexpr int LEVEL_CELLS = CSoundLevel::MAX / CSoundLevel::STEP;
constexpr int CELL_WIDTH = 3, CELL_PITCH = 4, CELL_HEIGHT = 8;
constexpr int WHEEL_NOTCH = 120;

} // namespace

QRect CKVXPlayerView::SoundPanelRect()
{
    return QRect(4, SPEAKER_RECT.top() - 4, 46, LEVEL_RECT.bottom() + 1 - (SPEAKER_RECT.top() - 4));
}

void CKVXPlayerView::LoadSoundLevel()
{
    CSoundLevel level;
    level.Read(m_skin->Profile());
    level.Read(CProfileFile(m_strOptionsPath.toStdString())); // the user's, as PAL's
    m_session.SetSoundLevel(level);
}

bool CKVXPlayerView::HandleSoundKey(const QKeyEvent& event)
{
    // Ctrl+M and the like are other commands' to take; the keypad's arrows are arrows.
    if (event.modifiers() & ~Qt::KeypadModifier)
        return false;
    CSoundLevel level = m_session.SoundLevel();
    switch (event.key()) {
    case Qt::Key_Up: level.Step(+1); break;
    case Qt::Key_Down: level.Step(-1); break;
    case Qt::Key_M: level.ToggleMute(); break;
    default: return false;
    }
    ChangeSoundLevel(level);
    return true;
}

// A touchpad turns in fractions of a notch: they add up to steps.
bool CKVXPlayerView::WheelSoundLevel(const QWheelEvent& event)
{
    if (!SoundPanelRect().contains(event.position().toPoint()))
        return false;
    m_nWheelRest += event.angleDelta().y();
    const int steps = m_nWheelRest / WHEEL_NOTCH;
    m_nWheelRest -= steps * WHEEL_NOTCH;
    if (steps != 0) {
        CSoundLevel level = m_session.SoundLevel();
        level.Step(steps);
        ChangeSoundLevel(level);
    }
    return true;
}

void CKVXPlayerView::ChangeSoundLevel(const CSoundLevel& level)
{
    update(LEVEL_RECT);
    if (level == m_session.SoundLevel())
        return;
    m_session.SetSoundLevel(level);
    UpdateSpeakerLamp();
    if (level.Write(WritableOptionsFile()) || m_bSoundLevelUnsaved)
        return;
    m_bSoundLevelUnsaved = true; // once: every further step would say the same
    CMessageBox::Show(this, m_frame.AppTitle(),
                      QString("The volume could not be saved in %1, so the player will not remember it.")
                          .arg(m_strOptionsPath));
}

void CKVXPlayerView::UpdateSpeakerLamp()
{
    const bool lit = IsSpeakerLit();
    if (lit == m_bSpeakerLitShown)
        return;
    m_bSpeakerLitShown = lit;
    update(SPEAKER_RECT);
}

void CKVXPlayerView::PaintSoundPanel(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_bSpeakerLitShown)
        PaintSpeakerLamp(painter);
    painter.restore();
    painter.save();
    PaintLevelBar(painter);
    painter.restore();
}

// Unlit, the skin's own sign shows; lit, a speaker sounding, in the accent.
void CKVXPlayerView::PaintSpeakerLamp(QPainter& painter) const
{
    const QRectF r(SPEAKER_RECT);
    painter.fillRect(r, panel::GROUND);
    QPainterPath speaker;
    speaker.moveTo(r.left() + 2, r.top() + 5.5);
    speaker.lineTo(r.left() + 5.5, r.top() + 5.5);
    speaker.lineTo(r.left() + 10, r.top() + 1.5);
    speaker.lineTo(r.left() + 10, r.bottom() - 0.5);
    speaker.lineTo(r.left() + 5.5, r.bottom() - 4.5);
    speaker.lineTo(r.left() + 2, r.bottom() - 4.5);
    speaker.closeSubpath();
    painter.fillPath(speaker, panel::LIT);
    painter.setPen(QPen(panel::LIT, 1.5, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre(r.left() + 10, r.center().y() + 0.5);
    for (double radius : {4.0, 7.5})
        painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), -45 * 16, 90 * 16);
}

// Ten cells, one a step, and the level in figures; muted, the cells are empty and
// struck through, and the figures say so.
void CKVXPlayerView::PaintLevelBar(QPainter& painter) const
{
    const CSoundLevel& level = m_session.SoundLevel();
    painter.fillRect(LEVEL_RECT, panel::GROUND);
    const int left = LEVEL_RECT.left() + (LEVEL_RECT.width() - (LEVEL_CELLS * CELL_PITCH - 1)) / 2;
    const int top = LEVEL_RECT.top() + 2;
    const int filled = level.IsMuted() ? 0 : level.Percent() / CSoundLevel::STEP;
    for (int i = 0; i < LEVEL_CELLS; ++i) {
        const QRect cell(left + i * CELL_PITCH, top, CELL_WIDTH, CELL_HEIGHT);
        painter.fillRect(cell, i < filled ? panel::LIT : panel::TEXT.darker(300));
    }
    painter.setPen(panel::TEXT);
    if (level.IsMuted())
        painter.drawLine(left - 1, top + CELL_HEIGHT, left + LEVEL_CELLS * CELL_PITCH - 1, top - 1);
    painter.setFont(m_images.m_fontInfo);
    const QRect figures(LEVEL_RECT.left(), top + CELL_HEIGHT + 2, LEVEL_RECT.width(), LEVEL_RECT.bottom() - top - CELL_HEIGHT - 1);
    painter.drawText(figures, Qt::AlignHCenter | Qt::AlignTop,
                     level.IsMuted() ? QString("MUTE") : QString("%1 %").arg(level.Percent()));
}

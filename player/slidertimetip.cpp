#include "player/slidertimetip.h"

#include "playback/seekposition.h"
#include "recording/recordinglocator.h"
#include "skin/skinslider.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

CSliderTimeTip::CSliderTimeTip(QWidget* slider) : QObject(slider), m_pSlider(slider)
{
    slider->installEventFilter(this);
    slider->setMouseTracking(true);
}

void CSliderTimeTip::SetRecording(CRecordingLocator* locator, uint64_t length)
{
    m_pLocator = locator;
    m_nLength = length;
    m_cache.fill(std::nullopt);
}

QString CSliderTimeTip::TextAt(int pos)
{
    if (!m_pLocator)
        return {};
    std::optional<QString>& cached = m_cache[size_t(std::clamp(pos, 0, SLIDER_MAX))];
    if (!cached) {
        const std::optional<CFoundRecord> record = m_pLocator->RecordNear(SliderSeekOffset(pos, m_nLength));
        cached = record ? QString::fromStdString(record->Time().ToIsoString()) : QString();
    }
    return *cached;
}

// The tip appears where the pointer rests, and follows it along the slider once shown
// and while the thumb is dragged.
bool CSliderTimeTip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pSlider || !m_pLocator)
        return false;
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        ShowAt(help->pos(), help->globalPos());
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        if (QToolTip::isVisible() || move->buttons() & Qt::LeftButton)
            ShowAt(move->position().toPoint(), move->globalPosition().toPoint());
    }
    return false;
}

// Under the date-time come what the marks at that place say.
void CSliderTimeTip::ShowAt(QPoint at, QPoint global)
{
    QString text = TextAt(at.x());
    if (const auto* slider = qobject_cast<const CSkinSlider*>(m_pSlider)) {
        const QString marks = slider->MarkTextAt(at.x());
        if (!marks.isEmpty())
            text = text.isEmpty() ? marks : text + QLatin1Char('\n') + marks;
    }
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(global, text, m_pSlider);
}

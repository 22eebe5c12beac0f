#pragma once

#include "playback/playstate.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <array>
#include <optional>

class CRecordingLocator;
class QWidget;

// The date and time under the position slider: hovering shows, as a tool tip, the
// date-time of the record that a seek to that position shows first. Each position is
// looked up once, with a few block reads on the window thread, and remembered until
// another recording opens. Window thread only.
class CSliderTimeTip : public QObject {
    Q_OBJECT

public:
    // Shows the tips on `slider`, whose x coordinate is the slider position.
    explicit CSliderTimeTip(QWidget* slider);

    // The recording the slider moves through, or none; forgets what was looked up.
    void SetRecording(CRecordingLocator* locator, uint64_t length);
    // "2024-03-18 14:01:00" for slider position `pos` (clamped to 0..710); empty
    // without a recording or when no record is found near the position.
    QString TextAt(int pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowAt(QPoint at, QPoint global);

    QWidget* const m_pSlider;
    CRecordingLocator* m_pLocator = nullptr;
    uint64_t m_nLength = 0;
    std::array<std::optional<QString>, SLIDER_MAX + 1> m_cache;
};

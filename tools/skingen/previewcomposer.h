#pragma once

#include "skin/skinreader.h"

#include <QImage>

class QPainter;
class CPlayerLayout;

// Composes the player window as the player shows it, from a written skin read back
// through the player's own skin reader: the background with the time panel and the
// clock, sixteen empty tiles, every button, the value fields and the slider. The
// buttons show the states of a window without a recording, except that the pause
// lamp is lit. The result is what the window region lets the user see.
class CPreviewComposer {
public:
    explicit CPreviewComposer(const QString& folder);

    QImage Compose(bool pal) const;

private:
    void PaintTimePanel(QPainter& painter) const;
    void PaintClock(QPainter& painter) const;
    void PaintTiles(QPainter& painter, bool pal) const;
    void PaintButtons(QPainter& painter, const CPlayerLayout& layout, bool pal) const;
    void PaintValueFields(QPainter& painter, bool pal) const;
    void PaintSlider(QPainter& painter, bool pal) const;

    CSkinReader m_reader;
};

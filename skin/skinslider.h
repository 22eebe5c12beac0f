#pragma once

#include "skin/slidermark.h"

#include <QImage>
#include <QRect>
#include <QWidget>

class QPainter;

#include <array>
#include <cstdint>
#include <vector>

// The position slider: a track stretched from the top-left 8 x 8 block of one picture
// and an 18-pixel thumb from another. Its value is the thumb's left edge in pixels,
// 0 .. width - 18, which for a 728-pixel slider is the playback's 0..710 scale.
//
// A click on the track moves the thumb under the pointer and, released over the
// slider, reports clicked() with m_nClickPos = the click's x. Dragging the thumb and
// letting go reports clicked() with the thumb's centre; a click on the thumb that
// does not move it reports nothing. Window thread only.
class CSkinSlider : public QWidget {
    Q_OBJECT

public:
    static constexpr int SKIN_THUMB_WIDTH = 18;

    CSkinSlider(int controlId, QWidget* parent);

    // The pictures belong to the view, which keeps them alive as long as the slider.
    void SetBitmaps(const QImage* thumb, const QImage* track);
    void MoveSlider(int left, int top, int width, int height, bool repaint);

    // The thumb's left edge, kept on the track: 0 .. width - 18.
    int Pos() const { return m_nPos; }
    void SetPos(int pos);

    int m_nClickPos = 0; // where to seek to, on the 0..710 scale

    // The heat strip over the track: a level (0: nothing, up to 255) for each slider
    // position, drawn at the pixel a click seeks to, so that a click on a mark lands
    // on it and the thumb covers the mark while that part plays. Of the positions the
    // first `known` are known; a thin line under them shows how far that reaches.
    // Drawn in the skin's colours: the thumb's over the track's.
    void SetHeat(std::vector<uint8_t> levels, int known);
    const std::vector<uint8_t>& Heat() const { return m_heat; }

    // Marks over the track in layers (gaps and damage, bookmarks, the in/out range):
    // evidence marks as a band along the bottom edge, bookmarks as ticks from top to
    // bottom, the in/out range as a tint with brackets at its ends.
    void SetMarks(ESliderMarkLayer layer, CSliderMarks marks);
    const CSliderMarks& Marks(ESliderMarkLayer layer) const { return m_marks[size_t(layer)]; }
    // What the marks at `pos` say, one per line, the topmost layer first; empty where
    // there is none. A tick is found within two pixels, so it can be hovered.
    QString MarkTextAt(int pos) const;

signals:
    void clicked(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect ThumbRect() const;
    void PaintHeat(QPainter& painter) const;
    void PaintMarks(QPainter& painter) const;

    const QImage* m_pThumbBitmap = nullptr;
    const QImage* m_pTrackBitmap = nullptr;
    int m_nLeft = 0, m_nTop = 0, m_nWidth = 0, m_nHeight = 0;
    int m_nPos = 0;
    bool m_bDragging = false;
    bool m_bMoved = false;   // the thumb moved during this drag
    bool m_bPressed = false; // a press on the slider waits for its release
    std::vector<uint8_t> m_heat;
    int m_nHeatKnown = 0;
    std::array<CSliderMarks, size_t(ESliderMarkLayer::Count)> m_marks;
    const int m_nControlId;
};

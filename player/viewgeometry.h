#pragma once

#include <QRect>
#include <QSize>

#include <optional>

class CSkinReader;

// Where the parts the player view paints itself lie, as the skin places them: the
// window in either video standard, the video area, the logo, the blank tile's picture
// and the texts of the time panel.
//
// Threads: window thread only.
class CViewGeometry {
public:
    // Reads the places from the skin; `skinSize` is the window's size in the NTSC layout.
    void Load(const CSkinReader& skin, QSize skinSize);
    // The window's size without the frame's extra rows; the PAL layout is taller.
    QSize WindowSize(bool pal) const;
    // The video area takes 576 rows in the PAL layout and 480 in the NTSC one.
    void SetVideoStandard(bool pal);
    // The picture's date and time take lines of `lineHeight` at least. A skin without
    // a place for the date has it on the line under the time.
    void FitPlayLines(int lineHeight);
    QRect PlayTimeArea() const { return m_rcPlayTime | m_rcPlayDate; }

    QSize m_sizeNtsc;
    QRect m_rcVideo, m_rcLogo, m_rcOverlay;
    QRect m_rcStartCaption, m_rcStartDate, m_rcStartTime, m_rcEndCaption, m_rcEndDate, m_rcEndTime, m_rcPlayTime;
    std::optional<QRect> m_rcSkinPlayDate; // where the skin puts the picture's date, if it says
    QRect m_rcPlayDate;
};

#pragma once

#include <QFont>
#include <QImage>

class CSkinReader;

// The skin's pictures that the player view paints or lends to its slider, and the
// fonts of the view's own texts.
//
// Threads: window thread only.
class CSkinImages {
public:
    // Reads the pictures; one the skin lacks or that cannot be read stays null.
    void Load(const CSkinReader& skin);
    // The window's background in the NTSC or the taller PAL layout.
    const QImage& Background(bool pal) const { return pal ? m_bmpPalSkin : m_bmpNtSkin; }

    QImage m_bmpNtSkin, m_bmpPalSkin;
    QImage m_bmpLogo, m_bmpOverlay, m_bmpTime;
    QImage m_bmpSliderUp, m_bmpSliderDn; // the slider keeps pointers to them
    QFont m_fontInfo; // the time panel, its captions and the audio switches
    QFont m_fontForm; // the value fields and the audio caption
    QFont m_fontPlayTime; // the date and time of the picture shown: figures as tall as the clock's
};

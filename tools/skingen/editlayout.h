#pragma once

#include "tools/skingen/windowlayout.h"

// The geometry of the snapshot editor. It takes the player window's place and size,
// with the picture where the player shows it; the information and the picture
// commands fill the side column, save, print and close sit below the picture and
// move down with the taller PAL picture.
class CEditLayout : public CWindowLayout {
public:
    // What the editor adds to the top of save, print and close for a PAL picture.
    static constexpr int PAL_SHIFT = 96;

    // The player window's sizes in the NTSC and the PAL layout, and where it shows
    // its picture: the editor takes the player's place at the player's size.
    CEditLayout(QSize ntscSize, QSize palSize, QPoint pictureOrigin);

    QSize WindowSize(bool pal) const override;
    std::vector<CPanel> Panels(bool pal) const override;

private:
    void AddTexts();
    void AddCommands();
    QRect Bar() const;

    QSize m_size, m_sizePal;
    QPoint m_ptPicture;
};

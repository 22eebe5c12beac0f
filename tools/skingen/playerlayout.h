#pragma once

#include "tools/skingen/windowlayout.h"

#include <QPoint>

// The geometry of the player window. The picture area sits left, under the title
// strip; the side column right of it holds what the player never moves (clock, time
// panel, play-state lamps, speed and delay, layout keys); everything the player moves
// down with the taller PAL picture (slider, transport, channel and page keys, the
// tools, the export panel) sits below the picture.
class CPlayerLayout : public CWindowLayout {
public:
    // What the player adds to the top of a position that follows the PAL picture.
    static constexpr int PAL_SHIFT = 99;
    // How much taller the PAL picture is (576 lines instead of 480).
    static constexpr int PAL_GROWTH = 96;
    // The player's window region hides the top three rows and the left three columns.
    static constexpr int HIDDEN_EDGE = 3;
    // The player's PAL window is this much taller than its PAL background.
    static constexpr int PAL_FRAME_EXTRA = 5;

    CPlayerLayout();

    QSize WindowSize(bool pal) const override;
    // The size of the player's window, which the snapshot editor takes too.
    QSize FrameSize(bool pal) const { return WindowSize(pal) + QSize(0, pal ? PAL_FRAME_EXTRA : 0); }
    std::vector<CPanel> Panels(bool pal) const override;

    // The picture area; the player's tile borders also take the line right of and
    // below it.
    QRect VideoArea(bool pal) const;

private:
    void AddMainPositions();
    void AddNavigation();
    void AddModes();
    void AddChannels();
    void AddTimePanel();
    void AppendColumnPanels(std::vector<CPanel>& panels) const;
    void AppendLowerPanels(std::vector<CPanel>& panels, bool pal) const;
};

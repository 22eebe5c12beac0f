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

    CPlayerLayout();

    QSize WindowSize(bool pal) const override;
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

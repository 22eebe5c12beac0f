#pragma once

#include "tools/skingen/windowlayout.h"

// The geometry of the export panel, which the player lays over the export card of
// its own background.
class CBackupLayout : public CWindowLayout {
public:
    explicit CBackupLayout(QSize size);

    QSize WindowSize(bool pal) const override;
    std::vector<CPanel> Panels(bool pal) const override;

private:
    QSize m_size;
};

#pragma once

#include "snapshot/imagefilter.h"

#include <span>
#include <string_view>

// One of the editor's six picture commands: the button that runs it, the name
// kvxtool knows it by, the command text the editor shows, and its filter with the
// step the button passes. The button whose skin section says CONTRAST UP despeckles,
// and the one that says CONTRAST DOWN spreads the contrast: their texts say what
// they do.
struct CFilterCommand {
    int m_nControlId;
    const char* m_szName;
    const char* m_szText; // with trailing spaces, drawn on an opaque ground
    bool (*m_pRun)(const CImageFilter& filter, std::span<uint8_t> picture);

    static const CFilterCommand* FromControlId(int id);
    static const CFilterCommand* FromName(std::string_view name);
};

#pragma once

#include <array>

// One tool tip of the player window: its res.ini key and its text (at most 79
// characters, the player shows no more).
struct CToolTip {
    const char* key;
    const char* text;
};

// The player's 24 tool tips in the order it reads them.
extern const std::array<CToolTip, 24> TOOL_TIPS;

#pragma once

#include <string>
#include <vector>

inline constexpr int EXIT_PROBE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

// The arguments most commands take: one recording and an optional --json.
struct CCommandArgs {
    std::string m_strFile;
    bool m_bJson = false;
};

bool ParseFileAndJson(const std::vector<std::string>& args, CCommandArgs& out);

// Prints "usage: kvxtool <synopsis>" to standard error and returns EXIT_USAGE.
int UsageError(const char* synopsis);

// The whole help text of kvxtool.
const char* HelpText();

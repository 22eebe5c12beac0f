#pragma once

#include "recording/datetime.h"

#include <initializer_list>
#include <string>
#include <vector>

inline constexpr int EXIT_PROBE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

// The arguments most commands take: one recording and an optional --json.
struct CCommandArgs {
    std::string m_strFile;
    bool m_bJson = false;
};

// False, with the reason said, on anything else.
bool ParseFileAndJson(const std::vector<std::string>& args, CCommandArgs& out);

// Says on standard error why an argument is refused, as "kvxtool: WHAT: REASON", e.g.
// "kvxtool: --fps 0: the rate is 1 to 60"; false, for a parser to return.
bool Refuse(const std::string& what, const std::string& reason);
// An argument that none of a command's options took: one of `valueOptions` with no
// value after it, an option the command does not have, or a file after the file.
bool RefuseStray(const std::string& arg, std::initializer_list<const char*> valueOptions);
// `text` as a whole decimal number from `low` to `high`.
bool ParseIntIn(const std::string& text, int low, int high, int& value);
// A date-time "YYYY-MM-DD HH:MM:SS" after `option`; false, said, when it is none.
bool ParseDateTimeArg(const std::string& option, const std::string& text, CDateTime& out);

// Prints "usage: kvxtool <synopsis>" to standard error and returns EXIT_USAGE.
int UsageError(const char* synopsis);

// The whole help text of kvxtool.
const char* HelpText();

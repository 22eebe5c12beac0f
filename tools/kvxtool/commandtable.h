#pragma once

#include <span>
#include <string>
#include <vector>

inline constexpr int EXIT_PROBE_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

// One command of kvxtool. Each is defined in its own file, beside its code.
struct CCommand {
    const char* m_szName;     // as typed: "info"
    const char* m_szSynopsis; // after "usage: kvxtool " when its arguments are refused
    const char* m_szHelp;     // its paragraph of the help text, every line ending in '\n'
    int (*m_pRun)(const std::vector<std::string>& args); // the exit status
};

extern const CCommand INFO_COMMAND, FRAMES_COMMAND, LOCATE_COMMAND, BENCH_COMMAND, FILTER_COMMAND,
    SNAPSHOT_COMMAND, EXPORT_COMMAND, REPORT_COMMAND, EXCERPT_COMMAND, ACTIVITY_COMMAND, KEY_COMMAND, VERIFY_COMMAND,
    BOOKMARKS_COMMAND;

// Every command, in the order the help text lists them.
std::span<const CCommand* const> Commands();
// The command named `name`, or null.
const CCommand* FindCommand(const std::string& name);
// The whole help text of kvxtool, the commands' paragraphs in the table's order.
std::string HelpText();

// Prints "usage: kvxtool <synopsis>" to standard error and returns EXIT_USAGE.
int UsageError(const char* synopsis);
// Runs the command the arguments name; the exit status.
int RunKvxtool(const std::vector<std::string>& args);

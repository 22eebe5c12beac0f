#include "tools/kvxtool/commandtable.h"

#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

const char* const HELP_HEADER =
    "usage: kvxtool COMMAND [ARGUMENTS]\n"
    "\n"
    "The command-line side of KVXPlayer: reads DVR backup recordings (.kvx) the way\n"
    "the player does and prints what it finds. Recordings are only ever read.\n"
    "\n"
    "Commands:\n";

const char* const HELP_FOOTER =
    "  --help               Show this text.\n"
    "\n"
    "frames and bench read on as forward play does and stop at the end of the file\n"
    "when no picture before it ends forward play.\n"
    "\n"
    "Exit status: 0 on success; 1 when the file is not a playable recording or an\n"
    "output file cannot be written (the reason, e.g. \" Unknown CD \", goes to\n"
    "standard error) or, for filter and snapshot, as said above; 2 for usage errors,\n"
    "each named with its reason, e.g. \"kvxtool: --fps 0: the rate is 1 to 60\".\n"
    "Folder and file names are taken as the bytes given, UTF-8 or not.\n";

const char* const SYNOPSIS = "COMMAND [ARGUMENTS]";

const CCommand* const COMMANDS[] = {
    &INFO_COMMAND,     &FRAMES_COMMAND, &LOCATE_COMMAND, &BENCH_COMMAND,  &FILTER_COMMAND,
    &SNAPSHOT_COMMAND, &EXPORT_COMMAND, &REPORT_COMMAND, &EXCERPT_COMMAND, &ACTIVITY_COMMAND, &KEY_COMMAND,
    &VERIFY_COMMAND,   &BOOKMARKS_COMMAND,
};

} // namespace

std::span<const CCommand* const> Commands()
{
    return COMMANDS;
}

const CCommand* FindCommand(const std::string& name)
{
    for (const CCommand* command : COMMANDS)
        if (name == command->m_szName)
            return command;
    return nullptr;
}

std::string HelpText()
{
    std::string text = HELP_HEADER;
    for (const CCommand* command : COMMANDS)
        text += command->m_szHelp;
    return text + HELP_FOOTER;
}

int UsageError(const char* synopsis)
{
    std::fprintf(stderr, "usage: kvxtool %s\nTry 'kvxtool --help' for more information.\n", synopsis);
    return EXIT_USAGE;
}

int RunKvxtool(const std::vector<std::string>& args)
{
    if (args.empty()) {
        Refuse("COMMAND", "a command must be given");
        return UsageError(SYNOPSIS);
    }
    const std::string& name = args.front();
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (const CCommand* command = FindCommand(name))
        return command->m_pRun({args.begin() + 1, args.end()});
    std::fprintf(stderr, "kvxtool: unknown command '%s'\n", name.c_str());
    return UsageError(SYNOPSIS);
}

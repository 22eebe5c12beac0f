#include "tools/kvxtool/benchcommand.h"
#include "tools/kvxtool/excerptcommand.h"
#include "tools/kvxtool/exportcommand.h"
#include "tools/kvxtool/filtercommand.h"
#include "tools/kvxtool/framescommand.h"
#include "tools/kvxtool/infocommand.h"
#include "tools/kvxtool/snapshotcommand.h"
#include "tools/kvxtool/locatecommand.h"
#include "tools/kvxtool/reportcommand.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        Refuse("COMMAND", "a command must be given");
        return UsageError("COMMAND [ARGUMENTS]");
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(HelpText(), stdout);
        return 0;
    }
    if (command == "info")
        return RunInfoCommand(args);
    if (command == "frames")
        return RunFramesCommand(args);
    if (command == "locate")
        return RunLocateCommand(args);
    if (command == "bench")
        return RunBenchCommand(args);
    if (command == "filter")
        return RunFilterCommand(args);
    if (command == "excerpt")
        return RunExcerptCommand(args);
    if (command == "report")
        return RunReportCommand(args);
    if (command == "snapshot")
        return RunSnapshotCommand(args);
    if (command == "export")
        return RunExportCommand(args);
    std::fprintf(stderr, "kvxtool: unknown command '%s'\n", command.c_str());
    return UsageError("COMMAND [ARGUMENTS]");
}

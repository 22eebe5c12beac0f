#include "tools/kvxtool/locatecommand.h"

#include "recording/recordinglocator.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>

namespace {

constexpr const char* SYNOPSIS = "locate FILE --at \"YYYY-MM-DD HH:MM:SS\" [--json]";

struct CLocateArgs {
    std::string m_strFile;
    CDateTime m_moment;
    bool m_bJson = false;
};

bool ParseLocateArgs(const std::vector<std::string>& args, CLocateArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            out.m_bJson = true;
        } else if (args[i] == "--at" && i + 1 < args.size()) {
            if (!ParseDateTimeArg(args[i], args[i + 1], out.m_moment))
                return false;
            ++i;
        } else if (args[i].starts_with("-") || !out.m_strFile.empty()) {
            return RefuseStray(args[i], {"--at"});
        } else {
            out.m_strFile = args[i];
        }
    }
    if (out.m_strFile.empty())
        return Refuse("FILE", "the recording to search must be named");
    return out.m_moment.IsValid() || Refuse("--at", "the moment to find must be given");
}

void PrintJson(const CLocateResult& r)
{
    CJsonLine line;
    line.Add("offset", r.m_record.m_nOffset).Add("time", r.m_record.Time().ToIsoString());
    if (r.m_bGap)
        line.AddObject("gap", CJsonLine()
                                  .Add("from", r.m_timeBefore.ToIsoString())
                                  .Add("to", r.m_record.Time().ToIsoString()));
    else
        line.AddNull("gap");
    std::printf("%s\n", line.Text().c_str());
}

void PrintForPerson(const CLocateResult& r)
{
    std::printf("Offset:  %llu\n", (unsigned long long)r.m_record.m_nOffset);
    std::printf("Time:    %s\n", r.m_record.Time().ToIsoString().c_str());
    if (r.m_bGap)
        std::printf("Gap:     %s\n", LocateGapText(r).c_str());
}

} // namespace

int RunLocateCommand(const std::vector<std::string>& args)
{
    CLocateArgs parsed;
    if (!ParseLocateArgs(args, parsed))
        return UsageError(SYNOPSIS);
    CRecordingFacts facts;
    CConsoleProbeView view;
    if (!CRecordingProbe(facts, view).ProbeRecording(parsed.m_strFile))
        return EXIT_PROBE_FAILED;
    CRecordingLocator locator(facts);
    if (!locator.Open(parsed.m_strFile)) {
        std::fprintf(stderr, "Can not open KVX file.\n%s\n%s\n", parsed.m_strFile.c_str(), locator.ErrorText().c_str());
        return EXIT_PROBE_FAILED;
    }
    const CLocateResult result = locator.Locate(parsed.m_moment);
    if (result.m_status == CLocateResult::EStatus::NoRecords) {
        std::fprintf(stderr, "no record of the recording has a valid date\n");
        return EXIT_PROBE_FAILED;
    }
    if (result.m_status == CLocateResult::EStatus::AfterEnd) {
        std::fprintf(stderr, "no recording at or after %s%s\n", parsed.m_moment.ToIsoString().c_str(),
                     facts.m_timeEnd.IsValid() ? ("; the recording ends at " + facts.m_timeEnd.ToIsoString()).c_str() : "");
        return EXIT_PROBE_FAILED;
    }
    if (parsed.m_bJson)
        PrintJson(result);
    else
        PrintForPerson(result);
    return 0;
}

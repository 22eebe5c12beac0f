#include "recording/recordinglocator.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  locate FILE --at \"YYYY-MM-DD HH:MM:SS\" [--json]\n"
    "                       The record the player shows for that moment: its header\n"
    "                       offset and date-time. On a recording whose time only runs\n"
    "                       forward, the first record in forward-play order dated at\n"
    "                       or after the moment; before the first record, the first\n"
    "                       record. --json prints {\"offset\",\"time\",\"gap\",\n"
    "                       \"ambiguous\"}: gap is null, or {\"from\",\"to\"}, the\n"
    "                       dates of the records on either side when the moment\n"
    "                       falls between two records more than a second apart;\n"
    "                       ambiguous lists, when the clock was set back and the\n"
    "                       moment was recorded more than once, the header offset\n"
    "                       of each stretch's first record of that second, in file\n"
    "                       order (the first is offset), and is empty when the\n"
    "                       moment was recorded once or not at all. The search reads\n"
    "                       a few blocks here and there: a set-back so short that\n"
    "                       none of them lands on both sides of it goes unnoticed\n"
    "                       (report lists every set-back). Exit status 1\n"
    "                       also when the moment lies after the last record.\n";

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
    line.AddIntegers("ambiguous", r.m_occurrences);
    std::printf("%s\n", line.Text().c_str());
}

void PrintForPerson(const CLocateResult& r)
{
    std::printf("Offset:  %llu\n", (unsigned long long)r.m_record.m_nOffset);
    std::printf("Time:    %s\n", r.m_record.Time().ToIsoString().c_str());
    if (r.m_bGap)
        std::printf("Gap:     %s\n", LocateGapText(r).c_str());
    if (!r.m_occurrences.empty()) {
        std::printf("Twice:   recorded %zu times (the clock was set back), at offsets", r.m_occurrences.size());
        for (size_t i = 0; i < r.m_occurrences.size(); ++i)
            std::printf("%s %llu", i ? "," : "", (unsigned long long)r.m_occurrences[i]);
        std::printf("\n");
    }
}

int Run(const std::vector<std::string>& args)
{
    std::string file;
    CDateTime moment;
    bool json = false;
    if (!COptionParser()
             .Flag("--json", json)
             .DateTime("--at", moment)
             .File(file, "FILE", "the recording to search must be named")
             .Parse(args)
        || (!moment.IsValid() && !Refuse("--at", "the moment to find must be given")))
        return UsageError(LOCATE_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(file, facts))
        return EXIT_PROBE_FAILED;
    CRecordingLocator locator(facts);
    if (!locator.Open(file)) {
        std::fprintf(stderr, "Can not open KVX file.\n%s\n%s\n", file.c_str(), locator.ErrorText().c_str());
        return EXIT_PROBE_FAILED;
    }
    const CLocateResult result = locator.Locate(moment);
    if (result.m_status == CLocateResult::EStatus::NoRecords) {
        std::fprintf(stderr, "no record of the recording has a valid date\n");
        return EXIT_PROBE_FAILED;
    }
    if (result.m_status == CLocateResult::EStatus::AfterEnd) {
        std::fprintf(stderr, "no recording at or after %s%s\n", moment.ToIsoString().c_str(),
                     facts.m_timeEnd.IsValid() ? ("; the recording ends at " + facts.m_timeEnd.ToIsoString()).c_str() : "");
        return EXIT_PROBE_FAILED;
    }
    if (json)
        PrintJson(result);
    else
        PrintForPerson(result);
    return 0;
}

} // namespace

// The record the player's go-to-date dialog would show for a moment.
const CCommand LOCATE_COMMAND = {"locate", "locate FILE --at \"YYYY-MM-DD HH:MM:SS\" [--json]", HELP, Run};

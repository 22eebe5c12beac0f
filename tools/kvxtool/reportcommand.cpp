#include "evidence/recordingreport.h"
#include "evidence/reportjson.h"
#include "evidence/reporttext.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consolebookmarks.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/optionparser.h"
#include "tools/kvxtool/progressbar.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <string>

namespace {

constexpr const char* HELP =
    "  report FILE [--json] [--gap SECONDS] [--no-hash]\n"
    "                       Read the whole file once, to its very end (past where\n"
    "                       forward play stops), and report: its size and SHA-256\n"
    "                       (--no-hash skips it), the probe's facts; per camera the\n"
    "                       pictures, first and last date-time and the gaps longer\n"
    "                       than SECONDS (default 10) between its pictures; clock\n"
    "                       jumps (time going back, or forward by more than the\n"
    "                       gap, between consecutive records); damaged stretches\n"
    "                       (blocks that are no header, headers with invalid\n"
    "                       dates, pictures over 8 units, pictures cut off); the\n"
    "                       pictures that do not decode and the audio blocks. Every\n"
    "                       picture is counted under the camera its bar code names;\n"
    "                       a gap's or jump's offset is the header of the record\n"
    "                       after it. --json prints one JSON object: {\"file\",\n"
    "                       \"size\",\"sha256\",\"probe\",\"records\",\"pictures\",\n"
    "                       \"channels\":[{\"channel\" (from 1),\"pictures\",\"first\",\n"
    "                       \"last\",\"gaps\":[{\"from\",\"to\",\"offset\",\"channel\",\n"
    "                       \"before\"}]}],\n"
    "                       \"clock_jumps\":[{\"offset\",\"from\",\"to\",\"before\"}],\n"
    "                       \"damaged\":[{\"offset\",\"bytes\",\"what\",\"blocks\",\n"
    "                       \"before\"}],\"undecodable\",\"audio_blocks\",\n"
    "                       \"undecodable_pictures\":[{\"offset\",\"time\",\"channel\"}],\n"
    "                       \"damaged_runs\":[{\"offset\",\"end\",\"blocks\",\n"
    "                       \"stretches\",\"undecodable\",\"before\"}]}. \"before\" is\n"
    "                       the record in front: {\"offset\",\"time\",\"channel\"}, or\n"
    "                       null when nothing precedes the damage; a gap's is the\n"
    "                       camera's picture before it. A channel is null where no\n"
    "                       bar code names one (an audio-only record, a picture\n"
    "                       whose top rows do not decode). A damaged run joins the\n"
    "                       damaged stretches and undecodable pictures that no\n"
    "                       playable record separates: from its first damaged byte\n"
    "                       to \"end\", the byte after its last; \"blocks\" counts\n"
    "                       512-byte blocks. Pictures are decoded on every core; a\n"
    "                       bar on a terminal shows the progress.\n";

// Files shorter than this are read before a bar would be worth drawing.
constexpr uint64_t PROGRESS_MINIMUM = 16ull << 20;

int Run(const std::vector<std::string>& args)
{
    std::string file;
    bool json = false;
    CReportOptions options;
    if (!COptionParser()
             .Flag("--json", json)
             .Flag("--no-hash", options.m_bHash, false)
             .Number<int64_t>("--gap", 0, std::numeric_limits<int64_t>::max(), options.m_nGapSeconds,
                              "the gap is a whole number of seconds, 0 or more")
             .File(file, "RECORDING", "the recording to report on must be named")
             .Parse(args))
        return UsageError(REPORT_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(file, facts))
        return EXIT_PROBE_FAILED;
    CRecordingReport report;
    std::string error;
    bool ok = false;
    {
        CProgressBar progress("Reading", PROGRESS_MINIMUM); // wiped before anything else is printed
        options.m_onProgress = [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); };
        ok = BuildRecordingReport(file, facts, options, report, error);
    }
    if (!ok) {
        std::fprintf(stderr, "Can not read KVX file.\n%s\n%s\n", file.c_str(), error.c_str());
        return EXIT_PROBE_FAILED;
    }
    const CBookmarks bookmarks = ConsoleBookmarks(file);
    if (json)
        std::printf("%s\n", RecordingReportJson(report, bookmarks).c_str());
    else
        std::fputs(RecordingReportText(report, options.m_nGapSeconds, bookmarks).c_str(), stdout);
    return 0;
}

} // namespace

// One pass over the whole file: its hash, each camera's pictures and gaps, clock jumps, damage.
const CCommand REPORT_COMMAND = {"report", "report RECORDING [--json] [--gap SECONDS] [--no-hash]", HELP, Run};

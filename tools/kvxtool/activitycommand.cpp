#include "evidence/activityindexbuilder.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/optionparser.h"
#include "tools/kvxtool/progressbar.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* HELP =
    "  activity RECORDING --channel N [--region X,Y,W,H] [--sensitivity 1..10]\n"
    "           [--join SECONDS] [--json] [--no-cache]\n"
    "                       List the stretches of activity of camera N (from 1):\n"
    "                       one line each with its first and last date-time, the\n"
    "                       header offset of its first picture and its peak (the\n"
    "                       largest share of the region's cells changed in one\n"
    "                       picture). The region is in fractions of the camera's\n"
    "                       picture, origin top left (default the whole picture,\n"
    "                       which leaves out cells that change all the time, such as\n"
    "                       an on-screen clock). Stretches closer than SECONDS\n"
    "                       (default 2) merge; none spans a gap or a clock set back.\n"
    "                       Sensitivity 1 takes large changes only, 10 a single cell\n"
    "                       (default 5); a change of the light is not activity.\n"
    "                       --json prints {\"channel\",\"region\":[x,y,w,h],\n"
    "                       \"pictures\",\"segments\":[{\"from\",\"to\",\"offset\",\n"
    "                       \"peak\"}]}. The index of the recording is kept in the\n"
    "                       user's cache folder and used again; --no-cache neither\n"
    "                       reads nor fills it. No activity is an empty list.\n";

constexpr uint64_t PROGRESS_MINIMUM = 16ull << 20;
constexpr int64_t MAX_JOIN_SECONDS = 24 * 3600;

struct CArguments {
    std::string m_strFile;
    int m_nChannel = 0; // 1-based as given; 0: not given
    CActivityQuery m_query;
    bool m_bJson = false;
    bool m_bNoCache = false;
};

bool ReadRegion(const std::string& text, CActivityRegion& region)
{
    double values[4];
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        const auto [next, error] = std::from_chars(at, end, values[i]);
        if (error != std::errc() || next == at || (i < 3 ? next == end || *next != ',' : next != end))
            return Refuse("--region " + text, "four fractions X,Y,W,H are needed, e.g. 0.25,0.1,0.5,0.5");
        at = next + 1;
    }
    region = {values[0], values[1], values[2], values[3]};
    return region.IsValid()
        || Refuse("--region " + text, "the region must lie inside the picture (0..1) and be wider and higher than 0");
}

bool Parse(const std::vector<std::string>& args, CArguments& a)
{
    return COptionParser()
               .Number("--channel", 1, 16, a.m_nChannel, "the camera is a number from 1 to 16")
               .Value("--region", [&a](const std::string& text) { return ReadRegion(text, a.m_query.m_region); })
               .Number("--sensitivity", 1, 10, a.m_query.m_nSensitivity, "the sensitivity is 1 to 10")
               .Number<int64_t>("--join", 0, MAX_JOIN_SECONDS, a.m_query.m_nJoinSeconds,
                                "the join is a whole number of seconds, 0 to 86400")
               .Flag("--json", a.m_bJson)
               .Flag("--no-cache", a.m_bNoCache)
               .File(a.m_strFile, "RECORDING", "the recording to search must be named")
               .Parse(args)
        && (a.m_nChannel != 0 || Refuse("--channel", "the camera to search must be given"));
}

std::string Peak(double peak)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", peak);
    return text;
}

void PrintJson(const CArguments& a, uint64_t pictures, const std::vector<CActivityStretch>& stretches)
{
    std::vector<CJsonLine> segments;
    for (const CActivityStretch& s : stretches)
        segments.push_back(CJsonLine().Add("from", s.m_from.ToIsoString()).Add("to", s.m_to.ToIsoString())
                               .Add("offset", s.m_nOffset).Add("peak", s.m_dPeak));
    const CActivityRegion& r = a.m_query.m_region;
    const CJsonLine line = CJsonLine().Add("channel", a.m_nChannel)
        .AddNumbers("region", {r.m_dX, r.m_dY, r.m_dWidth, r.m_dHeight}).Add("pictures", pictures)
        .AddArray("segments", segments);
    std::printf("%s\n", line.Text().c_str());
}

void PrintLines(const std::vector<CActivityStretch>& stretches)
{
    for (const CActivityStretch& s : stretches)
        std::printf("%s to %s  offset %llu  peak %s\n", s.m_from.ToIsoString().c_str(), s.m_to.ToIsoString().c_str(),
                    (unsigned long long)s.m_nOffset, Peak(s.m_dPeak).c_str());
}

int Run(const std::vector<std::string>& args)
{
    CArguments a;
    if (!Parse(args, a))
        return UsageError(ACTIVITY_COMMAND.m_szSynopsis);
    CActivityIndexRequest request;
    request.m_strPath = a.m_strFile;
    if (!CConsoleProbeView::Probe(a.m_strFile, request.m_facts))
        return EXIT_PROBE_FAILED;
    const int channels = request.m_facts.m_nChannelCount;
    if (a.m_nChannel > channels) {
        Refuse("--channel " + std::to_string(a.m_nChannel),
               "the recording has " + std::to_string(channels) + " cameras");
        return UsageError(ACTIVITY_COMMAND.m_szSynopsis);
    }
    request.m_bUseCache = !a.m_bNoCache;
    CSharedActivityIndex index(channels);
    CActivityIndexOutcome outcome;
    {
        CProgressBar progress("Indexing", PROGRESS_MINIMUM); // wiped before anything else is printed
        request.m_scan.m_onProgress = [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); };
        outcome = ObtainActivityIndex(request, index);
    }
    for (const std::string& note : outcome.m_notes)
        std::fprintf(stderr, "kvxtool: %s\n", note.c_str());
    if (outcome.m_scan.m_result != EActivityScan::Complete) {
        std::fprintf(stderr, "Can not read KVX file.\n%s\n%s\n", a.m_strFile.c_str(), outcome.m_scan.m_strError.c_str());
        return EXIT_PROBE_FAILED;
    }
    if (outcome.m_scan.m_nUndecodable)
        std::fprintf(stderr, "kvxtool: %s: pictures that do not decode, not searched: %llu\n", a.m_strFile.c_str(),
                     (unsigned long long)outcome.m_scan.m_nUndecodable);
    a.m_query.m_channels = {a.m_nChannel - 1};
    const CActivityIndex whole = index.Snapshot();
    const std::vector<CActivityStretch> stretches = whole.Find(a.m_query);
    a.m_bJson ? PrintJson(a, whole.Pictures(a.m_nChannel - 1).size(), stretches) : PrintLines(stretches);
    return 0;
}

} // namespace

// The stretches of activity of one camera, from the activity index (cached in the user's cache folder).
const CCommand ACTIVITY_COMMAND = {
    "activity",
    "activity RECORDING --channel N [--region X,Y,W,H] [--sensitivity 1..10] [--join SECONDS] [--json] [--no-cache]",
    HELP, Run};

#include "tools/kvxtool/reportcommand.h"

#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/progressbar.h"
#include "evidence/recordingreport.h"
#include "tools/kvxtool/usage.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* SYNOPSIS = "report RECORDING [--json] [--gap SECONDS] [--no-hash]";
// Files shorter than this are read before a bar would be worth drawing.
constexpr uint64_t PROGRESS_MINIMUM = 16ull << 20;

struct CReportArgs {
    std::string m_strFile;
    bool m_bJson = false;
    CReportOptions m_options;
};

bool Parse(const std::vector<std::string>& args, CReportArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            out.m_bJson = true;
        } else if (arg == "--no-hash") {
            out.m_options.m_bHash = false;
        } else if (arg == "--gap" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            int64_t& gap = out.m_options.m_nGapSeconds;
            const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), gap);
            if (error != std::errc() || end != v.data() + v.size() || gap < 0)
                return Refuse("--gap " + v, "the gap is a whole number of seconds, 0 or more");
        } else if (arg.starts_with("-") || !out.m_strFile.empty()) {
            return RefuseStray(arg, {"--gap"});
        } else {
            out.m_strFile = arg;
        }
    }
    return !out.m_strFile.empty() || Refuse("RECORDING", "the recording to report on must be named");
}

std::string Time(const CDateTime& time)
{
    return time.ToIsoString();
}

void PrintJson(const CRecordingReport& r)
{
    std::vector<CJsonLine> channels, jumps, damaged;
    for (const CReportChannel& c : r.m_channels) {
        std::vector<CJsonLine> gaps;
        for (const CReportGap& g : c.m_gaps)
            gaps.push_back(CJsonLine().Add("from", Time(g.m_from)).Add("to", Time(g.m_to)).Add("offset", g.m_nOffset));
        channels.push_back(CJsonLine()
                               .Add("channel", c.m_nChannel)
                               .Add("pictures", c.m_nPictures)
                               .Add("first", Time(c.m_first))
                               .Add("last", Time(c.m_last))
                               .AddArray("gaps", gaps));
    }
    for (const CClockJump& j : r.m_clockJumps)
        jumps.push_back(CJsonLine().Add("offset", j.m_nOffset).Add("from", Time(j.m_from)).Add("to", Time(j.m_to)));
    for (const CDamagedStretch& d : r.m_damaged)
        damaged.push_back(CJsonLine().Add("offset", d.m_nOffset).Add("bytes", d.m_nBytes).Add("what", DamageText(d.m_what)));
    const CRecordingFacts& f = r.m_facts;
    CJsonLine probe;
    probe.Add("channels", int(f.m_nChannelCount))
        .Add("layout", f.m_layout == kvx::EHeaderLayout::B ? "B" : "A")
        .AddOrNull("start", Time(f.m_timeStart))
        .AddOrNull("end", Time(f.m_timeEnd))
        .Add("end_offset", f.m_dwEndOffset)
        .Add("audio", f.m_bAudio);
    CJsonLine line;
    line.Add("file", r.m_strFile).Add("size", r.m_nSize);
    if (r.m_sha256)
        line.Add("sha256", *r.m_sha256);
    else
        line.AddNull("sha256");
    line.AddObject("probe", probe)
        .Add("records", r.m_nRecords)
        .Add("pictures", r.m_nPictures)
        .AddArray("channels", channels)
        .AddArray("clock_jumps", jumps)
        .AddArray("damaged", damaged)
        .Add("undecodable", r.m_nUndecodable)
        .Add("audio_blocks", r.m_nAudioBlocks);
    std::printf("%s\n", line.Text().c_str());
}

unsigned long long U(uint64_t value)
{
    return static_cast<unsigned long long>(value);
}

void PrintChannels(const CRecordingReport& r)
{
    for (const CReportChannel& c : r.m_channels) {
        std::printf("Camera %02d:     %llu pictures, %s to %s, %zu gap%s\n", c.m_nChannel, U(c.m_nPictures),
                    Time(c.m_first).c_str(), Time(c.m_last).c_str(), c.m_gaps.size(), c.m_gaps.size() == 1 ? "" : "s");
        for (const CReportGap& g : c.m_gaps)
            std::printf("    gap        %s to %s (%lld s), next picture at offset %llu\n", Time(g.m_from).c_str(),
                        Time(g.m_to).c_str(), (long long)(DateTimeToSeconds(g.m_to) - DateTimeToSeconds(g.m_from)),
                        U(g.m_nOffset));
    }
}

void PrintForPerson(const CRecordingReport& r, int64_t gapSeconds)
{
    const CRecordingFacts& f = r.m_facts;
    std::printf("Recording:     %s\n", r.m_strFile.c_str());
    std::printf("Size:          %llu bytes\n", U(r.m_nSize));
    std::printf("SHA-256:       %s\n", r.m_sha256 ? r.m_sha256->c_str() : "not computed (--no-hash)");
    std::printf("Channels:      %d (header layout %s), audio %s\n", f.m_nChannelCount,
                f.m_layout == kvx::EHeaderLayout::B ? "B" : "A", f.m_bAudio ? "yes" : "no");
    std::printf("Probe:         %s to %s; forward play stops at offset %llu\n", Time(f.m_timeStart).c_str(),
                f.m_timeEnd.IsValid() ? Time(f.m_timeEnd).c_str() : "(invalid)", U(f.m_dwEndOffset));
    std::printf("Records:       %llu (%llu pictures, %llu not decodable), %llu audio blocks\n", U(r.m_nRecords),
                U(r.m_nPictures), U(r.m_nUndecodable), U(r.m_nAudioBlocks));
    std::printf("Gaps:          longer than %lld s\n", (long long)gapSeconds);
    PrintChannels(r);
    std::printf("Clock jumps:   %zu\n", r.m_clockJumps.size());
    for (const CClockJump& j : r.m_clockJumps)
        std::printf("    at offset %llu: %s to %s\n", U(j.m_nOffset), Time(j.m_from).c_str(), Time(j.m_to).c_str());
    std::printf("Damaged:       %zu stretch%s\n", r.m_damaged.size(), r.m_damaged.size() == 1 ? "" : "es");
    for (const CDamagedStretch& d : r.m_damaged)
        std::printf("    at offset %llu, %llu bytes: %s\n", U(d.m_nOffset), U(d.m_nBytes), DamageText(d.m_what));
}

} // namespace

int RunReportCommand(const std::vector<std::string>& args)
{
    CReportArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(a.m_strFile))
        return EXIT_PROBE_FAILED;
    CRecordingReport report;
    std::string error;
    bool ok = false;
    {
        CProgressBar progress("Reading", PROGRESS_MINIMUM);
        a.m_options.m_onProgress = [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); };
        ok = BuildRecordingReport(a.m_strFile, facts, a.m_options, report, error);
    }
    if (!ok) {
        std::fprintf(stderr, "Can not read KVX file.\n%s\n%s\n", a.m_strFile.c_str(), error.c_str());
        return EXIT_PROBE_FAILED;
    }
    if (a.m_bJson)
        PrintJson(report);
    else
        PrintForPerson(report, a.m_options.m_nGapSeconds);
    return 0;
}

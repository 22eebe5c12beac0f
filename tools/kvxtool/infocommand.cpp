#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  info FILE [--json]   Probe the recording: channel count (4 or 16), header\n"
    "                       layout, first and last record date-time, first sector,\n"
    "                       sector span, the offset where forward play stops, audio,\n"
    "                       and the file size. --json prints one JSON object:\n"
    "                       {\"channels\",\"layout\",\"start\",\"end\",\"end_valid\",\n"
    "                        \"first_sector\",\"sector_span\",\"end_offset\",\"audio\",\"size\"}\n"
    "                       with date-times as \"YYYY-MM-DD HH:MM:SS\" or null.\n";

const char* LayoutName(kvx::EHeaderLayout layout)
{
    return layout == kvx::EHeaderLayout::B ? "B" : "A";
}

void PrintJson(const CRecordingFacts& facts)
{
    CJsonLine line;
    line.Add("channels", int(facts.m_nChannelCount))
        .Add("layout", LayoutName(facts.m_layout))
        .AddOrNull("start", facts.m_timeStart.ToIsoString())
        .AddOrNull("end", facts.m_timeEnd.ToIsoString())
        .Add("end_valid", facts.m_timeEnd.IsValid())
        .Add("first_sector", facts.m_nFirstSector)
        .Add("sector_span", facts.m_nSectorSpan)
        .Add("end_offset", facts.m_nEndOffset)
        .Add("audio", facts.m_bAudio)
        .Add("size", facts.m_nFileLength);
    std::printf("%s\n", line.Text().c_str());
}

std::string TimeOrInvalid(const CDateTime& time)
{
    return time.IsValid() ? time.ToIsoString() : "invalid";
}

void PrintForPerson(const std::string& path, const CRecordingFacts& facts)
{
    std::printf("Recording:     %s\n", path.c_str());
    std::printf("Size:          %llu bytes\n", (unsigned long long)facts.m_nFileLength);
    std::printf("Channels:      %d (header layout %s)\n", facts.m_nChannelCount, LayoutName(facts.m_layout));
    std::printf("Audio:         %s\n", facts.m_bAudio ? "yes, four channels" : "no");
    std::printf("Start:         %s\n", TimeOrInvalid(facts.m_timeStart).c_str());
    std::printf("End:           %s%s\n", TimeOrInvalid(facts.m_timeEnd).c_str(),
                facts.m_timeEnd.IsValid() ? "" : " (go to end is disabled)");
    std::printf("First sector:  %llu\n", (unsigned long long)facts.m_nFirstSector);
    std::printf("Sector span:   %llu\n", (unsigned long long)facts.m_nSectorSpan);
    std::printf("End offset:    %llu (forward play stops here)\n", (unsigned long long)facts.m_nEndOffset);
}

int Run(const std::vector<std::string>& args)
{
    std::string file;
    bool json = false;
    if (!COptionParser().Flag("--json", json).File(file, "FILE", "the recording to read must be named").Parse(args))
        return UsageError(INFO_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(file, facts))
        return EXIT_PROBE_FAILED;
    if (json)
        PrintJson(facts);
    else
        PrintForPerson(file, facts);
    return 0;
}

} // namespace

// What the probe finds out about a recording.
const CCommand INFO_COMMAND = {"info", "info FILE [--json]", HELP, Run};

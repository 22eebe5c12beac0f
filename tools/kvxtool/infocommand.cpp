#include "tools/kvxtool/infocommand.h"

#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>

static const char* LayoutName(kvx::EHeaderLayout layout)
{
    return layout == kvx::EHeaderLayout::B ? "B" : "A";
}

static void PrintJson(const CRecordingFacts& facts)
{
    CJsonLine line;
    line.Add("channels", int(facts.m_nChannelCount))
        .Add("layout", LayoutName(facts.m_layout))
        .AddOrNull("start", facts.m_timeStart.ToIsoString())
        .AddOrNull("end", facts.m_timeEnd.ToIsoString())
        .Add("end_valid", facts.m_timeEnd.IsValid())
        .Add("first_sector", facts.m_nFirstSector)
        .Add("sector_span", facts.m_nSectorSpan)
        .Add("end_offset", facts.m_dwEndOffset)
        .Add("audio", facts.m_bAudio)
        .Add("size", facts.m_nFileLength);
    std::printf("%s\n", line.Text().c_str());
}

static std::string TimeOrInvalid(const CDateTime& time)
{
    return time.IsValid() ? time.ToIsoString() : "invalid";
}

static void PrintForPerson(const std::string& path, const CRecordingFacts& facts)
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
    std::printf("End offset:    %llu (forward play stops here)\n", (unsigned long long)facts.m_dwEndOffset);
}

int RunInfoCommand(const std::vector<std::string>& args)
{
    CCommandArgs parsed;
    if (!ParseFileAndJson(args, parsed))
        return UsageError("info FILE [--json]");
    CRecordingFacts facts;
    CConsoleProbeView view;
    if (!CRecordingProbe(facts, view).ProbeRecording(parsed.m_strFile))
        return EXIT_PROBE_FAILED;
    if (parsed.m_bJson)
        PrintJson(facts);
    else
        PrintForPerson(parsed.m_strFile, facts);
    return 0;
}

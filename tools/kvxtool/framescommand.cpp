#include "evidence/frameinventory.h"
#include "playback/dibpicture.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  frames FILE [--json] Read the recording as forward play does, from its first\n"
    "                       record to the offset where forward play stops, and print\n"
    "                       one line per delivered record: header offset, kind, date-\n"
    "                       time, group length, audio mode, picture bytes, the channel\n"
    "                       read from the picture's bar code and whether the row mark\n"
    "                       is there. --json prints one JSON object per line:\n"
    "                       {\"offset\",\"kind\",\"time\",\"group\",\"audio_mode\",\"bytes\",\n"
    "                        \"channel\",\"mark\"}; channel is 255 when the picture cannot\n"
    "                       be decoded, and null with mark for audio-only records.\n"
    "                       Channels count from 0; tiles show them as 01, 02, ...\n";

std::string KindText(uint8_t kind)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", kind);
    return text;
}

std::string TimeText(const CCurrentRecord& r)
{
    return r.m_header.Time().ToIsoString();
}

void PrintJson(const CInventoriedFrame& i)
{
    const CForwardReader::CFrame& f = i.m_frame;
    CJsonLine line;
    line.Add("offset", f.record.m_nHeaderOffset)
        .Add("kind", KindText(f.record.m_header.m_byKind))
        .Add("time", TimeText(f.record))
        .Add("group", int(f.record.m_header.m_byGroupLength))
        .Add("audio_mode", f.audioMode)
        .Add("bytes", uint64_t(f.pictureLength));
    if (i.m_bAudioOnly)
        line.AddNull("channel").AddNull("mark");
    else if (i.m_nChannel == CDibPicture::NO_CHANNEL)
        line.Add("channel", 255).AddNull("mark");
    else
        line.Add("channel", int(i.m_nChannel)).Add("mark", i.m_bMark);
    std::printf("%s\n", line.Text().c_str());
}

void PrintForPerson(const CInventoriedFrame& i)
{
    const CForwardReader::CFrame& f = i.m_frame;
    std::string picture = "audio only";
    if (!i.m_bAudioOnly)
        picture = i.m_nChannel == CDibPicture::NO_CHANNEL
                    ? "not decoded"
                    : "channel " + std::to_string(i.m_nChannel) + (i.m_bMark ? "" : ", no row mark");
    std::printf("%12llu  %s  %s  group %3d  audio %d  %6u bytes  %s\n",
                (unsigned long long)f.record.m_nHeaderOffset, KindText(f.record.m_header.m_byKind).c_str(),
                TimeText(f.record).c_str(), f.record.m_header.m_byGroupLength, f.audioMode, f.pictureLength,
                picture.c_str());
}

void PrintTotals(const CFrameTotals& t, const CRecordingFacts& facts)
{
    std::printf("%llu records: %llu pictures (%llu not decoded), %llu audio only; %s %llu\n",
                (unsigned long long)t.m_nRecords, (unsigned long long)(t.m_nRecords - t.m_nAudioOnly),
                (unsigned long long)t.m_nUndecoded, (unsigned long long)t.m_nAudioOnly,
                t.m_bEndedAtEndOfFile ? "the file ended before forward play's end offset"
                                      : "forward play ends at offset",
                (unsigned long long)facts.m_nEndOffset);
}

int Run(const std::vector<std::string>& args)
{
    std::string file;
    bool json = false;
    if (!COptionParser().Flag("--json", json).File(file, "FILE", "the recording to read must be named").Parse(args))
        return UsageError(FRAMES_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(file, facts))
        return EXIT_PROBE_FAILED;
    CFrameTotals totals;
    if (!TakeFrameInventory(file, facts, json ? PrintJson : PrintForPerson, totals))
        return EXIT_PROBE_FAILED;
    if (!json)
        PrintTotals(totals, facts);
    return 0;
}

} // namespace

// Every record forward play delivers, one line each.
const CCommand FRAMES_COMMAND = {"frames", "frames FILE [--json]", HELP, Run};

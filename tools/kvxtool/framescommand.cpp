#include "tools/kvxtool/framescommand.h"

#include "playback/dibpicture.h"
#include "recording/recordformat.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "evidence/forwardreader.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>

namespace {

struct CTotals {
    uint64_t records = 0, audioOnly = 0, undecoded = 0;
};

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

void PrintJson(const CForwardReader::CFrame& f, bool audioOnly, uint8_t channel, bool mark)
{
    CJsonLine line;
    line.Add("offset", f.record.m_nHeaderOffset)
        .Add("kind", KindText(f.record.m_header.m_byKind))
        .Add("time", TimeText(f.record))
        .Add("group", int(f.record.m_header.m_byGroupLength))
        .Add("audio_mode", f.audioMode)
        .Add("bytes", uint64_t(f.pictureLength));
    if (audioOnly)
        line.AddNull("channel").AddNull("mark");
    else if (channel == CDibPicture::NO_CHANNEL)
        line.Add("channel", 255).AddNull("mark");
    else
        line.Add("channel", int(channel)).Add("mark", mark);
    std::printf("%s\n", line.Text().c_str());
}

void PrintForPerson(const CForwardReader::CFrame& f, bool audioOnly, uint8_t channel, bool mark)
{
    std::string picture = "audio only";
    if (!audioOnly)
        picture = channel == CDibPicture::NO_CHANNEL
                    ? "not decoded"
                    : "channel " + std::to_string(channel) + (mark ? "" : ", no row mark");
    std::printf("%12llu  %s  %s  group %3d  audio %d  %6u bytes  %s\n",
                (unsigned long long)f.record.m_nHeaderOffset, KindText(f.record.m_header.m_byKind).c_str(),
                TimeText(f.record).c_str(), f.record.m_header.m_byGroupLength, f.audioMode, f.pictureLength, picture.c_str());
}

} // namespace

int RunFramesCommand(const std::vector<std::string>& args)
{
    CCommandArgs parsed;
    if (!ParseFileAndJson(args, parsed))
        return UsageError("frames FILE [--json]");
    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(parsed.m_strFile))
        return EXIT_PROBE_FAILED;

    CDibPicture decoder;
    CTotals totals;
    CForwardReader reader;
    const bool ok = reader.Run(parsed.m_strFile, facts, [&](const CForwardReader::CFrame& f) {
        const bool audioOnly = f.audioMode == kvx::AUDIO_MODE_ONLY;
        const uint8_t channel = audioOnly ? 0 : decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        const bool mark = !decoder.m_bMarkAbsent;
        ++totals.records;
        totals.audioOnly += audioOnly;
        totals.undecoded += !audioOnly && channel == CDibPicture::NO_CHANNEL;
        if (parsed.m_bJson)
            PrintJson(f, audioOnly, channel, mark);
        else
            PrintForPerson(f, audioOnly, channel, mark);
    });
    if (!ok)
        return EXIT_PROBE_FAILED;
    if (!parsed.m_bJson)
        std::printf("%llu records: %llu pictures (%llu not decoded), %llu audio only; %s %llu\n",
                    (unsigned long long)totals.records, (unsigned long long)(totals.records - totals.audioOnly),
                    (unsigned long long)totals.undecoded, (unsigned long long)totals.audioOnly,
                    reader.EndedAtEndOfFile() ? "the file ended before forward play's end offset"
                                              : "forward play ends at offset",
                    (unsigned long long)facts.m_dwEndOffset);
    return 0;
}

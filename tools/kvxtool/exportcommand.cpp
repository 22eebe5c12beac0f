#include "export/recordingexport.h"
#include "platform/nativefilename.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/exportconsole.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/offscreenapp.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F]\n"
    "         [--size 360x240|720x480] [--out DIR] [--json]\n"
    "                       Export camera N (1 to the recording's channel count) as\n"
    "                       the player's backup window does: every picture of the\n"
    "                       camera that forward play delivers, from the first record\n"
    "                       to where forward play stops, becomes one Motion-JPEG\n"
    "                       frame of NN_Capture.avi (NN_Capture(01).avi, ... when the\n"
    "                       name is taken), cropped, scaled to the size (default\n"
    "                       360x240) and stamped with the camera number and the\n"
    "                       recording's date-time. F is the AVI's frame rate, 1..60\n"
    "                       (default 10). Beside it: NN_Capture.log (the first and\n"
    "                       last record's date-time, camera, rate and size) and\n"
    "                       NN_Capture.sha256 for `sha256sum -c`. DIR defaults to the\n"
    "                       player's avi folder (avi/ beside kvxtool, or\n"
    "                       ~/Videos/KVXPlayer/avi/ when that folder is read-only)\n"
    "                       and is created when missing. On a terminal a progress\n"
    "                       bar goes to standard error. --json prints one JSON\n"
    "                       object: {\"avi\",\"log\",\"frames\",\"channel\",\"fps\",\n"
    "                        \"width\",\"height\"}. Exit 1 when the recording is\n"
    "                       refused (no file is made) or an export cannot be\n"
    "                       written: every camera's export then ends with the\n"
    "                       frames written before, its log ends at the last of\n"
    "                       them, it gets NN_Capture.INCOMPLETE.txt (the reason\n"
    "                       and the frames) instead of the .sha256, and each\n"
    "                       camera's stop is said with its file and the reason;\n"
    "                       2 for a camera, rate or size outside those given.\n"
    "                       --channel 1,3,5 or all exports each of those cameras in\n"
    "                       one pass over the recording, each picture decoded once:\n"
    "                       one AVI, log and .sha256 per camera, named as above;\n"
    "                       --json then prints one object per camera, one a line.\n"
    "                       --from and --to (\"YYYY-MM-DD HH:MM:SS\") export only the\n"
    "                       records dated in that range, and the logs run from the\n"
    "                       first to the last of them; exit 1, and no file made,\n"
    "                       when none is.\n";

struct CExportArgs {
    std::string m_strRecording, m_strOutDir; // no folder: the player's avi folder
    bool m_bAllChannels = false, m_bJson = false;
    CRecordingExportSettings m_settings;     // the channels, with "all", once the recording is known
};

// "3", "1,3,5" or "all".
bool ParseChannels(const std::string& text, CExportArgs& out)
{
    return (text == "all" && (out.m_bAllChannels = true))
        || COptionParser::ReadNumberList(text, 1, 16, out.m_settings.m_channels)
        || Refuse("--channel " + text, "a camera is 1 to 16, a list of them (1,3,5) or all");
}

bool ParseSize(const std::string& size, CRecordingExportSettings& out)
{
    if (size != "360x240" && size != "720x480")
        return Refuse("--size " + size, "the size is 360x240 or 720x480");
    out.m_nWidth = size == "360x240" ? 360 : 720;
    out.m_nHeight = out.m_nWidth * 2 / 3;
    return true;
}

bool Parse(const std::vector<std::string>& args, CExportArgs& out)
{
    CRecordingExportSettings& s = out.m_settings;
    bool haveChannel = false;
    return COptionParser()
               .Flag("--json", out.m_bJson)
               .Value("--channel", [&](const std::string& v) { return haveChannel = ParseChannels(v, out); })
               .DateTime("--from", s.m_from)
               .DateTime("--to", s.m_to)
               .Number("--fps", 1, 60, s.m_nFps, "the rate is 1 to 60")
               .Value("--size", [&s](const std::string& v) { return ParseSize(v, s); })
               .Text("--out", out.m_strOutDir, "the folder's name is empty")
               .File(out.m_strRecording, "RECORDING", "the recording to export must be named")
               .Parse(args)
        && (haveChannel || Refuse("--channel", "the camera to export must be given"))
        && (!s.m_from.IsValid() || !s.m_to.IsValid() || DateTimeToOrderKey(s.m_from) <= DateTimeToOrderKey(s.m_to)
            || Refuse("--to " + s.m_to.ToIsoString(), "it lies before --from " + s.m_from.ToIsoString()));
}

void PrintResult(const CRecordingExportSettings& s, bool json, const CRecordingExport::CExported& e)
{
    const std::string avi = CNativeFileName::Encode(e.m_strAvi).toStdString();
    const std::string log = CNativeFileName::Encode(e.m_strLog).toStdString();
    if (json)
        std::printf("%s\n", CJsonLine().Add("avi", avi).Add("log", log).Add("frames", int(e.m_nFrames))
                                .Add("channel", e.m_nChannel).Add("fps", s.m_nFps).Add("width", s.m_nWidth)
                                .Add("height", s.m_nHeight).Text().c_str());
    else
        std::printf("%s  %d frames  channel %02d  %d fps  %d x %d\n%s\n", avi.c_str(), int(e.m_nFrames), e.m_nChannel,
                    s.m_nFps, s.m_nWidth, s.m_nHeight, log.c_str());
}

int Export(CExportArgs& a, const CRecordingFacts& facts)
{
    a.m_settings.m_strFolder = CRecordingExport::FolderFor(a.m_strOutDir);
    const CRecordingExportSettings& s = a.m_settings;
    CExportConsole console(facts.m_nFileLength);
    CRecordingExport exporter(a.m_strRecording, facts, s, console);
    console.Show(exporter);
    const CRecordingExport::EResult result = exporter.Run();
    if (result == CRecordingExport::EResult::NothingInRange)
        std::fprintf(stderr, "kvxtool: no recording between %s and %s\n",
                     s.m_from.IsValid() ? s.m_from.ToIsoString().c_str() : "the start",
                     s.m_to.IsValid() ? s.m_to.ToIsoString().c_str() : "the end");
    if (result != CRecordingExport::EResult::Done)
        return EXIT_PROBE_FAILED; // the reason is said
    for (const CRecordingExport::CExported& exported : exporter.Results())
        PrintResult(s, a.m_bJson, exported);
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    CExportArgs a;
    if (!Parse(args, a))
        return UsageError(EXPORT_COMMAND.m_szSynopsis);
    const COffscreenApp app; // the stamp's font
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(a.m_strRecording, facts))
        return EXIT_PROBE_FAILED;
    std::vector<int>& channels = a.m_settings.m_channels;
    for (int channel = 1; a.m_bAllChannels && channel <= facts.m_nChannelCount; ++channel)
        channels.push_back(channel);
    if (channels.back() > facts.m_nChannelCount) {
        std::fprintf(stderr, "kvxtool: %s: --channel %d: the recording has cameras 1 to %d\n",
                     a.m_strRecording.c_str(), channels.back(), facts.m_nChannelCount);
        return UsageError(EXPORT_COMMAND.m_szSynopsis);
    }
    return Export(a, facts);
}

} // namespace

// Cameras of a recording into AVIs with their logs and checksums, in one pass.
const CCommand EXPORT_COMMAND = {"export", "export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F] "
                                           "[--size 360x240|720x480] [--out DIR] [--json]", HELP, Run};

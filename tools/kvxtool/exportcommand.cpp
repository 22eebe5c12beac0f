#include "evidence/recordedstill.h"
#include "export/recordingexport.h"
#include "platform/jsonline.h"
#include "platform/nativefilename.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consolebookmarks.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/exportconsole.h"
#include "tools/kvxtool/maskoption.h"
#include "tools/kvxtool/offscreenapp.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F|auto]\n"
    "         [--size 360x240|720x480|352x288|720x576] [--format avi|mp4] [--crf Q]\n"
    "         [--audio 1..4|none] [--mosaic] [--masks FILE] [--out DIR] [--json]\n"
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
    "                       when none is.\n"
    "                       --fps auto: the camera's own mean rate over the seconds\n"
    "                       exported that hold its pictures, 1..60. --size\n"
    "                       352x288|720x576 on PAL recordings only.\n"
    "                       --format mp4 makes an H.264 working copy instead,\n"
    "                       NN_Capture.mp4 (libx264 at --crf Q, 0..51, default 20),\n"
    "                       timed by the recorder's clock: the k-th of n pictures of\n"
    "                       a second plays at that second + k/n, gaps stay gaps, and\n"
    "                       --fps does not apply. --audio 1..4|none chooses its\n"
    "                       sound (AAC); the default is the camera's own audio\n"
    "                       channel when the recording has it. --mosaic puts the\n"
    "                       cameras of --channel into one Mosaic_Capture.mp4 in the\n"
    "                       player's grid (2x2, 3x3 or 4x4), 720x480 unless --size\n"
    "                       says otherwise, so that each tile's stamp stays\n"
    "                       readable. --json then prints\n"
    "                       {\"mp4\",\"log\",\"txt\",\"frames\",\"channel\",\"crf\",\n"
    "                        \"audio\",\"width\",\"height\"}. Every export also gets\n"
    "                       NN_Capture.txt, naming its master recording (path, size,\n"
    "                       SHA-256), cameras, stretch, frames, format, options and\n"
    "                       your bookmarks dated within it (see bookmarks), which\n"
    "                       the .sha256 covers too.\n"
    "                       --masks FILE.json hides the privacy masks it lists in\n"
    "                       every frame (after the crop and scale, before the\n"
    "                       stamp; each mosaic tile its own camera's) and silences\n"
    "                       the MP4's sound over its mute ranges: the copy is named\n"
    "                       NN_Capture_redacted.avi|mp4 and its .txt lists every\n"
    "                       mask and mute range. A file with an error, or a mask on\n"
    "                       a camera the recording does not have, is refused with\n"
    "                       the entry and the fault (exit 2); nothing is made.\n";

struct CExportArgs {
    std::string m_strRecording, m_strOutDir; // no folder: the player's avi folder
    bool m_bAllChannels = false, m_bJson = false;
    bool m_bCrfGiven = false, m_bAudioGiven = false, m_bFpsGiven = false, m_bSizeGiven = false;
    std::string m_strSize = "360x240";
    CRecordingExportSettings m_settings;     // the channels, with "all", once the recording is known
    CMaskOption m_masks;
};

// "3", "1,3,5" or "all".
bool ParseChannels(const std::string& text, CExportArgs& out)
{
    return (text == "all" && (out.m_bAllChannels = true))
        || COptionParser::ReadNumberList(text, 1, 16, out.m_settings.m_channels)
        || Refuse("--channel " + text, "a camera is 1 to 16, a list of them (1,3,5) or all");
}

bool IsPalSize(const std::string& size)
{
    return size == "352x288" || size == "720x576";
}

bool ParseSize(const std::string& size, CExportArgs& out)
{
    if (size != "360x240" && size != "720x480" && !IsPalSize(size))
        return Refuse("--size " + size, "the size is 360x240 or 720x480, or on a PAL recording 352x288 or 720x576");
    CRecordingExportSettings& s = out.m_settings;
    s.m_nWidth = std::stoi(size);
    s.m_nHeight = std::stoi(size.substr(size.find('x') + 1));
    out.m_strSize = size;
    out.m_bSizeGiven = true;
    return true;
}

// A mosaic's tiles are the player's 16-camera tiles when it has the player's picture
// size; at 360x240 their stamps would not fit.
void SetMosaicSize(CExportArgs& out)
{
    if (out.m_settings.m_bMosaic && !out.m_bSizeGiven) {
        out.m_settings.m_nWidth = 720;
        out.m_settings.m_nHeight = 480;
        out.m_strSize = "720x480";
    }
}

bool ParseFps(const std::string& fps, CExportArgs& out)
{
    out.m_bFpsGiven = true;
    CRecordingExportSettings& s = out.m_settings;
    if (fps == "auto")
        return s.m_options.m_bFpsAuto = true;
    return COptionParser::ReadNumber(fps, 1, 60, s.m_nFps) || Refuse("--fps " + fps, "the rate is 1 to 60");
}

bool ParseFormat(const std::string& format, CRecordingExportSettings& s)
{
    if (format != "avi" && format != "mp4")
        return Refuse("--format " + format, "the format is avi or mp4");
    s.m_options.m_format = format == "mp4" ? EExportFormat::Mp4 : EExportFormat::Avi;
    return true;
}

bool ParseAudio(const std::string& audio, CExportArgs& out)
{
    CRecordingExportSettings& s = out.m_settings;
    out.m_bAudioGiven = true;
    int channel = 0;
    if (audio == "none")
        s.ChooseSound(-1);
    else if (COptionParser::ReadNumber(audio, 1, 4, channel))
        s.ChooseSound(channel - 1);
    else
        return Refuse("--audio " + audio, "the sound is audio channel 1 to 4 or none");
    return true;
}

// The options that belong to one format only, and the mosaic's cameras.
bool CheckFormatOptions(const CExportArgs& a)
{
    const CRecordingExportSettings& s = a.m_settings;
    const bool mp4 = s.m_options.m_format == EExportFormat::Mp4;
    const std::string crf = std::to_string(s.m_options.m_nCrf);
    return (mp4 || !a.m_bCrfGiven || Refuse("--crf " + crf, "only an MP4 (--format mp4) has a quality"))
        && (mp4 || !a.m_bAudioGiven || Refuse("--audio", "only an MP4 (--format mp4) carries sound"))
        && (mp4 || !s.m_bMosaic || Refuse("--mosaic", "only an MP4 (--format mp4) can be a mosaic"))
        && (!mp4 || !a.m_bFpsGiven || Refuse("--fps", "an MP4 is timed by the recorder's clock, not a rate"))
        && (!s.m_bMosaic || a.m_bAllChannels || s.m_channels.size() > 1
            || Refuse("--mosaic", "a mosaic needs several cameras (--channel 1,2,3,4 or all)"));
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
               .Value("--fps", [&out](const std::string& v) { return ParseFps(v, out); })
               .Value("--size", [&out](const std::string& v) { return ParseSize(v, out); })
               .Value("--format", [&s](const std::string& v) { return ParseFormat(v, s); })
               .Value("--crf", [&](const std::string& v) {
                   out.m_bCrfGiven = true;
                   return COptionParser::ReadNumber(v, 0, 51, s.m_options.m_nCrf)
                       || Refuse("--crf " + v, "the quality is 0 (best) to 51");
               })
               .Value("--audio", [&out](const std::string& v) { return ParseAudio(v, out); })
               .Flag("--mosaic", s.m_bMosaic)
               .Value("--masks", [&out](const std::string& v) { return out.m_masks.Read(v); })
               .Text("--out", out.m_strOutDir, "the folder's name is empty")
               .File(out.m_strRecording, "RECORDING", "the recording to export must be named")
               .Parse(args)
        && (haveChannel || Refuse("--channel", "the camera to export must be given")) && CheckFormatOptions(out)
        && (!s.m_from.IsValid() || !s.m_to.IsValid() || DateTimeToOrderKey(s.m_from) <= DateTimeToOrderKey(s.m_to)
            || Refuse("--to " + s.m_to.ToIsoString(), "it lies before --from " + s.m_from.ToIsoString()));
}

void PrintAvi(const CRecordingExportSettings& s, bool json, const CRecordingExport::CExported& e)
{
    const std::string avi = CNativeFileName::Encode(e.m_strAvi).toStdString();
    const std::string log = CNativeFileName::Encode(e.m_strLog).toStdString();
    if (json)
        std::printf("%s\n", CJsonLine().Add("avi", avi).Add("log", log).Add("frames", int(e.m_nFrames))
                                .Add("channel", e.m_nChannel).Add("fps", e.m_nFps).Add("width", s.m_nWidth)
                                .Add("height", s.m_nHeight).Text().c_str());
    else
        std::printf("%s  %d frames  channel %02d  %d fps  %d x %d\n%s\n", avi.c_str(), int(e.m_nFrames), e.m_nChannel,
                    e.m_nFps, s.m_nWidth, s.m_nHeight, log.c_str());
}

void PrintMp4(const CRecordingExportSettings& s, bool json, const CRecordingExport::CExported& e)
{
    const std::string mp4 = CNativeFileName::Encode(e.m_strAvi).toStdString();
    const std::string log = CNativeFileName::Encode(e.m_strLog).toStdString();
    const std::string txt = CNativeFileName::Encode(e.m_strTxt).toStdString();
    const std::string audio = e.m_nSoundChannel < 0 ? "none" : std::to_string(e.m_nSoundChannel + 1);
    const std::string channel = s.m_bMosaic ? "mosaic" : std::to_string(e.m_nChannel);
    if (json)
        std::printf("%s\n", CJsonLine().Add("mp4", mp4).Add("log", log).Add("txt", txt).Add("frames", int(e.m_nFrames))
                                .Add("channel", channel).Add("crf", s.m_options.m_nCrf).Add("audio", audio)
                                .Add("width", s.m_nWidth).Add("height", s.m_nHeight).Text().c_str());
    else
        std::printf("%s  %d frames  channel %s  CRF %d  audio %s  %d x %d\n%s\n%s\n", mp4.c_str(), int(e.m_nFrames),
                    channel.c_str(), s.m_options.m_nCrf, audio.c_str(), s.m_nWidth, s.m_nHeight, log.c_str(),
                    txt.c_str());
}

int Export(CExportArgs& a, const CRecordingFacts& facts)
{
    a.m_settings.m_strFolder = CRecordingExport::FolderFor(a.m_strOutDir);
    a.m_settings.m_bookmarks = ConsoleBookmarks(a.m_strRecording);
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
        (s.m_options.m_format == EExportFormat::Mp4 ? PrintMp4 : PrintAvi)(s, a.m_bJson, exported);
    return 0;
}

// The first picture decides the video standard, as in the player.
bool IsPalRecording(const CExportArgs& a, const CRecordingFacts& facts)
{
    bool readFailed = false;
    const std::optional<CRecordedStill> still =
        FindRecordedStill(a.m_strRecording, facts, 0, facts.m_timeStart, readFailed);
    return still && still->m_tile.height() > 480;
}

// What the options ask of the recording: PAL sizes of a PAL recording, sound it has.
bool CheckRecording(const CExportArgs& a, const CRecordingFacts& facts)
{
    const CExportOptions& o = a.m_settings.m_options;
    const std::string& name = a.m_strRecording;
    return (!IsPalSize(a.m_strSize) || IsPalRecording(a, facts)
            || Refuse(name + ": --size " + a.m_strSize, "the recording is NTSC: 360x240 or 720x480"))
        && (o.m_nSoundChannel < 0 || (facts.m_bAudio && facts.m_nChannelCount == 4)
            || Refuse(name + ": --audio " + std::to_string(o.m_nSoundChannel + 1), "the recording has no sound"));
}

QString CommandText(const std::vector<std::string>& args)
{
    QString text = "kvxtool export";
    for (const std::string& arg : args)
        text += ' ' + CNativeFileName::Decode(QByteArray::fromStdString(arg));
    return text;
}

int Run(const std::vector<std::string>& args)
{
    CExportArgs a;
    if (!Parse(args, a))
        return UsageError(EXPORT_COMMAND.m_szSynopsis);
    SetMosaicSize(a);
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
    if (!CheckRecording(a, facts) || !a.m_masks.CheckCameras(facts.m_nChannelCount))
        return UsageError(EXPORT_COMMAND.m_szSynopsis);
    a.m_settings.m_options.m_strCommand = CommandText(args);
    a.m_settings.m_options.m_pMasks = a.m_masks.Masks();
    return Export(a, facts);
}

} // namespace

// Cameras of a recording into AVIs with their logs and checksums, in one pass.
const CCommand EXPORT_COMMAND = {"export", "export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F|auto] "
                                           "[--size 360x240|720x480|352x288|720x576] [--format avi|mp4] [--crf Q] "
                                           "[--audio 1..4|none] [--mosaic] [--masks FILE] [--out DIR] [--json]", HELP, Run};

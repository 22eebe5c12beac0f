#include "export/exportrequest.h"
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
    bool m_bJson = false;
    CExportRequest m_request;
    CMaskOption m_masks;
};

// Says why the request is refused, as every option's refusal is said.
bool Accepted(const CExportRequest::Refusal& refusal)
{
    return !refusal || Refuse(refusal->m_strWhat, refusal->m_strReason);
}

// "3", "1,3,5" or "all".
bool ParseChannels(const std::string& text, CExportRequest& r)
{
    return (text == "all" && (r.m_bAllChannels = true))
        || COptionParser::ReadNumberList(text, 1, 16, r.m_settings.m_channels)
        || Refuse("--channel " + text, "a camera is 1 to 16, a list of them (1,3,5) or all");
}

bool ParseFps(const std::string& fps, CExportRequest& r)
{
    r.m_bFpsGiven = true;
    if (fps == "auto")
        return r.m_settings.m_options.m_bFpsAuto = true;
    return COptionParser::ReadNumber(fps, 1, 60, r.m_settings.m_nFps) || Refuse("--fps " + fps, "the rate is 1 to 60");
}

bool ParseAudio(const std::string& audio, CExportRequest& r)
{
    r.m_bAudioGiven = true;
    int channel = 0;
    if (audio == "none")
        r.m_settings.ChooseSound(-1);
    else if (COptionParser::ReadNumber(audio, 1, 4, channel))
        r.m_settings.ChooseSound(channel - 1);
    else
        return Refuse("--audio " + audio, "the sound is audio channel 1 to 4 or none");
    return true;
}

bool Parse(const std::vector<std::string>& args, CExportArgs& out)
{
    CExportRequest& r = out.m_request;
    CRecordingExportSettings& s = r.m_settings;
    return COptionParser()
               .Flag("--json", out.m_bJson)
               .Value("--channel", [&r](const std::string& v) { return ParseChannels(v, r); })
               .DateTime("--from", s.m_from)
               .DateTime("--to", s.m_to)
               .Value("--fps", [&r](const std::string& v) { return ParseFps(v, r); })
               .Value("--size", [&r](const std::string& v) { return Accepted(r.SetSize(v)); })
               .Value("--format", [&r](const std::string& v) { return Accepted(r.SetFormat(v)); })
               .Value("--crf", [&r, &s](const std::string& v) {
                   r.m_bCrfGiven = true;
                   return COptionParser::ReadNumber(v, 0, 51, s.m_options.m_nCrf)
                       || Refuse("--crf " + v, "the quality is 0 (best) to 51");
               })
               .Value("--audio", [&r](const std::string& v) { return ParseAudio(v, r); })
               .Flag("--mosaic", s.m_bMosaic)
               .Value("--masks", [&out](const std::string& v) { return out.m_masks.Read(v); })
               .Text("--out", out.m_strOutDir, "the folder's name is empty")
               .File(out.m_strRecording, "RECORDING", "the recording to export must be named")
               .Parse(args)
        && Accepted(r.CheckOptions());
}

int Export(CExportArgs& a, const CRecordingFacts& facts)
{
    CRecordingExportSettings& s = a.m_request.m_settings;
    s.m_strFolder = CRecordingExport::FolderFor(a.m_strOutDir);
    s.m_bookmarks = ConsoleBookmarks(a.m_strRecording);
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
        std::fputs(a.m_request.Summary(exported, a.m_bJson).c_str(), stdout);
    return 0;
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
    a.m_request.UseMosaicSize();
    const COffscreenApp app; // the stamp's font
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(a.m_strRecording, facts))
        return EXIT_PROBE_FAILED;
    if (!Accepted(a.m_request.FitRecording(a.m_strRecording, facts)) || !a.m_masks.CheckCameras(facts.m_nChannelCount))
        return UsageError(EXPORT_COMMAND.m_szSynopsis);
    CExportOptions& options = a.m_request.m_settings.m_options;
    options.m_strCommand = CommandText(args);
    options.m_pMasks = a.m_masks.Masks();
    return Export(a, facts);
}

} // namespace

// Cameras of a recording into AVIs with their logs and checksums, in one pass.
const CCommand EXPORT_COMMAND = {"export", "export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F|auto] "
                                           "[--size 360x240|720x480|352x288|720x576] [--format avi|mp4] [--crf Q] "
                                           "[--audio 1..4|none] [--mosaic] [--masks FILE] [--out DIR] [--json]", HELP, Run};

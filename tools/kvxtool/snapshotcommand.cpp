#include "evidence/recordedstill.h"
#include "platform/jsonline.h"
#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "snapshot/snapshotfile.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/maskoption.h"
#include "tools/kvxtool/offscreenapp.h"
#include "tools/kvxtool/optionparser.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>

namespace {

constexpr const char* HELP =
    "  snapshot FILE --channel N --at \"YYYY-MM-DD HH:MM:SS\" [--masks FILE] [--out DIR]\n"
    "         [--json]\n"
    "                       Save the picture of camera N (1..16, as the player\n"
    "                       numbers them) that forward play shows first at or after\n"
    "                       the time, drawn as the one-camera layout shows it (720 x\n"
    "                       480, or 720 x 576 for PAL recordings, with its date-time\n"
    "                       and camera number), as the editor's save button saves it:\n"
    "                       a JPEG named after the picture's time, e.g.\n"
    "                       20240115_093005.jpg, then name(1).jpg, ... never replacing\n"
    "                       a file, with NAME.jpg.sha256 and its signature\n"
    "                       NAME.jpg.sha256.sig (see key and verify; a key that\n"
    "                       cannot be had leaves it unsigned, and says why on\n"
    "                       standard error). DIR defaults to where the editor\n"
    "                       saves (Backup/ beside kvxtool, or\n"
    "                       ~/Pictures/KVXPlayer/Backup/ when that folder is\n"
    "                       read-only) and is created when missing. --json\n"
    "                       prints one JSON object:\n"
    "                       {\"file\",\"time\",\"channel\",\"width\",\"height\"}.\n"
    "                       Exit 1 when the recording is refused or has no such\n"
    "                       picture, or when N is not one of its cameras.\n"
    "                       --masks FILE.json hides the camera's privacy masks of\n"
    "                       that moment under the texts (as export --masks does),\n"
    "                       and the still is named 20240115_093005_redacted.jpg;\n"
    "                       a file with an error is refused (exit 2), nothing made.\n";

struct CSnapshotArgs {
    std::string m_strFile;
    int m_nChannel = 0; // as the user sees it, from 1
    CDateTime m_timeAt;
    std::string m_strOut;
    bool m_bJson = false;
    CMaskOption m_masks;
};

bool Parse(const std::vector<std::string>& args, CSnapshotArgs& out)
{
    return COptionParser()
               .Flag("--json", out.m_bJson)
               .Number("--channel", 1, 16, out.m_nChannel, "a camera is 1 to 16")
               .DateTime("--at", out.m_timeAt)
               .Value("--masks", [&out](const std::string& v) { return out.m_masks.Read(v); })
               .Text("--out", out.m_strOut, "the folder's name is empty")
               .File(out.m_strFile, "RECORDING", "the recording to take the picture from must be named")
               .Parse(args)
        && (out.m_nChannel != 0 || Refuse("--channel", "the camera must be given"))
        && (out.m_timeAt.IsValid() || Refuse("--at", "the date-time of the picture must be given"));
}

// Where the editor saves: Backup/ beside the program, unless that folder cannot be
// written to (an installed program), then the user's pictures.
QString Folder(const CSnapshotArgs& a)
{
    if (a.m_strOut.empty())
        return COutputFolders(QCoreApplication::applicationDirPath()).BackupFolder();
    return CNativeFileName::Decode(QByteArray::fromStdString(a.m_strOut));
}

void PrintSaved(const CSnapshotArgs& a, const QString& path, const CRecordedStill& still)
{
    const std::string file = CNativeFileName::Encode(path).toStdString(), time = still.m_time.ToIsoString();
    if (a.m_bJson) {
        CJsonLine line;
        line.Add("file", file).Add("time", time).Add("channel", a.m_nChannel).Add("width", still.m_tile.width())
            .Add("height", still.m_tile.height());
        std::printf("%s\n", line.Text().c_str());
    } else {
        std::printf("%s  channel %02d  %s  %d x %d\n", file.c_str(), a.m_nChannel, time.c_str(), still.m_tile.width(),
                    still.m_tile.height());
    }
}

int Run(const std::vector<std::string>& args)
{
    CSnapshotArgs a;
    if (!Parse(args, a))
        return UsageError(SNAPSHOT_COMMAND.m_szSynopsis);
    const COffscreenApp app; // the tile text's font
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(a.m_strFile, facts))
        return EXIT_PROBE_FAILED;
    if (a.m_nChannel > facts.m_nChannelCount) {
        std::fprintf(stderr, "kvxtool: %s: --channel %d: the recording has cameras 1 to %d\n", a.m_strFile.c_str(),
                     a.m_nChannel, facts.m_nChannelCount);
        return EXIT_PROBE_FAILED;
    }
    if (!a.m_masks.CheckCameras(facts.m_nChannelCount))
        return UsageError(SNAPSHOT_COMMAND.m_szSynopsis);
    bool readFailed = false;
    const std::optional<CRecordedStill> found =
        FindRecordedStill(a.m_strFile, facts, a.m_nChannel - 1, a.m_timeAt, readFailed, a.m_masks.Masks().get());
    if (!found || found->m_tile.isNull()) {
        if (!readFailed)
            std::fprintf(stderr, "kvxtool: no picture of channel %d at or after %s\n", a.m_nChannel,
                         a.m_timeAt.ToIsoString().c_str());
        return EXIT_PROBE_FAILED;
    }
    QString path, reason;
    CSigningOutcome signing;
    const CStillMetadata still{found->m_time, a.m_nChannel,
                               QString::fromStdString(std::filesystem::path(a.m_strFile).filename().string()), {},
                               a.m_masks.IsGiven()};
    if (!CSnapshotFile::Save(Folder(a), still, found->m_tile, path, reason, signing)) {
        std::fprintf(stderr, "kvxtool: cannot save the picture to %s: %s\n", CNativeFileName::Encode(path).constData(),
                     reason.toLocal8Bit().constData());
        return EXIT_PROBE_FAILED;
    }
    if (!signing.m_bSigned)
        std::fprintf(stderr, "kvxtool: %s is written but not signed: %s\n", CNativeFileName::Encode(path).constData(),
                     signing.m_strReason.c_str());
    PrintSaved(a, path, *found);
    return 0;
}

} // namespace

// The picture of a camera at a moment, saved as the editor saves it.
const CCommand SNAPSHOT_COMMAND = {
    "snapshot", "snapshot RECORDING --channel N --at \"YYYY-MM-DD HH:MM:SS\" [--masks FILE] [--out DIR] [--json]", HELP,
    Run};

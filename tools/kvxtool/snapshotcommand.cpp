#include "tools/kvxtool/snapshotcommand.h"

#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"
#include "recording/recordformat.h"
#include "snapshot/snapshotfile.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "evidence/forwardreader.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/offscreenapp.h"
#include "tools/kvxtool/usage.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <optional>

namespace {

const char* const SYNOPSIS = "snapshot RECORDING --channel N --at \"YYYY-MM-DD HH:MM:SS\" [--out DIR] [--json]";

struct CSnapshotArgs {
    std::string m_strFile;
    int m_nChannel = 0; // as the user sees it, from 1
    CDateTime m_timeAt;
    std::string m_strOut;
    bool m_bJson = false;
};

bool Parse(const std::vector<std::string>& args, CSnapshotArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json") {
            out.m_bJson = true;
        } else if (arg == "--channel" && hasValue) {
            if (!ParseIntIn(args[++i], 1, 16, out.m_nChannel))
                return Refuse("--channel " + args[i], "a camera is 1 to 16");
        } else if (arg == "--at" && hasValue) {
            if (!ParseDateTimeArg(arg, args[++i], out.m_timeAt))
                return false;
        } else if (arg == "--out" && hasValue) {
            if ((out.m_strOut = args[++i]).empty())
                return Refuse("--out", "the folder's name is empty");
        } else if (arg.starts_with("-") || !out.m_strFile.empty()) {
            return RefuseStray(arg, {"--channel", "--at", "--out"});
        } else {
            out.m_strFile = arg;
        }
    }
    if (out.m_strFile.empty())
        return Refuse("RECORDING", "the recording to take the picture from must be named");
    if (out.m_nChannel == 0)
        return Refuse("--channel", "the camera must be given");
    return out.m_timeAt.IsValid() || Refuse("--at", "the date-time of the picture must be given");
}

// The picture found, drawn as the one-tile layout draws it.
struct CFound {
    QImage m_tile;
    CDateTime m_time;
};

// In forward play order, the first picture of `channel` (from 0) stamped at or after
// `at`. The first picture of the recording decides its video standard, as in the player.
std::optional<CFound> FindPicture(const std::string& path, const CRecordingFacts& facts, int channel,
                                  const CDateTime& at, bool& readFailed)
{
    CDibPicture decoder;
    CTileRenderer renderer;
    std::optional<bool> pal;
    std::optional<CFound> found;
    CForwardReader reader;
    readFailed = !reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        const uint8_t d = decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        if (d == CDibPicture::NO_CHANNEL || !decoder.m_pBits)
            return;
        const BITMAPINFOHEADER& h = decoder.m_bih.bmiHeader;
        if (!pal)
            pal = h.biHeight > 240;
        const CRecordHeader& r = f.record.m_header;
        if (d != channel || DateTimeToOrderKey(r.Time()) < DateTimeToOrderKey(at))
            return;
        const CTileText text{channel, {r.m_wYear, r.m_byMonth, r.m_byDay, r.m_byHour, r.m_byMinute, r.m_bySecond},
                             CTileRenderer::TileFont(false), false};
        const CTilePicture picture{&h, decoder.m_pBits.get(), decoder.m_bMarkAbsent != 0, *pal,
                                   facts.m_nChannelCount};
        found = CFound{renderer.RenderTile(picture, QSize(720, *pal ? 576 : 480), text), r.Time()};
        reader.Stop();
    });
    return found;
}

// Where the editor saves: Backup/ beside the program, unless that folder cannot be
// written to (an installed program), then the user's pictures.
QString DefaultFolder()
{
    return COutputFolders(QCoreApplication::applicationDirPath()).BackupFolder();
}

} // namespace

int RunSnapshotCommand(const std::vector<std::string>& args)
{
    CSnapshotArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    const COffscreenApp app; // the tile text's font

    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(a.m_strFile))
        return EXIT_PROBE_FAILED;
    if (a.m_nChannel > facts.m_nChannelCount) {
        std::fprintf(stderr, "kvxtool: %s: --channel %d: the recording has cameras 1 to %d\n", a.m_strFile.c_str(),
                     a.m_nChannel, facts.m_nChannelCount);
        return EXIT_PROBE_FAILED;
    }
    bool readFailed = false;
    const std::optional<CFound> found = FindPicture(a.m_strFile, facts, a.m_nChannel - 1, a.m_timeAt, readFailed);
    if (!found || found->m_tile.isNull()) {
        if (!readFailed)
            std::fprintf(stderr, "kvxtool: no picture of channel %d at or after %s\n", a.m_nChannel,
                         a.m_timeAt.ToIsoString().c_str());
        return EXIT_PROBE_FAILED;
    }
    const QString folder =
        a.m_strOut.empty() ? DefaultFolder() : CNativeFileName::Decode(QByteArray::fromStdString(a.m_strOut));
    QString path, reason;
    const CStillMetadata still{found->m_time, a.m_nChannel,
                               QString::fromStdString(std::filesystem::path(a.m_strFile).filename().string()), {}};
    if (!CSnapshotFile::Save(folder, still, found->m_tile, path, reason)) {
        std::fprintf(stderr, "kvxtool: cannot save the picture to %s: %s\n", CNativeFileName::Encode(path).constData(),
                     reason.toLocal8Bit().constData());
        return EXIT_PROBE_FAILED;
    }
    const std::string file = CNativeFileName::Encode(path).toStdString(), time = found->m_time.ToIsoString();
    if (a.m_bJson) {
        CJsonLine line;
        line.Add("file", file).Add("time", time).Add("channel", a.m_nChannel).Add("width", found->m_tile.width())
            .Add("height", found->m_tile.height());
        std::printf("%s\n", line.Text().c_str());
    } else {
        std::printf("%s  channel %02d  %s  %d x %d\n", file.c_str(), a.m_nChannel, time.c_str(), found->m_tile.width(),
                    found->m_tile.height());
    }
    return 0;
}

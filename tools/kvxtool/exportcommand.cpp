#include "tools/kvxtool/exportcommand.h"

#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "recording/recordformat.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/jsonline.h"
#include "tools/kvxtool/offscreenapp.h"
#include "tools/kvxtool/usage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <thread>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr auto PROGRESS_PERIOD = std::chrono::milliseconds(200);
constexpr int PROGRESS_BAR_WIDTH = 30;
constexpr unsigned MAX_DECODING_THREADS = 4;
// More cameras than this show as a count: the line must fit a terminal.
constexpr size_t MAX_CAMERAS_SHOWN = 4;
// Decoded pictures waiting per writing thread: a few megabytes.
constexpr size_t STRAND_QUEUE = 8;

// A message of the recorder on standard error, its file names as their bytes.
void Say(const QString& text)
{
    std::fprintf(stderr, "kvxtool: %s\n", CNativeFileName::Encode(text).constData());
}

CFrameTime FrameTimeOf(const CRecordHeader& h)
{
    return {h.m_wYear, h.m_byMonth, h.m_byDay, h.m_byHour, h.m_byMinute, h.m_bySecond};
}

} // namespace

const char* const CExportCommand::SYNOPSIS =
    "export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F] [--size 360x240|720x480] [--out DIR] [--json]";

namespace {

// "3", "1,3,5" or "all"; channels from 1, ascending, each once. The recording's
// channel count is checked when it is known.
bool ParseChannels(const std::string& text, CExportCommand::COptions& out)
{
    if (text == "all")
        return out.m_bAllChannels = true;
    std::vector<int> channels;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        int channel = 0;
        if (!ParseIntIn(text.substr(start, comma - start), 1, 16, channel))
            return Refuse("--channel " + text, "a camera is 1 to 16, a list of them (1,3,5) or all");
        channels.push_back(channel);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::sort(channels.begin(), channels.end());
    channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
    out.m_channels = channels;
    return true;
}

} // namespace

bool CExportCommand::Parse(const std::vector<std::string>& args, COptions& out)
{
    bool haveChannel = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json") {
            out.m_bJson = true;
        } else if (arg == "--channel" && hasValue) {
            if (!ParseChannels(args[++i], out))
                return false;
            haveChannel = true;
        } else if (arg == "--from" && hasValue) {
            if (!ParseDateTimeArg(arg, args[++i], out.m_from))
                return false;
        } else if (arg == "--to" && hasValue) {
            if (!ParseDateTimeArg(arg, args[++i], out.m_to))
                return false;
        } else if (arg == "--fps" && hasValue) {
            if (!ParseIntIn(args[++i], 1, 60, out.m_nFps))
                return Refuse("--fps " + args[i], "the rate is 1 to 60");
        } else if (arg == "--size" && hasValue) {
            const std::string& size = args[++i];
            if (size != "360x240" && size != "720x480")
                return Refuse("--size " + size, "the size is 360x240 or 720x480");
            out.m_nWidth = size == "360x240" ? 360 : 720;
            out.m_nHeight = size == "360x240" ? 240 : 480;
        } else if (arg == "--out" && hasValue) {
            if ((out.m_strOutDir = args[++i]).empty())
                return Refuse("--out", "the folder's name is empty");
        } else if (arg.starts_with("-") || !out.m_strRecording.empty()) {
            return RefuseStray(arg, {"--channel", "--from", "--to", "--fps", "--size", "--out"});
        } else {
            out.m_strRecording = arg;
        }
    }
    if (out.m_strRecording.empty())
        return Refuse("RECORDING", "the recording to export must be named");
    if (!haveChannel)
        return Refuse("--channel", "the camera to export must be given");
    if (out.m_from.IsValid() && out.m_to.IsValid() && DateTimeToOrderKey(out.m_from) > DateTimeToOrderKey(out.m_to))
        return Refuse("--to " + out.m_to.ToIsoString(), "it lies before --from " + out.m_from.ToIsoString());
    return true;
}

CExportCommand::CExportCommand(COptions options) : m_options(std::move(options)) {}

int CExportCommand::Run()
{
    CConsoleProbeView probeView;
    if (!CRecordingProbe(m_facts, probeView).ProbeRecording(m_options.m_strRecording))
        return EXIT_PROBE_FAILED;
    if (!SelectChannels()) {
        std::fprintf(stderr, "kvxtool: %s: --channel %d: the recording has cameras 1 to %d\n",
                     m_options.m_strRecording.c_str(), m_options.m_channels.back(), m_facts.m_nChannelCount);
        return UsageError(SYNOPSIS);
    }
    m_bProgress = ::isatty(STDERR_FILENO) == 1;
    m_tStart = m_tShown = std::chrono::steady_clock::now();
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, MAX_DECODING_THREADS));
    std::vector<bool> exported(size_t(m_facts.m_nChannelCount));
    for (const CCamera& camera : m_cameras)
        exported[size_t(camera.m_nChannel - 1)] = true;
    m_decoders = std::make_unique<COrderedDecoder>(m_facts.m_nChannelCount, threads, std::move(exported),
                                                   COrderedDecoder::ERest::CodeOnly,
                                                   [this](const COrderedDecoder::CDecoded& d) { OnPicture(d); });
    m_strands = std::make_unique<CStrandPool>(unsigned(std::min<size_t>(size_t(threads), m_cameras.size())),
                                              STRAND_QUEUE);
    const bool readOk = m_reader.Run(m_options.m_strRecording, m_facts,
                                     [this](const CForwardReader::CFrame& f) { OnRecord(f); });
    m_decoders.reset(); // every picture read is handled
    m_strands.reset();  // and written
    return Finish(readOk);
}

// One export per chosen camera, all into the one folder.
bool CExportCommand::SelectChannels()
{
    if (m_options.m_bAllChannels)
        for (int channel = 1; channel <= m_facts.m_nChannelCount; ++channel)
            m_options.m_channels.push_back(channel);
    if (m_options.m_channels.back() > m_facts.m_nChannelCount)
        return false;
    m_cameras.resize(m_options.m_channels.size());
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        m_cameras[i].m_nChannel = m_options.m_channels[i];
        m_cameras[i].m_recorder = std::make_unique<CBackupRecorder>(OutputFolder());
        m_byChannel[size_t(m_cameras[i].m_nChannel - 1)] = &m_cameras[i];
    }
    return true;
}

QString CExportCommand::OutputFolder() const
{
    if (m_options.m_strOutDir.empty())
        return COutputFolders(QCoreApplication::applicationDirPath()).AviFolder();
    const QString folder = QDir::cleanPath(CNativeFileName::Decode(QByteArray::fromStdString(m_options.m_strOutDir)));
    return folder.endsWith('/') ? folder : folder + '/';
}

bool CExportCommand::InRange(const CRecordHeader& header) const
{
    const uint64_t key = DateTimeToOrderKey(header.Time());
    return (!m_options.m_from.IsValid() || key >= DateTimeToOrderKey(m_options.m_from))
        && (!m_options.m_to.IsValid() || key <= DateTimeToOrderKey(m_options.m_to));
}

// The exports begin at the first record delivered (in the range), whose date-time
// starts the logs.
void CExportCommand::OnRecord(const CForwardReader::CFrame& f)
{
    if (!InRange(f.record.m_header))
        return ShowProgress(f.record.m_nHeaderOffset, false);
    m_timeLast = FrameTimeOf(f.record.m_header);
    if ((!m_bStarted && !StartExport(m_timeLast)) || m_bWriteFailed) {
        m_reader.Stop();
        return;
    }
    ShowProgress(f.record.m_nHeaderOffset, false);
    if (f.audioMode != kvx::AUDIO_MODE_ONLY)
        m_decoders->Push(f.picture, f.pictureLength, m_timeLast);
}

// The first picture decides the video standard of the crop, as the player's first frame does.
void CExportCommand::OnPicture(const COrderedDecoder::CDecoded& d)
{
    if (d.channel == CDibPicture::NO_CHANNEL)
        return;
    if (!m_bPal)
        m_bPal = d.picture.m_nStreamHeight > 240;
    if (!d.whole || !d.picture.m_pBits || d.channel >= m_byChannel.size() || !m_byChannel[d.channel]
        || m_bWriteFailed)
        return;
    CCamera& camera = *m_byChannel[d.channel];
    const BITMAPINFOHEADER& header = d.picture.m_bih.bmiHeader;
    // Each camera writes on its own strand, side by side with the other cameras and
    // with the decoding of the next pictures, from a copy of the picture (the
    // decoder's is needed for the next one).
    auto bits = std::make_shared<std::vector<uint8_t>>(d.picture.m_pBits.get(),
                                                       d.picture.m_pBits.get() + header.biSizeImage);
    const bool markAbsent = d.picture.m_bMarkAbsent != 0;
    m_strands->Post(size_t(&camera - m_cameras.data()), [this, &camera, header, bits, markAbsent, time = d.time] {
        ExportPicture(camera, header, bits->data(), markAbsent, time);
    });
}

void CExportCommand::ExportPicture(CCamera& camera, const BITMAPINFOHEADER& header, const uint8_t* bits,
                                   bool markAbsent, const CFrameTime& time)
{
    const CTilePicture picture{&header, bits, markAbsent, m_bPal.value_or(false), m_facts.m_nChannelCount};
    if (camera.m_recorder->WritePicture(camera.m_nChannel - 1, picture, time) == CBackupRecorder::EFrame::Failed)
        m_bWriteFailed = true;
}

// Every camera's export is tried, so that each one that cannot be created says why.
bool CExportCommand::StartExport(const CFrameTime& start)
{
    m_bStarted = true;
    for (CCamera& camera : m_cameras) {
        BACKUPSETTING setting;
        setting.m_byFrameRate = uint8_t(m_options.m_nFps);
        setting.m_byChannel = uint8_t(camera.m_nChannel - 1);
        setting.m_byChannelCount = m_facts.m_nChannelCount;
        setting.m_nWidth = m_options.m_nWidth;
        setting.m_nHeight = m_options.m_nHeight;
        if (!camera.m_recorder->StartBackup(setting, start)) {
            Say(camera.m_recorder->ErrorText());
            if (m_strStopCause.isEmpty())
                m_strStopCause = QString("the export of camera %1 could not be created").arg(camera.m_nChannel, 2, 10, QChar('0'));
        }
    }
    return m_strStopCause.isEmpty();
}

// Why the pass ended before the recording's end, for the exports it cut short: empty
// when it ran to the end.
QString CExportCommand::StopCause(bool readOk) const
{
    if (!m_strStopCause.isEmpty())
        return m_strStopCause;
    for (const CCamera& camera : m_cameras)
        if (!camera.m_recorder->FailureText().isEmpty())
            return QString("the export of camera %1 could not be written").arg(camera.m_nChannel, 2, 10, QChar('0'));
    return readOk ? QString() : QString("the recording could not be read on");
}

// A pass that ended early (a write that failed, an export that could not be made, a
// recording that could not be read on) cuts every camera's export short: each ends
// with its frames so far, is marked incomplete instead of getting sums, and says so.
// A range without a record makes nothing.
int CExportCommand::Finish(bool readOk)
{
    const bool ranged = m_options.m_from.IsValid() || m_options.m_to.IsValid();
    if (!m_bStarted && ranged && readOk) {
        std::fprintf(stderr, "kvxtool: no recording between %s and %s\n",
                     m_options.m_from.IsValid() ? m_options.m_from.ToIsoString().c_str() : "the start",
                     m_options.m_to.IsValid() ? m_options.m_to.ToIsoString().c_str() : "the end");
        return EXIT_PROBE_FAILED;
    }
    if (!m_bStarted)
        StartExport(m_timeLast);
    ShowProgress(m_facts.m_nFileLength, true);
    const QString cause = StopCause(readOk);
    bool ok = cause.isEmpty();
    for (CCamera& camera : m_cameras) {
        if (!cause.isEmpty())
            camera.m_recorder->CutShort(cause);
        const bool stopped = camera.m_recorder->StopBackup(m_timeLast);
        if (const QString failure = camera.m_recorder->FailureText(); !failure.isEmpty())
            Say(failure);
        if (!stopped)
            Say(camera.m_recorder->ErrorText());
        ok = ok && stopped;
    }
    if (!ok)
        return EXIT_PROBE_FAILED; // the reason is said
    for (const CCamera& camera : m_cameras)
        PrintResult(camera);
    return 0;
}

uint32_t CExportCommand::FrameCount() const
{
    uint32_t frames = 0;
    for (const CCamera& camera : m_cameras)
        frames += camera.m_recorder->FrameCount();
    return frames;
}

// On a terminal: how far into the file, the frames of each camera and their rate.
void CExportCommand::ShowProgress(uint64_t offset, bool last)
{
    if (!m_bProgress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - m_tShown < PROGRESS_PERIOD)
        return;
    m_tShown = now;
    const uint64_t length = std::max<uint64_t>(1, m_facts.m_nFileLength);
    const int percent = int(std::min<uint64_t>(100, offset * 100 / length));
    const double seconds = std::chrono::duration<double>(now - m_tStart).count();
    const uint32_t frames = FrameCount();
    const int filled = percent * PROGRESS_BAR_WIDTH / 100;
    std::string cameras;
    if (m_cameras.size() <= MAX_CAMERAS_SHOWN) {
        for (const CCamera& camera : m_cameras)
            cameras += QString::asprintf(" %02d:%u", camera.m_nChannel, camera.m_recorder->FrameCount()).toStdString();
    } else {
        cameras = " " + std::to_string(m_cameras.size()) + " cameras";
    }
    std::fprintf(stderr, "\r%3d%% [%s%s] %u frames%s  %.1f frames/s ", percent,
                 std::string(size_t(filled), '#').c_str(), std::string(size_t(PROGRESS_BAR_WIDTH - filled), ' ').c_str(),
                 frames, cameras.c_str(), seconds > 0 ? frames / seconds : 0.0);
    if (last)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void CExportCommand::PrintResult(const CCamera& camera) const
{
    const CBackupRecorder& recorder = *camera.m_recorder;
    const std::string avi = CNativeFileName::Encode(recorder.AviName()).toStdString();
    const std::string log = CNativeFileName::Encode(QFileInfo(recorder.AviName()).path() + '/'
                                                    + QFileInfo(recorder.AviName()).completeBaseName() + ".log")
                                .toStdString();
    const int frames = int(recorder.FrameCount());
    if (m_options.m_bJson) {
        CJsonLine line;
        line.Add("avi", avi).Add("log", log).Add("frames", frames).Add("channel", camera.m_nChannel)
            .Add("fps", m_options.m_nFps).Add("width", m_options.m_nWidth).Add("height", m_options.m_nHeight);
        std::printf("%s\n", line.Text().c_str());
    } else {
        std::printf("%s  %d frames  channel %02d  %d fps  %d x %d\n%s\n", avi.c_str(), frames, camera.m_nChannel,
                    m_options.m_nFps, m_options.m_nWidth, m_options.m_nHeight, log.c_str());
    }
}

int RunExportCommand(const std::vector<std::string>& args)
{
    CExportCommand::COptions options;
    if (!CExportCommand::Parse(args, options))
        return UsageError(CExportCommand::SYNOPSIS);
    const COffscreenApp app; // the stamp's font
    return CExportCommand(std::move(options)).Run();
}

#include "tools/kvxtool/exportcommand.h"

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
#include <charconv>
#include <thread>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr auto PROGRESS_PERIOD = std::chrono::milliseconds(200);
constexpr int PROGRESS_BAR_WIDTH = 30;
constexpr unsigned MAX_DECODING_THREADS = 4;

bool ParseInt(const std::string& text, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

CFrameTime FrameTimeOf(const CRecordHeader& h)
{
    return {h.m_wYear, h.m_byMonth, h.m_byDay, h.m_byHour, h.m_byMinute, h.m_bySecond};
}

} // namespace

const char* const CExportCommand::SYNOPSIS =
    "export RECORDING --channel N [--fps F] [--size 360x240|720x480] [--out DIR] [--json]";

bool CExportCommand::Parse(const std::vector<std::string>& args, COptions& out)
{
    bool haveChannel = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json") {
            out.m_bJson = true;
        } else if (arg == "--channel" && hasValue) {
            haveChannel = ParseInt(args[++i], out.m_nChannel);
        } else if (arg == "--fps" && hasValue) {
            if (!ParseInt(args[++i], out.m_nFps) || out.m_nFps < 1 || out.m_nFps > 60)
                return false;
        } else if (arg == "--size" && hasValue) {
            const std::string& size = args[++i];
            if (size != "360x240" && size != "720x480")
                return false;
            out.m_nWidth = size == "360x240" ? 360 : 720;
            out.m_nHeight = size == "360x240" ? 240 : 480;
        } else if (arg == "--out" && hasValue) {
            out.m_strOutDir = args[++i];
        } else if (arg.starts_with("-") || !out.m_strRecording.empty()) {
            return false;
        } else {
            out.m_strRecording = arg;
        }
    }
    return !out.m_strRecording.empty() && haveChannel && out.m_nChannel >= 1;
}

CExportCommand::CExportCommand(COptions options) : m_options(std::move(options)) {}

int CExportCommand::Run()
{
    CConsoleProbeView probeView;
    if (!CRecordingProbe(m_facts, probeView).ProbeRecording(m_options.m_strRecording))
        return EXIT_PROBE_FAILED;
    if (m_options.m_nChannel > m_facts.m_nChannelCount) {
        std::fprintf(stderr, "kvxtool: the recording has channels 1 to %d\n", m_facts.m_nChannelCount);
        return UsageError(SYNOPSIS);
    }
    m_recorder.emplace(OutputFolder());
    m_bProgress = ::isatty(STDERR_FILENO) == 1;
    m_tStart = m_tShown = std::chrono::steady_clock::now();
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, MAX_DECODING_THREADS));
    m_decoders = std::make_unique<COrderedDecoder>(m_facts.m_nChannelCount, threads,
                                                   [this](const COrderedDecoder::CDecoded& d) { OnPicture(d); });
    const bool readOk = m_reader.Run(m_options.m_strRecording, m_facts,
                                     [this](const CForwardReader::CFrame& f) { OnRecord(f); });
    m_decoders.reset(); // every picture read is handled
    return Finish(readOk);
}

QString CExportCommand::OutputFolder() const
{
    if (m_options.m_strOutDir.empty())
        return COutputFolders(QCoreApplication::applicationDirPath()).AviFolder();
    const QString folder = QDir::cleanPath(QFile::decodeName(m_options.m_strOutDir.c_str()));
    return folder.endsWith('/') ? folder : folder + '/';
}

// The export begins at the first record delivered, whose date-time starts the log.
void CExportCommand::OnRecord(const CForwardReader::CFrame& f)
{
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
    if (d.channel == CDibPicture::NO_CHANNEL || !d.picture.m_pBits)
        return;
    if (!m_bPal)
        m_bPal = d.picture.m_bih.bmiHeader.biHeight > 240;
    if (d.channel == m_options.m_nChannel - 1 && !m_bWriteFailed)
        ExportPicture(d);
}

void CExportCommand::ExportPicture(const COrderedDecoder::CDecoded& d)
{
    CBackupFrame frame;
    frame.m_nChannel = d.channel;
    frame.m_nWidth = m_options.m_nWidth;
    frame.m_nHeight = m_options.m_nHeight;
    frame.m_nFontHeight = CBackupRecorder::FontHeightFor(frame.m_nWidth);
    frame.m_time = d.time;
    frame.m_pHeader = &d.picture.m_bih.bmiHeader;
    frame.m_pBits = d.picture.m_pBits.get();
    frame.m_bMarkAbsent = d.picture.m_bMarkAbsent != 0;
    frame.m_bPal = m_bPal.value_or(false);
    frame.m_nChannelCount = m_facts.m_nChannelCount;
    if (m_recorder->WriteBackupFrame(frame) == CBackupRecorder::EFrame::Failed)
        m_bWriteFailed = true;
}

bool CExportCommand::StartExport(const CFrameTime& start)
{
    m_bStarted = true;
    BACKUPSETTING setting;
    setting.m_byFrameRate = uint8_t(m_options.m_nFps);
    setting.m_byChannel = uint8_t(m_options.m_nChannel - 1);
    setting.m_byChannelCount = m_facts.m_nChannelCount;
    setting.m_nWidth = m_options.m_nWidth;
    setting.m_nHeight = m_options.m_nHeight;
    if (m_recorder->StartBackup(setting, start))
        return true;
    std::fprintf(stderr, "kvxtool: %s\n", qPrintable(m_recorder->ErrorText()));
    m_bCreateFailed = true;
    return false;
}

// A write that failed ends the export with the frames before it, its log and its
// sums, as in the player, and the reason is said.
int CExportCommand::Finish(bool readOk)
{
    if ((!m_bStarted && !StartExport(m_timeLast)) || m_bCreateFailed)
        return EXIT_PROBE_FAILED; // it could not be created: the reason is said
    ShowProgress(m_facts.m_nFileLength, true);
    const QString failure = m_recorder->FailureText();
    const bool stopped = m_recorder->StopBackup(m_timeLast);
    if (!failure.isEmpty())
        std::fprintf(stderr, "kvxtool: %s\n", qPrintable(failure));
    if (!stopped)
        std::fprintf(stderr, "kvxtool: %s\n", qPrintable(m_recorder->ErrorText()));
    if (!failure.isEmpty() || !stopped)
        return EXIT_PROBE_FAILED;
    PrintResult();
    return readOk ? 0 : EXIT_PROBE_FAILED;
}

// On a terminal: how far into the file, frames written and their rate.
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
    const uint32_t frames = m_recorder->FrameCount();
    const int filled = percent * PROGRESS_BAR_WIDTH / 100;
    std::fprintf(stderr, "\r%3d%% [%s%s] %u frames  %.1f frames/s ", percent, std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(PROGRESS_BAR_WIDTH - filled), ' ').c_str(), frames,
                 seconds > 0 ? frames / seconds : 0.0);
    if (last)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void CExportCommand::PrintResult() const
{
    const std::string avi = QFile::encodeName(m_recorder->AviName()).toStdString();
    const std::string log = QFile::encodeName(QFileInfo(m_recorder->AviName()).path() + '/'
                                              + QFileInfo(m_recorder->AviName()).completeBaseName() + ".log")
                                .toStdString();
    const int frames = int(m_recorder->FrameCount());
    if (m_options.m_bJson) {
        CJsonLine line;
        line.Add("avi", avi).Add("log", log).Add("frames", frames).Add("channel", m_options.m_nChannel)
            .Add("fps", m_options.m_nFps).Add("width", m_options.m_nWidth).Add("height", m_options.m_nHeight);
        std::printf("%s\n", line.Text().c_str());
    } else {
        std::printf("%s  %d frames  channel %02d  %d fps  %d x %d\n%s\n", avi.c_str(), frames, m_options.m_nChannel,
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

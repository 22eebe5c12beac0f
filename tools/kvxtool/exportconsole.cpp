#include "tools/kvxtool/exportconsole.h"

#include "export/recordingexport.h"
#include "platform/nativefilename.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr auto PROGRESS_PERIOD = std::chrono::milliseconds(200);
constexpr int PROGRESS_BAR_WIDTH = 30;
// More cameras than this show as a count: the line must fit a terminal.
constexpr size_t MAX_CAMERAS_SHOWN = 4;

} // namespace

CExportConsole::CExportConsole(uint64_t fileLength)
    : m_nFileLength(fileLength), m_bTerminal(::isatty(STDERR_FILENO) == 1), m_tStart(std::chrono::steady_clock::now()),
      m_tShown(m_tStart)
{
}

void CExportConsole::OnExportMessage(const QString& text)
{
    std::fprintf(stderr, "kvxtool: %s\n", CNativeFileName::Encode(text).constData());
}

std::string CExportConsole::CameraCounts() const
{
    const std::vector<CRecordingExport::CCamera>& cameras = m_pExport->Cameras();
    if (cameras.size() > MAX_CAMERAS_SHOWN)
        return " " + std::to_string(cameras.size()) + " cameras";
    std::string counts;
    for (const CRecordingExport::CCamera& camera : cameras)
        counts += QString::asprintf(" %02d:%u", camera.m_nChannel, camera.m_recorder->FrameCount()).toStdString();
    return counts;
}

void CExportConsole::OnExportProgress(uint64_t offset, bool last)
{
    if (!m_bTerminal || !m_pExport)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - m_tShown < PROGRESS_PERIOD)
        return;
    m_tShown = now;
    const uint64_t length = std::max<uint64_t>(1, m_nFileLength);
    const int percent = int(std::min<uint64_t>(100, offset * 100 / length));
    const double seconds = std::chrono::duration<double>(now - m_tStart).count();
    const uint32_t frames = m_pExport->FrameCount();
    const int filled = percent * PROGRESS_BAR_WIDTH / 100;
    std::fprintf(stderr, "\r%3d%% [%s%s] %u frames%s  %.1f frames/s ", percent, std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(PROGRESS_BAR_WIDTH - filled), ' ').c_str(), frames, CameraCounts().c_str(),
                 seconds > 0 ? frames / seconds : 0.0);
    if (last)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

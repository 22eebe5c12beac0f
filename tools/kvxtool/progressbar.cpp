#include "tools/kvxtool/progressbar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int BAR_WIDTH = 40;
constexpr auto REDRAW = std::chrono::milliseconds(100);

} // namespace

CProgressBar::CProgressBar(const char* label, uint64_t minimum)
    : m_szLabel(label), m_nMinimum(minimum), m_bTerminal(isatty(STDERR_FILENO) == 1)
{
}

CProgressBar::~CProgressBar()
{
    if (m_bShown)
        std::fprintf(stderr, "\r\033[K");
}

void CProgressBar::Update(uint64_t done, uint64_t total)
{
    if (!m_bTerminal || total < m_nMinimum || total == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_bShown && now - m_lastDraw < REDRAW && done < total)
        return;
    m_lastDraw = now;
    m_bShown = true;
    const double share = double(std::min(done, total)) / double(total);
    const int filled = int(share * BAR_WIDTH);
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(BAR_WIDTH - filled), '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%  %.1f of %.1f MiB", m_szLabel, bar.c_str(), int(share * 100),
                 double(done) / (1 << 20), double(total) / (1 << 20));
    std::fflush(stderr);
}

#include "evidence/activityindex.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int COLUMNS = CActivityPicture::CELL_COLUMNS;
constexpr int ROWS = CActivityPicture::CELL_ROWS;
// Below this many seconds of a camera its restless cells are not yet known.
constexpr uint32_t RESTLESS_MIN_SECONDS = 20;
// The share of a region's cells that must change at sensitivity 1; each step up halves it.
constexpr double LEAST_SENSITIVE_SHARE = 0.16;

int CountCells(const std::array<uint64_t, 3>& cells, const std::array<uint64_t, 3>& mask)
{
    return std::popcount(cells[0] & mask[0]) + std::popcount(cells[1] & mask[1]) + std::popcount(cells[2] & mask[2]);
}

// A stretch being gathered, in the index's own seconds.
struct COpenStretch {
    uint32_t m_nFrom = 0, m_nTo = 0;
    uint64_t m_nOffset = 0;
    double m_dPeak = 0;
};

CActivityStretch Finished(int channel, const COpenStretch& s)
{
    return {channel, DateTimeFromSeconds(s.m_nFrom), DateTimeFromSeconds(s.m_nTo), s.m_nOffset, s.m_dPeak};
}

} // namespace

bool CActivityRegion::IsValid() const
{
    constexpr double SLACK = 1e-9; // "0.1,0.2,0.9,0.8" adds up to a hair over 1 in binary
    return m_dX >= 0 && m_dY >= 0 && m_dWidth > 0 && m_dHeight > 0 && m_dX + m_dWidth <= 1 + SLACK
        && m_dY + m_dHeight <= 1 + SLACK;
}

std::array<uint64_t, 3> RegionCellMask(const CActivityRegion& region)
{
    std::array<uint64_t, 3> mask{};
    auto set = [&mask](int row, int column) {
        const int cell = row * COLUMNS + column;
        mask[size_t(cell / 64)] |= uint64_t(1) << (cell % 64);
    };
    bool any = false;
    for (int row = 0; row < ROWS; ++row)
        for (int column = 0; column < COLUMNS; ++column) {
            const double x = (column + 0.5) / COLUMNS, y = (row + 0.5) / ROWS;
            if (x >= region.m_dX && x < region.m_dX + region.m_dWidth && y >= region.m_dY
                && y < region.m_dY + region.m_dHeight) {
                set(row, column);
                any = true;
            }
        }
    if (!any)
        set(std::clamp(int((region.m_dY + region.m_dHeight / 2) * ROWS), 0, ROWS - 1),
            std::clamp(int((region.m_dX + region.m_dWidth / 2) * COLUMNS), 0, COLUMNS - 1));
    return mask;
}

int CellsNeeded(int cells, int sensitivity)
{
    const double share = LEAST_SENSITIVE_SHARE * std::ldexp(1.0, -(std::clamp(sensitivity, 1, 10) - 1));
    return std::max(1, int(std::ceil(cells * share - 1e-9)));
}

CActivityIndex::CActivityIndex(int channelCount) : m_channels(size_t(std::max(0, channelCount))) {}

void CActivityIndex::Append(const CActivityPicture& picture)
{
    if (picture.m_nChannel >= m_channels.size())
        return;
    CChannel& channel = m_channels[picture.m_nChannel];
    const bool newSecond = channel.m_pictures.empty() || channel.m_pictures.back().m_nSeconds != picture.m_nSeconds;
    channel.m_nSeconds += newSecond;
    channel.m_pictures.push_back(picture);
    if (picture.m_nScore == 0)
        return;
    for (int cell = 0; cell < CActivityPicture::CELLS; ++cell) {
        const size_t c = size_t(cell);
        if (picture.HasCell(cell) && (channel.m_changes[c] == 0 || channel.m_lastChange[c] != picture.m_nSeconds)) {
            ++channel.m_changes[c];
            channel.m_lastChange[c] = picture.m_nSeconds;
        }
    }
}

uint64_t CActivityIndex::PictureCount() const
{
    uint64_t count = 0;
    for (const CChannel& channel : m_channels)
        count += channel.m_pictures.size();
    return count;
}

std::array<bool, CActivityPicture::CELLS> CActivityIndex::RestlessCells(int channel) const
{
    std::array<bool, CActivityPicture::CELLS> restless{};
    const CChannel& c = m_channels[size_t(channel)];
    if (c.m_nSeconds < RESTLESS_MIN_SECONDS)
        return restless;
    for (size_t cell = 0; cell < restless.size(); ++cell)
        restless[cell] = double(c.m_changes[cell]) > RESTLESS_SHARE * double(c.m_nSeconds);
    return restless;
}

std::array<uint64_t, 3> CActivityIndex::SearchMask(int channel, const CActivityRegion& region) const
{
    std::array<uint64_t, 3> mask = RegionCellMask(region);
    if (!region.IsWholePicture())
        return mask;
    const std::array<bool, CActivityPicture::CELLS> restless = RestlessCells(channel);
    for (int cell = 0; cell < CActivityPicture::CELLS; ++cell)
        if (restless[size_t(cell)])
            mask[size_t(cell / 64)] &= ~(uint64_t(1) << (cell % 64));
    return mask;
}

// A stretch ends at a picture that starts a run (a gap or a clock set back lies
// before it), and the next active picture too far after it starts another.
void CActivityIndex::FindInChannel(int channel, const CActivityQuery& query, std::vector<CActivityStretch>& out) const
{
    const std::array<uint64_t, 3> mask = SearchMask(channel, query.m_region);
    const int cells = CountCells({~0ull, ~0ull, ~0ull}, mask);
    if (cells == 0)
        return;
    const int needed = CellsNeeded(cells, query.m_nSensitivity);
    bool open = false, lastActive = false;
    COpenStretch stretch;
    for (const CActivityPicture& p : m_channels[size_t(channel)].m_pictures) {
        if (open && (p.m_nFlags & CActivityPicture::RUN_START)) {
            out.push_back(Finished(channel, stretch));
            open = lastActive = false;
        }
        const int changed = p.m_nScore ? CountCells(p.m_cells, mask) : 0;
        const bool active = changed >= needed;
        const bool follows = lastActive;
        lastActive = active;
        if (!active)
            continue;
        const double share = double(changed) / cells;
        if (open && (follows || int64_t(p.m_nSeconds) - int64_t(stretch.m_nTo) < query.m_nJoinSeconds)) {
            stretch.m_nTo = std::max(stretch.m_nTo, p.m_nSeconds);
            stretch.m_dPeak = std::max(stretch.m_dPeak, share);
            continue;
        }
        if (open)
            out.push_back(Finished(channel, stretch));
        stretch = {p.m_nSeconds, p.m_nSeconds, p.m_nOffset, share};
        open = true;
    }
    if (open)
        out.push_back(Finished(channel, stretch));
}

std::vector<CActivityStretch> CActivityIndex::Find(const CActivityQuery& query) const
{
    std::vector<CActivityStretch> out;
    if (!query.m_region.IsValid())
        return out;
    for (int channel : query.m_channels)
        if (channel >= 0 && channel < ChannelCount())
            FindInChannel(channel, query, out);
    std::stable_sort(out.begin(), out.end(),
                     [](const CActivityStretch& a, const CActivityStretch& b) { return a.m_nOffset < b.m_nOffset; });
    return out;
}

bool CActivityIndex::operator==(const CActivityIndex& other) const
{
    return m_channels == other.m_channels && m_nUndecodable == other.m_nUndecodable;
}

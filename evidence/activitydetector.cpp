#include "evidence/activitydetector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

namespace {

constexpr int LEVELS = 256;

// The median of the block differences: how far the light moved the whole picture.
int MedianShift(const std::vector<int16_t>& differences)
{
    std::array<uint32_t, 2 * LEVELS> histogram{};
    for (int16_t d : differences)
        ++histogram[size_t(d + LEVELS)];
    const size_t half = differences.size() / 2;
    size_t seen = 0;
    for (size_t i = 0; i < histogram.size(); ++i) {
        seen += histogram[i];
        if (seen > half)
            return int(i) - LEVELS;
    }
    return 0;
}

} // namespace

CActivityDetector::CActivityDetector(int channelCount, int64_t gapSeconds)
    : m_nGapSeconds(gapSeconds), m_cameras(size_t(std::max(0, channelCount)))
{
}

bool CActivityDetector::SameSize(const CCamera& camera, const CEighthPicture& luma)
{
    return camera.m_nWidth == luma.m_nWidth && camera.m_nHeight == luma.m_nHeight && !camera.m_previous.empty();
}

void CActivityDetector::Reset(CCamera& camera, const CEighthPicture& luma)
{
    camera.m_nWidth = luma.m_nWidth;
    camera.m_nHeight = luma.m_nHeight;
    camera.m_cellOf.resize(size_t(luma.m_nWidth) * size_t(luma.m_nHeight));
    for (int y = 0; y < luma.m_nHeight; ++y)
        for (int x = 0; x < luma.m_nWidth; ++x)
            camera.m_cellOf[size_t(y) * size_t(luma.m_nWidth) + size_t(x)] =
                uint8_t(y * CActivityPicture::CELL_ROWS / luma.m_nHeight * CActivityPicture::CELL_COLUMNS
                        + x * CActivityPicture::CELL_COLUMNS / luma.m_nWidth);
}

CActivityPicture CActivityDetector::Detect(uint8_t channel, uint64_t offset, int64_t seconds,
                                           const CEighthPicture& luma)
{
    CActivityPicture picture;
    picture.m_nOffset = offset;
    picture.m_nSeconds = uint32_t(std::clamp<int64_t>(seconds, 0, UINT32_MAX));
    picture.m_nChannel = channel;
    if (channel >= m_cameras.size() || luma.m_nPixelSize != 1 || luma.m_nWidth < 1 || luma.m_nHeight < 1)
        return picture;
    CCamera& camera = m_cameras[channel];
    const bool continues = SameSize(camera, luma) && seconds >= camera.m_nLastSeconds
                        && seconds - camera.m_nLastSeconds <= m_nGapSeconds;
    if (continues) {
        Compare(camera, luma, picture);
    } else {
        picture.m_nFlags |= CActivityPicture::RUN_START;
        Reset(camera, luma);
    }
    camera.m_previous.assign(luma.m_pixels.begin(), luma.m_pixels.end());
    camera.m_nLastSeconds = seconds;
    return picture;
}

void CActivityDetector::Compare(const CCamera& camera, const CEighthPicture& luma, CActivityPicture& picture)
{
    const size_t blocks = camera.m_cellOf.size();
    thread_local std::vector<int16_t> differences;
    differences.resize(blocks);
    for (size_t i = 0; i < blocks; ++i)
        differences[i] = int16_t(luma.m_pixels[i] - camera.m_previous[i]);
    const int shift = MedianShift(differences);

    std::array<int, CActivityPicture::CELLS> change{};
    for (size_t i = 0; i < blocks; ++i)
        change[camera.m_cellOf[i]] += std::max(0, std::abs(differences[i] - shift) - BLOCK_NOISE);
    int changed = 0;
    for (int cell = 0; cell < CActivityPicture::CELLS; ++cell)
        if (change[size_t(cell)] >= CELL_CHANGE) {
            picture.SetCell(cell);
            ++changed;
        }
    // Where the light changed, what the shift does not explain (saturated areas, the
    // recorder's own marks, which it draws unlit) would pass for activity: the one
    // picture is given up rather than reported everywhere.
    if (std::abs(shift) >= LIGHT_SHIFT || changed > GLOBAL_SHARE * CActivityPicture::CELLS) {
        picture.m_nFlags |= CActivityPicture::GLOBAL_CHANGE;
        picture.m_cells = {};
        changed = 0;
    }
    picture.m_nScore = uint8_t(changed);
}

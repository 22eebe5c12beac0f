#pragma once

#include "evidence/activityindex.h"
#include "playback/dibpicture.h"

#include <cstdint>
#include <vector>

// Turns each camera's pictures, seen at an eighth of their size in file order, into
// the activity index's entries: which cells changed against that camera's picture
// before. The noise of the sensor and of the JPEG coding is mostly averaged away in
// the 8 x 8 blocks and what is left stays under a per-block margin; a change of the
// whole picture's brightness is taken out before the cells are judged, and a picture
// whose light changed, or that changed nearly everywhere, is marked as such instead
// of as activity. A gap or
// a clock set back starts a run: the picture after it is compared with nothing.
// One thread (the index's builder feeds it in order).
class CActivityDetector {
public:
    // A block must differ by more than this (in 0..255 luma, after the brightness
    // shift is taken out) to add to its cell's change.
    static constexpr int BLOCK_NOISE = 8;
    // What the blocks of a cell must add up to beyond their margin for the cell to change.
    static constexpr int CELL_CHANGE = 12;
    // A median shift of this many levels or more is a change of the light.
    static constexpr int LIGHT_SHIFT = 16;
    // More than this share of the cells changed: the whole scene changed.
    static constexpr double GLOBAL_SHARE = 0.5;

    explicit CActivityDetector(int channelCount, int64_t gapSeconds = 10);

    CActivityPicture Detect(uint8_t channel, uint64_t offset, int64_t seconds, const CEighthPicture& luma);

private:
    struct CCamera {
        std::vector<uint8_t> m_previous; // the last picture, grey, an eighth of its size
        std::vector<uint8_t> m_cellOf;   // each block's cell
        int m_nWidth = 0, m_nHeight = 0;
        int64_t m_nLastSeconds = 0;
    };
    static bool SameSize(const CCamera& camera, const CEighthPicture& luma);
    static void Reset(CCamera& camera, const CEighthPicture& luma);
    static void Compare(const CCamera& camera, const CEighthPicture& luma, CActivityPicture& picture);

    const int64_t m_nGapSeconds;
    std::vector<CCamera> m_cameras;
};

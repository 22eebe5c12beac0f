#pragma once

#include "recording/datetime.h"

#include <array>
#include <cstdint>
#include <vector>

// One picture as the activity index keeps it: 16 bytes and a map of 192 cells, so that
// two hours of sixteen cameras (about 450,000 pictures) fit in some 18 MB.
struct CActivityPicture {
    static constexpr int CELL_COLUMNS = 16;
    static constexpr int CELL_ROWS = 12;
    static constexpr int CELLS = CELL_COLUMNS * CELL_ROWS;
    static constexpr uint8_t RUN_START = 1;      // first after a gap or a clock set back: compared with nothing
    static constexpr uint8_t GLOBAL_CHANGE = 2;  // the whole picture changed (a light switched): no activity kept

    uint64_t m_nOffset = 0;  // the record's header
    uint32_t m_nSeconds = 0; // its date-time, as DateTimeToSeconds counts
    uint8_t m_nChannel = 0;  // 0-based
    uint8_t m_nScore = 0;    // cells changed against the camera's picture before
    uint8_t m_nFlags = 0;
    std::array<uint64_t, 3> m_cells{}; // bit row * CELL_COLUMNS + column: changed

    bool HasCell(int cell) const { return m_cells[size_t(cell / 64)] >> (cell % 64) & 1; }
    void SetCell(int cell) { m_cells[size_t(cell / 64)] |= uint64_t(1) << (cell % 64); }
    bool operator==(const CActivityPicture&) const = default;
};

// A rectangle of a camera's picture in fractions of its width and height, origin top left.
struct CActivityRegion {
    double m_dX = 0, m_dY = 0, m_dWidth = 1, m_dHeight = 1;

    bool IsWholePicture() const { return m_dX <= 0 && m_dY <= 0 && m_dX + m_dWidth >= 1 && m_dY + m_dHeight >= 1; }
    bool IsValid() const;
};

struct CActivityQuery {
    std::vector<int> m_channels; // 0-based
    CActivityRegion m_region;
    int m_nSensitivity = 5;      // 1 (large changes only) .. 10 (one cell)
    int64_t m_nJoinSeconds = 2;  // stretches closer than this merge
};

// Consecutive pictures of one camera with activity in the region.
struct CActivityStretch {
    int m_nChannel = 0; // 0-based
    CDateTime m_from, m_to;
    uint64_t m_nOffset = 0; // header of its first picture
    double m_dPeak = 0;     // the largest fraction of the region's cells changed in one picture
};

// Every picture's change against its camera's recent past, and the search over it.
// Pictures are appended in file order; the search answers stretches of activity.
// A plain value: one thread at a time (the builder guards the one it fills).
class CActivityIndex {
public:
    explicit CActivityIndex(int channelCount = 0);

    int ChannelCount() const { return int(m_channels.size()); }
    void Append(const CActivityPicture& picture);
    // Pictures of `channel` (0-based), in file order.
    const std::vector<CActivityPicture>& Pictures(int channel) const { return m_channels[size_t(channel)].m_pictures; }
    uint64_t PictureCount() const;
    // Pictures of the recording left out because they do not decode.
    uint64_t UndecodableCount() const { return m_nUndecodable; }
    void SetUndecodableCount(uint64_t count) { m_nUndecodable = count; }

    // The stretches of each queried camera, in file order of their first picture.
    std::vector<CActivityStretch> Find(const CActivityQuery& query) const;

    // Cells that change in more than this share of the seconds a camera recorded (a
    // clock drawn into the picture, a tree in the wind) are left out of a whole-picture
    // search; a drawn region keeps them. Counted in seconds, not pictures, so that a
    // clock is as restless at 25 pictures a second as at one.
    static constexpr double RESTLESS_SHARE = 0.25;
    // Of the cells of `channel`, those left out of a whole-picture search.
    std::array<bool, CActivityPicture::CELLS> RestlessCells(int channel) const;

    bool operator==(const CActivityIndex& other) const;

private:
    struct CChannel {
        std::vector<CActivityPicture> m_pictures;
        uint32_t m_nSeconds = 0;                                   // seconds with pictures
        std::array<uint32_t, CActivityPicture::CELLS> m_changes{}; // seconds in which each cell changed
        std::array<uint32_t, CActivityPicture::CELLS> m_lastChange{}; // the second last counted, per cell
        bool operator==(const CChannel&) const = default;
    };
    std::array<uint64_t, 3> SearchMask(int channel, const CActivityRegion& region) const;
    void FindInChannel(int channel, const CActivityQuery& query, std::vector<CActivityStretch>& out) const;

    std::vector<CChannel> m_channels;
    uint64_t m_nUndecodable = 0;
};

// The cells of the grid whose centres lie in `region`; the one under its centre when none does.
std::array<uint64_t, 3> RegionCellMask(const CActivityRegion& region);
// How many of `cells` cells must change for a picture to count at `sensitivity`.
int CellsNeeded(int cells, int sensitivity);

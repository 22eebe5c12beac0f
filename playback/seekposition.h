#pragma once

#include "playback/playstate.h"
#include "recording/recordformat.h"

#include <algorithm>
#include <cstdint>

// Where a seek to slider position `pos` reads on in a file of `length` bytes: the record
// area spread over the slider's 0..710, rounded down to the block grid. The first
// record found from there is the one the seek shows first.
inline uint64_t SliderSeekOffset(int pos, uint64_t length)
{
    const double span = length > kvx::RECORD_AREA_OFFSET ? double(length - kvx::RECORD_AREA_OFFSET) : 0.0;
    const double target = double(pos) * span * (1.0 / SLIDER_MAX) + 65536.0;
    return uint64_t(std::max(target, 0.0)) / kvx::BLOCK_SIZE * kvx::BLOCK_SIZE;
}

// The slider position the engine reports for the read position `offset` in a file of
// `length` bytes: whole hundredths of the file, 7.1 positions each. Whatever else
// places something of the file along the slider uses this, so that it lines up with
// the thumb.
inline int SliderPosition(uint64_t offset, uint64_t length)
{
    const uint64_t hundredth = std::max<uint64_t>(length / 100, 1);
    return int(double(offset / hundredth) * 7.1);
}

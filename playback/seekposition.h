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

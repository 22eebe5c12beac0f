#include "playback/jpegsegments.h"

namespace {

constexpr size_t START_OF_IMAGE_SIZE = 2;
constexpr uint8_t START_OF_SCAN = 0xDA;
constexpr uint8_t END_OF_IMAGE = 0xD9;
constexpr uint8_t BASELINE = 0xC0;
constexpr uint8_t EXTENDED_SEQUENTIAL = 0xC1;
constexpr size_t HEIGHT_AT = 5;     // FF, marker, length (2), precision (1), then the height
constexpr size_t COMPONENTS_AT = 9; // of a frame header: after the height and the width
constexpr size_t SCAN_COMPONENTS_AT = 4;

bool IsStartOfFrame(uint8_t marker)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC)
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

size_t SegmentEnd(const uint8_t* jpeg, size_t at)
{
    return at + 2 + (size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
}

// The offset of the first segment from `at` on whose marker `wanted` accepts, walking
// over fill bytes and over the segments before it; none past the start of the image
// data or its end.
template <typename Wanted>
std::optional<size_t> FindSegment(const uint8_t* jpeg, size_t length, size_t at, Wanted wanted)
{
    while (at + 4 <= length) {
        if (jpeg[at] != 0xFF)
            return std::nullopt;
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (wanted(marker))
            return at;
        if (marker == START_OF_SCAN || marker == END_OF_IMAGE)
            return std::nullopt;
        at = SegmentEnd(jpeg, at);
    }
    return std::nullopt;
}

} // namespace

std::optional<size_t> FindFrameHeight(const uint8_t* jpeg, size_t length)
{
    const std::optional<size_t> frame = FindSegment(jpeg, length, START_OF_IMAGE_SIZE, IsStartOfFrame);
    if (!frame || *frame + HEIGHT_AT + 2 > length)
        return std::nullopt;
    return *frame + HEIGHT_AT;
}

std::optional<size_t> FindSequentialImageData(const uint8_t* jpeg, size_t length)
{
    const std::optional<size_t> frame = FindSegment(jpeg, length, START_OF_IMAGE_SIZE, IsStartOfFrame);
    if (!frame || *frame + COMPONENTS_AT >= length
        || (jpeg[*frame + 1] != BASELINE && jpeg[*frame + 1] != EXTENDED_SEQUENTIAL))
        return std::nullopt;
    const std::optional<size_t> scan = FindSegment(jpeg, length, SegmentEnd(jpeg, *frame),
                                                   [](uint8_t marker) { return marker == START_OF_SCAN; });
    if (!scan || *scan + SCAN_COMPONENTS_AT >= length
        || jpeg[*scan + SCAN_COMPONENTS_AT] != jpeg[*frame + COMPONENTS_AT])
        return std::nullopt;
    const size_t data = SegmentEnd(jpeg, *scan);
    return data < length ? std::optional<size_t>(data) : std::nullopt;
}

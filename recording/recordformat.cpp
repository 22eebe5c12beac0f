#include "recording/recordformat.h"

#include <array>
#include <cstring>
#include <utility>

namespace kvx {

std::optional<EHeaderLayout> LayoutForChannelCount(int channelCount)
{
    if (channelCount == 4)
        return EHeaderLayout::A;
    if (channelCount == 8 || channelCount == 16)
        return EHeaderLayout::B;
    return std::nullopt;
}

std::optional<EHeaderLayout> LayoutForKind(uint8_t kind)
{
    if (kind == KIND_PICTURE_16CH)
        return EHeaderLayout::B;
    if (kind == KIND_PICTURE_4CH)
        return EHeaderLayout::A;
    return std::nullopt;
}

} // namespace kvx

void SwapBytePairs(uint8_t* buffer, size_t length)
{
    // Every byte the readers look at passes through here. Chunks of 16 pairs copied
    // into a local array, each pair turned by a 16-bit rotate: GCC makes that vector
    // shifts over any alignment, twice as fast as the same on 64-bit words.
    constexpr size_t CHUNK_PAIRS = 16;
    size_t i = 0;
    for (; i + 2 * CHUNK_PAIRS <= length; i += 2 * CHUNK_PAIRS) {
        uint16_t pairs[CHUNK_PAIRS];
        std::memcpy(pairs, buffer + i, sizeof pairs);
        for (uint16_t& pair : pairs)
            pair = uint16_t(pair << 8 | pair >> 8);
        std::memcpy(buffer + i, pairs, sizeof pairs);
    }
    for (; i + 1 < length; i += 2)
        std::swap(buffer[i], buffer[i + 1]);
}

static constexpr std::array<uint8_t, 256> MakeBitReversalTable()
{
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (v & (1 << bit))
                r |= 0x80 >> bit;
        table[v] = static_cast<uint8_t>(r);
    }
    return table;
}

void ReverseBitOrder(uint8_t* buffer, size_t length)
{
    static constexpr auto table = MakeBitReversalTable();
    for (size_t i = 0; i < length; ++i)
        buffer[i] = table[buffer[i]];
}

static bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsRecordDateValid(int year, int month, int day, int hour, int minute, int second)
{
    static constexpr int daysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    int monthLength = daysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= monthLength && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59
        && second >= 0 && second <= 59;
}

uint64_t ReadSectorNumber(const uint8_t* bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

#pragma once

// The byte layout of a recording.
//
// A recording starts with a reserved area of 0x10000 bytes that nobody reads; records
// follow, each on a 512-byte boundary. A record is a 512-byte header block, then a
// JPEG picture padded to whole 8,192-byte units and/or a 1,024-byte audio block.
// The recorder stores every byte pair swapped, and audio bytes bit-reversed as well.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kvx {

inline constexpr uint64_t RECORD_AREA_OFFSET = 0x10000;
inline constexpr size_t BLOCK_SIZE = 512;
inline constexpr size_t PICTURE_UNIT_SIZE = 8192;
inline constexpr size_t PICTURE_UNIT_BLOCKS = PICTURE_UNIT_SIZE / BLOCK_SIZE;
inline constexpr size_t MAX_PICTURE_SIZE = 65536; // 8 units; a longer picture drops its record
inline constexpr size_t AUDIO_BLOCK_SIZE = 1024;
inline constexpr size_t AUDIO_SLICE_SIZE = 132; // 16.5 ms of 8-bit mono at 8,000 Hz
inline constexpr int AUDIO_CHANNELS = 4;

// Byte 1 of a header block (byte 0 is always 0xFF).
inline constexpr uint8_t HEADER_MARK = 0xFF;
inline constexpr uint8_t KIND_PICTURE_16CH = 0xFC;
inline constexpr uint8_t KIND_PICTURE_4CH = 0x01;
inline constexpr uint8_t KIND_AUDIO_ONLY = 0x05;

// Header offsets (after the pair exchange).
inline constexpr size_t HDR_KIND = 1;
inline constexpr size_t HDR_PREV_SECTOR = 4;
inline constexpr size_t HDR_SECTOR = 12;
inline constexpr size_t HDR_GROUP_LENGTH = 21;
inline constexpr size_t HDR_DATE_LAYOUT_A = 24; // year-1996, month, day, hour, minute, second
inline constexpr size_t HDR_DATE_LAYOUT_B = 43;
inline constexpr size_t HDR_AUDIO_SIG1 = 198; // 0xFF
inline constexpr size_t HDR_AUDIO_SIG2 = 199; // 4
inline constexpr size_t HDR_AUDIO_FLAG = 201; // 1: the record carries an audio block
inline constexpr int YEAR_BASE = 1996;

// Audio mode of the reader: what follows each picture-record header.
inline constexpr int AUDIO_MODE_NONE = 0;          // picture only
inline constexpr int AUDIO_MODE_ONLY = 2;          // audio block, no picture
inline constexpr int AUDIO_MODE_WITH_PICTURE = 3;  // picture, then audio block

// Layout A puts the date at byte 24 (4-channel recorders), layout B at byte 43
// (16- and 8-channel recorders).
enum class EHeaderLayout : uint8_t { A, B };

std::optional<EHeaderLayout> LayoutForChannelCount(int channelCount);
std::optional<EHeaderLayout> LayoutForKind(uint8_t kind);

} // namespace kvx

// Exchanges the bytes of every pair (0,1), (2,3), ... below `length`. In place.
void SwapBytePairs(uint8_t* buffer, size_t length);
// Reverses the bit order of every byte (0x01 <-> 0x80). In place.
void ReverseBitOrder(uint8_t* buffer, size_t length);

// True when the six values form a Gregorian calendar date and a time of day.
bool IsRecordDateValid(int year, int month, int day, int hour, int minute, int second);

// Reads 8 bytes as an unsigned big-endian number.
uint64_t ReadSectorNumber(const uint8_t* bytes);

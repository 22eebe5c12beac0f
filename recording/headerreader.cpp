#include "recording/headerreader.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace kvx;

namespace {

// A scan starts with a few blocks (a probe usually lands within one record of a
// header) and reads longer runs as it goes on through garbage.
constexpr uint64_t FIRST_CHUNK_BLOCKS = 4;
constexpr uint64_t MAX_CHUNK_BLOCKS = 64;

uint64_t AlignUp(uint64_t position)
{
    return (position + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE;
}

uint64_t AlignDown(uint64_t position)
{
    return position / BLOCK_SIZE * BLOCK_SIZE;
}

uint64_t NextChunk(uint64_t scanned)
{
    return std::clamp<uint64_t>(scanned / 2, FIRST_CHUNK_BLOCKS, MAX_CHUNK_BLOCKS);
}

} // namespace

bool CHeaderReader::Open(const std::string& path)
{
    m_nReads = m_nBlocks = 0;
    return m_file.Open(path);
}

bool CHeaderReader::ReadBlocks(uint64_t offset, size_t count)
{
    m_buffer.resize(count * BLOCK_SIZE);
    ++m_nReads;
    m_nBlocks += count;
    return m_file.Seek(offset) && m_file.ReadPadded(m_buffer.data(), m_buffer.size()) >= 0;
}

std::optional<CFoundRecord> CHeaderReader::Accept(size_t index, uint64_t offset)
{
    const uint8_t* stored = m_buffer.data() + index * BLOCK_SIZE;
    if (!IsStoredCandidate(stored))
        return std::nullopt;
    std::array<uint8_t, BLOCK_SIZE> block;
    std::memcpy(block.data(), stored, BLOCK_SIZE);
    SwapBytePairs(block.data(), BLOCK_SIZE);
    const CRecordHeader header = CRecordHeader::Parse(block.data(), m_layout);
    if (!header.IsCandidate() || !header.IsDateValid())
        return std::nullopt;
    return CFoundRecord{offset, header, DateTimeToOrderKey(header.Time())};
}

bool CHeaderReader::IsBlockBlank(size_t index) const
{
    const uint8_t* block = m_buffer.data() + index * BLOCK_SIZE;
    return std::all_of(block, block + BLOCK_SIZE, [](uint8_t b) { return b == 0; });
}

std::optional<CFoundRecord> CHeaderReader::ReadAt(uint64_t offset)
{
    if (offset % BLOCK_SIZE || offset + BLOCK_SIZE > Length() || !ReadBlocks(offset, 1))
        return std::nullopt;
    return Accept(0, offset);
}

std::optional<CFoundRecord> CHeaderReader::FindForward(uint64_t from, uint64_t limit, uint64_t maxBlocks)
{
    limit = std::min(limit, Length());
    uint64_t pos = AlignUp(from);
    uint64_t scanned = 0;
    bool blank = true; // where the last run was all zeros, a hole may follow
    while (pos < limit && scanned < maxBlocks) {
        if (blank)
            pos = std::max(pos, AlignDown(m_file.DataFrom(pos)));
        if (pos >= limit)
            break;
        const uint64_t count =
            std::min({NextChunk(scanned), (limit - pos + BLOCK_SIZE - 1) / BLOCK_SIZE, maxBlocks - scanned});
        if (!ReadBlocks(pos, size_t(count)))
            return std::nullopt;
        blank = true;
        for (size_t i = 0; i < count; ++i) {
            if (auto found = Accept(i, pos + i * BLOCK_SIZE))
                return found;
            blank = blank && IsBlockBlank(i);
        }
        pos += count * BLOCK_SIZE;
        scanned += count;
    }
    return std::nullopt;
}

std::optional<CFoundRecord> CHeaderReader::FindBackward(uint64_t before, uint64_t floor, uint64_t maxBlocks)
{
    uint64_t pos = AlignDown(std::min(before, Length()));
    floor = AlignUp(floor);
    uint64_t scanned = 0;
    while (pos > floor && scanned < maxBlocks) {
        const uint64_t count = std::min({NextChunk(scanned), (pos - floor) / BLOCK_SIZE, maxBlocks - scanned});
        const uint64_t start = pos - count * BLOCK_SIZE;
        if (!ReadBlocks(start, size_t(count)))
            return std::nullopt;
        for (size_t i = count; i-- > 0;)
            if (auto found = Accept(i, start + i * BLOCK_SIZE))
                return found;
        pos = start;
        scanned += count;
    }
    return std::nullopt;
}

std::optional<uint64_t> CHeaderReader::PreviousOffset(const CFoundRecord& record)
{
    const CRecordHeader& h = record.m_header;
    if (h.m_nPrevSector >= h.m_nSector || h.m_nSector - h.m_nPrevSector > record.m_nOffset / BLOCK_SIZE)
        return std::nullopt;
    return record.m_nOffset - (h.m_nSector - h.m_nPrevSector) * BLOCK_SIZE;
}

std::optional<CFoundRecord> CHeaderReader::Previous(const CFoundRecord& record)
{
    const std::optional<uint64_t> previous = PreviousOffset(record);
    return previous ? ReadAt(*previous) : std::nullopt;
}

std::optional<CFoundRecord> CHeaderReader::Next(const CFoundRecord& record, uint64_t limit, uint64_t maxBlocks)
{
    // Pictures of one camera and one scene come out much the same length: the record
    // before this one says where this one probably ends.
    const CRecordHeader& h = record.m_header;
    if (h.m_nPrevSector < h.m_nSector && h.m_nSector - h.m_nPrevSector <= MAX_RECORD_BLOCKS) {
        const uint64_t guess = record.m_nOffset + (h.m_nSector - h.m_nPrevSector) * BLOCK_SIZE;
        if (guess < limit) {
            std::optional<CFoundRecord> next = ReadAt(guess);
            if (next && next->m_header.m_nPrevSector == h.m_nSector)
                return next;
        }
    }
    return FindForward(record.m_nOffset + BLOCK_SIZE, limit, maxBlocks);
}

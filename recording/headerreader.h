#pragma once

#include "platform/readonlyfile.h"
#include "recording/datetime.h"
#include "recording/recordformat.h"
#include "recording/recordheader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A record is a header, up to 128 picture blocks and an audio block; a longer step
// between two headers is no guide to the length of a record.
inline constexpr uint64_t MAX_RECORD_BLOCKS =
    1 + kvx::MAX_PICTURE_SIZE / kvx::BLOCK_SIZE + kvx::AUDIO_BLOCK_SIZE / kvx::BLOCK_SIZE;

// A record header found in a recording: where it starts and what it says.
struct CFoundRecord {
    uint64_t m_nOffset = 0;
    CRecordHeader m_header;
    uint64_t m_nKey = 0; // DateTimeToOrderKey of its date

    CDateTime Time() const { return m_header.Time(); }
};

// Reads record headers at chosen places of a recording, for searches that must not
// read the whole file. A header counts when the playback engine would take it: byte 0
// is 0xFF, byte 1 one of the three record kinds, and its date, read in the
// recording's layout, is a real date and time.
//
// Counts what it reads, so that a search can report and bound its cost. One thread.
class CHeaderReader {
public:
    explicit CHeaderReader(kvx::EHeaderLayout layout) : m_layout(layout) {}

    bool Open(const std::string& path);
    const std::string& ErrorText() const { return m_file.ErrorText(); }
    uint64_t Length() const { return m_file.Length(); }

    // The header in the block at `offset`, if that block is one.
    std::optional<CFoundRecord> ReadAt(uint64_t offset);
    // The first header in [from, limit), reading at most `maxBlocks` blocks; holes of a
    // sparse file are skipped without reading them.
    std::optional<CFoundRecord> FindForward(uint64_t from, uint64_t limit, uint64_t maxBlocks);
    // The last header in [floor, before), reading backwards at most `maxBlocks` blocks.
    std::optional<CFoundRecord> FindBackward(uint64_t before, uint64_t floor, uint64_t maxBlocks);
    // Where the recorder's chain says the record in front of `record` starts.
    static std::optional<uint64_t> PreviousOffset(const CFoundRecord& record);
    // The record in front of `record`, found through its previous-record sector.
    std::optional<CFoundRecord> Previous(const CFoundRecord& record);
    // The record after `record`, below `limit`: first where a picture as long as the
    // previous record would end, then by scanning on from its header.
    std::optional<CFoundRecord> Next(const CFoundRecord& record, uint64_t limit, uint64_t maxBlocks);

    // Read calls and 512-byte blocks read since Open.
    uint64_t Reads() const { return m_nReads; }
    uint64_t Blocks() const { return m_nBlocks; }

private:
    // Reads `count` blocks at `offset` into m_buffer; the blocks past the end read as zero.
    bool ReadBlocks(uint64_t offset, size_t count);
    // The block of m_buffer at `index`, read from `offset`, as a header if it is one.
    std::optional<CFoundRecord> Accept(size_t index, uint64_t offset);
    bool IsBlockBlank(size_t index) const;

    CReadOnlyFile m_file;
    const kvx::EHeaderLayout m_layout;
    std::vector<uint8_t> m_buffer;
    uint64_t m_nReads = 0;
    uint64_t m_nBlocks = 0;
};

#pragma once

#include "platform/readonlyfile.h"
#include "recording/recordformat.h"
#include "recording/recordheader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One record as the walk found it.
struct CWalkedRecord {
    uint64_t m_nOffset = 0;        // its header block
    uint64_t m_nEnd = 0;           // the first byte after its picture units and audio block
    CRecordHeader m_header;
    int m_nAudioMode = 0;          // the reader's audio mode for this record
    const uint8_t* m_pPicture = nullptr; // pair exchange undone; null for an audio-only record
    uint32_t m_nPictureLength = 0; // whole 8,192-byte units
    bool m_bAudioBlock = false;
};

// Bytes between records that hold no record the player could show.
struct CDamagedStretch {
    enum class EWhat { NoHeader, InvalidDate, Oversize, CutOff };
    uint64_t m_nOffset = 0;
    uint64_t m_nBytes = 0;
    EWhat m_what = EWhat::NoHeader;
};

// "no record header", "header with an invalid date", "picture over 8 units",
// "picture cut off".
const char* DamageText(CDamagedStretch::EWhat what);

class IRecordWalkSink {
public:
    virtual void OnRecord(const CWalkedRecord& record) = 0;
    virtual void OnDamage(const CDamagedStretch& stretch) = 0;

protected:
    ~IRecordWalkSink() = default;
};

// Reads a recording once, in order, to the end of the file, and tells every record and
// every damaged stretch between records. Records are taken as the playback engine takes
// them: a header block with a real date, a picture read in 8,192-byte units to its end
// marker (more than 8 units drop the record) and the audio block the audio mode calls
// for. Where the engine passes over damage silently, the walk names it:
//   - blocks that are no header (garbage, zeros), one stretch up to the next candidate;
//   - a candidate header with an impossible date, with what follows it up to the next
//     candidate;
//   - a picture over 8 units: its header and the 9 units read;
//   - a picture cut off: by the end of the file, or by the next record, whose header
//     (sector number where this record's says it must be) starts inside the picture.
//     The engine would read on into that record; the walk takes it as a record.
// So a stretch never covers a record's header, and every byte from the first offset
// walked is either in a record or in a stretch.
//
// Each byte of the file from the first offset on is read once, sequentially; an
// observer may see them all (a hash of the whole file in the same pass). One thread.
class CRecordWalker {
public:
    using ByteObserver = std::function<void(const uint8_t* bytes, size_t size)>;
    using ProgressObserver = std::function<void(uint64_t position, uint64_t length)>;

    explicit CRecordWalker(kvx::EHeaderLayout layout) : m_layout(layout) {}

    bool Open(const std::string& path);
    const std::string& ErrorText() const { return m_strError; }
    uint64_t Length() const { return m_file.Length(); }

    void SetByteObserver(ByteObserver observer) { m_onBytes = std::move(observer); }
    void SetProgressObserver(ProgressObserver observer) { m_onProgress = std::move(observer); }

    // Walks from `from` (the start of the record area, or a record's header) to the end
    // of the file, or until Stop(). Bytes before `from` are read for the observer only.
    // False when a read failed (ErrorText() says why).
    bool Walk(uint64_t from, IRecordWalkSink& sink);
    // Called from the sink: no record after the current one is read.
    void Stop() { m_bStopped = true; }

private:
    // Makes the `size` bytes at `offset` available from Bytes(offset); returns how many
    // there are (fewer at the end of the file). Offsets never go backwards.
    size_t Ensure(uint64_t offset, size_t size);
    const uint8_t* Bytes(uint64_t offset) const { return m_buffer.data() + (offset - m_nBufferStart); }
    bool Refill(uint64_t offset, size_t size);

    // The record whose valid header is at `offset`; returns where reading goes on.
    uint64_t WalkRecord(uint64_t offset, const CRecordHeader& header, IRecordWalkSink& sink);
    uint64_t WalkPicture(CWalkedRecord& record, IRecordWalkSink& sink);
    size_t TakeUnit(size_t unit, uint64_t at, size_t got);
    uint64_t FinishPictureRecord(CWalkedRecord& record, IRecordWalkSink& sink);
    // A header of the record that follows `header` at `offset`, by its sector number.
    bool IsNextRecordAt(uint64_t offset, uint64_t headerOffset, const CRecordHeader& header) const;
    CRecordHeader ParseAt(uint64_t offset) const;
    void Damage(uint64_t offset, uint64_t end, CDamagedStretch::EWhat what);
    void CloseDamage();

    CReadOnlyFile m_file;
    const kvx::EHeaderLayout m_layout;
    std::string m_strError;
    ByteObserver m_onBytes;
    ProgressObserver m_onProgress;
    IRecordWalkSink* m_pSink = nullptr;

    std::vector<uint8_t> m_buffer;   // file bytes [m_nBufferStart, m_nBufferEnd), as stored
    uint64_t m_nBufferStart = 0;
    uint64_t m_nBufferEnd = 0;
    bool m_bReadFailed = false;
    bool m_bStopped = false;

    std::vector<uint8_t> m_picture;  // the current picture, pair exchange undone
    int m_nAudioMode = kvx::AUDIO_MODE_NONE;
    uint8_t m_byPrevious = 0;        // last byte scanned for the end marker, across units and records
    bool m_bDamageOpen = false;
    CDamagedStretch m_damage;
};

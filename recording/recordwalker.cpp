#include "recording/recordwalker.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace kvx;

namespace {

// Reads of 1 MiB keep the system calls few and the buffer in the cache.
constexpr size_t READ_CHUNK = 1 << 20;
constexpr size_t MAX_UNITS = MAX_PICTURE_SIZE / PICTURE_UNIT_SIZE;
constexpr size_t NOT_FOUND = SIZE_MAX;

} // namespace

const char* DamageText(CDamagedStretch::EWhat what)
{
    switch (what) {
    case CDamagedStretch::EWhat::NoHeader:
        return "no record header";
    case CDamagedStretch::EWhat::InvalidDate:
        return "header with an invalid date";
    case CDamagedStretch::EWhat::Oversize:
        return "picture over 8 units";
    case CDamagedStretch::EWhat::CutOff:
        return "picture cut off";
    }
    return "";
}

bool CRecordWalker::Open(const std::string& path)
{
    if (!m_file.Open(path)) {
        m_strError = m_file.ErrorText();
        return false;
    }
    return true;
}

bool CRecordWalker::Walk(uint64_t from, IRecordWalkSink& sink)
{
    m_pSink = &sink;
    m_bReadFailed = m_bStopped = m_bDamageOpen = false;
    m_nAudioMode = AUDIO_MODE_NONE;
    m_byPrevious = 0;
    m_buffer.clear();
    m_nBufferStart = m_nBufferEnd = m_onBytes ? 0 : from / BLOCK_SIZE * BLOCK_SIZE;
    m_file.Seek(m_nBufferEnd);

    uint64_t pos = from / BLOCK_SIZE * BLOCK_SIZE;
    while (!m_bStopped) {
        const size_t got = Ensure(pos, BLOCK_SIZE);
        if (got < BLOCK_SIZE) {
            if (got > 0)
                Damage(pos, pos + got, CDamagedStretch::EWhat::NoHeader);
            break;
        }
        const CRecordHeader header = ParseAt(pos);
        if (!header.IsCandidate()) {
            Damage(pos, pos + BLOCK_SIZE, CDamagedStretch::EWhat::NoHeader);
            pos += BLOCK_SIZE;
            continue;
        }
        // The engine takes the audio mode from every candidate, whatever its date.
        m_nAudioMode = NextAudioMode(m_nAudioMode, header);
        if (!header.IsDateValid()) {
            CloseDamage();
            Damage(pos, pos + BLOCK_SIZE, CDamagedStretch::EWhat::InvalidDate);
            pos += BLOCK_SIZE;
            continue;
        }
        CloseDamage();
        pos = WalkRecord(pos, header, sink);
    }
    CloseDamage();
    // A stopped walk still reads to the end when its bytes are observed.
    if (m_onBytes && !m_bReadFailed)
        Ensure(Length(), 0);
    m_pSink = nullptr;
    if (m_bReadFailed)
        m_strError = m_file.ErrorText().empty() ? "the file could not be read" : m_file.ErrorText();
    return !m_bReadFailed;
}

uint64_t CRecordWalker::WalkRecord(uint64_t offset, const CRecordHeader& header, IRecordWalkSink& sink)
{
    CWalkedRecord record;
    record.m_nOffset = offset;
    record.m_header = header;
    record.m_nAudioMode = m_nAudioMode;
    if (m_nAudioMode == AUDIO_MODE_ONLY) {
        const uint64_t audio = offset + BLOCK_SIZE;
        if (Ensure(audio, AUDIO_BLOCK_SIZE) < AUDIO_BLOCK_SIZE) {
            Damage(offset, m_nBufferEnd, CDamagedStretch::EWhat::CutOff);
            return m_nBufferEnd;
        }
        record.m_nEnd = audio + AUDIO_BLOCK_SIZE;
        record.m_bAudioBlock = true;
        sink.OnRecord(record);
        return record.m_nEnd;
    }
    return WalkPicture(record, sink);
}

uint64_t CRecordWalker::WalkPicture(CWalkedRecord& record, IRecordWalkSink& sink)
{
    const uint64_t start = record.m_nOffset + BLOCK_SIZE;
    m_picture.resize(MAX_PICTURE_SIZE);
    for (size_t unit = 0; unit <= MAX_UNITS; ++unit) {
        const uint64_t at = start + unit * PICTURE_UNIT_SIZE;
        const size_t got = Ensure(at, PICTURE_UNIT_SIZE);
        // The engine drops the record without looking into a 9th unit.
        const size_t end = unit < MAX_UNITS ? TakeUnit(unit, at, got) : NOT_FOUND;
        for (size_t block = 0; block < std::min(got, end); block += BLOCK_SIZE) {
            if (IsNextRecordAt(at + block, record.m_nOffset, record.m_header)) {
                Damage(record.m_nOffset, at + block,
                       unit < MAX_UNITS ? CDamagedStretch::EWhat::CutOff : CDamagedStretch::EWhat::Oversize);
                return at + block;
            }
        }
        if (end != NOT_FOUND) {
            record.m_pPicture = m_picture.data();
            record.m_nPictureLength = uint32_t((unit + 1) * PICTURE_UNIT_SIZE);
            record.m_nEnd = at + got;
            return FinishPictureRecord(record, sink);
        }
        if (got < PICTURE_UNIT_SIZE) {
            Damage(record.m_nOffset, at + got, CDamagedStretch::EWhat::CutOff);
            return at + got;
        }
    }
    const uint64_t end = start + (MAX_UNITS + 1) * PICTURE_UNIT_SIZE;
    Damage(record.m_nOffset, end, CDamagedStretch::EWhat::Oversize);
    return end;
}

// Copies unit `unit` (its `got` bytes at `at`) into the picture with the pair exchange
// undone, and looks for the end marker in it: the byte after it, or NOT_FOUND.
size_t CRecordWalker::TakeUnit(size_t unit, uint64_t at, size_t got)
{
    uint8_t* unitBytes = m_picture.data() + unit * PICTURE_UNIT_SIZE;
    std::memcpy(unitBytes, Bytes(at), got);
    std::memset(unitBytes + got, 0, PICTURE_UNIT_SIZE - got);
    SwapBytePairs(unitBytes, (got + 1) & ~size_t(1));
    for (size_t i = 0; i < got; ++i) {
        const bool end = m_byPrevious == 0xFF && unitBytes[i] == 0xD9;
        m_byPrevious = unitBytes[i];
        if (end)
            return i + 1;
    }
    return NOT_FOUND;
}

uint64_t CRecordWalker::FinishPictureRecord(CWalkedRecord& record, IRecordWalkSink& sink)
{
    if (m_nAudioMode == AUDIO_MODE_WITH_PICTURE) {
        if (Ensure(record.m_nEnd, AUDIO_BLOCK_SIZE) < AUDIO_BLOCK_SIZE) {
            Damage(record.m_nOffset, m_nBufferEnd, CDamagedStretch::EWhat::CutOff);
            return m_nBufferEnd;
        }
        record.m_nEnd += AUDIO_BLOCK_SIZE;
        record.m_bAudioBlock = true;
    }
    sink.OnRecord(record);
    return record.m_nEnd;
}

bool CRecordWalker::IsNextRecordAt(uint64_t offset, uint64_t headerOffset, const CRecordHeader& header) const
{
    if (offset + BLOCK_SIZE > m_nBufferEnd || !IsStoredCandidate(Bytes(offset)))
        return false;
    const CRecordHeader next = ParseAt(offset);
    return next.IsCandidate() && next.IsDateValid()
        && next.m_nSector - header.m_nSector == (offset - headerOffset) / BLOCK_SIZE;
}

CRecordHeader CRecordWalker::ParseAt(uint64_t offset) const
{
    std::array<uint8_t, BLOCK_SIZE> block;
    std::memcpy(block.data(), Bytes(offset), BLOCK_SIZE);
    SwapBytePairs(block.data(), BLOCK_SIZE);
    return CRecordHeader::Parse(block.data(), m_layout);
}

// A stretch of one kind grows block by block; another kind, or a record, ends it.
void CRecordWalker::Damage(uint64_t offset, uint64_t end, CDamagedStretch::EWhat what)
{
    const bool extends = m_bDamageOpen && m_damage.m_nOffset + m_damage.m_nBytes == offset
                      && (m_damage.m_what == what || what == CDamagedStretch::EWhat::NoHeader);
    if (!extends) {
        CloseDamage();
        m_damage = {offset, 0, what};
        m_bDamageOpen = true;
    }
    m_damage.m_nBytes = end - m_damage.m_nOffset;
    // A record's own damage is complete as it stands.
    if (what == CDamagedStretch::EWhat::CutOff || what == CDamagedStretch::EWhat::Oversize)
        CloseDamage();
}

void CRecordWalker::CloseDamage()
{
    if (!m_bDamageOpen)
        return;
    m_bDamageOpen = false;
    if (m_damage.m_nBytes > 0)
        m_pSink->OnDamage(m_damage);
}

size_t CRecordWalker::Ensure(uint64_t offset, size_t size)
{
    if (offset + size > m_nBufferEnd && !m_bReadFailed && !Refill(offset, size))
        m_bReadFailed = m_bStopped = true;
    if (offset >= m_nBufferEnd)
        return 0;
    return size_t(std::min<uint64_t>(size, m_nBufferEnd - offset));
}

bool CRecordWalker::Refill(uint64_t offset, size_t size)
{
    while (m_nBufferEnd < offset + size) {
        const uint64_t keepFrom = std::min(offset, m_nBufferEnd);
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + ptrdiff_t(keepFrom - m_nBufferStart));
        m_nBufferStart = keepFrom;
        const size_t kept = m_buffer.size();
        const size_t wanted = std::max<size_t>(READ_CHUNK, size_t(offset + size - m_nBufferEnd));
        m_buffer.resize(kept + wanted);
        const int64_t got = m_file.Read(m_buffer.data() + kept, wanted);
        if (got < 0)
            return false;
        m_buffer.resize(kept + size_t(got));
        if (got > 0 && m_onBytes)
            m_onBytes(m_buffer.data() + kept, size_t(got));
        m_nBufferEnd += uint64_t(got);
        if (m_onProgress)
            m_onProgress(m_nBufferEnd, Length());
        if (got == 0)
            break;
    }
    return true;
}

#include "export/avireader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t MAX_RIFFS = 4096;
constexpr uint64_t MAX_NAME = 1 << 16;

uint64_t Padded(uint64_t size)
{
    return size + size % 2;
}

bool IsFrame(uint32_t id)
{
    return id == FCC_00DC || id == FourCC("00db");
}

} // namespace

bool CAviReader::Open(const std::string& path)
{
    m_pData = nullptr;
    if (!m_file.Open(path)) {
        m_strError = m_file.ErrorText();
        return false;
    }
    m_nLength = m_file.Length();
    return ParseAll();
}

bool CAviReader::Parse(const uint8_t* data, size_t size)
{
    m_file.Close();
    m_pData = data;
    m_nLength = data ? size : 0;
    return ParseAll();
}

bool CAviReader::ReadFrame(size_t index, std::vector<uint8_t>& out)
{
    if (index >= m_frames.size())
        return false;
    out.resize(std::min<uint64_t>(m_frames[index].size, m_nLength));
    return out.size() == m_frames[index].size && ReadAt(m_frames[index].offset, out.data(), out.size());
}

bool CAviReader::ParseAll()
{
    Reset();
    uint64_t pos = 0;
    while (pos + LIST_HEADER_SIZE <= m_nLength && m_riffs.size() < MAX_RIFFS) {
        uint32_t head[3];
        if (!ReadAt(pos, head, sizeof head))
            break;
        const uint32_t wanted = m_riffs.empty() ? FCC_AVI : FCC_AVIX;
        if (head[0] != FCC_RIFF || head[2] != wanted) {
            if (m_riffs.empty())
                Fault("This is not an AVI file.");
            break; // what follows the last RIFF is not read
        }
        m_riffs.push_back(SRiff{head[2], pos, head[1]});
        uint64_t end = pos + CHUNK_HEADER_SIZE + head[1];
        if (end > m_nLength) {
            Fault("The file ends inside a RIFF.");
            end = m_nLength;
        }
        WalkChunks(pos + LIST_HEADER_SIZE, end, [this, first = m_riffs.size() == 1](uint32_t id, uint64_t at,
                                                                                   uint64_t size) {
            if (first)
                ParseAviChunk(id, at, size);
            else if (ListType(id, at, size) == FCC_MOVI)
                ParseMovi(at + 4, size - 4, false);
        });
        pos += CHUNK_HEADER_SIZE + Padded(head[1]);
    }
    if (m_riffs.empty())
        Fault("This is not an AVI file.");
    for (const AVISUPERINDEXENTRY& entry : m_superIndex)
        ReadStandardIndex(entry);
    return m_strError.empty();
}

void CAviReader::Reset()
{
    m_strError.clear();
    m_riffs.clear();
    m_bHasAvih = m_bHasStrh = m_bHasStrf = m_bHasStrn = m_bHasIdx1 = m_bHasDmlh = m_bHasIndx = false;
    m_avih = AVIMAINHEADER{};
    m_nStreams = 0;
    m_strh = AVISTREAMHEADER{};
    m_strf = BITMAPINFOHEADER{};
    m_strName.clear();
    m_nMoviPos = 0;
    m_idx1.clear();
    m_dwDmlhFrames = 0;
    m_superIndex.clear();
    m_stdIndex.clear();
    m_frames.clear();
}

void CAviReader::ParseAviChunk(uint32_t id, uint64_t pos, uint64_t size)
{
    switch (ListType(id, pos, size)) {
    case FCC_HDRL:
        ParseHeaderList(pos + 4, size - 4);
        return;
    case FCC_MOVI:
        if (m_nMoviPos == 0) {
            m_nMoviPos = pos;
            ParseMovi(pos + 4, size - 4, false);
        }
        return;
    default:
        if (id == FCC_IDX1 && !m_bHasIdx1)
            ParseIdx1(pos, size);
    }
}

void CAviReader::ParseHeaderList(uint64_t pos, uint64_t size)
{
    WalkChunks(pos, pos + size, [this](uint32_t id, uint64_t at, uint64_t chunkSize) {
        if (id == FCC_AVIH && chunkSize >= sizeof m_avih && !m_bHasAvih) {
            m_bHasAvih = ReadAt(at, &m_avih, sizeof m_avih);
            return;
        }
        const uint32_t type = ListType(id, at, chunkSize);
        if (type == FCC_STRL && m_nStreams++ == 0)
            ParseStreamList(at + 4, chunkSize - 4);
        if (type != FCC_ODML)
            return;
        WalkChunks(at + 4, at + chunkSize, [this](uint32_t inner, uint64_t dmlh, uint64_t dmlhSize) {
            if (inner == FCC_DMLH && dmlhSize >= 4 && !m_bHasDmlh)
                m_bHasDmlh = ReadAt(dmlh, &m_dwDmlhFrames, 4);
        });
    });
}

void CAviReader::ParseStreamList(uint64_t pos, uint64_t size)
{
    // Older writers leave out the frame rectangle at the end of strh.
    constexpr uint64_t STRH_MIN = sizeof m_strh - sizeof m_strh.rcFrame;
    WalkChunks(pos, pos + size, [this](uint32_t id, uint64_t at, uint64_t chunkSize) {
        if (id == FCC_STRH && chunkSize >= STRH_MIN && !m_bHasStrh) {
            m_bHasStrh = ReadAt(at, &m_strh, std::min<uint64_t>(chunkSize, sizeof m_strh));
        } else if (id == FCC_STRF && chunkSize >= sizeof m_strf && !m_bHasStrf) {
            m_bHasStrf = ReadAt(at, &m_strf, sizeof m_strf);
        } else if (id == FCC_STRN && !m_bHasStrn) {
            std::string name(std::min(chunkSize, MAX_NAME), '\0');
            m_bHasStrn = ReadAt(at, name.data(), name.size());
            m_strName = name.substr(0, name.find('\0'));
        } else if (id == FCC_INDX && !m_bHasIndx) {
            ParseSuperIndex(at, chunkSize);
        }
    });
}

void CAviReader::ParseSuperIndex(uint64_t pos, uint64_t size)
{
    AVIINDEXHEADER header;
    if (size < sizeof header || !ReadAt(pos, &header, sizeof header))
        return Fault("The super index is cut short.");
    if (header.wLongsPerEntry != sizeof(AVISUPERINDEXENTRY) / 4 || header.bIndexType != AVI_INDEX_OF_INDEXES)
        return Fault("The super index is of an unknown kind.");
    m_bHasIndx = true;
    const uint64_t room = (size - sizeof header) / sizeof(AVISUPERINDEXENTRY);
    if (header.nEntriesInUse > room)
        Fault("The super index claims more entries than it holds.");
    ReadEntries(pos + sizeof header, std::min<uint64_t>(header.nEntriesInUse, room), m_superIndex);
}

// The frames of a movi list, and of its 'rec ' lists, which hold frames only.
void CAviReader::ParseMovi(uint64_t pos, uint64_t size, bool inRecord)
{
    WalkChunks(pos, pos + size, [this, inRecord](uint32_t id, uint64_t at, uint64_t chunkSize) {
        if (IsFrame(id)) {
            if (m_frames.size() < MAX_ENTRIES)
                m_frames.push_back(SFrame{at, uint32_t(chunkSize)});
            else
                Fault("Too many frames.");
        } else if (!inRecord && ListType(id, at, chunkSize) == FCC_REC) {
            ParseMovi(at + 4, chunkSize - 4, true);
        }
    });
}

void CAviReader::ParseIdx1(uint64_t pos, uint64_t size)
{
    m_bHasIdx1 = true;
    if (size % sizeof(AVIOLDINDEXENTRY))
        Fault("idx1 holds a part of an entry.");
    ReadEntries(pos, size / sizeof(AVIOLDINDEXENTRY), m_idx1);
}

void CAviReader::ReadStandardIndex(const AVISUPERINDEXENTRY& entry)
{
    uint32_t head[2];
    AVIINDEXHEADER header;
    if (entry.dwSize < sizeof head + sizeof header || !ReadAt(entry.qwOffset, head, sizeof head) ||
        !ReadAt(entry.qwOffset + sizeof head, &header, sizeof header))
        return Fault("A super index entry points outside the file.");
    if (head[0] != FCC_IX00 || header.wLongsPerEntry != sizeof(AVISTDINDEXENTRY) / 4 ||
        header.bIndexType != AVI_INDEX_OF_CHUNKS || uint64_t(head[1]) + sizeof head != entry.dwSize)
        return Fault("A super index entry points at no standard index.");
    const uint64_t room = (head[1] - sizeof header) / sizeof(AVISTDINDEXENTRY);
    if (header.nEntriesInUse > room || header.nEntriesInUse != entry.dwDuration)
        Fault("A standard index does not hold the entries it claims.");
    // Each entry stands for a frame of at least a chunk header: no more of them fit.
    const uint64_t limit = std::min<uint64_t>(MAX_ENTRIES, m_nLength / CHUNK_HEADER_SIZE);
    std::vector<AVISTDINDEXENTRY> entries;
    const uint64_t count = std::min<uint64_t>(header.nEntriesInUse, room);
    if (count > limit - std::min<uint64_t>(m_stdIndex.size(), limit) ||
        !ReadEntries(entry.qwOffset + sizeof head + sizeof header, count, entries))
        return Fault("A standard index cannot be read.");
    const uint64_t base = header.dwReserved[0] | uint64_t(header.dwReserved[1]) << 32;
    for (const AVISTDINDEXENTRY& e : entries)
        m_stdIndex.push_back(SStdIndexEntry{base + e.dwOffset, e.dwSize & ~AVISTDINDEX_DELTAFRAME,
                                            !(e.dwSize & AVISTDINDEX_DELTAFRAME)});
}

// The type of a list chunk, 0 for other chunks.
uint32_t CAviReader::ListType(uint32_t id, uint64_t pos, uint64_t size)
{
    uint32_t type = 0;
    if (id != FCC_LIST || size < 4 || !ReadAt(pos, &type, sizeof type))
        return 0;
    return type;
}

// Calls visit(id, data position, data size) for each chunk in [begin, end). A chunk
// that claims more than its list holds is cut at the list's end.
template <class Visit> void CAviReader::WalkChunks(uint64_t begin, uint64_t end, Visit visit)
{
    uint64_t pos = begin;
    while (pos + CHUNK_HEADER_SIZE <= end) {
        uint32_t head[2];
        if (!ReadAt(pos, head, sizeof head))
            return;
        const uint64_t data = pos + CHUNK_HEADER_SIZE;
        uint64_t size = head[1];
        if (size > end - data) {
            Fault("A chunk runs past the end of its list.");
            size = end - data;
        }
        visit(head[0], data, size);
        pos = data + Padded(size);
    }
}

template <class T> bool CAviReader::ReadEntries(uint64_t pos, uint64_t count, std::vector<T>& out)
{
    if (count > MAX_ENTRIES || count * sizeof(T) > m_nLength) {
        Fault("An index is larger than the file.");
        return false;
    }
    const size_t first = out.size();
    out.resize(first + count);
    if (ReadAt(pos, out.data() + first, count * sizeof(T)))
        return true;
    out.resize(first);
    Fault("An index runs past the end of the file.");
    return false;
}

bool CAviReader::ReadAt(uint64_t offset, void* buffer, uint64_t size)
{
    if (offset > m_nLength || size > m_nLength - offset)
        return false;
    if (m_pData) {
        if (size) // an empty frame reads into a vector that has no storage yet
            std::memcpy(buffer, m_pData + offset, size);
        return true;
    }
    return m_file.Seek(offset) && m_file.Read(buffer, size) == int64_t(size);
}

// Keeps the first fault: later ones are mostly its consequences.
void CAviReader::Fault(const std::string& what)
{
    if (m_strError.empty())
        m_strError = what;
}

#include "recording/recordingprobe.h"

#include "platform/readonlyfile.h"
#include "recording/recordheader.h"

#include <cstring>
#include <filesystem>

using namespace kvx;

namespace {

// The first record is searched for in this many blocks after the reserved area.
constexpr int FIRST_RECORD_SEARCH_BLOCKS = 128;

// Backward-scan states: looking for the end of a picture, then for its start, then
// for the header in front of it.
enum class EScanState { SeekEndOfImage, SeekStartOfImage, SeekHeader };

// Looks at the byte pairs at even offsets only, as the recorder writes 16-bit words:
// a marker split across a pair boundary is not seen. Jumps from 0xFF to 0xFF, so that
// the blocks of a long run of zeros (a damaged disc's image) cost next to nothing.
EScanState ScanForMarkers(const uint8_t* block, EScanState state)
{
    const uint8_t* const end = block + BLOCK_SIZE;
    for (const uint8_t* p = block; (p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, size_t(end - p))));) {
        const size_t i = size_t(p - block);
        p += 1;
        if (i % 2 != 0)
            continue;
        if (state == EScanState::SeekEndOfImage && block[i + 1] == 0xD9)
            state = EScanState::SeekStartOfImage;
        else if (state == EScanState::SeekStartOfImage && block[i + 1] == 0xD8)
            return EScanState::SeekHeader;
    }
    return state;
}

} // namespace

std::string UnknownCdMessage(const std::string& path, const std::string& what)
{
    return std::string(PROBE_UNKNOWN_CD) + "\n" + std::filesystem::path(path).filename().string() + " " + what;
}

bool CRecordingProbe::ProbeRecording(const std::string& path)
{
    CReadOnlyFile file;
    if (!file.Open(path)) {
        m_view.ShowProbeMessage("Can not open KVX file.\n" + path + "\n" + file.ErrorText());
        return false;
    }
    m_facts.m_nFileLength = file.Length();
    if (!FindFirstRecord(file)) {
        // Unreadable blocks read as zeros, and zeros are no header: say which it was.
        m_view.ShowProbeMessage(UnknownCdMessage(path, m_strReadError.empty() ? std::string(PROBE_NO_FIRST_HEADER)
                                                                             : std::string(PROBE_UNREADABLE_START)
                                                                                   + " (" + m_strReadError + ")"));
        return false;
    }
    if (!FindLastRecord(file)) {
        m_view.ShowProbeMessage(UnknownCdMessage(path, PROBE_NO_LATER_RECORD));
        return false;
    }
    return true;
}

void CRecordingProbe::ReadBlock(CReadOnlyFile& file, uint64_t position)
{
    // A read error counts as unreadable bytes: the scans go on regardless.
    if (!file.Seek(position) || file.ReadPadded(m_block, BLOCK_SIZE) < 0) {
        std::memset(m_block, 0, BLOCK_SIZE);
        if (m_strReadError.empty())
            m_strReadError = file.ErrorText();
    }
    SwapBytePairs(m_block, BLOCK_SIZE);
}

bool CRecordingProbe::FindFirstRecord(CReadOnlyFile& file)
{
    for (int n = 0; n < FIRST_RECORD_SEARCH_BLOCKS; ++n) {
        ReadBlock(file, RECORD_AREA_OFFSET + uint64_t(n) * BLOCK_SIZE);
        if (!IsPictureHeader(m_block))
            continue;
        if (m_block[HDR_KIND] == KIND_PICTURE_16CH) {
            m_facts.m_nChannelCount = 16;
            m_facts.m_bAudio = false;
        } else {
            m_facts.m_nChannelCount = 4;
            m_facts.m_bAudio = m_block[HDR_AUDIO_SIG1] == 0xFF && m_block[HDR_AUDIO_SIG2] == 4;
        }
        m_view.EnableAudioControls(m_facts.m_bAudio);
        ReadBoundaryHeader(EBoundary::First, m_block);
        return true;
    }
    return false;
}

// Walks back from the end of the file: an end-of-image marker, then the start of that
// picture, then the header in front of it. Headers not later than the first record
// (clock set back, wrapped recording) are passed over. The walk ends at the record
// area: a file without a later record than its first is not a recording we can play.
bool CRecordingProbe::FindLastRecord(CReadOnlyFile& file)
{
    const uint64_t length = file.Length();
    if (length <= RECORD_AREA_OFFSET)
        return false;
    // Records sit on 512-byte boundaries; a truncated file still has them there, so
    // start at the boundary of the last (possibly partial) block.
    EScanState state = EScanState::SeekEndOfImage;
    for (uint64_t pos = (length - 1) / BLOCK_SIZE * BLOCK_SIZE; pos >= RECORD_AREA_OFFSET; pos -= BLOCK_SIZE) {
        ReadBlock(file, pos);
        if (state != EScanState::SeekHeader) {
            state = ScanForMarkers(m_block, state);
            continue;
        }
        // Only a header can be the last record: a stray block must not end the walk
        // with a date left over from an earlier header or an earlier recording.
        if (!IsPictureHeader(m_block))
            continue;
        ReadBoundaryHeader(EBoundary::Last, m_block);
        if (DateTimeToOrderKey(m_facts.m_timeStart) < DateTimeToOrderKey(m_facts.m_timeEnd)) {
            m_facts.m_nEndOffset = pos - 2 * BLOCK_SIZE;
            return true;
        }
    }
    return false;
}

void CRecordingProbe::ReadBoundaryHeader(EBoundary which, const uint8_t* header)
{
    const EHeaderLayout layout = header[HDR_KIND] == KIND_PICTURE_16CH ? EHeaderLayout::B : EHeaderLayout::A;
    const CRecordHeader parsed = CRecordHeader::Parse(header, layout);
    if (which == EBoundary::First) {
        m_facts.m_layout = layout;
        m_facts.m_timeStart = parsed.Time();
        m_facts.m_nFirstSector = parsed.m_nSector;
        return;
    }
    m_facts.m_timeEnd = parsed.Time();
    m_facts.m_nSectorSpan = parsed.m_nSector - m_facts.m_nFirstSector;
    if (!m_facts.m_timeEnd.IsValid())
        m_view.DisableEndButton();
}

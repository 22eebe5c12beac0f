#include "recording/recordheader.h"

using namespace kvx;

CRecordHeader CRecordHeader::Parse(const uint8_t* block, EHeaderLayout layout)
{
    CRecordHeader h;
    h.m_byMark = block[0];
    h.m_byKind = block[HDR_KIND];
    h.m_nPrevSector = ReadSectorNumber(block + HDR_PREV_SECTOR);
    h.m_nSector = ReadSectorNumber(block + HDR_SECTOR);
    h.m_byGroupLength = block[HDR_GROUP_LENGTH];
    const uint8_t* date = block + (layout == EHeaderLayout::A ? HDR_DATE_LAYOUT_A : HDR_DATE_LAYOUT_B);
    h.m_wYear = static_cast<uint16_t>(date[0] + YEAR_BASE);
    h.m_byMonth = date[1];
    h.m_byDay = date[2];
    h.m_byHour = date[3];
    h.m_byMinute = date[4];
    h.m_bySecond = date[5];
    h.m_bAudioSignature = block[HDR_AUDIO_SIG1] == 0xFF && block[HDR_AUDIO_SIG2] == 4;
    h.m_bAudioFlag = block[HDR_AUDIO_FLAG] == 1;
    return h;
}

namespace {

bool IsCandidateKind(uint8_t mark, uint8_t kind)
{
    return mark == HEADER_MARK && (kind == KIND_PICTURE_16CH || kind == KIND_PICTURE_4CH || kind == KIND_AUDIO_ONLY);
}

} // namespace

bool CRecordHeader::IsCandidate() const
{
    return IsCandidateKind(m_byMark, m_byKind);
}

bool CRecordHeader::IsDateValid() const
{
    return IsRecordDateValid(m_wYear, m_byMonth, m_byDay, m_byHour, m_byMinute, m_bySecond);
}

CDateTime CRecordHeader::Time() const
{
    return CDateTime(m_wYear, m_byMonth, m_byDay, m_byHour, m_byMinute, m_bySecond);
}

bool IsPictureHeader(const uint8_t* block)
{
    return block[0] == HEADER_MARK && (block[HDR_KIND] == KIND_PICTURE_16CH || block[HDR_KIND] == KIND_PICTURE_4CH);
}

int NextAudioMode(int mode, const CRecordHeader& header)
{
    if (header.m_byKind == KIND_PICTURE_4CH) {
        if (!header.m_bAudioSignature)
            return AUDIO_MODE_NONE;
        return header.m_bAudioFlag ? AUDIO_MODE_WITH_PICTURE : mode;
    }
    if (header.m_byKind == KIND_AUDIO_ONLY)
        return header.m_bAudioFlag ? AUDIO_MODE_ONLY : mode;
    return mode;
}

bool IsStoredCandidate(const uint8_t* storedBlock)
{
    return IsCandidateKind(storedBlock[1], storedBlock[0]); // the pair is still exchanged
}

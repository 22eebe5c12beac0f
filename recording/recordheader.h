#pragma once

#include "recording/datetime.h"
#include "recording/recordformat.h"

#include <cstdint>

// The fields of one 512-byte header block (after the pair exchange), read in a given
// date layout. Any block can be parsed; whether it is a record header is a separate
// question (IsCandidate, and a valid date for the playback engine).
struct CRecordHeader {
    uint8_t m_byMark = 0;
    uint8_t m_byKind = 0;
    uint64_t m_nPrevSector = 0;
    uint64_t m_nSector = 0;
    uint8_t m_byGroupLength = 0;
    uint16_t m_wYear = 0; // stored byte + 1996
    uint8_t m_byMonth = 0;
    uint8_t m_byDay = 0;
    uint8_t m_byHour = 0;
    uint8_t m_byMinute = 0;
    uint8_t m_bySecond = 0;
    bool m_bAudioSignature = false; // bytes 198, 199 = 0xFF, 4
    bool m_bAudioFlag = false;      // byte 201 = 1

    static CRecordHeader Parse(const uint8_t* block, kvx::EHeaderLayout layout);

    // Byte 0 is 0xFF and byte 1 one of the three record kinds.
    bool IsCandidate() const;
    bool IsDateValid() const;
    CDateTime Time() const;
};

// Byte 0 is 0xFF and byte 1 is 0xFC or 0x01: a picture record header whatever its date.
bool IsPictureHeader(const uint8_t* block);

// IsCandidate for a block as it is stored, before the pair exchange: lets a search
// pass over blocks that cannot be a header without transforming and parsing each.
bool IsStoredCandidate(const uint8_t* storedBlock);

// The audio mode after entering the record of candidate header `header` in mode `mode`. Only picture records of the
// 4-channel kind and audio-only records change it; the mode then holds for every
// later record until another header changes it, which is why a 16-channel recording
// reads every record after an audio-only one as an audio block.
int NextAudioMode(int mode, const CRecordHeader& header);

#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

// The on-disk layout of the AVI files we write and read back: RIFF chunks, the AVI 1.0
// headers and index, and the OpenDML extensions for files above 1 GiB. Every value is
// little-endian; the structures below are copied to and from the file as they stand,
// so their field names, widths and order are those of the Windows definitions.
static_assert(std::endian::native == std::endian::little, "AVI headers are stored little-endian");

constexpr uint32_t FourCC(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 | uint32_t(uint8_t(code[2])) << 16 |
           uint32_t(uint8_t(code[3])) << 24;
}

constexpr uint32_t FCC_RIFF = FourCC("RIFF");
constexpr uint32_t FCC_LIST = FourCC("LIST");
constexpr uint32_t FCC_JUNK = FourCC("JUNK");
constexpr uint32_t FCC_AVI = FourCC("AVI ");
constexpr uint32_t FCC_AVIX = FourCC("AVIX");   // the RIFF of every OpenDML extension
constexpr uint32_t FCC_HDRL = FourCC("hdrl");
constexpr uint32_t FCC_AVIH = FourCC("avih");
constexpr uint32_t FCC_STRL = FourCC("strl");
constexpr uint32_t FCC_STRH = FourCC("strh");
constexpr uint32_t FCC_STRF = FourCC("strf");
constexpr uint32_t FCC_STRN = FourCC("strn");
constexpr uint32_t FCC_INDX = FourCC("indx");
constexpr uint32_t FCC_ODML = FourCC("odml");
constexpr uint32_t FCC_VPRP = FourCC("vprp");
constexpr uint32_t FCC_DMLH = FourCC("dmlh");
constexpr uint32_t FCC_MOVI = FourCC("movi");
constexpr uint32_t FCC_REC = FourCC("rec ");
constexpr uint32_t FCC_IDX1 = FourCC("idx1");
constexpr uint32_t FCC_IX00 = FourCC("ix00");
constexpr uint32_t FCC_00DC = FourCC("00dc");   // stream 0, compressed video
constexpr uint32_t FCC_VIDS = FourCC("vids");
constexpr uint32_t FCC_MJPG = FourCC("MJPG");

constexpr uint32_t CHUNK_HEADER_SIZE = 8;       // four-character code and size
constexpr uint32_t LIST_HEADER_SIZE = 12;       // and the list's type

// avih dwFlags
constexpr uint32_t AVIF_HASINDEX = 0x10;
constexpr uint32_t AVIF_ISINTERLEAVED = 0x100;
// idx1 dwFlags
constexpr uint32_t AVIIF_KEYFRAME = 0x10;

struct AVIMAINHEADER {
    uint32_t dwMicroSecPerFrame = 0;
    uint32_t dwMaxBytesPerSec = 0;
    uint32_t dwPaddingGranularity = 0;
    uint32_t dwFlags = 0;
    uint32_t dwTotalFrames = 0;         // frames of the first RIFF only when OpenDML
    uint32_t dwInitialFrames = 0;
    uint32_t dwStreams = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
    uint32_t dwReserved[4] = {};
};
static_assert(sizeof(AVIMAINHEADER) == 56 && std::is_standard_layout_v<AVIMAINHEADER>);

// OpenDML's video properties header with one field: where players read the shape
// of the picture as shown (its display aspect), which the pixels' count does not give.
struct VIDEOPROPHEADER {
    uint32_t VideoFormatToken = 0;
    uint32_t VideoStandard = 0;
    uint32_t dwVerticalRefreshRate = 0;
    uint32_t dwHTotalInT = 0;
    uint32_t dwVTotalInLines = 0;
    uint32_t dwFrameAspectRatio = 0;    // numerator in the high word: 0x00040003 for 4:3
    uint32_t dwFrameWidthInPixels = 0;
    uint32_t dwFrameHeightInLines = 0;
    uint32_t nbFieldPerFrame = 1;
    uint32_t CompressedBMHeight = 0;
    uint32_t CompressedBMWidth = 0;
    uint32_t ValidBMHeight = 0;
    uint32_t ValidBMWidth = 0;
    uint32_t ValidBMXOffset = 0;
    uint32_t ValidBMYOffset = 0;
    uint32_t VideoXOffsetInT = 0;
    uint32_t VideoYValidStartLine = 0;
};
static_assert(sizeof(VIDEOPROPHEADER) == 68 && std::is_standard_layout_v<VIDEOPROPHEADER>);

struct AVISTREAMHEADER {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwFlags = 0;
    uint16_t wPriority = 0;
    uint16_t wLanguage = 0;
    uint32_t dwInitialFrames = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;                // dwRate / dwScale frames per second
    uint32_t dwStart = 0;
    uint32_t dwLength = 0;              // frames of the whole stream
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwQuality = 0;
    uint32_t dwSampleSize = 0;
    int16_t rcFrame[4] = {};            // left, top, right, bottom
};
static_assert(sizeof(AVISTREAMHEADER) == 56 && std::is_standard_layout_v<AVISTREAMHEADER>);

struct AVIOLDINDEXENTRY {
    uint32_t dwChunkId = 0;
    uint32_t dwFlags = 0;
    uint32_t dwOffset = 0;              // of the chunk header, from the 'movi' code
    uint32_t dwSize = 0;
};
static_assert(sizeof(AVIOLDINDEXENTRY) == 16);

// OpenDML: the super index in the stream list points at one standard index per RIFF;
// the standard index points at the data of each frame.
constexpr uint8_t AVI_INDEX_OF_INDEXES = 0x00;
constexpr uint8_t AVI_INDEX_OF_CHUNKS = 0x01;
constexpr uint32_t AVISTDINDEX_DELTAFRAME = 0x80000000u; // in dwSize: not a key frame

struct AVIINDEXHEADER {                 // after the chunk header of 'indx' and 'ix00'
    uint16_t wLongsPerEntry = 0;        // 4 for the super index, 2 for a standard one
    uint8_t bIndexSubType = 0;
    uint8_t bIndexType = 0;
    uint32_t nEntriesInUse = 0;
    uint32_t dwChunkId = 0;
    uint32_t dwReserved[3] = {};        // a standard index: qwBaseOffset, then one reserved
};
static_assert(sizeof(AVIINDEXHEADER) == 24);

struct AVISUPERINDEXENTRY {
    uint64_t qwOffset = 0;              // of the 'ix00' chunk header
    uint32_t dwSize = 0;                // of the whole 'ix00' chunk
    uint32_t dwDuration = 0;            // frames it indexes
};
static_assert(sizeof(AVISUPERINDEXENTRY) == 16);

struct AVISTDINDEXENTRY {
    uint32_t dwOffset = 0;              // of the frame's data, from qwBaseOffset
    uint32_t dwSize = 0;                // with AVISTDINDEX_DELTAFRAME
};
static_assert(sizeof(AVISTDINDEXENTRY) == 8);

constexpr uint32_t DMLH_SIZE = 248;     // dwTotalFrames and reserved space

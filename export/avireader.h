#pragma once

#include "export/avilayout.h"
#include "platform/bitmapinfoheader.h"
#include "platform/readonlyfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads back the structure of an AVI file: the headers of its first video stream, the
// idx1 index, the OpenDML header and indexes, and where every frame lies, across the
// 'AVIX' extensions. It checks the files that CAviWriter writes.
//
// It is written for hostile input: every read is bounded by the file and by the list
// it belongs to, lists nest only as deep as the format allows, and no count read from
// the file is trusted beyond the bytes that could hold it.
//
// Owned and used by one thread at a time.
class CAviReader {
public:
    struct SFrame {
        uint64_t offset = 0;            // of the frame's data, after its chunk header
        uint32_t size = 0;
    };
    struct SStdIndexEntry {
        uint64_t offset = 0;            // of the frame's data, as base + offset
        uint32_t size = 0;
        bool key = false;
    };
    struct SRiff {
        uint32_t type = 0;              // 'AVI ' or 'AVIX'
        uint64_t offset = 0;
        uint32_t size = 0;              // as its header declares it
    };

    // Reads the file at `path`. False with ErrorText() when it is no AVI file or part
    // of it is damaged; what could be read is kept either way.
    bool Open(const std::string& path);
    // The same from `size` bytes in memory, which must outlive the reader.
    bool Parse(const uint8_t* data, size_t size);
    // The bytes of frame `index`; false when it lies outside the file.
    bool ReadFrame(size_t index, std::vector<uint8_t>& out);
    const std::string& ErrorText() const { return m_strError; }

    // Entries of any one list or index taken at most.
    static constexpr size_t MAX_ENTRIES = size_t(1) << 24;

    std::vector<SRiff> m_riffs;
    bool m_bHasAvih = false;
    AVIMAINHEADER m_avih;
    int m_nStreams = 0;                 // stream lists in hdrl; the first one is read
    bool m_bHasStrh = false;
    AVISTREAMHEADER m_strh;
    bool m_bHasStrf = false;
    BITMAPINFOHEADER m_strf;
    bool m_bHasStrn = false;
    std::string m_strName;              // up to its terminating zero
    uint64_t m_nMoviPos = 0;            // the first 'movi' code: idx1 offsets count from it
    bool m_bHasIdx1 = false;
    std::vector<AVIOLDINDEXENTRY> m_idx1;
    bool m_bHasDmlh = false;
    uint32_t m_dwDmlhFrames = 0;
    bool m_bHasIndx = false;
    std::vector<AVISUPERINDEXENTRY> m_superIndex;
    std::vector<SStdIndexEntry> m_stdIndex; // every standard index, in super index order
    std::vector<SFrame> m_frames;           // every '00dc' and '00db' chunk of every movi

private:
    bool ParseAll();
    void Reset();
    void ParseAviChunk(uint32_t id, uint64_t pos, uint64_t size);
    void ParseHeaderList(uint64_t pos, uint64_t size);
    void ParseStreamList(uint64_t pos, uint64_t size);
    void ParseSuperIndex(uint64_t pos, uint64_t size);
    void ParseMovi(uint64_t pos, uint64_t size, bool inRecord);
    void ParseIdx1(uint64_t pos, uint64_t size);
    void ReadStandardIndex(const AVISUPERINDEXENTRY& entry);
    uint32_t ListType(uint32_t id, uint64_t pos, uint64_t size);
    template <class Visit> void WalkChunks(uint64_t begin, uint64_t end, Visit visit);
    template <class T> bool ReadEntries(uint64_t pos, uint64_t count, std::vector<T>& out);
    bool ReadAt(uint64_t offset, void* buffer, uint64_t size);
    void Fault(const std::string& what);

    CReadOnlyFile m_file;
    const uint8_t* m_pData = nullptr;   // in place of the file when parsing memory
    uint64_t m_nLength = 0;
    std::string m_strError;
};

#pragma once

#include "recording/datetime.h"
#include "recording/recordformat.h"

#include <cstdint>
#include <string>

class CReadOnlyFile;

// What the probe finds out about a recording. The player keeps one of these for its
// whole life: the start and end times stay from one recording to the next until a
// later probe overwrites them.
struct CRecordingFacts {
    uint8_t m_nChannelCount = 0;              // 16 for a first record of kind 0xFC, 4 for 0x01
    kvx::EHeaderLayout m_layout = kvx::EHeaderLayout::A; // date layout of the first record
    CDateTime m_timeStart;                    // first record
    CDateTime m_timeEnd;                      // last accepted record
    uint64_t m_nFirstSector = 0;
    uint64_t m_nSectorSpan = 0;               // last accepted sector - first sector
    uint64_t m_nEndOffset = 0;               // last accepted header's offset - 1,024: forward play stops here
    uint64_t m_nFileLength = 0;
    bool m_bAudio = false;                    // the first record carries the audio signature
};

// The user-visible effects of a probe. The player view shows them; kvxtool and the
// tests record them.
class IProbeView {
public:
    // A modal message with the application title as caption.
    virtual void ShowProbeMessage(const std::string& text) = 0;
    // The "Audio" caption and the four audio check boxes; enabling also opens the
    // audio outputs that are not open yet.
    virtual void EnableAudioControls(bool enable) = 0;
    // The last record's date-time is not valid: going to the end makes no sense.
    virtual void DisableEndButton() = 0;

protected:
    ~IProbeView() = default;
};

inline constexpr const char* PROBE_UNKNOWN_CD = " Unknown CD ";
// What is wrong with a file that is refused, said after " Unknown CD ".
inline constexpr const char* PROBE_NO_FIRST_HEADER =
    "is not a DVR backup recording (no record header where one must be)";
inline constexpr const char* PROBE_NO_LATER_RECORD = "is not a DVR backup recording (no record dated after its first)";
inline constexpr const char* PROBE_UNREADABLE_START = "could not be read where its first record must be";

// " Unknown CD ", then on a line of its own the file's name and what is wrong:
// "notes.txt is not a DVR backup recording (no record header where one must be)".
std::string UnknownCdMessage(const std::string& path, const std::string& what);

// Finds a recording's channel count, its first and last record and the offset at
// which forward play stops. Reads a few blocks at each end of the file; runs on the
// window thread before the playback thread starts.
class CRecordingProbe {
public:
    CRecordingProbe(CRecordingFacts& facts, IProbeView& view) : m_facts(facts), m_view(view) {}

    // True on success. On failure the view has been shown the reason and nothing
    // may be started; the fields written before the failure keep their new values.
    bool ProbeRecording(const std::string& path);

private:
    enum class EBoundary { First, Last };

    bool FindFirstRecord(CReadOnlyFile& file);
    bool FindLastRecord(CReadOnlyFile& file);
    void ReadBoundaryHeader(EBoundary which, const uint8_t* header);
    // Reads the block at `position` and undoes the pair exchange. Bytes that could not
    // be read (end of file, read error) read as zero, which is never a header.
    void ReadBlock(CReadOnlyFile& file, uint64_t position);

    CRecordingFacts& m_facts;
    IProbeView& m_view;
    uint8_t m_block[kvx::BLOCK_SIZE] = {};
    std::string m_strReadError; // the system's words for the first read that failed
};

#pragma once

#include "export/avilayout.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Writes one Motion-JPEG video stream into an AVI file of our own RIFF code.
//
// The file is a plain AVI 1.0 file (one RIFF 'AVI ' with an idx1 index) until its
// first RIFF reaches 1 GiB; from there it goes on in OpenDML 'AVIX' extensions, each
// indexed by an 'ix00' standard index under the stream's 'indx' super index, so that
// exports of any length play. Space for the super index and the OpenDML header is
// reserved as JUNK when the file is opened, so a short file stays a plain AVI.
//
// An export is evidence and must survive its program: with the first frame that comes
// half a second or more after the last update, the data written so far is flushed to
// the medium and then the header sizes and frame counts are rewritten to cover it, so
// that a file cut off by a kill or a power cut opens and plays up to a second before. A write that fails ends the file cleanly
// with the frames before it.
//
// Every call takes the writer's lock: frames arrive from the playback thread while
// the window thread opens and closes.
class CAviWriter {
public:
    CAviWriter();
    ~CAviWriter(); // closes (finalises) an open file
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // Creates `path` exclusively (an existing file is never truncated or shared) and
    // writes the headers of one Motion-JPEG stream of width x height at `fps` frames
    // per second; the stream's name is the path as given. A file still open is closed
    // first. False with ErrorText() on failure; then nothing is left behind.
    bool Open(const std::string& path, int width, int height, int fps);
    // Appends one JPEG as one frame ('00dc'). False when the write fails (disk full,
    // medium removed): the file is then finalised with the frames before it and
    // closed, ErrorText() says why, and later calls return false without writing.
    // An empty or oversized frame is refused the same way.
    bool WriteFrame(const uint8_t* jpeg, size_t size);
    // Finalises (indexes, sizes, counts) and closes. False when that fails; the file
    // then still holds every frame, readable without its index. Nothing when not open.
    bool Close();

    // The rate the headers declare from their next update on, for an export that
    // learns its camera's rate as it goes. Rates outside 1..60 are ignored.
    void SetFrameRate(int fps);

    bool IsOpen() const;
    uint32_t FrameCount() const;
    std::string Path() const;
    std::string ErrorText() const; // worded for a person, e.g. "No space left on device"

    // A RIFF is ended before it would pass this size. Readers of AVI 1.0 files see
    // only the first one.
    static constexpr uint64_t RIFF_SIZE_LIMIT = uint64_t(1) << 30;
    // The largest frame taken: far above any JPEG of a recorder picture.
    static constexpr size_t MAX_FRAME_SIZE = size_t(64) << 20;
    // OpenDML extensions the super index can point at (about 256 GiB of video).
    static constexpr uint32_t SUPER_INDEX_ENTRIES = 256;

private:
    bool OpenLocked(const std::string& path, int width, int height, int fps);
    bool CloseLocked();
    void BuildHeader();
    void UpdateHeader();
    VIDEOPROPHEADER VideoProperties() const;
    bool WriteHeader();
    bool AppendFrame(const uint8_t* jpeg, size_t size);
    bool StartExtension();
    bool AppendIndexes(bool startExtension);
    bool SyncAndPatch();
    bool Finalise();
    void Fail();
    bool WriteAt(uint64_t offset, struct iovec* parts, int count); // uses `parts` up
    bool SetError(const char* reason);
    void Release();

    mutable std::mutex m_mutex;
    int m_fd = -1;                      // -1 when no file is open
    std::string m_strPath;
    std::string m_strError;

    AVIMAINHEADER m_avih;
    AVISTREAMHEADER m_strh;
    std::vector<uint8_t> m_header;      // bytes 0 .. the first 'movi' code, rewritten in place
    size_t m_nAvihPos = 0;              // offsets in m_header
    size_t m_nStrhPos = 0;
    size_t m_nVprpPos = 0;
    size_t m_nIndxPos = 0;              // 'JUNK' until the first extension, then 'indx'
    size_t m_nOdmlPos = 0;              // 'JUNK' until the first extension, then 'LIST odml'

    uint64_t m_nFileEnd = 0;            // where the next chunk goes
    uint64_t m_nRiffPos = 0;            // the current RIFF
    uint64_t m_nMoviPos = 0;            // its 'LIST movi'
    uint64_t m_nMoviEnd = 0;            // where its movi list ends
    uint32_t m_dwFirstRiffSize = 0;     // sizes of the first RIFF once it is complete
    uint32_t m_dwFirstMoviSize = 0;
    bool m_bOpenDml = false;            // the file has extensions
    bool m_bIndexed = false;            // the first RIFF ends in idx1

    uint32_t m_dwFrames = 0;
    uint32_t m_dwRiffFrames = 0;        // frames of the current RIFF
    uint32_t m_dwMaxFrameSize = 0;
    std::vector<AVIOLDINDEXENTRY> m_idx1;          // the first RIFF's frames
    std::vector<AVISTDINDEXENTRY> m_ix00;          // the current RIFF's frames
    std::vector<AVISUPERINDEXENTRY> m_superIndex;  // one per finished RIFF when OpenDML
    std::chrono::steady_clock::time_point m_tLastSync;
};

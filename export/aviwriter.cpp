#include "export/aviwriter.h"

#include "platform/bitmapinfoheader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How often the header is brought up to date with the frames written: a killed
// export keeps everything but, at most, its last second.
constexpr auto SYNC_INTERVAL = std::chrono::milliseconds(500);
// Index entries reserved when a file opens, in seconds of video, so that an export of
// ordinary length never grows them.
constexpr uint32_t INDEX_RESERVE_SECONDS = 600;

constexpr int MAX_SIDE = 32767;         // the stream's frame rectangle holds 16-bit values
constexpr int MAX_FPS = 1000;
constexpr uint16_t BIT_COUNT = 24;

constexpr uint32_t INDX_DATA_SIZE =
    sizeof(AVIINDEXHEADER) + CAviWriter::SUPER_INDEX_ENTRIES * sizeof(AVISUPERINDEXENTRY);
constexpr uint32_t ODML_DATA_SIZE = 4 + CHUNK_HEADER_SIZE + DMLH_SIZE; // 'odml', then 'dmlh'

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

template <class T> void PutStruct(std::vector<uint8_t>& out, const T& value)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

template <class T> void SetAt(std::vector<uint8_t>& out, size_t pos, const T& value)
{
    std::memcpy(out.data() + pos, &value, sizeof value);
}

// Starts a list and returns the position of its size, for EndList.
size_t BeginList(std::vector<uint8_t>& out, uint32_t id, uint32_t type)
{
    Put32(out, id);
    const size_t sizePos = out.size();
    Put32(out, 0);
    Put32(out, type);
    return sizePos;
}

void EndList(std::vector<uint8_t>& out, size_t sizePos)
{
    SetAt(out, sizePos, uint32_t(out.size() - sizePos - 4));
}

void PutChunkHeader(std::vector<uint8_t>& out, uint32_t id, uint32_t size)
{
    Put32(out, id);
    Put32(out, size);
}

// Reserved space that readers skip until it is needed.
void PutJunk(std::vector<uint8_t>& out, uint32_t size)
{
    PutChunkHeader(out, FCC_JUNK, size);
    out.resize(out.size() + size, 0);
}

// The folder's entry of a new file reaches the medium only when the folder is synced;
// without it a power cut could lose the whole file.
void SyncFolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

iovec Part(const void* data, size_t size)
{
    return iovec{const_cast<void*>(data), size};
}

} // namespace

CAviWriter::CAviWriter() = default;

CAviWriter::~CAviWriter()
{
    Close();
}

bool CAviWriter::Open(const std::string& path, int width, int height, int fps)
{
    std::lock_guard lock(m_mutex);
    CloseLocked();
    return OpenLocked(path, width, height, fps);
}

bool CAviWriter::WriteFrame(const uint8_t* jpeg, size_t size)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    const bool written = jpeg && size > 0 && size <= MAX_FRAME_SIZE
                             ? AppendFrame(jpeg, size)
                             : SetError("The picture is empty or too large for an AVI frame.");
    if (written && (Clock::now() - m_tLastSync < SYNC_INTERVAL || SyncAndPatch()))
        return true;
    Fail();
    return false;
}

bool CAviWriter::Close()
{
    std::lock_guard lock(m_mutex);
    return CloseLocked();
}

bool CAviWriter::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

uint32_t CAviWriter::FrameCount() const
{
    std::lock_guard lock(m_mutex);
    return m_dwFrames;
}

std::string CAviWriter::Path() const
{
    std::lock_guard lock(m_mutex);
    return m_strPath;
}

std::string CAviWriter::ErrorText() const
{
    std::lock_guard lock(m_mutex);
    return m_strError;
}

void CAviWriter::SetFrameRate(int fps)
{
    std::lock_guard lock(m_mutex);
    if (fps < 1 || fps > MAX_FPS)
        return;
    m_avih.dwMicroSecPerFrame = uint32_t((1000000 + fps / 2) / fps);
    m_strh.dwRate = uint32_t(fps);
}

bool CAviWriter::OpenLocked(const std::string& path, int width, int height, int fps)
{
    m_strError.clear();
    m_strPath = path;
    m_dwFrames = 0;
    if (width < 1 || width > MAX_SIDE || height < 1 || height > MAX_SIDE || fps < 1 || fps > MAX_FPS)
        return SetError("An AVI file cannot hold pictures of this size or rate.");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return SetError(std::strerror(errno));
    m_fd = fd;

    m_avih = AVIMAINHEADER{};
    m_avih.dwMicroSecPerFrame = uint32_t((1000000 + fps / 2) / fps);
    m_avih.dwStreams = 1;
    m_avih.dwWidth = uint32_t(width);
    m_avih.dwHeight = uint32_t(height);
    m_strh = AVISTREAMHEADER{};
    m_strh.fccType = FCC_VIDS;
    m_strh.fccHandler = FCC_MJPG;
    m_strh.dwScale = 1;
    m_strh.dwRate = uint32_t(fps);
    m_strh.rcFrame[2] = int16_t(width);
    m_strh.rcFrame[3] = int16_t(height);
    BuildHeader();

    m_nRiffPos = 0;
    m_nMoviPos = m_header.size() - LIST_HEADER_SIZE;
    m_nFileEnd = m_nMoviEnd = m_header.size();
    m_bOpenDml = m_bIndexed = false;
    m_dwRiffFrames = m_dwMaxFrameSize = 0;
    m_idx1.reserve(size_t(fps) * INDEX_RESERVE_SECONDS);
    m_ix00.reserve(size_t(fps) * INDEX_RESERVE_SECONDS);
    m_superIndex.reserve(SUPER_INDEX_ENTRIES);
    if (!WriteHeader()) {
        ::unlink(path.c_str()); // ours: it was created above
        Release();
        return false;
    }
    SyncFolderOf(path);
    m_tLastSync = Clock::now();
    return true;
}

// RIFF 'AVI ' { LIST hdrl { avih, LIST strl { strh, strf, JUNK for indx, strn, vprp },
// JUNK for LIST odml }, LIST movi { ... } }: everything before the first frame.
void CAviWriter::BuildHeader()
{
    std::vector<uint8_t>& out = m_header;
    out.clear();
    BeginList(out, FCC_RIFF, FCC_AVI); // sizes are filled in by UpdateHeader
    const size_t hdrl = BeginList(out, FCC_LIST, FCC_HDRL);
    PutChunkHeader(out, FCC_AVIH, sizeof m_avih);
    m_nAvihPos = out.size();
    PutStruct(out, m_avih);

    const size_t strl = BeginList(out, FCC_LIST, FCC_STRL);
    PutChunkHeader(out, FCC_STRH, sizeof m_strh);
    m_nStrhPos = out.size();
    PutStruct(out, m_strh);
    BITMAPINFOHEADER format;
    format.biSize = sizeof format;
    format.biWidth = int32_t(m_avih.dwWidth);
    format.biHeight = int32_t(m_avih.dwHeight);
    format.biPlanes = 1;
    format.biBitCount = BIT_COUNT;
    format.biCompression = FCC_MJPG;
    PutChunkHeader(out, FCC_STRF, sizeof format);
    PutStruct(out, format);
    m_nIndxPos = out.size();
    PutJunk(out, INDX_DATA_SIZE);
    // The stream is named after the file: its whole path, zero-terminated.
    PutChunkHeader(out, FCC_STRN, uint32_t(m_strPath.size() + 1));
    out.insert(out.end(), m_strPath.begin(), m_strPath.end());
    out.push_back(0);
    if (out.size() % 2)
        out.push_back(0);
    PutChunkHeader(out, FCC_VPRP, sizeof(VIDEOPROPHEADER));
    m_nVprpPos = out.size();
    PutStruct(out, VideoProperties());
    EndList(out, strl);

    m_nOdmlPos = out.size();
    PutJunk(out, ODML_DATA_SIZE);
    EndList(out, hdrl);
    BeginList(out, FCC_LIST, FCC_MOVI);
}

// Every export is shown at 4:3, whatever its pixel count.
VIDEOPROPHEADER CAviWriter::VideoProperties() const
{
    VIDEOPROPHEADER vprp;
    vprp.dwVerticalRefreshRate = m_strh.dwRate;
    vprp.dwHTotalInT = vprp.dwFrameWidthInPixels = vprp.CompressedBMWidth = vprp.ValidBMWidth = m_avih.dwWidth;
    vprp.dwVTotalInLines = vprp.dwFrameHeightInLines = vprp.CompressedBMHeight = vprp.ValidBMHeight =
        m_avih.dwHeight;
    vprp.dwFrameAspectRatio = (4u << 16) | 3u;
    return vprp;
}

// Brings sizes, counts and the OpenDML indexes of the header up to date.
void CAviWriter::UpdateHeader()
{
    const bool inFirstRiff = m_nRiffPos == 0;
    SetAt(m_header, 4, inFirstRiff ? uint32_t(m_nFileEnd - CHUNK_HEADER_SIZE) : m_dwFirstRiffSize);
    const size_t firstMoviPos = m_header.size() - LIST_HEADER_SIZE;
    SetAt(m_header, firstMoviPos + 4,
          inFirstRiff ? uint32_t(m_nMoviEnd - firstMoviPos - CHUNK_HEADER_SIZE) : m_dwFirstMoviSize);

    m_avih.dwFlags = AVIF_ISINTERLEAVED | (m_bIndexed ? AVIF_HASINDEX : 0);
    // Readers of AVI 1.0 see the first RIFF only; its frames are what avih counts.
    m_avih.dwTotalFrames = inFirstRiff ? m_dwFrames : uint32_t(m_idx1.size());
    m_avih.dwSuggestedBufferSize = m_dwMaxFrameSize;
    m_avih.dwMaxBytesPerSec =
        uint32_t(std::min<uint64_t>(uint64_t(m_dwMaxFrameSize) * m_strh.dwRate, UINT32_MAX));
    m_strh.dwLength = m_dwFrames;
    m_strh.dwSuggestedBufferSize = m_dwMaxFrameSize;
    SetAt(m_header, m_nAvihPos, m_avih);
    SetAt(m_header, m_nStrhPos, m_strh);
    SetAt(m_header, m_nVprpPos, VideoProperties());
    if (!m_bOpenDml)
        return;

    SetAt(m_header, m_nIndxPos, FCC_INDX);
    AVIINDEXHEADER indx;
    indx.wLongsPerEntry = sizeof(AVISUPERINDEXENTRY) / 4;
    indx.bIndexType = AVI_INDEX_OF_INDEXES;
    indx.nEntriesInUse = uint32_t(m_superIndex.size());
    indx.dwChunkId = FCC_00DC;
    const size_t indxData = m_nIndxPos + CHUNK_HEADER_SIZE;
    SetAt(m_header, indxData, indx);
    std::memcpy(m_header.data() + indxData + sizeof indx, m_superIndex.data(),
                m_superIndex.size() * sizeof(AVISUPERINDEXENTRY));

    const uint32_t odml[6] = {FCC_LIST, ODML_DATA_SIZE, FCC_ODML, FCC_DMLH, DMLH_SIZE, m_dwFrames};
    SetAt(m_header, m_nOdmlPos, odml);
}

// Writes the header and, inside an extension, the extension's own RIFF and movi heads.
bool CAviWriter::WriteHeader()
{
    iovec header = Part(m_header.data(), m_header.size());
    if (!WriteAt(0, &header, 1))
        return false;
    if (m_nRiffPos == 0)
        return true;
    const uint32_t heads[6] = {FCC_RIFF, uint32_t(m_nFileEnd - m_nRiffPos - CHUNK_HEADER_SIZE), FCC_AVIX,
                               FCC_LIST, uint32_t(m_nMoviEnd - m_nMoviPos - CHUNK_HEADER_SIZE), FCC_MOVI};
    iovec part = Part(heads, sizeof heads);
    return WriteAt(m_nRiffPos, &part, 1);
}

bool CAviWriter::AppendFrame(const uint8_t* jpeg, size_t size)
{
    const uint64_t chunkSize = CHUNK_HEADER_SIZE + size + size % 2;
    // The RIFF as it would end with this frame: its indexes follow the last frame.
    const uint64_t frames = m_dwRiffFrames + 1;
    uint64_t riffEnd = m_nFileEnd + chunkSize + CHUNK_HEADER_SIZE + sizeof(AVIINDEXHEADER) +
                       frames * sizeof(AVISTDINDEXENTRY);
    if (m_nRiffPos == 0)
        riffEnd += CHUNK_HEADER_SIZE + frames * sizeof(AVIOLDINDEXENTRY);
    if (m_dwRiffFrames > 0 && riffEnd - m_nRiffPos > RIFF_SIZE_LIMIT && !StartExtension())
        return false;

    const uint32_t head[2] = {FCC_00DC, uint32_t(size)};
    static const uint8_t pad = 0;
    iovec parts[3] = {Part(head, sizeof head), Part(jpeg, size), Part(&pad, size % 2)};
    if (!WriteAt(m_nFileEnd, parts, 3))
        return false;

    if (m_nRiffPos == 0)
        m_idx1.push_back(AVIOLDINDEXENTRY{FCC_00DC, 0, uint32_t(m_nFileEnd - m_nMoviPos - CHUNK_HEADER_SIZE),
                                          uint32_t(size)});
    m_ix00.push_back(AVISTDINDEXENTRY{uint32_t(m_nFileEnd + CHUNK_HEADER_SIZE - m_nRiffPos), uint32_t(size)});
    m_nFileEnd = m_nMoviEnd = m_nFileEnd + chunkSize;
    ++m_dwFrames;
    ++m_dwRiffFrames;
    m_dwMaxFrameSize = std::max(m_dwMaxFrameSize, uint32_t(size));
    return true;
}

// Ends the current RIFF with its indexes and goes on in a new 'AVIX' extension.
bool CAviWriter::StartExtension()
{
    // Room for the standard indexes of the RIFF ending here and of the new one.
    if (m_superIndex.size() + 2 > SUPER_INDEX_ENTRIES)
        return SetError("The AVI file has reached the largest size it can have.");
    const bool wasOpenDml = m_bOpenDml;
    m_bOpenDml = true;
    const uint64_t riffPos = m_nRiffPos;
    const uint64_t moviPos = m_nMoviPos;
    if (!AppendIndexes(true)) {
        m_bOpenDml = wasOpenDml;
        return false;
    }
    // AppendIndexes has moved on to the new RIFF; the old one is complete.
    const uint32_t riffSize = uint32_t(m_nRiffPos - riffPos - CHUNK_HEADER_SIZE);
    const uint32_t moviSize = uint32_t(m_superIndex.back().qwOffset + m_superIndex.back().dwSize - moviPos -
                                       CHUNK_HEADER_SIZE);
    if (riffPos == 0) {
        m_dwFirstRiffSize = riffSize;
        m_dwFirstMoviSize = moviSize;
    } else {
        const uint32_t sizes[2] = {riffSize, moviSize};
        iovec riff = Part(&sizes[0], 4), movi = Part(&sizes[1], 4);
        if (!WriteAt(riffPos + 4, &riff, 1) || !WriteAt(moviPos + 4, &movi, 1))
            return false;
    }
    return SyncAndPatch();
}

// Ends the current RIFF: its standard index closes its movi when the file is OpenDML,
// and idx1 follows the first RIFF's movi. With `startExtension` the heads of a new
// 'AVIX' RIFF follow, and the writer moves on to it. Everything goes out in one
// write; when it fails nothing has changed but the file's length.
bool CAviWriter::AppendIndexes(bool startExtension)
{
    const bool withIx00 = m_bOpenDml && m_dwRiffFrames > 0;
    const uint32_t ixSize = uint32_t(sizeof(AVIINDEXHEADER) + m_ix00.size() * sizeof(AVISTDINDEXENTRY));
    const uint32_t ixHead[2] = {FCC_IX00, ixSize};
    AVIINDEXHEADER ix;
    ix.wLongsPerEntry = sizeof(AVISTDINDEXENTRY) / 4;
    ix.bIndexType = AVI_INDEX_OF_CHUNKS;
    ix.nEntriesInUse = uint32_t(m_ix00.size());
    ix.dwChunkId = FCC_00DC;
    ix.dwReserved[0] = uint32_t(m_nRiffPos); // qwBaseOffset
    ix.dwReserved[1] = uint32_t(m_nRiffPos >> 32);
    const bool withIdx1 = m_nRiffPos == 0;
    const uint32_t idx1Head[2] = {FCC_IDX1, uint32_t(m_idx1.size() * sizeof(AVIOLDINDEXENTRY))};
    const uint32_t extensionHeads[6] = {FCC_RIFF, 4 + LIST_HEADER_SIZE, FCC_AVIX, FCC_LIST, 4, FCC_MOVI};

    iovec parts[6];
    int count = 0;
    if (withIx00) {
        parts[count++] = Part(ixHead, sizeof ixHead);
        parts[count++] = Part(&ix, sizeof ix);
        parts[count++] = Part(m_ix00.data(), m_ix00.size() * sizeof(AVISTDINDEXENTRY));
    }
    if (withIdx1) {
        parts[count++] = Part(idx1Head, sizeof idx1Head);
        parts[count++] = Part(m_idx1.data(), idx1Head[1]);
    }
    if (startExtension)
        parts[count++] = Part(extensionHeads, sizeof extensionHeads);
    if (!WriteAt(m_nFileEnd, parts, count))
        return false;

    if (withIx00) {
        m_superIndex.push_back(AVISUPERINDEXENTRY{m_nFileEnd, CHUNK_HEADER_SIZE + ixSize, m_dwRiffFrames});
        m_nFileEnd = m_nMoviEnd = m_nFileEnd + CHUNK_HEADER_SIZE + ixSize;
    }
    if (withIdx1) {
        m_nFileEnd += CHUNK_HEADER_SIZE + idx1Head[1];
        m_bIndexed = true;
    }
    if (startExtension) {
        m_nRiffPos = m_nFileEnd;
        m_nMoviPos = m_nRiffPos + LIST_HEADER_SIZE;
        m_nFileEnd = m_nMoviEnd = m_nMoviPos + LIST_HEADER_SIZE;
        m_dwRiffFrames = 0;
        m_ix00.clear();
    }
    return true;
}

// Flushes the frames to the medium, then makes the header describe them: the header
// never claims data that a power cut could still take away.
bool CAviWriter::SyncAndPatch()
{
    if (::fdatasync(m_fd) != 0)
        return SetError(std::strerror(errno));
    UpdateHeader();
    if (!WriteHeader())
        return false;
    m_tLastSync = Clock::now();
    return true;
}

// Ends the file: indexes, sizes and counts, all flushed. When the indexes do not fit
// (the medium is full) the file is cut back to its last frame and ends without them;
// readers then find the frames by walking the movi list.
bool CAviWriter::Finalise()
{
    const uint64_t dataEnd = m_nFileEnd;
    bool ok = AppendIndexes(false);
    if (!ok) {
        if (::ftruncate(m_fd, off_t(dataEnd)) != 0)
            SetError(std::strerror(errno));
        m_nFileEnd = m_nMoviEnd = dataEnd;
    }
    ok = SyncAndPatch() && ok;
    if (::fdatasync(m_fd) != 0)
        ok = SetError(std::strerror(errno));
    return ok;
}

// After a failed write: cuts off what part of it reached the file and closes the file
// with the frames before it.
void CAviWriter::Fail()
{
    if (::ftruncate(m_fd, off_t(m_nFileEnd)) != 0)
        SetError(std::strerror(errno));
    Finalise();
    Release();
}

bool CAviWriter::CloseLocked()
{
    if (m_fd < 0)
        return true;
    bool ok = Finalise();
    if (::close(m_fd) != 0)
        ok = SetError(std::strerror(errno));
    m_fd = -1;
    Release();
    return ok;
}

// Writes every byte of `parts` at `offset`, going on after short writes. `parts` is
// used up.
bool CAviWriter::WriteAt(uint64_t offset, iovec* parts, int count)
{
    while (count > 0) {
        const ssize_t written = ::pwritev(m_fd, parts, count, off_t(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return SetError(std::strerror(written == 0 ? ENOSPC : errno));
        offset += uint64_t(written);
        size_t left = size_t(written);
        for (; count > 0 && left >= parts->iov_len; --count, ++parts)
            left -= parts->iov_len;
        if (count > 0) {
            parts->iov_base = static_cast<uint8_t*>(parts->iov_base) + left;
            parts->iov_len -= left;
        }
    }
    return true;
}

// Keeps the first reason: what failed first is what the user must hear.
bool CAviWriter::SetError(const char* reason)
{
    if (m_strError.empty())
        m_strError = reason;
    return false;
}

void CAviWriter::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    std::vector<AVIOLDINDEXENTRY>().swap(m_idx1);
    std::vector<AVISTDINDEXENTRY>().swap(m_ix00);
    std::vector<AVISUPERINDEXENTRY>().swap(m_superIndex);
}

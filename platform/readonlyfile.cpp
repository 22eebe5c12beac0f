#include "platform/readonlyfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A jump starts with a window that holds one whole record; reading on in the same
// direction doubles it up to the largest.
constexpr size_t MIN_WINDOW = 64 * 1024;
constexpr size_t MAX_WINDOW = 1024 * 1024;

// Only a regular file or a block device (a disc) can hold a recording. Opening a
// pipe waits for a writer, and opening a device can do things to it.
const char* RefusalFor(mode_t mode)
{
    if (S_ISREG(mode) || S_ISBLK(mode))
        return nullptr;
    if (S_ISDIR(mode))
        return "It is a folder, not a file.";
    if (S_ISFIFO(mode))
        return "It is a pipe, not a file.";
    return "It is a device or a socket, not a file.";
}

std::atomic<uint64_t> g_nBytesRead{0};
// Changes with every injection, so that open files look their fault up again.
std::atomic<unsigned> g_nFaultGeneration{0};

struct CInjectedFaults {
    std::mutex m_mutex;
    std::map<std::string, std::pair<uint64_t, bool>> m_byPath;
};

CInjectedFaults& InjectedFaults()
{
    static CInjectedFaults faults;
    return faults;
}

} // namespace

void CReadOnlyFile::InjectReadFault(const std::string& path, uint64_t offset, bool eio)
{
    CInjectedFaults& faults = InjectedFaults();
    const std::lock_guard lock(faults.m_mutex);
    faults.m_byPath[path] = {offset, eio};
    ++g_nFaultGeneration;
}

void CReadOnlyFile::ClearReadFaults()
{
    CInjectedFaults& faults = InjectedFaults();
    const std::lock_guard lock(faults.m_mutex);
    faults.m_byPath.clear();
    ++g_nFaultGeneration;
}

uint64_t CReadOnlyFile::TotalBytesRead()
{
    return g_nBytesRead.load(std::memory_order_relaxed);
}

CReadOnlyFile::~CReadOnlyFile()
{
    Close();
}

bool CReadOnlyFile::Open(const std::string& path)
{
    Close();
    m_strError.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    if (const char* refusal = RefusalFor(st.st_mode)) {
        m_strError = refusal;
        return false;
    }
    // Without waiting, should the name have become a pipe since; what was opened is
    // looked at again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    const char* refusal = ::fstat(fd, &st) != 0 ? std::strerror(errno) : RefusalFor(st.st_mode);
    // lseek rather than st_size: it also gives the length of a block device.
    const off_t end = refusal ? 0 : ::lseek(fd, 0, SEEK_END);
    const int flags = refusal ? 0 : ::fcntl(fd, F_GETFL);
    if (!refusal && (end < 0 || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0))
        refusal = std::strerror(errno);
    if (refusal) {
        m_strError = refusal;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_nLength = static_cast<uint64_t>(end);
    m_strPath = path;
    m_nFaultGeneration = g_nFaultGeneration.load();
    m_fault = FaultFor(path);
    return true;
}

void CReadOnlyFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_nLength = 0;
    m_nPosition = 0;
    m_pWindow.reset();
    m_nWindowCapacity = 0;
    m_nWindowStart = 0;
    m_nWindowBytes = 0;
    m_nFillSize = 0;
    m_fault = {};
    m_strPath.clear();
}

bool CReadOnlyFile::Seek(uint64_t position)
{
    if (m_fd < 0)
        return false;
    m_nPosition = position;
    return true;
}

int64_t CReadOnlyFile::Read(void* buffer, size_t size)
{
    if (m_fd < 0)
        return -1;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        if (!HoldsPosition() && !Fill(m_nPosition, size - done))
            return -1;
        if (!HoldsPosition())
            break; // the end of the file
        const size_t offset = size_t(m_nPosition - m_nWindowStart);
        const size_t n = std::min(size - done, m_nWindowBytes - offset);
        std::memcpy(out + done, m_pWindow.get() + offset, n);
        done += n;
        m_nPosition += n;
    }
    return static_cast<int64_t>(done);
}

int64_t CReadOnlyFile::ReadPadded(void* buffer, size_t size)
{
    const int64_t got = Read(buffer, size);
    if (got >= 0)
        std::memset(static_cast<char*>(buffer) + got, 0, size - static_cast<size_t>(got));
    return got;
}

std::span<const uint8_t> CReadOnlyFile::Ahead()
{
    if (m_fd < 0 || (!HoldsPosition() && !Fill(m_nPosition, 1)) || !HoldsPosition())
        return {};
    const size_t offset = size_t(m_nPosition - m_nWindowStart);
    return {m_pWindow.get() + offset, m_nWindowBytes - offset};
}

bool CReadOnlyFile::HoldsPosition() const
{
    return m_nPosition >= m_nWindowStart && m_nPosition - m_nWindowStart < m_nWindowBytes;
}

// Loads the window so that it holds `position`, unless the file ends before it.
bool CReadOnlyFile::Fill(uint64_t position, size_t wanted)
{
    const bool forwards = m_nWindowBytes && position == m_nWindowStart + m_nWindowBytes;
    const bool backwards = m_nWindowBytes && position < m_nWindowStart && position + wanted >= m_nWindowStart;
    m_nFillSize = forwards || backwards ? std::min(m_nFillSize * 2, MAX_WINDOW) : MIN_WINDOW;
    uint64_t start = position;
    if (backwards)
        start = std::min(position, m_nWindowStart > m_nFillSize ? m_nWindowStart - m_nFillSize : 0);
    int64_t got = ReadWindow(start, m_nFillSize);
    if (got < 0) {
        // An unreadable sector in the read-ahead must not fail a read that never asked
        // for it: only what was asked for is read again, as if there were no window.
        start = position;
        got = ReadWindow(start, std::min(wanted, MAX_WINDOW));
    }
    m_nWindowStart = start;
    m_nWindowBytes = got < 0 ? 0 : size_t(got);
    return got >= 0;
}

CReadOnlyFile::SFault CReadOnlyFile::FaultFor(const std::string& path)
{
    CInjectedFaults& faults = InjectedFaults();
    const std::lock_guard lock(faults.m_mutex);
    const auto it = faults.m_byPath.find(path);
    return it == faults.m_byPath.end() ? SFault{} : SFault{it->second.first, it->second.second};
}

// pread, but an injected fault answers for the bytes from its offset on.
ssize_t CReadOnlyFile::ReadSystem(uint8_t* buffer, size_t size, uint64_t offset)
{
    if (m_nFaultGeneration != g_nFaultGeneration.load(std::memory_order_relaxed)) {
        m_nFaultGeneration = g_nFaultGeneration.load();
        m_fault = FaultFor(m_strPath);
    }
    if (offset >= m_fault.offset) {
        errno = EIO;
        return m_fault.eio ? -1 : 0;
    }
    size = size_t(std::min<uint64_t>(size, m_fault.offset - offset));
    const ssize_t n = ::pread(m_fd, buffer, size, off_t(offset));
    if (n > 0)
        g_nBytesRead.fetch_add(uint64_t(n), std::memory_order_relaxed);
    return n;
}

// Reads [start, start + size) into the window. Returns the bytes read, fewer when
// the file ends first, or -1 on an error.
int64_t CReadOnlyFile::ReadWindow(uint64_t start, size_t size)
{
    // The window grows with the read-ahead: a file read here and there never needs
    // the largest one. What it held is replaced by this read anyway.
    if (m_nWindowCapacity < size) {
        m_pWindow = std::make_unique_for_overwrite<uint8_t[]>(size);
        m_nWindowCapacity = size;
    }
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ReadSystem(m_pWindow.get() + got, size - got, start + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_strError = std::strerror(errno);
            return -1;
        }
        if (n == 0) {
            FoundEnd(start + got);
            break;
        }
        got += size_t(n);
    }
    return int64_t(got);
}

// The file ends at or before `end`, whatever its length was. Where exactly is asked of
// the system; bytes kept from before beyond it are gone.
void CReadOnlyFile::FoundEnd(uint64_t end)
{
    const off_t now = ::lseek(m_fd, 0, SEEK_END);
    m_nLength = now >= 0 ? std::min<uint64_t>(uint64_t(now), end) : end;
}

uint64_t CReadOnlyFile::DataFrom(uint64_t position)
{
    if (m_fd < 0 || position >= m_nLength)
        return position;
    const off_t data = ::lseek(m_fd, static_cast<off_t>(position), SEEK_DATA);
    if (data >= 0)
        return static_cast<uint64_t>(data);
    return errno == ENXIO ? m_nLength : position;
}

#include "platform/readonlyfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CReadOnlyFile::~CReadOnlyFile()
{
    Close();
}

bool CReadOnlyFile::Open(const std::string& path)
{
    Close();
    m_strError.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        m_strError = S_ISDIR(st.st_mode) ? "It is a folder, not a file." : std::strerror(errno);
        ::close(fd);
        return false;
    }
    // lseek rather than st_size: it also gives the length of a block device.
    off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        m_strError = std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_nLength = static_cast<uint64_t>(end);
    return true;
}

void CReadOnlyFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_nLength = 0;
}

bool CReadOnlyFile::Seek(uint64_t position)
{
    return m_fd >= 0 && ::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

int64_t CReadOnlyFile::Read(void* buffer, size_t size)
{
    if (m_fd < 0)
        return -1;
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(m_fd, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
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

uint64_t CReadOnlyFile::DataFrom(uint64_t position)
{
    if (m_fd < 0 || position >= m_nLength)
        return position;
    const off_t data = ::lseek(m_fd, static_cast<off_t>(position), SEEK_DATA);
    if (data >= 0)
        return static_cast<uint64_t>(data);
    return errno == ENXIO ? m_nLength : position;
}

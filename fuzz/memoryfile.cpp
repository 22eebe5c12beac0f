#include "fuzz/memoryfile.h"

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

CMemoryFile::CMemoryFile(const uint8_t* data, size_t size, uint64_t reserved)
{
    m_fd = ::memfd_create("kvx-input", MFD_CLOEXEC);
    // Without a file there is nothing to test: better to stop than to pass in silence.
    if (m_fd < 0 || ::ftruncate(m_fd, off_t(reserved)) != 0)
        std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(m_fd, data + done, size - done, off_t(reserved + done));
        if (n <= 0)
            std::abort();
        done += size_t(n);
    }
    m_strPath = "/proc/self/fd/" + std::to_string(m_fd);
}

CMemoryFile::~CMemoryFile()
{
    ::close(m_fd);
}

#include "platform/outputfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int TEMPORARY_NAMES = 100;

// The same file under any name: one inode of one file system, or one disc device.
bool IsSameFile(const struct stat& a, const struct stat& b)
{
    if (S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode))
        return a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsOneOf(const struct stat& file, const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        struct stat other {};
        if (::stat(path.c_str(), &other) == 0 && IsSameFile(file, other))
            return true;
    }
    return false;
}

} // namespace

COutputFile::~COutputFile()
{
    Close();
}

COutputFile::ECreate COutputFile::Create(const std::string& path, bool replace, const std::vector<std::string>& inputs)
{
    Close();
    m_strError.clear();
    struct stat file {};
    if (::stat(path.c_str(), &file) == 0 && IsOneOf(file, inputs))
        return Refuse(ECreate::IsInput);
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_NOFOLLOW : O_EXCL), 0666);
    // Replacing a link replaces the link: the file it names is none of ours to empty.
    if (m_fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0)
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno == EEXIST)
        return Refuse(ECreate::Exists);
    if (m_fd < 0 || ::fstat(m_fd, &file) != 0) {
        Fail();
        return ECreate::Failed;
    }
    // Emptied only now: what was opened is compared with the inputs once more, so
    // that no name or link swapped in meanwhile can lead to a recording.
    if (IsOneOf(file, inputs)) {
        Close();
        return Refuse(ECreate::IsInput);
    }
    if (S_ISREG(file.st_mode) && ::ftruncate(m_fd, 0) != 0) {
        Fail();
        return ECreate::Failed;
    }
    return ECreate::Created;
}

COutputFile::ECreate COutputFile::WriteNewFile(const std::string& path, std::span<const uint8_t> bytes,
                                               std::string& error)
{
    COutputFile file;
    const ECreate created = file.Create(path, false, {});
    if (created == ECreate::Created && !(file.Write(bytes.data(), bytes.size()) && file.Close())) {
        ::unlink(path.c_str()); // created here a moment ago: nobody else's
        error = file.ErrorText();
        return ECreate::Failed;
    }
    error = file.ErrorText();
    return created;
}

bool COutputFile::ReplaceWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    // A name of this process's own; one left over by another run is passed by.
    const std::string stem = path + "." + std::to_string(::getpid()) + "-";
    for (int n = 0; n < TEMPORARY_NAMES; ++n) {
        const std::string temporary = stem + std::to_string(n) + ".new";
        const ECreate created = WriteNewFile(temporary, bytes, error);
        if (created == ECreate::Failed)
            return false;
        if (created != ECreate::Created)
            continue;
        if (std::rename(temporary.c_str(), path.c_str()) == 0)
            return true;
        error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    error = "Every temporary name beside it is taken.";
    return false;
}

COutputFile::ECreate COutputFile::Refuse(ECreate reason)
{
    m_strError = reason == ECreate::Exists ? "It exists already." : "It is a file being read.";
    return reason;
}

bool COutputFile::Write(const void* data, size_t size)
{
    if (m_fd < 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail();
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool COutputFile::Close()
{
    if (m_fd < 0)
        return m_strError.empty();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    return m_strError.empty();
}

// Keeps the system's reason and lets go of the file. Always false.
bool COutputFile::Fail()
{
    m_strError = std::strerror(errno ? errno : EIO);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

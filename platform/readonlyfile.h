#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened for reading only. Recordings are evidence: nothing in the player
// ever opens one in a mode that could change it. Positions are 64-bit so that
// DVD backups of 4 GiB and more read like any other file.
//
// Owned and used by one thread at a time.
class CReadOnlyFile {
public:
    CReadOnlyFile() = default;
    ~CReadOnlyFile();
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;

    // Opens a regular file or a block device. On failure returns false and leaves
    // the reason, worded for a person, in ErrorText().
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    uint64_t Length() const { return m_nLength; }
    bool Seek(uint64_t position);

    // Reads up to `size` bytes at the current position. Returns the number of bytes
    // read (fewer only at the end of the file), or -1 when the system reports an error.
    int64_t Read(void* buffer, size_t size);

    // As Read, but the bytes of `buffer` that could not be read (end of file) are set
    // to zero, so that no reader ever looks at what a buffer held before.
    int64_t ReadPadded(void* buffer, size_t size);

    // The first offset at or after `position` that holds data: a sparse file's holes
    // are skipped without reading them. `position` itself where the system cannot tell,
    // Length() when only holes follow.
    uint64_t DataFrom(uint64_t position);

    const std::string& ErrorText() const { return m_strError; }

private:
    int m_fd = -1;
    uint64_t m_nLength = 0;
    std::string m_strError;
};

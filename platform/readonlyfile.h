#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <sys/types.h>

// A file opened for reading only. Recordings are evidence: nothing in the player
// ever opens one in a mode that could change it. Positions are 64-bit so that
// DVD backups of 4 GiB and more read like any other file.
//
// Reads go through a read-ahead window: the readers ask for 512-byte blocks, and a
// damaged disc's image can hold gigabytes of blocks without a header, which one
// system call per block would take half a minute to cross. The window grows while
// reading goes on in one direction (forwards, or backwards block by block as the
// probe does) and starts small again after a jump.
//
// The file is read by position (pread), so any descriptor of a regular file will do,
// including one made from memory (memfd_create) and opened through /proc/self/fd.
//
// Owned and used by one thread at a time.
class CReadOnlyFile {
public:
    CReadOnlyFile() = default;
    ~CReadOnlyFile();
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;

    // Opens a regular file or a block device; anything else (a folder, a pipe, a
    // terminal) is refused before it is opened, as opening it could wait forever.
    // On failure returns false and leaves the reason, worded for a person, in ErrorText().
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // The length at opening, or where a read last found the end of the file: a file
    // that shrinks while it is read (a disc ejected, a copy rewritten) ends where a
    // read finds its end, whatever its length was at the start.
    uint64_t Length() const { return m_nLength; }
    bool Seek(uint64_t position);

    // Reads up to `size` bytes at the current position. Returns the number of bytes
    // read (fewer only at the end of the file), or -1 when the system reports an error.
    int64_t Read(void* buffer, size_t size);

    // As Read, but the bytes of `buffer` that could not be read (end of file) are set
    // to zero, so that no reader ever looks at what a buffer held before.
    int64_t ReadPadded(void* buffer, size_t size);

    // The bytes from the current position on that have been read ahead already (read
    // now when there are none), for a reader to look through without copying; the
    // position does not move. Empty at the end of the file, and when reading failed
    // (the next Read reports the error). Valid until the next call.
    std::span<const uint8_t> Ahead();

    // The first offset at or after `position` that holds data: a sparse file's holes
    // are skipped without reading them. `position` itself where the system cannot tell,
    // Length() when only holes follow.
    uint64_t DataFrom(uint64_t position);

    const std::string& ErrorText() const { return m_strError; }

    // A disc that cannot be read, made to order for the tests: from now on every file
    // opened under exactly `path` (already or later) fails to read (EIO) at byte
    // `offset` and beyond, or, with `eio` false, ends there (a read comes back short),
    // until the faults are cleared. Bytes already read ahead stay readable.
    static void InjectReadFault(const std::string& path, uint64_t offset, bool eio);
    static void ClearReadFaults();

    // The bytes that every file has read from the system so far: the tests and
    // benchmarks that check that no reader goes over a file again and again watch it.
    static uint64_t TotalBytesRead();

private:
    struct SFault {
        uint64_t offset = UINT64_MAX;
        bool eio = false;
    };

    static SFault FaultFor(const std::string& path);
    ssize_t ReadSystem(uint8_t* buffer, size_t size, uint64_t offset);
    bool HoldsPosition() const;
    bool Fill(uint64_t position, size_t wanted);
    int64_t ReadWindow(uint64_t start, size_t size);
    void FoundEnd(uint64_t end);

    int m_fd = -1;
    uint64_t m_nLength = 0;
    uint64_t m_nPosition = 0;
    std::unique_ptr<uint8_t[]> m_pWindow; // bytes [m_nWindowStart, m_nWindowStart + m_nWindowBytes)
    uint64_t m_nWindowStart = 0;
    size_t m_nWindowBytes = 0;
    size_t m_nWindowCapacity = 0;         // the size m_pWindow was allocated with
    size_t m_nFillSize = 0;               // what the last fill asked for
    std::string m_strPath;
    SFault m_fault;                       // none unless a test injected one
    unsigned m_nFaultGeneration = 0;      // of the injections m_fault was looked up after
    std::string m_strError;
};

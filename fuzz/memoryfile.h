#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes that the readers open by name as they open a file on disc: a file in memory
// (memfd) reached through /proc/self/fd. Nothing touches the disc, so a fuzz target
// can make thousands of them a second.
//
// `reserved` zero bytes come first: recordings keep their first 64 KiB for the
// recorder, and the fuzzer's bytes are better spent on what the readers look at.
//
// Owned by the thread that made it; the readers open it by name as often as they like.
class CMemoryFile {
public:
    CMemoryFile(const uint8_t* data, size_t size, uint64_t reserved = 0);
    ~CMemoryFile();
    CMemoryFile(const CMemoryFile&) = delete;
    CMemoryFile& operator=(const CMemoryFile&) = delete;

    const std::string& Path() const { return m_strPath; }

private:
    int m_fd = -1;
    std::string m_strPath;
};

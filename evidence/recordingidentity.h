#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Which recording a file is, whatever its name or folder: its size and a SHA-256 of
// its first and last MiB. Cheap to learn from a disc, and a different recording (or
// the same name over other bytes) gets another one. What the user's caches and data
// about a recording are filed under.
struct CRecordingIdentity {
    uint64_t m_nSize = 0;
    std::array<uint8_t, 32> m_hash{};

    // Reads the identity of the recording at `path`; nothing, `error` set, when it cannot be read.
    static std::optional<CRecordingIdentity> Of(const std::string& path, std::string& error);
    // "<size>-<64 hex digits>": the stem of the files kept about it.
    std::string Key() const;
    bool operator==(const CRecordingIdentity&) const = default;
};

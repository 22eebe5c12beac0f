#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A file the program writes (an export, a snapshot, a dump of pictures). Recordings
// are evidence: a name given by mistake, the recording's own or a link to it, must
// never cost one. So an existing file is replaced only when the caller was told to,
// and never when it is one of the files being read, whichever name or link leads to it.
//
// No output goes through a link planted under its name: a new file is created
// exclusively (which a link never satisfies), and a file the program owns is
// replaced by renaming a new one over its name, which replaces a link there and
// leaves what it pointed at alone.
//
// Owned and used by one thread at a time.
class COutputFile {
public:
    enum class ECreate { Created, Exists, IsInput, Failed };

    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates `path` for writing. An existing file (or link) is Exists unless
    // `replace`, in which case it is emptied (a link is replaced by a new file), but
    // only after making sure it is none of `inputs`, the files the caller reads:
    // those give IsInput. Failed leaves the
    // system's reason, worded for a person, in ErrorText().
    ECreate Create(const std::string& path, bool replace, const std::vector<std::string>& inputs);
    // Writes all of `data`; false (reason in ErrorText()) when it could not.
    bool Write(const void* data, size_t size);
    // False when the file could not be completed; the reason is in ErrorText().
    bool Close();
    const std::string& ErrorText() const { return m_strError; }

    // Creates `path` exclusively and writes all of `bytes` into it. A file that could
    // not be completed is removed; the reason is in `error` for every result but
    // Created.
    static ECreate WriteNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);
    // Replaces the program's own file `path` (or creates it) with `bytes` at once: they
    // go into a new file beside it, which is then renamed over it, so an interrupted
    // write never leaves it cut short. False with the reason in `error`.
    static bool ReplaceWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

private:
    ECreate Refuse(ECreate reason);
    bool Fail();

    int m_fd = -1;
    std::string m_strError;
};

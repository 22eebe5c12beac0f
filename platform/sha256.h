#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

struct evp_md_ctx_st;

// A SHA-256 hash computed piece by piece, for the checksums that let anyone confirm a
// copy of a recording or an export with sha256sum. Uses the system's crypto library,
// which takes the processor's SHA instructions where it has them: hashing a whole
// recording then costs a small part of reading it. One thread at a time.
class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void Add(const void* data, size_t size);
    // The hash of everything added, as 64 lower-case hex digits; the hash starts over.
    std::string HexDigest();
    // The crypto library's version as loaded, for the About box.
    static std::string LibraryVersion();

private:
    struct CFreeContext {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, CFreeContext> m_context;
};

// The hash of a whole file, read from its start; nothing when it cannot be read, or
// when `cancel` is set before the read ends.
std::optional<std::string> Sha256OfFile(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// "HASH  NAME\n": one line of what sha256sum prints and `sha256sum -c` checks.
std::string Sha256SumLine(const std::string& hexDigest, const std::string& fileName);

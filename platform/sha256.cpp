#include "platform/sha256.h"

#include "platform/readonlyfile.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <vector>

void CSha256::CFreeContext::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

CSha256::CSha256() : m_context(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
}

CSha256::~CSha256() = default;

void CSha256::Add(const void* data, size_t size)
{
    EVP_DigestUpdate(m_context.get(), data, size);
}

std::string CSha256::HexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context.get(), digest, &length);
    EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

std::string Sha256SumLine(const std::string& hexDigest, const std::string& fileName)
{
    return hexDigest + "  " + fileName + "\n";
}

std::optional<std::string> Sha256OfFile(const std::string& path, const std::atomic<bool>* cancel)
{
    CReadOnlyFile file;
    if (!file.Open(path))
        return std::nullopt;
    CSha256 hash;
    std::vector<uint8_t> buffer(1 << 20);
    for (;;) {
        if (cancel && *cancel)
            return std::nullopt;
        const int64_t got = file.Read(buffer.data(), buffer.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return hash.HexDigest();
        hash.Add(buffer.data(), size_t(got));
    }
}

std::string CSha256::LibraryVersion()
{
    return OpenSSL_version(OPENSSL_VERSION);
}

#include "platform/ed25519key.h"

#include "platform/sha256.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace {

struct CFreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct CFreeContext {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using BioPtr = std::unique_ptr<BIO, CFreeBio>;
using ContextPtr = std::unique_ptr<EVP_MD_CTX, CFreeContext>;

std::string Drain(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, size_t(size)) : std::string();
}

} // namespace

void CEd25519Key::CFreeKey::operator()(evp_pkey_st* key) const
{
    EVP_PKEY_free(key);
}

std::shared_ptr<const CEd25519Key> CEd25519Key::FromPublicPem(const std::string& pem, std::string& error)
{
    BioPtr bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    KeyPtr key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key) {
        error = "it holds no public key in PEM form";
        return nullptr;
    }
    if (EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        error = "its public key is not an Ed25519 key";
        return nullptr;
    }
    return std::make_shared<const CEd25519Key>(std::move(key), false);
}

std::shared_ptr<const CEd25519Key> CEd25519Key::FromRawPublic(std::span<const uint8_t> raw)
{
    if (raw.size() != PUBLIC_BYTES)
        return nullptr;
    KeyPtr key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw.data(), raw.size()));
    return key ? std::make_shared<const CEd25519Key>(std::move(key), false) : nullptr;
}

std::string CEd25519Key::PublicPem() const
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PUBKEY(bio.get(), m_key.get()) != 1)
        return {};
    return Drain(bio.get());
}

std::vector<uint8_t> CEd25519Key::RawPublic() const
{
    std::vector<uint8_t> raw(PUBLIC_BYTES);
    size_t size = raw.size();
    if (EVP_PKEY_get_raw_public_key(m_key.get(), raw.data(), &size) != 1 || size != PUBLIC_BYTES)
        return {};
    return raw;
}

std::string CEd25519Key::Fingerprint() const
{
    unsigned char* der = nullptr;
    const int size = i2d_PUBKEY(m_key.get(), &der);
    if (size <= 0)
        return {};
    CSha256 hash;
    hash.Add(der, size_t(size));
    OPENSSL_free(der);
    return hash.HexDigest();
}

std::vector<uint8_t> CEd25519Key::Sign(std::span<const uint8_t> message) const
{
    ContextPtr context(EVP_MD_CTX_new());
    std::vector<uint8_t> signature(SIGNATURE_BYTES);
    size_t size = signature.size();
    if (!m_bPrivate || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1
        || EVP_DigestSign(context.get(), signature.data(), &size, message.data(), message.size()) != 1
        || size != SIGNATURE_BYTES)
        return {};
    return signature;
}

bool CEd25519Key::Verify(std::span<const uint8_t> message, std::span<const uint8_t> signature) const
{
    ContextPtr context(EVP_MD_CTX_new());
    return context && signature.size() == SIGNATURE_BYTES
        && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) == 1
        && EVP_DigestVerify(context.get(), signature.data(), signature.size(), message.data(), message.size()) == 1;
}

#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct evp_pkey_st;

// An Ed25519 key held through the system's crypto library: the user's own (with its
// private half, to sign) or one read from a public key (to check a signature).
// Immutable once made; any thread may use it.
class CEd25519Key {
public:
    static constexpr size_t PUBLIC_BYTES = 32;
    static constexpr size_t SIGNATURE_BYTES = 64;

    // A public key as PEM text (what `kvxtool key` prints); null with the reason in
    // `error` when the text holds none, or another kind of key.
    static std::shared_ptr<const CEd25519Key> FromPublicPem(const std::string& pem, std::string& error);
    // A public key from its 32 raw bytes; null when they are not one.
    static std::shared_ptr<const CEd25519Key> FromRawPublic(std::span<const uint8_t> raw);

    // "-----BEGIN PUBLIC KEY-----" ... : one PEM block, ending in a newline.
    std::string PublicPem() const;
    std::vector<uint8_t> RawPublic() const;
    // The SHA-256 of the public key's DER form (SubjectPublicKeyInfo), as 64 lower-case
    // hex digits: what the notes print and what `openssl pkey -pubin -outform DER |
    // sha256sum` prints too.
    std::string Fingerprint() const;

    bool CanSign() const { return m_bPrivate; }
    // The signature of `message`; empty when the key has no private half or the
    // library fails.
    std::vector<uint8_t> Sign(std::span<const uint8_t> message) const;
    bool Verify(std::span<const uint8_t> message, std::span<const uint8_t> signature) const;

    struct CFreeKey {
        void operator()(evp_pkey_st* key) const;
    };
    using KeyPtr = std::unique_ptr<evp_pkey_st, CFreeKey>;
    CEd25519Key(KeyPtr key, bool hasPrivate) : m_key(std::move(key)), m_bPrivate(hasPrivate) {}

private:
    KeyPtr m_key;
    bool m_bPrivate = false;
};

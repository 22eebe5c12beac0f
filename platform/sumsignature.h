#pragma once

#include "platform/ed25519key.h"

#include <string>

// The detached signature of a sums file (NAME.sha256, as sha256sum writes it), kept
// beside it as NAME.sha256.sig. A few lines of text, each "field: value":
//
//   KVXPlayer signature 2
//   signs: NAME.sha256
//   sha256: the SHA-256 of NAME.sha256's bytes
//   key: the signing key's fingerprint
//   signer: who signed, as they name themselves (CSigningKey::SignerName)
//   public-key: the key's 32 bytes, Base64
//   signature: the Ed25519 signature of every line above it, Base64
//
// Format 1 ("KVXPlayer signature 1") is the same without the signer line; its
// signatures are still checked. The key travels with the signature, so that anyone
// can check it; that it is the key they expect is for them to compare (kvxtool
// verify --key). The signer's name is signed with the rest, but only the key vouches
// for it: anyone may call themselves anything.

// Writes `sums` + ".sig", a new file (an existing one is never replaced), naming
// `signer` (one line). False with `error` naming the file and the reason.
bool SignSumFile(const std::string& sums, const CEd25519Key& key, const std::string& signer, std::string& error);

struct CSignatureCheck {
    enum class EStatus {
        Good,        // the signature holds, and the sums are what it signs
        NotSigned,   // no .sig beside the sums
        SigChanged,  // the .sig is damaged, or its signature does not hold, or it signs another file
        SumsChanged, // the signature holds, for other sums than these
        OtherKey,    // sound, but not made by the key expected
        Unreadable,  // the sums or the .sig cannot be read
    };
    EStatus m_status = EStatus::NotSigned;
    std::string m_strFingerprint; // the key that signed (Good, SumsChanged, OtherKey)
    std::string m_strSigner;      // the name it signed with; empty in format 1
    std::string m_strReason;      // for a person, naming the file
};

// Checks `sums` + ".sig" against `sums`; with `expected`, also that its key signed it.
CSignatureCheck CheckSumSignature(const std::string& sums, const CEd25519Key* expected);

// What signing an output came to: signed by the key with this fingerprint, or not
// signed for the reason given (a key that cannot be had or a .sig that cannot be
// written never costs the output itself).
struct CSigningOutcome {
    bool m_bSigned = false;
    std::string m_strFingerprint;
    std::string m_strSigner;
    std::string m_strReason;

    // "key FINGERPRINT (SIGNER)", as notes and verify name a signer.
    std::string SignedBy() const;
};

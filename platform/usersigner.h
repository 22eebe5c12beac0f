#pragma once

#include "platform/ed25519key.h"
#include "platform/sumsignature.h"

#include <memory>
#include <string>

// The user's signing key and name, had once for one output: its note names them
// before its sums exist to be signed. A key that cannot be had leaves the output
// unsigned, never unwritten; Reason() says why, naming the key file.
class CUserSigner {
public:
    // Makes the key on first need (CSigningKey::Obtain).
    CUserSigner();

    bool HasKey() const { return m_key != nullptr; }
    // What the output's note says: "key FINGERPRINT (SIGNER)" when there is a key.
    const CSigningOutcome& Prospect() const { return m_prospect; }

    // Writes `sums` + ".sig". Unsigned with the reason when there is no key or the
    // signature cannot be written.
    CSigningOutcome Sign(const std::string& sums) const;

private:
    std::shared_ptr<const CEd25519Key> m_key;
    CSigningOutcome m_prospect; // m_bSigned stays false until a .sig is written
};

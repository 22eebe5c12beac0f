#pragma once

#include "platform/ed25519key.h"

#include <memory>
#include <string>

// The user's signing key, in KVXPlayer/signing under the user's config folder (the
// window and kvxtool share it): the private key (PKCS #8 PEM, mode 0600) and its
// public key (PEM). Made on first need; a key file that is there is never replaced:
// one that cannot be read, is damaged, is open to other users or does not match the
// other is refused, with its name and the reason.
class CSigningKey {
public:
    static std::string Folder();
    static std::string PrivateKeyPath();
    static std::string PublicKeyPath();
    // The file whose first line names the signer; the user may write it.
    static std::string SignerPath();

    // Who signs, as every signature and note names them: the first line of
    // SignerPath() when it holds one, else login@host. One line of printable text.
    static std::string SignerName();

    // The user's key, made when it does not exist yet. Null with `error` naming the
    // file and the reason when it cannot be had. Any thread; two processes making the
    // key at once end with the same one.
    static std::shared_ptr<const CEd25519Key> Obtain(std::string& error);
    // The user's key as it is, made by nobody: null with the reason when there is none.
    static std::shared_ptr<const CEd25519Key> Load(std::string& error);
};

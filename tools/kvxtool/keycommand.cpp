#include "platform/signingkey.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  key                  Print the public half of your signing key, one PEM\n"
    "                       block, to hand to whoever receives the files you sign\n"
    "                       (they check them with verify --key). The Ed25519 key\n"
    "                       pair is made on first need in KVXPlayer/signing under\n"
    "                       your config folder ($XDG_CONFIG_HOME, or ~/.config),\n"
    "                       the private key readable by you alone; a key file\n"
    "                       there is never replaced. Its fingerprint (SHA-256 of\n"
    "                       the public key's DER form) and the signer's name go to\n"
    "                       standard error: \"signer NAME\", \"fingerprint FP\". The\n"
    "                       name, which every signature carries, is the first line\n"
    "                       of KVXPlayer/signing/signer there, else login@host.\n"
    "                       Exit 1 when the key cannot be read or made.\n";

int Run(const std::vector<std::string>& args)
{
    if (!COptionParser().Parse(args))
        return UsageError(KEY_COMMAND.m_szSynopsis);
    std::string error;
    const auto key = CSigningKey::Obtain(error);
    if (!key) {
        std::fprintf(stderr, "kvxtool: %s\n", error.c_str());
        return EXIT_PROBE_FAILED;
    }
    std::printf("%s", key->PublicPem().c_str());
    std::fprintf(stderr, "signer %s\nfingerprint %s\n", CSigningKey::SignerName().c_str(), key->Fingerprint().c_str());
    return 0;
}

} // namespace

// The public key that verify --key expects.
const CCommand KEY_COMMAND = {"key", "key", HELP, Run};

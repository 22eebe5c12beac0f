#include "evidence/outputverifier.h"
#include "tools/kvxtool/commandtable.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* HELP =
    "  verify PATH... [--key FILE] [--json]\n"
    "                       Check signed outputs. PATH is a file (checked through the\n"
    "                       .sha256 beside it that lists it), a .sha256 (every file\n"
    "                       it lists) or a folder (every .sha256 in it and below).\n"
    "                       Each file listed is hashed again, and each .sha256 is\n"
    "                       checked against its signature NAME.sha256.sig; with\n"
    "                       --key, FILE holding what kvxtool key printed, the\n"
    "                       signature must also be that key's. One line per file:\n"
    "                       \"PATH: OK\", \"PATH: FAILED (changed)\", \"PATH: MISSING\",\n"
    "                       \"PATH: NOT SIGNED\" or \"PATH: FAILED (another key)\"; a\n"
    "                       .sha256 whose signature holds ends \"OK, signed by key\n"
    "                       FINGERPRINT (SIGNER)\", the name the signer gave (only\n"
    "                       the key vouches for it; older signatures name none).\n"
    "                       Files of a folder that no .sha256 lists are named on\n"
    "                       standard error. --json prints one object: {\"ok\",\n"
    "                       \"files\":[{\"path\",\"status\",\"key\",\"signer\",\"reason\"}],\n"
    "                       \"unlisted\":[paths]}, status the words above, key the\n"
    "                       signer's fingerprint or null, signer the name or null,\n"
    "                       reason null when OK. Exit 0 only when every file is OK,\n"
    "                       1 otherwise.\n";

bool ReadExpectedKey(const std::string& file, std::shared_ptr<const CEd25519Key>& key)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string reason = "it cannot be read";
    if (in && (key = CEd25519Key::FromPublicPem(text.str(), reason)))
        return true;
    return Refuse("--key " + file, reason);
}

void PrintJson(const COutputVerifier& v)
{
    std::vector<CJsonLine> files;
    for (const CVerifiedFile& f : v.Results()) {
        CJsonLine line;
        line.Add("path", f.m_strPath).Add("status", VerifiedStatusText(f.m_status)).AddOrNull("key", f.m_strFingerprint)
            .AddOrNull("signer", f.m_strSigner).AddOrNull("reason", f.m_strReason);
        files.push_back(line);
    }
    CJsonLine line;
    line.Add("ok", v.AllOk()).AddArray("files", files);
    std::printf("%s\n", line.AddStrings("unlisted", v.Unlisted()).Text().c_str());
}

// ", signed by key FINGERPRINT (SIGNER)" for sums whose signature holds.
std::string SignedByText(const CVerifiedFile& f)
{
    if (f.m_status != CVerifiedFile::EStatus::Ok || f.m_strFingerprint.empty())
        return {};
    return ", signed by key " + f.m_strFingerprint + (f.m_strSigner.empty() ? "" : " (" + f.m_strSigner + ")");
}

void PrintForPerson(const COutputVerifier& v)
{
    for (const CVerifiedFile& f : v.Results()) {
        std::printf("%s: %s%s\n", f.m_strPath.c_str(), VerifiedStatusText(f.m_status), SignedByText(f).c_str());
        if (!f.m_strReason.empty())
            std::fprintf(stderr, "kvxtool: %s\n", f.m_strReason.c_str());
    }
}

int Run(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    std::string keyFile;
    bool json = false;
    if (!COptionParser().Flag("--json", json).Text("--key", keyFile, "the key file's name is empty").Files(paths).Parse(args)
        || (paths.empty() && !Refuse("PATH", "a file, a .sha256 or a folder to check must be named")))
        return UsageError(VERIFY_COMMAND.m_szSynopsis);
    std::shared_ptr<const CEd25519Key> expected;
    if (!keyFile.empty() && !ReadExpectedKey(keyFile, expected))
        return UsageError(VERIFY_COMMAND.m_szSynopsis);
    COutputVerifier verifier(expected);
    for (const std::string& path : paths)
        verifier.Verify(path);
    json ? PrintJson(verifier) : PrintForPerson(verifier);
    for (const std::string& path : verifier.Unlisted())
        std::fprintf(stderr, "kvxtool: %s: no .sha256 lists it; it was not checked\n", path.c_str());
    return verifier.AllOk() ? 0 : EXIT_PROBE_FAILED;
}

} // namespace

// Every hash a .sha256 lists, and the signature beside it.
const CCommand VERIFY_COMMAND = {"verify", "verify PATH... [--key FILE] [--json]", HELP, Run};

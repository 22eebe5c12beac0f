#pragma once

#include "platform/ed25519key.h"
#include "platform/sumsignature.h"

#include <memory>
#include <string>
#include <vector>

// One file as a check of signed outputs found it.
struct CVerifiedFile {
    enum class EStatus { Ok, Changed, Missing, NotSigned, OtherKey };
    std::string m_strPath;
    EStatus m_status = EStatus::Ok;
    std::string m_strFingerprint; // a sums file whose signature holds: the key that signed it
    std::string m_strSigner;      // and the name it signed with (none in a format 1 signature)
    std::string m_strReason;      // what is wrong, for a person; empty when OK
};

// "OK", "FAILED (changed)", "MISSING", "NOT SIGNED", "FAILED (another key)".
const char* VerifiedStatusText(CVerifiedFile::EStatus status);

// Checks outputs against their sums files (NAME.sha256, as sha256sum -c reads them) and
// the signatures beside those (NAME.sha256.sig): every file listed, the sums file
// itself, and with an expected key that this key signed. Takes a file (checked
// through the sums beside it that list it), a sums file or its signature, or a folder
// (every sums file in it and below). Reads every listed file whole. One thread.
class COutputVerifier {
public:
    // `expected`: the key the signatures must be made by; null for any.
    explicit COutputVerifier(std::shared_ptr<const CEd25519Key> expected) : m_expected(std::move(expected)) {}

    void Verify(const std::string& path);

    // In the order checked: the files a sums file lists, then the sums file (or its
    // signature, when that is what failed).
    const std::vector<CVerifiedFile>& Results() const { return m_results; }
    // Files of a folder that no sums file lists, and so nothing vouches for.
    const std::vector<std::string>& Unlisted() const { return m_unlisted; }
    bool AllOk() const;

private:
    struct CListed {
        std::string m_strHash, m_strPath;
    };
    void VerifyFolder(const std::string& folder);
    void VerifyListedFile(const std::string& path);
    // The sums file's files (only `only` when given), then its signature.
    void VerifySums(const std::string& sums, const std::string& only = {});
    void VerifySignature(const std::string& sums);
    void Add(const std::string& path, CVerifiedFile::EStatus status, std::string reason = {},
             const CSignatureCheck* signer = nullptr);
    // The entries of a sums file; false when a line is not one.
    static bool ReadSums(const std::string& sums, std::vector<CListed>& listed);

    const std::shared_ptr<const CEd25519Key> m_expected;
    std::vector<CVerifiedFile> m_results;
    std::vector<std::string> m_unlisted;
};

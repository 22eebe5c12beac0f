#include "evidence/outputverifier.h"

#include "platform/sha256.h"
#include "platform/sumsignature.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr const char* SUMS = ".sha256";
constexpr const char* SIG = ".sha256.sig";

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool IsHex64(const std::string& text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

} // namespace

const char* VerifiedStatusText(CVerifiedFile::EStatus status)
{
    switch (status) {
    case CVerifiedFile::EStatus::Ok: return "OK";
    case CVerifiedFile::EStatus::Changed: return "FAILED (changed)";
    case CVerifiedFile::EStatus::Missing: return "MISSING";
    case CVerifiedFile::EStatus::NotSigned: return "NOT SIGNED";
    case CVerifiedFile::EStatus::OtherKey: return "FAILED (another key)";
    }
    return "";
}

bool COutputVerifier::AllOk() const
{
    return !m_results.empty()
        && std::all_of(m_results.begin(), m_results.end(),
                       [](const CVerifiedFile& f) { return f.m_status == CVerifiedFile::EStatus::Ok; });
}

void COutputVerifier::Verify(const std::string& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec))
        VerifyFolder(path);
    else if (EndsWith(path, SIG))
        VerifySums(path.substr(0, path.size() - 4));
    else if (EndsWith(path, SUMS))
        VerifySums(path);
    else
        VerifyListedFile(path);
}

// Every sums file in the folder and below; the files none of them lists are noted.
void COutputVerifier::VerifyFolder(const std::string& folder)
{
    std::vector<std::string> sums, files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string path = it->path().lexically_normal().string();
        (EndsWith(path, SUMS) ? sums : files).push_back(path);
    }
    if (ec) {
        Add(folder, CVerifiedFile::EStatus::Missing, "cannot read the folder " + folder + ": " + ec.message());
        return;
    }
    std::sort(sums.begin(), sums.end());
    std::set<std::string> listed;
    for (const std::string& s : sums) {
        VerifySums(s);
        std::vector<CListed> entries;
        ReadSums(s, entries);
        for (const CListed& e : entries)
            listed.insert(fs::path(e.m_strPath).lexically_normal().string());
    }
    if (sums.empty())
        Add(folder, CVerifiedFile::EStatus::NotSigned, "no " + std::string(SUMS) + " file in " + folder);
    std::sort(files.begin(), files.end());
    for (const std::string& f : files)
        if (!EndsWith(f, SIG) && !listed.count(f))
            m_unlisted.push_back(f);
}

// A file is checked through the sums beside it that list it: its own NAME.sha256
// first, else any other in its folder.
void COutputVerifier::VerifyListedFile(const std::string& path)
{
    if (!Exists(path)) {
        Add(path, CVerifiedFile::EStatus::Missing, path + " does not exist");
        return;
    }
    const fs::path file = fs::path(path).lexically_normal();
    std::vector<std::string> candidates = {file.string() + SUMS};
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(file.parent_path().empty() ? "." : file.parent_path(), ec))
        if (EndsWith(e.path().string(), SUMS))
            candidates.push_back(e.path().lexically_normal().string());
    for (const std::string& sums : candidates) {
        std::vector<CListed> entries;
        if (!Exists(sums) || !ReadSums(sums, entries))
            continue;
        const bool lists = std::any_of(entries.begin(), entries.end(), [&](const CListed& e) {
            return fs::path(e.m_strPath).lexically_normal() == file;
        });
        if (lists) {
            VerifySums(sums, file.string());
            return;
        }
    }
    Add(path, CVerifiedFile::EStatus::NotSigned, "no " + std::string(SUMS) + " file beside " + path + " lists it");
}

void COutputVerifier::VerifySums(const std::string& sums, const std::string& only)
{
    if (!Exists(sums)) {
        Add(sums, CVerifiedFile::EStatus::Missing, sums + " does not exist");
        return;
    }
    std::vector<CListed> entries;
    const bool wellFormed = ReadSums(sums, entries);
    for (const CListed& e : entries) {
        if (!only.empty() && fs::path(e.m_strPath).lexically_normal() != fs::path(only))
            continue;
        const std::optional<std::string> hash = Exists(e.m_strPath) ? Sha256OfFile(e.m_strPath) : std::nullopt;
        if (!Exists(e.m_strPath))
            Add(e.m_strPath, CVerifiedFile::EStatus::Missing, e.m_strPath + " is listed in " + sums + " and is gone");
        else if (!hash)
            Add(e.m_strPath, CVerifiedFile::EStatus::Changed, e.m_strPath + " cannot be read");
        else
            Add(e.m_strPath, *hash == e.m_strHash ? CVerifiedFile::EStatus::Ok : CVerifiedFile::EStatus::Changed,
                *hash == e.m_strHash ? "" : e.m_strPath + " is not the file " + sums + " lists");
    }
    if (!wellFormed || entries.empty())
        Add(sums, CVerifiedFile::EStatus::Changed, sums + " has lines that are no sums");
    else
        VerifySignature(sums);
}

void COutputVerifier::VerifySignature(const std::string& sums)
{
    using EStatus = CSignatureCheck::EStatus;
    const CSignatureCheck check = CheckSumSignature(sums, m_expected.get());
    const std::string sig = sums + ".sig";
    switch (check.m_status) {
    case EStatus::Good: Add(sums, CVerifiedFile::EStatus::Ok, {}, &check); break;
    case EStatus::NotSigned: Add(sums, CVerifiedFile::EStatus::NotSigned, check.m_strReason); break;
    case EStatus::SigChanged: Add(sig, CVerifiedFile::EStatus::Changed, check.m_strReason); break;
    case EStatus::SumsChanged: // one of the two was changed, or the signature swapped: both are named
        Add(sums, CVerifiedFile::EStatus::Changed, check.m_strReason, &check);
        Add(sig, CVerifiedFile::EStatus::Changed, sig + " does not sign " + sums + " as it is", &check);
        break;
    case EStatus::OtherKey: Add(sig, CVerifiedFile::EStatus::OtherKey, check.m_strReason, &check); break;
    case EStatus::Unreadable: Add(sig, CVerifiedFile::EStatus::Changed, check.m_strReason); break;
    }
}

void COutputVerifier::Add(const std::string& path, CVerifiedFile::EStatus status, std::string reason,
                          const CSignatureCheck* signer)
{
    m_results.push_back({path, status, signer ? signer->m_strFingerprint : std::string(),
                         signer ? signer->m_strSigner : std::string(), std::move(reason)});
}

// "HASH  NAME" or "HASH *NAME" (binary mode), names relative to the sums file's folder.
bool COutputVerifier::ReadSums(const std::string& sums, std::vector<CListed>& listed)
{
    std::ifstream in(sums, std::ios::binary);
    if (!in)
        return false;
    const fs::path folder = fs::path(sums).parent_path();
    std::string line;
    bool wellFormed = true;
    while (std::getline(in, line)) {
        const std::string hash = line.substr(0, 64);
        const bool entry = line.size() > 66 && IsHex64(hash) && line[64] == ' ' && (line[65] == ' ' || line[65] == '*');
        if (!entry) {
            wellFormed = false;
            continue;
        }
        listed.push_back({hash, (folder / line.substr(66)).lexically_normal().string()});
    }
    return wellFormed && !in.bad();
}

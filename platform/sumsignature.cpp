#include "platform/sumsignature.h"

#include "platform/outputfile.h"
#include "platform/sha256.h"
#include "platform/signingkey.h"

#include <QByteArray>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

// Format 1 had no signer line; its signatures still hold.
constexpr const char* FIRST_LINE_1 = "KVXPlayer signature 1";
constexpr const char* FIRST_LINE_2 = "KVXPlayer signature 2";
// Sums of a few thousand files fit many times over; a larger file is no sums.
constexpr std::streamsize MAX_READ = 16 << 20;

struct CSigFields {
    bool m_bNamesSigner = true; // format 2
    std::string m_strSigns, m_strSha256, m_strKey, m_strSigner, m_strPublicKey, m_strSignature;
};

// The lines the signature covers.
std::string SignedPart(const CSigFields& f)
{
    return std::string(f.m_bNamesSigner ? FIRST_LINE_2 : FIRST_LINE_1) + "\nsigns: " + f.m_strSigns
         + "\nsha256: " + f.m_strSha256 + "\nkey: " + f.m_strKey
         + (f.m_bNamesSigner ? "\nsigner: " + f.m_strSigner : std::string()) + "\npublic-key: " + f.m_strPublicKey
         + "\n";
}

std::string Serialise(const CSigFields& f)
{
    return SignedPart(f) + "signature: " + f.m_strSignature + "\n";
}

std::span<const uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Base64(std::span<const uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toBase64().toStdString();
}

std::vector<uint8_t> FromBase64(const std::string& text)
{
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    return std::vector<uint8_t>(decoded.decoded.begin(), decoded.decoded.end());
}

bool ReadWhole(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return !in.bad() && std::streamsize(text.size()) <= MAX_READ;
}

// The fields of a .sig, when its text is exactly what SignSumFile writes (or wrote
// in format 1): any other byte, a space or a line more, makes it damaged.
std::optional<CSigFields> Parse(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    CSigFields f;
    if (!std::getline(in, line) || (line != FIRST_LINE_1 && line != FIRST_LINE_2))
        return std::nullopt;
    f.m_bNamesSigner = line == FIRST_LINE_2;
    std::vector<std::pair<const char*, std::string*>> fields = {
        {"signs: ", &f.m_strSigns}, {"sha256: ", &f.m_strSha256}, {"key: ", &f.m_strKey}};
    if (f.m_bNamesSigner)
        fields.push_back({"signer: ", &f.m_strSigner});
    fields.insert(fields.end(), {{"public-key: ", &f.m_strPublicKey}, {"signature: ", &f.m_strSignature}});
    for (const auto& [prefix, value] : fields) {
        if (!std::getline(in, line) || line.rfind(prefix, 0) != 0)
            return std::nullopt;
        *value = line.substr(std::strlen(prefix));
    }
    if (Serialise(f) != text)
        return std::nullopt;
    return f;
}

std::string Sha256OfText(const std::string& text)
{
    CSha256 hash;
    hash.Add(text.data(), text.size());
    return hash.HexDigest();
}

std::string FileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

CSignatureCheck Fail(CSignatureCheck::EStatus status, std::string reason, const CSigFields* f = nullptr)
{
    return {status, f ? f->m_strKey : std::string(), f ? f->m_strSigner : std::string(), std::move(reason)};
}

} // namespace

bool SignSumFile(const std::string& sums, const CEd25519Key& key, const std::string& signer, std::string& error)
{
    const std::string sigPath = sums + ".sig";
    std::string text;
    if (!ReadWhole(sums, text)) {
        error = "cannot sign " + sums + ": it cannot be read";
        return false;
    }
    CSigFields f{true, FileName(sums), Sha256OfText(text), key.Fingerprint(), signer, Base64(key.RawPublic()), {}};
    const std::vector<uint8_t> signature = key.Sign(Bytes(SignedPart(f)));
    if (signature.empty() || f.m_strKey.empty()) {
        error = "cannot write " + sigPath + ": the crypto library failed to sign";
        return false;
    }
    f.m_strSignature = Base64(signature);
    const std::string sig = Serialise(f);
    std::string reason;
    switch (COutputFile::WriteNewFile(sigPath, Bytes(sig), reason)) {
    case COutputFile::ECreate::Created:
        return true;
    case COutputFile::ECreate::Exists:
        error = sigPath + " exists already; a signature never replaces a file";
        return false;
    default:
        error = "cannot write " + sigPath + ": " + reason;
        return false;
    }
}

CSignatureCheck CheckSumSignature(const std::string& sums, const CEd25519Key* expected)
{
    using EStatus = CSignatureCheck::EStatus;
    const std::string sigPath = sums + ".sig";
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(sigPath, ec)))
        return Fail(EStatus::NotSigned, sums + " has no signature (" + FileName(sigPath) + ")");
    std::string sumsText, sigText;
    if (!ReadWhole(sums, sumsText))
        return Fail(EStatus::Unreadable, "cannot read " + sums);
    if (!ReadWhole(sigPath, sigText))
        return Fail(EStatus::Unreadable, "cannot read " + sigPath);
    const std::optional<CSigFields> f = Parse(sigText);
    if (!f)
        return Fail(EStatus::SigChanged, sigPath + " is damaged: it is not a signature as this program writes one");
    const auto key = CEd25519Key::FromRawPublic(FromBase64(f->m_strPublicKey));
    if (!key || key->Fingerprint() != f->m_strKey
        || !key->Verify(Bytes(SignedPart(*f)), FromBase64(f->m_strSignature)))
        return Fail(EStatus::SigChanged, sigPath + " has changed: its signature does not hold");
    if (f->m_strSigns != FileName(sums))
        return Fail(EStatus::SigChanged, sigPath + " signs another file, " + f->m_strSigns, &*f);
    if (f->m_strSha256 != Sha256OfText(sumsText))
        return Fail(EStatus::SumsChanged, sums + " has changed since it was signed", &*f);
    if (expected && expected->Fingerprint() != f->m_strKey)
        return Fail(EStatus::OtherKey, sigPath + " was signed by another key, " + f->m_strKey, &*f);
    return {EStatus::Good, f->m_strKey, f->m_strSigner, {}};
}

std::string CSigningOutcome::SignedBy() const
{
    return "key " + m_strFingerprint + " (" + m_strSigner + ")";
}

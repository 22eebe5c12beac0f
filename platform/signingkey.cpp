#include "platform/signingkey.h"

#include "platform/outputfile.h"

#include <QStandardPaths>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A key file is a few hundred bytes; anything much larger is not one.
constexpr size_t MAX_KEY_FILE = 16 * 1024;
// A name, not a letter: what a line of the signature holds of it.
constexpr size_t MAX_SIGNER = 200;

struct CFreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, CFreeBio>;

std::string SystemReason(int error)
{
    return std::strerror(error);
}

// The file's bytes, or false with the reason.
bool ReadKeyFile(const std::string& path, std::string& text, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error = "cannot read the signing key " + path + ": " + SystemReason(errno);
        return false;
    }
    text.resize(MAX_KEY_FILE + 1);
    size_t size = 0;
    ssize_t got = 0;
    while (size < text.size() && (got = ::read(fd, text.data() + size, text.size() - size)) > 0)
        size += size_t(got);
    const int readError = errno;
    ::close(fd);
    if (got < 0) {
        error = "cannot read the signing key " + path + ": " + SystemReason(readError);
        return false;
    }
    if (size > MAX_KEY_FILE) {
        error = "the signing key " + path + " is damaged: it is far too large to be a key";
        return false;
    }
    text.resize(size);
    return true;
}

// A private key open to other users signs for them too.
bool IsPrivateToUser(const std::string& path, std::string& error)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        error = "cannot read the signing key " + path + ": " + SystemReason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the signing key " + path + " is refused: it is not a plain file";
        return false;
    }
    if (info.st_mode & 077) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
        error = "the signing key " + path + " is refused: other users may read it (mode " + mode
              + "); it must be the user's alone (mode 0600)";
        return false;
    }
    return true;
}

CEd25519Key::KeyPtr ParsePrivate(const std::string& text)
{
    BioPtr bio(BIO_new_mem_buf(text.data(), int(text.size())));
    CEd25519Key::KeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        key.reset();
    return key;
}

std::string PrivatePem(EVP_PKEY* key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, size_t(std::max(0L, size)));
}

// The folder, made for the user alone when it is new.
bool MakeFolder(std::string& error)
{
    std::error_code ec;
    const std::filesystem::path folder = CSigningKey::Folder();
    if (std::filesystem::create_directories(folder, ec))
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    if (ec) {
        error = "cannot make the folder of the signing key " + folder.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// Writes a new key beside its place, then links it there: the name holds a whole key
// or none, and a key another process made meanwhile is kept.
bool CreatePrivateKey(std::string& error)
{
    const std::string path = CSigningKey::PrivateKeyPath();
    if (!MakeFolder(error))
        return false;
    CEd25519Key::KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    const std::string pem = key ? PrivatePem(key.get()) : std::string();
    if (pem.empty()) {
        error = "cannot make the signing key " + path + ": the crypto library failed";
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600
    if (fd < 0) {
        error = "cannot make the signing key " + path + ": " + SystemReason(errno);
        return false;
    }
    bool written = ::write(fd, pem.data(), pem.size()) == ssize_t(pem.size()) && ::fsync(fd) == 0;
    int reason = errno;
    written = ::close(fd) == 0 && written;
    if (written && ::link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        reason = errno;
        written = false;
    }
    ::unlink(temporary.c_str());
    if (!written)
        error = "cannot make the signing key " + path + ": " + SystemReason(reason);
    return written;
}

// The public key file: written when missing, and refused when it is not the private
// key's.
bool CheckPublicFile(const CEd25519Key& key, std::string& error)
{
    const std::string path = CSigningKey::PublicKeyPath();
    const std::string pem = key.PublicPem();
    std::string ignored;
    // A public key that cannot be written is no harm: the signatures carry it.
    if (COutputFile::WriteNewFile(path, std::span(reinterpret_cast<const uint8_t*>(pem.data()), pem.size()), ignored)
        != COutputFile::ECreate::Exists)
        return true;
    std::string text, reason;
    if (!ReadKeyFile(path, text, error))
        return false;
    const auto stored = CEd25519Key::FromPublicPem(text, reason);
    if (!stored) {
        error = "the public signing key " + path + " is damaged: " + reason;
        return false;
    }
    if (stored->RawPublic() != key.RawPublic()) {
        error = "the public signing key " + path + " is refused: it is not the public key of " + CSigningKey::PrivateKeyPath();
        return false;
    }
    return true;
}

// The name as one line of a signature: control characters (a line break would forge
// a field) become spaces, the ends are trimmed, and it is cut at a whole character.
std::string SignerLine(std::string name)
{
    std::replace_if(name.begin(), name.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; }, ' ');
    const size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);
    if (name.size() > MAX_SIGNER) {
        size_t cut = MAX_SIGNER;
        while (cut > 0 && ((unsigned char)name[cut] & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name;
}

std::string LoginAtHost()
{
    const passwd* user = ::getpwuid(::geteuid());
    const char* env = std::getenv("USER");
    std::string login = user && user->pw_name ? user->pw_name : env ? env : std::to_string(::geteuid());
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0])
        std::strcpy(host, "localhost");
    return login + "@" + host;
}

} // namespace

std::string CSigningKey::Folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() + "/KVXPlayer/signing";
}

std::string CSigningKey::PrivateKeyPath()
{
    return Folder() + "/ed25519-private.pem";
}

std::string CSigningKey::PublicKeyPath()
{
    return Folder() + "/ed25519-public.pem";
}

std::string CSigningKey::SignerPath()
{
    return Folder() + "/signer";
}

std::string CSigningKey::SignerName()
{
    std::ifstream in(SignerPath());
    std::string line;
    if (in && std::getline(in, line))
        if (std::string name = SignerLine(line); !name.empty())
            return name;
    return SignerLine(LoginAtHost());
}

std::shared_ptr<const CEd25519Key> CSigningKey::Obtain(std::string& error)
{
    struct stat info {};
    if (::lstat(PrivateKeyPath().c_str(), &info) != 0 && errno == ENOENT && !CreatePrivateKey(error))
        return nullptr;
    return Load(error);
}

std::shared_ptr<const CEd25519Key> CSigningKey::Load(std::string& error)
{
    const std::string path = PrivateKeyPath();
    std::string text;
    if (!IsPrivateToUser(path, error) || !ReadKeyFile(path, text, error))
        return nullptr;
    CEd25519Key::KeyPtr parsed = ParsePrivate(text);
    if (!parsed) {
        error = "the signing key " + path + " is damaged: it holds no Ed25519 private key in PEM form";
        return nullptr;
    }
    auto key = std::make_shared<const CEd25519Key>(std::move(parsed), true);
    if (!CheckPublicFile(*key, error))
        return nullptr;
    return key;
}

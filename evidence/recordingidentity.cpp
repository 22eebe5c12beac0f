#include "evidence/recordingidentity.h"

#include "platform/sha256.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace {

constexpr uint64_t SPAN = 1 << 20; // the first and last MiB

} // namespace

std::optional<CRecordingIdentity> CRecordingIdentity::Of(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    CRecordingIdentity identity;
    identity.m_nSize = uint64_t(file.tellg());
    std::vector<char> bytes(size_t(std::min(identity.m_nSize, SPAN)));
    CSha256 sum;
    for (uint64_t at : {uint64_t(0), identity.m_nSize - bytes.size()}) {
        file.seekg(std::streamoff(at));
        if (!file.read(bytes.data(), std::streamsize(bytes.size()))) {
            error = "cannot read " + path;
            return std::nullopt;
        }
        sum.Add(bytes.data(), bytes.size());
    }
    const std::string hex = sum.HexDigest();
    for (size_t i = 0; i < identity.m_hash.size(); ++i)
        identity.m_hash[i] = uint8_t(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return identity;
}

std::string CRecordingIdentity::Key() const
{
    std::string key = std::to_string(m_nSize) + "-";
    static constexpr char HEX[] = "0123456789abcdef";
    for (uint8_t b : m_hash)
        key += {HEX[b >> 4], HEX[b & 15]};
    return key;
}

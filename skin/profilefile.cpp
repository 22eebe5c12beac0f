#include "skin/profilefile.h"

#include "platform/outputfile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <optional>
#include <vector>

namespace {

std::string Trimmed(const std::string& text)
{
    const auto isBlank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), isBlank);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), isBlank).base();
    return std::string(begin, end);
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line)
{
    const std::string t = Trimmed(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const size_t close = t.find(']');
    return Trimmed(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key name of a "key=value" line inside a section.
std::optional<std::string> KeyOf(const std::string& line)
{
    const std::string t = Trimmed(line);
    const size_t equals = t.find('=');
    if (t.empty() || t.front() == ';' || equals == std::string::npos)
        return std::nullopt;
    return Trimmed(t.substr(0, equals));
}

std::string ValueOf(const std::string& line)
{
    std::string value = Trimmed(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// Index of the line holding `key` in `section`, and the index just after the
// section's last key line (where a new key goes), or nothing when the section is missing.
struct CLocation {
    std::optional<size_t> keyLine;
    std::optional<size_t> sectionEnd;
};

CLocation Locate(const std::vector<std::string>& lines, const std::string& section, const std::string& key)
{
    CLocation where;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i])) {
            if (inSection)
                return where; // the first matching section is the one that counts
            inSection = SameName(*name, section);
            if (inSection)
                where.sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        const auto name = KeyOf(lines[i]);
        if (!name)
            continue;
        where.sectionEnd = i + 1;
        if (!where.keyLine && SameName(*name, key))
            where.keyLine = i;
    }
    return where;
}

} // namespace

int LeadingInteger(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
    return int(negative ? -value : value);
}

std::string CProfileFile::GetString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const
{
    const std::vector<std::string> lines = ReadLines(m_strPath);
    const CLocation where = Locate(lines, section, key);
    std::string value = where.keyLine ? ValueOf(lines[*where.keyLine]) : Trimmed(fallback);
    if (value.size() > MAX_VALUE)
        value.resize(MAX_VALUE);
    return value;
}

int CProfileFile::GetInt(const std::string& section, const std::string& key, int fallback) const
{
    const std::vector<std::string> lines = ReadLines(m_strPath);
    const CLocation where = Locate(lines, section, key);
    return where.keyLine ? LeadingInteger(ValueOf(lines[*where.keyLine])) : fallback;
}

bool CProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const
{
    std::vector<std::string> lines = ReadLines(m_strPath);
    // Keep the file's own line ends: a file written on the recorder's desktop has CR LF.
    const bool crlf = !lines.empty() && !lines.front().empty() && lines.front().back() == '\r';
    const std::string cr = crlf ? "\r" : "";
    const CLocation where = Locate(lines, section, key);
    if (where.keyLine) {
        const std::string& old = lines[*where.keyLine];
        lines[*where.keyLine] = old.substr(0, old.find('=') + 1) + value + cr;
    } else if (where.sectionEnd) {
        lines.insert(lines.begin() + long(*where.sectionEnd), key + "=" + value + cr);
    } else {
        lines.push_back("[" + section + "]" + cr);
        lines.push_back(key + "=" + value + cr);
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    // Renamed over the old file: an interrupted write never leaves the skin
    // description cut off, and a link in its place is replaced, not written through.
    const std::span bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string error;
    return COutputFile::ReplaceWholeFile(m_strPath, bytes, error);
}

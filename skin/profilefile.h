#pragma once

#include <string>

// A profile file (section lines in brackets, key=value lines) read and written the
// way the desktop's profile calls do it, one value at a time:
// - section and key names match without regard to case, the first match wins;
// - blanks around names and values are dropped, and a value enclosed in a pair of
//   double or single quotes loses them; nothing else is interpreted (no escapes,
//   no inline comments);
// - a value is seen up to 259 characters;
// - lines starting with ';' are comments.
// The file is read afresh on every call, so it is never cached as a whole.
class CProfileFile {
public:
    static constexpr size_t MAX_VALUE = 259;

    explicit CProfileFile(std::string path) : m_strPath(std::move(path)) {}
    const std::string& Path() const { return m_strPath; }

    // The value, or `fallback` (without trailing blanks) when the file, the section
    // or the key is missing.
    std::string GetString(const std::string& section, const std::string& key, const std::string& fallback) const;
    // The value's leading decimal number (blanks, optional sign, digits), 0 when it has
    // none, or `fallback` when the key is missing.
    int GetInt(const std::string& section, const std::string& key, int fallback) const;
    // Sets the value. Every other line of the file stays as it was; a missing key is
    // added at the end of its section, a missing section at the end of the file, a
    // missing file is created. Returns false when the file cannot be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) const;

private:
    std::string m_strPath;
};

// The decimal number at the start of `text`: leading blanks skipped, an optional
// sign, digits up to the first other character; 0 when there are no digits.
int LeadingInteger(const std::string& text);

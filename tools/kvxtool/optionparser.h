#pragma once

#include "recording/datetime.h"

#include <charconv>
#include <functional>
#include <string>
#include <vector>

// Says on standard error why an argument is refused, as "kvxtool: WHAT: REASON", e.g.
// "kvxtool: --fps 0: the rate is 1 to 60"; false, for a parser to return.
bool Refuse(const std::string& what, const std::string& reason);

// The arguments of one command, declared option by option before they are read. A
// value option takes the argument after it, whatever it looks like; a name without
// a leading '-' is a file. Anything else (a value option at the end, an option the
// command does not have, a file too many) is refused with the argument named, as is
// a value its option does not take, so that every message says what is wrong. The
// checks of the arguments together (what must be given) stay with the command. One
// thread.
class COptionParser {
public:
    // Reads the value after an option; false when it is refused (said by Refuse).
    using ValueReader = std::function<bool(const std::string& value)>;

    // An option of no value: `set` becomes `value`.
    COptionParser& Flag(const char* name, bool& set, bool value = true);
    COptionParser& Value(const char* name, ValueReader read);
    // Any text, or with `emptyReason` any but the empty one.
    COptionParser& Text(const char* name, std::string& value, const char* emptyReason = nullptr);
    // A whole decimal number from `low` to `high`; "NAME VALUE: REASON" otherwise.
    template <class T>
    COptionParser& Number(const char* name, T low, T high, T& value, const char* reason)
    {
        return Value(name, [=, &value](const std::string& text) {
            return ReadNumber(text, low, high, value) || Refuse(std::string(name) + " " + text, reason);
        });
    }
    // "YYYY-MM-DD HH:MM:SS".
    COptionParser& DateTime(const char* name, CDateTime& value);
    // The one file the command reads, which must be named: "LABEL: REASON" otherwise.
    COptionParser& File(std::string& file, const char* label, const char* missingReason);
    // Every file named, in order.
    COptionParser& Files(std::vector<std::string>& files);

    // False, the first refused argument said, when the arguments are not the command's
    // or the file is missing.
    bool Parse(const std::vector<std::string>& args) const;

    template <class T>
    static bool ReadNumber(const std::string& text, T low, T high, T& value)
    {
        T parsed{};
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
            return false;
        value = parsed;
        return true;
    }

    // "3" or "1,3,5": whole numbers from `low` to `high`, put in ascending order, each once.
    static bool ReadNumberList(const std::string& text, int low, int high, std::vector<int>& values);

private:
    struct COption {
        std::string m_strName;
        bool* m_pFlag = nullptr; // a flag, set to m_bFlagValue; else it takes a value
        bool m_bFlagValue = true;
        ValueReader m_read;
    };
    const COption* Find(const std::string& name) const;
    bool RefuseStray(const std::string& arg) const;

    std::vector<COption> m_options;
    std::string* m_pFile = nullptr;
    const char* m_szFileLabel = nullptr;
    const char* m_szFileMissing = nullptr;
    std::vector<std::string>* m_pFiles = nullptr;
};

#include "tools/kvxtool/optionparser.h"

#include <algorithm>
#include <cstdio>

bool Refuse(const std::string& what, const std::string& reason)
{
    std::fprintf(stderr, "kvxtool: %s: %s\n", what.c_str(), reason.c_str());
    return false;
}

COptionParser& COptionParser::Flag(const char* name, bool& set, bool value)
{
    m_options.push_back({name, &set, value, {}});
    return *this;
}

COptionParser& COptionParser::Value(const char* name, ValueReader read)
{
    m_options.push_back({name, nullptr, true, std::move(read)});
    return *this;
}

COptionParser& COptionParser::Text(const char* name, std::string& value, const char* emptyReason)
{
    return Value(name, [name, &value, emptyReason](const std::string& text) {
        value = text;
        return !emptyReason || !text.empty() || Refuse(name, emptyReason);
    });
}

COptionParser& COptionParser::DateTime(const char* name, CDateTime& value)
{
    return Value(name, [name, &value](const std::string& text) {
        value = CDateTime::FromIsoString(text);
        return value.IsValid() || Refuse(std::string(name) + " " + text, "not a date-time \"YYYY-MM-DD HH:MM:SS\"");
    });
}

COptionParser& COptionParser::File(std::string& file, const char* label, const char* missingReason)
{
    m_pFile = &file;
    m_szFileLabel = label;
    m_szFileMissing = missingReason;
    return *this;
}

COptionParser& COptionParser::Files(std::vector<std::string>& files)
{
    m_pFiles = &files;
    return *this;
}

const COptionParser::COption* COptionParser::Find(const std::string& name) const
{
    for (const COption& option : m_options)
        if (option.m_strName == name)
            return &option;
    return nullptr;
}

bool COptionParser::Parse(const std::vector<std::string>& args) const
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const COption* option = Find(arg);
        if (option && option->m_pFlag) {
            *option->m_pFlag = option->m_bFlagValue;
        } else if (option && i + 1 < args.size()) {
            if (!option->m_read(args[++i]))
                return false;
        } else if (!arg.starts_with("-") && m_pFiles) {
            m_pFiles->push_back(arg);
        } else if (!arg.starts_with("-") && m_pFile && m_pFile->empty()) {
            *m_pFile = arg;
        } else {
            return RefuseStray(arg);
        }
    }
    return !m_pFile || !m_pFile->empty() || Refuse(m_szFileLabel, m_szFileMissing);
}

// An argument that none of the options took: a value option with no value after it,
// an option the command does not have, or a file after the file.
bool COptionParser::RefuseStray(const std::string& arg) const
{
    if (Find(arg))
        return Refuse(arg, "a value must follow it");
    if (arg.starts_with("-"))
        return Refuse(arg, "the command has no such option");
    return Refuse(arg, "one file is taken, and it is named already");
}

bool COptionParser::ReadNumberList(const std::string& text, int low, int high, std::vector<int>& values)
{
    values.clear();
    for (size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
        comma = text.find(',', start);
        if (!ReadNumber(text.substr(start, comma - start), low, high, values.emplace_back()))
            return false;
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return true;
}

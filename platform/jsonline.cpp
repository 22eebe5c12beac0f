#include "platform/jsonline.h"

#include <cstdio>

static std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

CJsonLine& CJsonLine::AddRaw(const char* key, const std::string& json)
{
    if (!m_strBody.empty())
        m_strBody += ',';
    m_strBody += Quoted(key) + ":" + json;
    return *this;
}

CJsonLine& CJsonLine::Add(const char* key, const std::string& value) { return AddRaw(key, Quoted(value)); }
CJsonLine& CJsonLine::Add(const char* key, uint64_t value) { return AddRaw(key, std::to_string(value)); }
CJsonLine& CJsonLine::Add(const char* key, int value) { return AddRaw(key, std::to_string(value)); }
CJsonLine& CJsonLine::Add(const char* key, bool value) { return AddRaw(key, value ? "true" : "false"); }
static std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

CJsonLine& CJsonLine::Add(const char* key, double value) { return AddRaw(key, Number(value)); }

CJsonLine& CJsonLine::AddNumbers(const char* key, const std::vector<double>& values)
{
    std::string json = "[";
    for (double value : values)
        json += (json.size() > 1 ? "," : "") + Number(value);
    return AddRaw(key, json + "]");
}

CJsonLine& CJsonLine::AddIntegers(const char* key, const std::vector<uint64_t>& values)
{
    std::string json = "[";
    for (uint64_t value : values)
        json += (json.size() > 1 ? "," : "") + std::to_string(value);
    return AddRaw(key, json + "]");
}

CJsonLine& CJsonLine::AddStrings(const char* key, const std::vector<std::string>& values)
{
    std::string json = "[";
    for (const std::string& value : values)
        json += (json.size() > 1 ? "," : "") + Quoted(value);
    return AddRaw(key, json + "]");
}

CJsonLine& CJsonLine::AddNull(const char* key) { return AddRaw(key, "null"); }

CJsonLine& CJsonLine::AddOrNull(const char* key, const std::string& value)
{
    return value.empty() ? AddNull(key) : Add(key, value);
}

CJsonLine& CJsonLine::AddArray(const char* key, const std::vector<CJsonLine>& values)
{
    std::string json = "[";
    for (const CJsonLine& value : values)
        json += (json.size() > 1 ? "," : "") + value.Text();
    return AddRaw(key, json + "]");
}

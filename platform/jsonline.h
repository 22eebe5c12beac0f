#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One JSON object on one line, keys in the order they are added. Hand-made because
// the sector numbers are unsigned 64-bit and must print exactly.
class CJsonLine {
public:
    CJsonLine& Add(const char* key, const std::string& value);
    CJsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    CJsonLine& Add(const char* key, uint64_t value);
    CJsonLine& Add(const char* key, int value);
    CJsonLine& Add(const char* key, bool value);
    // At most six significant digits: fractions of a picture, not sector numbers.
    CJsonLine& Add(const char* key, double value);
    CJsonLine& AddNumbers(const char* key, const std::vector<double>& values);
    // Offsets and counts, exactly.
    CJsonLine& AddIntegers(const char* key, const std::vector<uint64_t>& values);
    CJsonLine& AddNull(const char* key);
    // A nested object.
    CJsonLine& AddObject(const char* key, const CJsonLine& value) { return AddRaw(key, value.Text()); }
    CJsonLine& AddStrings(const char* key, const std::vector<std::string>& values);
    // An array of objects.
    CJsonLine& AddArray(const char* key, const std::vector<CJsonLine>& values);
    // A string, or null when `value` is empty.
    CJsonLine& AddOrNull(const char* key, const std::string& value);

    std::string Text() const { return "{" + m_strBody + "}"; }

private:
    CJsonLine& AddRaw(const char* key, const std::string& json);
    std::string m_strBody;
};

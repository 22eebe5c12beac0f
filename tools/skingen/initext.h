#pragma once

#include <QRect>

#include <string>

// The text of a profile file, built section by section in the order written.
class CIniText {
public:
    void Comment(const std::string& text);
    void Section(const std::string& name);
    void Value(const std::string& key, const std::string& value);
    void Value(const std::string& key, const QRect& rect);
    void Value(const std::string& key, int value);

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

#include "tools/skingen/initext.h"

void CIniText::Comment(const std::string& text) { m_text += "; " + text + "\n"; }

void CIniText::Section(const std::string& name)
{
    if (!m_text.empty())
        m_text += "\n";
    m_text += "[" + name + "]\n";
}

void CIniText::Value(const std::string& key, const std::string& value) { m_text += key + "=" + value + "\n"; }

// Rectangles are written as the player reads them: <left><top><width><height>.
void CIniText::Value(const std::string& key, const QRect& rect)
{
    const auto n = [](int v) { return "<" + std::to_string(v) + ">"; };
    Value(key, n(rect.x()) + n(rect.y()) + n(rect.width()) + n(rect.height()));
}

void CIniText::Value(const std::string& key, int value) { Value(key, std::to_string(value)); }

#include "tools/skingen/windowlayout.h"

#include <stdexcept>

QRect CWindowLayout::Place(const CRectEntry& entry, bool pal) const { return Shifted(entry.rect, pal && entry.palFollows); }

QRect CWindowLayout::Find(const std::string& key, bool pal) const
{
    for (const CRectEntry& entry : m_rects)
        if (entry.key == key)
            return Place(entry, pal);
    throw std::logic_error("no position " + key);
}

QRect CWindowLayout::Place(const CButtonDef& button, bool pal) const
{
    return Shifted(button.rect, pal && button.palFollows);
}

void CWindowLayout::AddRect(const std::string& section, const std::string& key, const QRect& rect, bool palFollows)
{
    m_rects.push_back({section, key, rect, palFollows});
}

void CWindowLayout::AddButton(const std::string& imageSection, const std::string& positionSection,
                              const std::string& key, const QRect& rect, bool palFollows, EButtonKind kind,
                              EIcon icon, const QString& text)
{
    AddRect(positionSection, key, rect, palFollows);
    m_buttons.push_back({imageSection, positionSection, key, rect, palFollows, kind, icon, text, m_bLatched});
}

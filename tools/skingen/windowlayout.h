#pragma once

#include "tools/skingen/skinrecords.h"

#include <QSize>

#include <vector>

// The geometry of one skinned window: its rectangle values and skin buttons in
// res.ini order, and the panels its background shows. A window with a taller PAL
// picture moves some positions down by its PAL shift.
class CWindowLayout {
public:
    virtual ~CWindowLayout() = default;

    virtual QSize WindowSize(bool pal) const = 0;
    virtual std::vector<CPanel> Panels(bool pal) const = 0;

    const std::vector<CRectEntry>& Rects() const { return m_rects; }
    const std::vector<CButtonDef>& Buttons() const { return m_buttons; }

    // Where the window puts `entry` in the given layout.
    QRect Place(const CRectEntry& entry, bool pal) const;
    QRect Find(const std::string& key, bool pal) const;
    // The button's rectangle in the given layout.
    QRect Place(const CButtonDef& button, bool pal) const;

protected:
    explicit CWindowLayout(int palShift) : m_nPalShift(palShift) {}

    void AddRect(const std::string& section, const std::string& key, const QRect& rect, bool palFollows);
    void AddButton(const std::string& imageSection, const std::string& positionSection, const std::string& key,
                   const QRect& rect, bool palFollows, EButtonKind kind, EIcon icon, const QString& text = {});
    // Dialog buttons have no latched picture.
    void SetLatched(bool latched) { m_bLatched = latched; }
    QRect Shifted(const QRect& rect, bool pal) const { return pal ? rect.translated(0, m_nPalShift) : rect; }

private:
    std::vector<CRectEntry> m_rects;
    std::vector<CButtonDef> m_buttons;
    int m_nPalShift;
    bool m_bLatched = true;
};

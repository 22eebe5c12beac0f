#pragma once

#include <QString>

#include <array>

class CProfileFile;

// The skin's tool tip texts for the player window's controls. They show only while
// the skin switches them on, and a text is cut to 79 characters.
//
// Threads: window thread only.
class CPlayerToolTips {
public:
    // Reads the texts ("EMPTY" where the skin has none) and whether they show.
    void Load(const CProfileFile& profile);
    // What control `id` shows: empty while the tips are off.
    QString TextFor(int id) const;
    // The keys of the activity search, on the text that shows the index's progress:
    // the skin has no control of its own for them, so they are not the skin's to switch off.
    static QString ActivityKeys();

private:
    static size_t IndexFor(int id);

    std::array<QString, 24> m_strText;
    bool m_bOn = false;
};

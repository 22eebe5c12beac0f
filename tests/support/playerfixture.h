#pragma once

#include "platform/messagebox.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class CMainFrame;

// A program folder of its own for each test: a small skin whose every control has a
// distinct rectangle, pictures for the buttons, and the messages the program showed.
class CPlayerFixture {
public:
    CPlayerFixture();
    ~CPlayerFixture();

    QString Folder() const { return m_dir.path() + "/"; }
    QString IniPath() const { return Folder() + "res.ini"; }

    // Writes the skin; `extra` lines are appended (e.g. "[INFO]\nPAL=1").
    void WriteSkin(const QString& extra = QString());
    // The rectangle the skin gives a key, as the tests expect the control to sit.
    QRect SkinRect(const char* section, const std::string& key) const;

    // A frame with its view built for `commandLine`; null when the frame refused.
    std::unique_ptr<CMainFrame> Start(const QString& commandLine);

    QStringList m_messages; // "caption|text"

private:
    QTemporaryDir m_dir;
    CMessageBox::Handler m_previous;
};

// What the player says, once, when a recording with sound opens on a computer without
// any sound device (the test machine has no sound server), as the fixture records it.
inline const QString NO_SOUND_DEVICE_MESSAGE =
    "Error|Audio initialize exception.\nNo sound device was found, so the recording plays without sound";

// The colour a test picture of a button slot is filled with.
QColor SlotColour(int slot);

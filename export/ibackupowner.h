#pragma once

#include <QString>

// What the backup window asks of the window that owns it: to start and to stop the
// export it has set up, and how far the running export is. Window thread.
class IBackupOwner {
public:
    virtual void StartBackup() = 0;
    virtual void StopBackup() = 0;
    // The running export's file and frame count, as the window shows them.
    virtual QString BackupProgressText() const = 0;
    // The window is done with the keyboard: the player's keys act on the player again.
    virtual void ReturnKeyboard() = 0;

protected:
    ~IBackupOwner() = default;
};

#pragma once

#include <QString>

#include <optional>

// Where the player writes: exports, stills and its one option that it remembers.
// A program folder the user can write to (a build, a copy on a USB stick) keeps them
// inside it, as the player always did: avi/, Backup/ and res.ini itself. An installed
// program folder that the user cannot write to sends them to the user's own folders:
// Videos/KVXPlayer/avi/ and Pictures/KVXPlayer/Backup/, and the option goes to a
// per-user res.ini in the user's KVXPlayer settings folder (UserSettingsFolder), read
// in preference to the program folder's.
//
// Folder paths end with '/'. Plain value type; any thread.
class COutputFolders {
public:
    // Decides by trying to write into `programFolder`.
    explicit COutputFolders(const QString& programFolder);
    // The decision made by the caller: for tests, and for callers that already know.
    COutputFolders(const QString& programFolder, bool programFolderWritable);

    bool IsInProgramFolder() const { return m_bInProgramFolder; }
    const QString& AviFolder() const { return m_strAvi; }
    const QString& BackupFolder() const { return m_strBackup; }
    // The file the remembered option is read from first and written to.
    const QString& OptionsPath() const { return m_strOptions; }

    // Creates `folder` and its parents when missing. False when it cannot be made.
    static bool Ensure(const QString& folder);
    // As above; when it cannot be made, `reason` says why, in the system's words.
    static bool Ensure(const QString& folder, QString& reason);
    // Whether a file can be created in `folder` (tried, not guessed from permissions:
    // they say nothing on a read-only medium and everything for the superuser).
    static bool IsWritable(const QString& folder);
    // Makes IsWritable answer `writable` for every folder, or try again when empty: a
    // read-only medium is what a test running as the superuser cannot make.
    static void SetWritableForTest(std::optional<bool> writable);
    // ~/.config/KVXPlayer/ (as XDG_CONFIG_HOME says): the recent-file list and the
    // user's own res.ini, side by side.
    static QString UserSettingsFolder();

private:
    bool m_bInProgramFolder;
    QString m_strAvi, m_strBackup, m_strOptions;
};

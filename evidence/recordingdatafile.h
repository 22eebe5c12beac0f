#pragma once

#include "evidence/recordingidentity.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <string>

// The file the user's data of one kind (bookmarks, masks) about one recording is kept
// in: in a folder of the user's data location, named after the recording's identity,
// never beside the recording. It is replaced whole at each save; a file that cannot be
// read as what it should hold is set aside under a name of its own (".damaged-N"),
// never dropped, for a person to read.
//
// Threads: one thread at a time.
class CRecordingDataFile {
public:
    enum class ERead { Missing, Read, Failed };

    // Files of `what` ("bookmarks", "masks": the word messages use) in `folder`,
    // which is made when first written.
    CRecordingDataFile(QString folder, std::string what);
    // KVXPlayer/<name>/ under QStandardPaths' generic data location, shared by the
    // player and kvxtool.
    static QString FolderNamed(const char* name);

    // The recording whose file this is, and the path it was opened at (kept for a person).
    void Bind(const CRecordingIdentity& identity, const std::string& recordingPath);
    const CRecordingIdentity& Identity() const { return m_identity; }
    // {"size", "identity", "path"}: the recording, for a file that names it.
    QJsonObject RecordingJson() const;
    QString FilePath() const;

    // The file's bytes; Missing when there is none yet; Failed with `message` naming
    // the file and the reason.
    ERead Read(QByteArray& bytes, std::string& message) const;
    // Moves the damaged file aside; `message` names it, `reason`, and where it went.
    // False when it could not be moved: then nothing can be kept until it is.
    bool SetAside(const std::string& reason, std::string& message) const;
    // Replaces the file with `bytes`; false with `error` naming the file and the reason.
    bool Write(const QByteArray& bytes, std::string& error) const;

private:
    QString m_strFolder; // ends with '/'
    std::string m_strWhat;
    CRecordingIdentity m_identity;
    std::string m_strRecording;
};

#pragma once

#include "platform/sumsignature.h"
#include "snapshot/stillexif.h"

#include <QImage>
#include <QString>

#include <optional>

class QWidget;

// A still the editor saved, and whether its sums were signed.
struct CSavedStill {
    QString m_strPath;
    CSigningOutcome m_signing;
};

// The editor's save: a still into the Backup folder as CSnapshotFile names and writes
// it. When it cannot be saved there, the user is told where it was to go and why it
// failed, and is offered a folder of their choosing, into which it is saved with the
// same name rules, never replacing a file; later saves go there too, while the
// program runs. Window thread only.
class CStillSaver {
public:
    // `appTitle` is the caption of the messages.
    explicit CStillSaver(QString appTitle);

    void SetFolder(const QString& folder) { m_strFolder = folder; }
    const QString& Folder() const { return m_strFolder; }

    // The saved file; none when it was not saved (the user was told why, or chose no
    // other folder).
    std::optional<CSavedStill> Save(QWidget* parent, const CStillMetadata& still, const QImage& picture);

private:
    const QString m_strAppTitle;
    QString m_strFolder;
};

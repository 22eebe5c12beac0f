#include "snapshot/stillsaver.h"

#include "platform/folderdialog.h"
#include "platform/messagebox.h"
#include "snapshot/snapshotfile.h"

#include <QDir>

namespace {

QString Failure(const QString& path, const QString& reason)
{
    return QString("Can not save the picture to %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

CStillSaver::CStillSaver(QString appTitle) : m_strAppTitle(std::move(appTitle)) {}

// Each folder that fails is named with its reason before the next is asked for, so
// the user never picks a folder without knowing why the last one would not do.
std::optional<CSavedStill> CStillSaver::Save(QWidget* parent, const CStillMetadata& still, const QImage& picture)
{
    QString folder = m_strFolder;
    for (;;) {
        QString path, reason;
        CSigningOutcome signing;
        if (CSnapshotFile::Save(folder, still, picture, path, reason, signing)) {
            m_strFolder = folder;
            return CSavedStill{path, signing};
        }
        if (picture.isNull()) {
            CMessageBox::Show(parent, m_strAppTitle, Failure(path, reason));
            return std::nullopt;
        }
        CMessageBox::Show(parent, m_strAppTitle,
                          Failure(path, reason) + "\n\nChoose another folder for it, or cancel to leave it unsaved.");
        folder = CFolderDialog::GetExistingDirectory(parent, "Save the picture in", QDir::homePath());
        if (folder.isEmpty())
            return std::nullopt;
    }
}

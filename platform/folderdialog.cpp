#include "platform/folderdialog.h"

#include "platform/nativefilename.h"

#include <QFileDialog>

namespace {
CFolderDialog::Handler& CurrentHandler()
{
    static CFolderDialog::Handler handler;
    return handler;
}
} // namespace

QString CFolderDialog::GetExistingDirectory(QWidget* parent, const QString& caption, const QString& folder)
{
    const QString chosen =
        CurrentHandler() ? CurrentHandler()(caption, folder) : QFileDialog::getExistingDirectory(parent, caption, folder);
    return CNativeFileName::FromDialog(chosen);
}

CFolderDialog::Handler CFolderDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

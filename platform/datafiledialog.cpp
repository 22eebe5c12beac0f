#include "platform/datafiledialog.h"

#include "platform/nativefilename.h"

#include <QFileDialog>

namespace {
CDataFileDialog::Handler& CurrentHandler()
{
    static CDataFileDialog::Handler handler;
    return handler;
}
} // namespace

QString CDataFileDialog::GetFileName(QWidget* parent, EMode mode, const QString& caption, const QString& folder,
                                     const QString& filter)
{
    QString chosen;
    if (CurrentHandler())
        chosen = CurrentHandler()(mode, caption, folder);
    else if (mode == EMode::Load)
        chosen = QFileDialog::getOpenFileName(parent, caption, folder, filter, nullptr, QFileDialog::ReadOnly);
    else
        chosen = QFileDialog::getSaveFileName(parent, caption, folder, filter);
    return CNativeFileName::FromDialog(chosen);
}

CDataFileDialog::Handler CDataFileDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

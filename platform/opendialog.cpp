#include "platform/opendialog.h"

#include <QFileDialog>

namespace {
COpenDialog::Handler& CurrentHandler()
{
    static COpenDialog::Handler handler;
    return handler;
}
} // namespace

QString COpenDialog::GetOpenFileName(QWidget* parent, const QString& folder)
{
    if (CurrentHandler())
        return CurrentHandler()(folder);
    return QFileDialog::getOpenFileName(parent, "Open", folder, "All Files (*)", nullptr,
                                        QFileDialog::ReadOnly | QFileDialog::HideNameFilterDetails);
}

COpenDialog::Handler COpenDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

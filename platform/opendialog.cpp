#include "platform/opendialog.h"

#include "platform/nativefilename.h"

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
    const QString chosen = CurrentHandler()
                               ? CurrentHandler()(folder)
                               : QFileDialog::getOpenFileName(parent, "Open", folder, "All Files (*)", nullptr,
                                                              QFileDialog::ReadOnly | QFileDialog::HideNameFilterDetails);
    return CNativeFileName::FromDialog(chosen);
}

COpenDialog::Handler COpenDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

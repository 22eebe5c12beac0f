#include "platform/opendialog.h"

#include "platform/nativefilename.h"

#include <QFileDialog>

namespace {
COpenDialog::Handler& CurrentHandler()
{
    static COpenDialog::Handler handler;
    return handler;
}

// Recordings first, so the dialog opens on them; "All files" for a recording that
// came with another name.
const char* const FILTERS = "DVR recordings (*.kvx *.KVX);;All files (*)";
} // namespace

QString COpenDialog::GetOpenFileName(QWidget* parent, const QString& folder)
{
    const QString chosen = CurrentHandler()
                               ? CurrentHandler()(folder)
                               : QFileDialog::getOpenFileName(parent, "Open", folder, FILTERS, nullptr,
                                                              QFileDialog::ReadOnly);
    return CNativeFileName::FromDialog(chosen);
}

COpenDialog::Handler COpenDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

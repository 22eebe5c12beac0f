#include "platform/printdialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {
CPrintDialog::Handler& CurrentHandler()
{
    static CPrintDialog::Handler handler;
    return handler;
}
} // namespace

// All pages, no selection and no page range: there is one page. Printing to a file
// stays on offer, as that is how a PDF is printed here.
bool CPrintDialog::Exec(QWidget* parent, QPrinter& printer)
{
    if (CurrentHandler())
        return CurrentHandler()(printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

CPrintDialog::Handler CPrintDialog::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

#include "platform/messagebox.h"

#include <QMessageBox>

namespace {
CMessageBox::Handler& CurrentHandler()
{
    static CMessageBox::Handler handler;
    return handler;
}
} // namespace

void CMessageBox::Show(QWidget* parent, const QString& caption, const QString& text)
{
    if (CurrentHandler()) {
        CurrentHandler()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

CMessageBox::Handler CMessageBox::SetHandler(Handler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

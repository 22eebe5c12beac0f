#include "platform/messagebox.h"

#include <QMessageBox>
#include <QWidget>

namespace {
CMessageBox::Handler& CurrentHandler()
{
    static CMessageBox::Handler handler;
    return handler;
}
} // namespace

void CMessageBox::Show(QWidget* parent, const QString& caption, const QString& text)
{
    // A message that comes while the window is still being built stands over that
    // window, not alone on an empty screen. A window hidden on purpose stays hidden.
    QWidget* window = parent ? parent->window() : nullptr;
    if (window && !window->isVisible() && !window->testAttribute(Qt::WA_WState_ExplicitShowHide))
        window->show();
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

#include "app/aboutdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {
// The dialog is 235 x 55 dialog units; a dialog unit of the desktop's dialog font is
// about 1.5 pixels across and 1.625 down.
QRect DialogUnits(int x, int y, int w, int h)
{
    return QRect(x * 3 / 2, y * 13 / 8, w * 3 / 2, h * 13 / 8);
}
} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About  KVXPlayer");
    setFixedSize(DialogUnits(0, 0, 235, 55).size());
    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                                          : windowIcon().pixmap(32, 32));
    icon->setGeometry(DialogUnits(11, 17, 21, 20));
    auto* text = new QLabel("KVXPlayer VER 1. 4. 02. 23", this);
    text->setGeometry(DialogUnits(40, 10, 130, 8));
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    ok->setGeometry(DialogUnits(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

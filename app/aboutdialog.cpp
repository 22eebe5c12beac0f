#include "app/aboutdialog.h"

#include "export/mp4writer.h"
#include "platform/sha256.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <jconfig.h>

namespace {
// The dialog is 235 dialog units wide, its first 55 down as it always was; a dialog unit of the desktop's dialog font is
// about 1.5 pixels across and 1.625 down.
QRect DialogUnits(int x, int y, int w, int h)
{
    return QRect(x * 3 / 2, y * 13 / 8, w * 3 / 2, h * 13 / 8);
}

// "2.1.5" from the header's 2001005.
QString JpegLibraryVersion()
{
    constexpr int number = LIBJPEG_TURBO_VERSION_NUMBER;
    return QString("%1.%2.%3").arg(number / 1000000).arg(number / 1000 % 1000).arg(number % 1000);
}

// Whoever hands an export on may have to say what made it: the version, the licence
// and the libraries that decoded, encoded and hashed.
QString DetailsText()
{
    return QString("Version 1.4.2.23\n"
                   "Licence: GPL-3.0-or-later\n"
                   "(GNU General Public License, version 3 or later)\n\n"
                   "Built with:\n"
                   "Qt %1\n"
                   "libjpeg-turbo %2\n"
                   "FFmpeg %3\n"
                   "%4")
        .arg(qVersion(), JpegLibraryVersion(), QString::fromStdString(CMp4Writer::LibraryVersion()),
             QString::fromStdString(CSha256::LibraryVersion()));
}
} // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About  KVXPlayer");
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                        : QApplication::windowIcon().pixmap(32, 32));
    icon->setGeometry(DialogUnits(11, 17, 21, 20));
    auto* text = new QLabel("KVXPlayer VER 1. 4. 02. 23", this);
    text->setGeometry(DialogUnits(40, 10, 130, 8));
    auto* details = new QLabel(DetailsText(), this);
    details->setObjectName("details");
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details->setWordWrap(true);
    details->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    details->setGeometry(DialogUnits(40, 24, 188, 94));
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    ok->setGeometry(DialogUnits(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(DialogUnits(0, 0, 235, 125).size());
}

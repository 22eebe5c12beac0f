#include "tests/support/editskin.h"

#include <QImage>

namespace {

void SaveFilled(const QString& path, QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path, "BMP"))
        qFatal("cannot write %s", qPrintable(path));
}

QString Rect(const QRect& r)
{
    return QString("<%1><%2><%3><%4>").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

QString editskin::Write(const QString& folder)
{
    SaveFilled(folder + "editnt.bmp", QSize(1000, 640), NTSC_GROUND);
    SaveFilled(folder + "editpal.bmp", QSize(1000, 741), PAL_GROUND);
    SaveFilled(folder + "editbutton.bmp", QSize(80, 30), QColor(200, 200, 200));
    QString ini = "[KVX_EDIT]\nNTSKIN=editnt.bmp\nPALSKIN=editpal.bmp\n[EDIT POS]\n";
    ini += QString("POS_OVERLAY_TERM=<%1><%2>\n").arg(PICTURE_ORIGIN.x()).arg(PICTURE_ORIGIN.y());
    const char* const texts[8] = {"POS_REC_DATE_TIME_TXT", "POS_REC_DATE", "POS_REC_TIME", "POS_IMG_SIZE_TXT",
                                  "POS_IMG_WIDTH", "POS_IMG_HEIGHT", "POS_COMMAND_TXT", "POS_COMMAND"};
    for (int i = 0; i < 8; ++i)
        ini += QString("%1=%2\n").arg(texts[i], Rect(QRect(790, 60 + 16 * i, 200, 14)));
    ini += "POS_SAVE_OK=" + Rect(SAVE_OK_RECT) + "\n";
    struct CButton {
        const char* key;
        const char* section;
    };
    const CButton buttons[9] = {{"POS_BRIGHT", "BTN_BRIGHT"},      {"POS_DARK", "BTN_DARK"},
                                {"POS_SHARPEN", "BTN_SHARPEN"},    {"POS_BLUR", "BTN_BLUR"},
                                {"POS_CONTRAST_UP", "BTN_CONTRAST_UP"}, {"POS_CONTRAST_DN", "BTN_CONTRAST_DN"},
                                {"POS_SAVE", "BTN_SAVE"},          {"POS_PRINT", "BTN_PRINT"},
                                {"POS_CLOSE", "BTN_CLOSE_EDIT"}};
    for (int i = 0; i < 9; ++i)
        ini += QString("%1=%2\n").arg(buttons[i].key, Rect(i == 6 ? SAVE_RECT : QRect(790 + 90 * (i / 6), 300 + 40 * (i % 6), 80, 30)));
    for (const CButton& b : buttons)
        ini += QString("[%1]\nNORMAL=editbutton.bmp\nDOWN=editbutton.bmp\nDISABLE=editbutton.bmp\n").arg(b.section);
    return ini;
}

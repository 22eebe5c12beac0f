#include "snapshot/snapshotprinter.h"

#include "platform/messagebox.h"
#include "platform/outputfile.h"
#include "platform/printdialog.h"
#include "snapshot/snapshotfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>

namespace {

const QString RULE(89, '_');
constexpr int CAPTION_GAP = 4; // in 1/84 inch

// n x numerator / denominator, rounded half away from zero.
int MulDiv(int n, int numerator, int denominator)
{
    const int64_t product = int64_t(n) * numerator;
    const int64_t half = denominator / 2;
    return int((product >= 0 ? product + half : product - half) / denominator);
}

QString PageTime(const CDateTime& t)
{
    if (!t.IsValid())
        return "---";
    return QString::asprintf("%d-%02d-%02d %02d:%02d:%02d", t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                             t.GetMinute(), t.GetSecond());
}

CDateTime FromQDateTime(const QDateTime& at)
{
    const QDate d = at.date();
    const QTime t = at.time();
    return CDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

// The print font: Arial of a character height of 10/84 inch, normal weight.
QFont PrintFont(int dpiY)
{
    QFont font("Arial");
    font.setPixelSize(MulDiv(10, dpiY, 84));
    font.setWeight(QFont::Normal);
    font.setFixedPitch(true);
    return font;
}

} // namespace

bool CSnapshotPrinter::PrintSnapshot(QWidget* parent, const QImage& picture, QSize pictureSize,
                                     const SNAPSHOTINFO& info, const QStringList& filters, const QString& caption)
{
    QPrinter printer(QPrinter::HighResolution);
    // The print dialog proposes a file named after the document; the job itself
    // keeps the program's document name.
    printer.setDocName(QFileInfo(CSnapshotFile::FileName(info.m_timeSnapshot)).completeBaseName());
    if (!CPrintDialog::Exec(parent, printer))
        return false;
    printer.setDocName(DOC_NAME);
    if (!ClaimOutputFile(parent, printer.outputFileName(), info, caption))
        return false;
    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer)) {
        CMessageBox::Show(parent, caption, "No Printer Driver is installed");
        return false;
    }
    if (printer.printerState() == QPrinter::Error) {
        printer.abort();
        return false;
    }
    const CPageMetrics page{printer.logicalDpiX(), printer.logicalDpiY(),
                            printer.pageLayout().fullRectPixels(printer.resolution()).width()};
    PaintPage(painter, page, picture, pictureSize, info, filters, QDateTime::currentDateTime());
    return painter.end();
}

// Printing to a file (a PDF) writes by the file's name: that name is taken first by
// creating the file exclusively, so that the page never replaces a file that is
// there already, nor writes through a link there into what it names.
bool CSnapshotPrinter::ClaimOutputFile(QWidget* parent, const QString& path, const SNAPSHOTINFO& info,
                                       const QString& caption)
{
    if (path.isEmpty())
        return true; // to a printer
    const std::string recording = QFile::encodeName(info.m_strRecordingPath).toStdString();
    COutputFile file;
    if (file.Create(QFile::encodeName(path).toStdString(), false, {recording}) == COutputFile::ECreate::Created
        && file.Close())
        return true;
    CMessageBox::Show(parent, caption, "Can not print to " + QDir::toNativeSeparators(path) + "\n"
                                           + QString::fromLocal8Bit(file.ErrorText()));
    return false;
}

// Every text is placed by the top of its character cell.
void CSnapshotPrinter::PaintPage(QPainter& painter, const CPageMetrics& page, const QImage& picture,
                                 QSize pictureSize, const SNAPSHOTINFO& info, const QStringList& filters,
                                 const QDateTime& printedAt)
{
    const int dpiX = page.m_nDpiX, dpiY = page.m_nDpiY;
    const auto u = [dpiY](int n) { return MulDiv(n, dpiY, 84); };
    painter.setFont(PrintFont(dpiY));
    painter.setPen(Qt::black);
    const QFontMetrics metrics = painter.fontMetrics();
    const int aw = metrics.horizontalAdvance('A'), ah = metrics.height();
    const auto text = [&](int x, int y, const QString& s) { painter.drawText(x, y + metrics.ascent(), s); };

    const int pw = page.m_nPageWidth - 2 * dpiX - dpiX / 2;
    const int ph = pw * 3 / 4;
    const int y0 = dpiY;
    text(dpiX, y0, "KVX IMAGE EDIT");
    text(dpiX + aw + u(430), y0, "VER 1.4");
    const int y1 = y0 + ah + u(1);
    text(dpiX, y1, RULE);
    const int y2 = y1 + ah + u(10);
    text(dpiX + aw + u(175), y2, "BACKUP DATE/TIME");
    const int y3 = y2 + ah + u(4);
    text(dpiX + aw + u(75), y3, PageTime(info.m_timeStart));
    text(dpiX + aw + u(210), y3, "~");
    text(dpiX + aw + u(260), y3, PageTime(info.m_timeEnd));

    const int pictureTop = dpiY + u(120);
    painter.drawImage(QRect(dpiX, pictureTop, pw, ph), picture);
    // The caption keeps a small space from the picture, so that neither is read as
    // part of the other.
    const int y4 = pictureTop + ph + u(CAPTION_GAP);
    text(dpiX, y4, QString::asprintf("%02d CH", info.m_nChannel + 1));
    text(dpiX + aw + u(385), y4, PageTime(info.m_timeSnapshot));
    const QString printed = PageTime(FromQDateTime(printedAt));
    const QStringList disclosure = {
        "ENHANCEMENT : " + (filters.isEmpty() ? QString("none") : filters.join(", ")),
        QString("SOURCE : %1, CAMERA %2").arg(QFileInfo(info.m_strRecordingPath).fileName()).arg(info.m_nChannel + 1, 2, 10, QChar('0')),
        "PRINTED : " + printed};
    for (int i = 0; i < disclosure.size(); ++i)
        text(dpiX, y4 + (i + 1) * (ah + u(4)) + u(8), disclosure[i]);
    const int y5 = y4 + ah + u(300);
    text(dpiX, y5, RULE);
    const int y6 = y5 + ah + u(6);
    text(dpiX, y6, printed);
    text(dpiX + aw + u(410), y6, QString::asprintf("%03d * %03d PIXEL", pictureSize.width(), pictureSize.height()));
}

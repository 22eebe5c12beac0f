#pragma once

#include "snapshot/snapshotinfo.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

class QPainter;
class QWidget;

// Prints a snapshot on one page, laid out in printer units from the printer's
// resolution: a header, the recording's period, the picture 4 : 3 with its channel
// and date-time under it, then what the page must disclose to whoever reads it (the
// enhancement steps, the source recording and camera, the time of printing), and a
// footer with the time of printing and the picture's size. Positions count from the
// paper's corner, whatever margins the printer has.
class CSnapshotPrinter {
public:
    static constexpr const char* DOC_NAME = "KVX IMAGE PRINT";

    // Asks for the printer and prints. False when nothing was printed: the user
    // cancelled (silently), the file printed to exists or cannot be made, the
    // document could not start (the user is told, under `caption`, of both), or the
    // page could not start (silently; the document is dropped).
    // `pictureSize` is the snapshot's size as captured, printed in the footer;
    // `filters` the enhancement steps applied, in order. Printing to a file suggests
    // a name after the picture's time (20240318_140110.pdf).
    static bool PrintSnapshot(QWidget* parent, const QImage& picture, QSize pictureSize, const SNAPSHOTINFO& info,
                              const QStringList& filters, const QString& caption);

private:
    struct CPageMetrics {
        int m_nDpiX, m_nDpiY, m_nPageWidth;
    };
    static bool ClaimOutputFile(QWidget* parent, const QString& path, const SNAPSHOTINFO& info,
                                const QString& caption);
    static void PaintPage(QPainter& painter, const CPageMetrics& page, const QImage& picture, QSize pictureSize,
                          const SNAPSHOTINFO& info, const QStringList& filters, const QDateTime& printedAt);
};

#pragma once

#include "snapshot/snapshotinfo.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class QWidget;

// Prints a snapshot on one page, laid out in printer units from the printer's
// resolution: a header, the recording's period, the picture 4 : 3 with its channel
// and date-time under it, and a footer with the time of printing and the picture's
// size. Positions count from the paper's corner, whatever margins the printer has.
class CSnapshotPrinter {
public:
    static constexpr const char* DOC_NAME = "KVX IMAGE PRINT";

    // Asks for the printer and prints. False when nothing was printed: the user
    // cancelled (silently), the file printed to exists or cannot be made, the
    // document could not start (the user is told, under `caption`, of both), or the
    // page could not start (silently; the document is dropped).
    // `pictureSize` is the snapshot's size as captured, printed in the footer.
    static bool PrintSnapshot(QWidget* parent, const QImage& picture, QSize pictureSize, const SNAPSHOTINFO& info,
                              const QString& caption);

private:
    struct CPageMetrics {
        int m_nDpiX, m_nDpiY, m_nPageWidth;
    };
    static bool ClaimOutputFile(QWidget* parent, const QString& path, const SNAPSHOTINFO& info,
                                const QString& caption);
    static void PaintPage(QPainter& painter, const CPageMetrics& page, const QImage& picture, QSize pictureSize,
                          const SNAPSHOTINFO& info, const QDateTime& printedAt);
};

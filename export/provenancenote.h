#pragma once

#include "export/backupsetting.h"
#include "export/exportoptions.h"
#include "playback/frametime.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

// What the note beside an export says about it.
struct CProvenance {
    QString m_strCopy;             // the export's file
    CExportOptions m_options;      // with the master
    QString m_strCameras;          // "02", or "01, 02, 03, 04" for a mosaic
    CFrameTime m_first, m_last;
    uint32_t m_nFrames = 0;
    QString m_strFormat;           // e.g. "MP4 (H.264), 360 x 240, 4:3"
    QStringList m_timing;          // how the copy is timed, and its discontinuities
    QDateTime m_exportedAt;        // the computer's time when the export ended
    QString m_strSignedBy;         // "key FP (NAME), in NN_Capture.sha256.sig", or why none
};

// NN_Capture.txt: traces a working copy to its master recording (path, size,
// SHA-256), says which cameras, stretch, frames, format and options it holds, that it
// is not the master, the user's bookmarks dated within it, which program made it
// when, and who signs it. CR LF lines, as the log's.
QByteArray ProvenanceText(const CProvenance& p);
// A recorder date-time as the stamp, the log and the notes write it: "2024/03/18 14:00:05".
QString TimeText(const CFrameTime& t);
// The format line: "MP4 (H.264, ...), 360 x 240 pixels, shown at 4:3, ...".
QString FormatText(const BACKUPSETTING& setting, const CExportOptions& options);

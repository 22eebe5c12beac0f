#pragma once

#include "platform/sumsignature.h"
#include "recording/datetime.h"
#include "snapshot/stillexif.h"

#include <QImage>
#include <QString>

// A saved snapshot: a JPEG file (quality 80, 4:2:0 chroma) in the Backup folder,
// named after the recording date-time of the picture, which its EXIF block carries
// too. An existing file is never replaced: a name already taken, by a file or a link,
// is followed by name(1).jpg, name(2).jpg, ... Each name is taken by creating the
// file exclusively, so saves running at once into one folder each get a name of
// their own; a name whose sums or signature are there already is passed by too.
// Beside the still: NAME.jpg.sha256 over its bytes, signed with the user's key
// (NAME.jpg.sha256.sig). A still whose sums or signature cannot be written is kept,
// unsigned, with the reason.
class CSnapshotFile {
public:
    static constexpr int QUALITY = 80;

    // "20240115_093005.jpg" for a picture stamped 15 January 2024, 09:30:05;
    // "snapshot.jpg" without a time.
    static QString FileName(const CDateTime& time);

    // Saves `picture` (rows top-down, any format) into `folder`, creating it when
    // missing, named after the still's recording time (with _redacted when masks hide
    // parts of it) and carrying its EXIF block.
    // `path` receives the file's path, or when the save fails the path it was meant
    // for, and `reason` then says why, in the system's words where it gave any.
    // `signing` says whether a saved still was signed, and if not why.
    static bool Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path,
                     QString& reason, CSigningOutcome& signing);
    // As above, for callers that word the failure themselves.
    static bool Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path);
};

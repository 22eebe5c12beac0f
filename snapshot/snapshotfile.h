#pragma once

#include "recording/datetime.h"
#include "snapshot/stillexif.h"

#include <QImage>
#include <QString>

// A saved snapshot: a JPEG file (quality 80, 4:2:0 chroma) in the Backup folder,
// named after the recording date-time of the picture, which its EXIF block carries too. An existing file is never
// replaced: a name already taken is followed by name(1).jpg, name(2).jpg, ...
class CSnapshotFile {
public:
    static constexpr int QUALITY = 80;

    // "20240115_093005.jpg" for a picture stamped 15 January 2024, 09:30:05;
    // "snapshot.jpg" without a time.
    static QString FileName(const CDateTime& time);
    // The first path of the series name.jpg, name(1).jpg, name(2).jpg, ... that no
    // file takes.
    static QString FirstFreePath(const QString& path);

    // Saves `picture` (rows top-down, any format) into `folder`, creating it when
    // missing, named after the still's recording time and carrying its EXIF block.
    // `path` receives the file's path, or when the save fails the path it was meant for.
    static bool Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path);
};

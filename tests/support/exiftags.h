#pragma once

#include "tests/support/toolrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The EXIF tags of a JPEG file as exiftool, an independent reader, sees them:
// {"DateTimeOriginal": "2024:03:18 14:00:30", "ImageDescription": ..., "Software": ...}.
// Empty when exiftool could not read the file.
inline QJsonObject ExifTags(const QString& path)
{
    const CToolRun run = CToolRun::Of("exiftool", {"-j", "-EXIF:all", path});
    return QJsonDocument::fromJson(run.out).array().first().toObject();
}

#pragma once

#include "recording/datetime.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// What a saved still says about itself, so that photo tools sort stills by when they
// were recorded and anyone can tell where a still came from and what was done to it.
struct CStillMetadata {
    CDateTime m_time;         // the picture's recording date-time
    int m_nChannel = 0;       // the camera as the tiles number it, from 1; 0 when unknown
    QString m_strRecording;   // the recording's file name, without its folder
    QStringList m_filters;    // the filter steps applied, in order: "BRIGHT", "SHARPEN", ...
    bool m_bRedacted = false; // privacy masks hide parts of it: named and described so
};

// The EXIF block of a still, written with libexif: DateTimeOriginal (the recording
// time), ImageDescription ("Camera 03; recording sample16.kvx; filters BRIGHT,
// SHARPEN") and Software (program name and version).
class CStillExif {
public:
    // "Camera 03; recording NAME; filters BRIGHT, SHARPEN" ("filters none" without any).
    static QString Description(const CStillMetadata& still);
    // A whole JPEG APP1 segment (marker, length, "Exif" header and data) for a picture
    // of width x height, or empty when libexif could not build one: the still is then
    // saved without it.
    static std::vector<uint8_t> Segment(const CStillMetadata& still, int width, int height);
};

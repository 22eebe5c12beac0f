#pragma once

#include "platform/bitmapinfoheader.h"
#include "snapshot/imagefilter.h"

#include <QImage>

#include <string>

// The snapshot as a Windows bitmap file: a 14-byte file header, the 40-byte picture
// header and 24-bit rows bottom-up (blue, green, red), each padded with zero bytes to
// a multiple of 4. This is how the player hands a snapshot to the editor (in
// memory, never through a file), and how the editor's working picture is held.
class CSnapshotBitmap {
public:
    static constexpr uint32_t PIXEL_OFFSET = 54;

    // The header of a 24-bit bottom-up picture of this size.
    static BITMAPINFOHEADER HeaderFor(int width, int height);
    // `picture` in that layout; an empty block for a null picture or when no memory
    // can be had.
    static CBitmapBlock BitmapOf(const QImage& picture);
    // Writes `picture` in that layout into a new file. False when the file exists or
    // cannot be written whole; nothing is left behind then.
    static bool WriteBitmapFile(const std::string& path, const QImage& picture);
    // The pixels of a block (from its pixel offset 54) as a top-down picture, read
    // with `header`. A null image when the header is not of a 24-bit picture whose
    // rows fit in the block.
    static QImage PictureOf(const CBitmapBlock& block, const BITMAPINFOHEADER& header);
};

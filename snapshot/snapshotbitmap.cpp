#include "snapshot/snapshotbitmap.h"

#include "snapshot/imagefilter.h"

#include <QFile>

#include <cstring>

namespace {

int64_t RowBytes(int64_t width)
{
    return (3 * width + 3) / 4 * 4;
}

template <typename T> void Put(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value); // the file is little-endian, as this machine
}

} // namespace

BITMAPINFOHEADER CSnapshotBitmap::HeaderFor(int width, int height)
{
    BITMAPINFOHEADER h;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biSizeImage = uint32_t(RowBytes(width) * height);
    return h;
}

bool CSnapshotBitmap::WriteBitmapFile(const std::string& path, const QImage& picture)
{
    if (picture.isNull())
        return false;
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    const BITMAPINFOHEADER h = HeaderFor(bgr.width(), bgr.height());
    QByteArray bytes;
    bytes.reserve(int(PIXEL_OFFSET + h.biSizeImage));
    bytes.append("BM", 2);
    Put(bytes, uint32_t(PIXEL_OFFSET + h.biSizeImage));
    Put(bytes, uint32_t(0));
    Put(bytes, PIXEL_OFFSET);
    bytes.append(reinterpret_cast<const char*>(&h), sizeof h);
    const QByteArray padding(int(RowBytes(bgr.width()) - 3 * bgr.width()), '\0');
    for (int y = bgr.height() - 1; y >= 0; --y) {
        bytes.append(reinterpret_cast<const char*>(bgr.constScanLine(y)), 3 * bgr.width());
        bytes.append(padding);
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(bytes) == bytes.size() && file.flush())
        return true;
    file.remove();
    return false;
}

QImage CSnapshotBitmap::PictureOf(const CBitmapBlock& block, const BITMAPINFOHEADER& h)
{
    if (!block || h.biBitCount != 24 || h.biWidth <= 0 || h.biHeight <= 0)
        return {};
    // Divided, not multiplied: a header from a damaged file can name sides whose
    // product no integer holds.
    const int64_t row = RowBytes(h.biWidth);
    const int64_t pixelBytes = int64_t(block.m_nSize) - PIXEL_OFFSET;
    if (pixelBytes < row || h.biHeight > pixelBytes / row)
        return {};
    const QImage bottomUp(block.m_pBytes.get() + PIXEL_OFFSET, h.biWidth, h.biHeight, qsizetype(row),
                          QImage::Format_BGR888);
    return bottomUp.mirrored(false, true);
}

#include "snapshot/snapshotbitmap.h"

#include "platform/outputfile.h"

#include <cstring>
#include <new>

namespace {

int64_t RowBytes(int64_t width)
{
    return (3 * width + 3) / 4 * 4;
}

template <typename T> uint8_t* Put(uint8_t* at, const T& value)
{
    std::memcpy(at, &value, sizeof value); // the file is little-endian, as this machine
    return at + sizeof value;
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

CBitmapBlock CSnapshotBitmap::BitmapOf(const QImage& picture)
{
    if (picture.isNull())
        return {};
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    const BITMAPINFOHEADER h = HeaderFor(bgr.width(), bgr.height());
    CBitmapBlock block;
    block.m_nSize = PIXEL_OFFSET + h.biSizeImage;
    block.m_pBytes.reset(new (std::nothrow) uint8_t[block.m_nSize]());
    if (!block.m_pBytes)
        return {};
    uint8_t* at = block.m_pBytes.get();
    at = Put(at, uint16_t('B' | 'M' << 8));
    at = Put(at, uint32_t(block.m_nSize));
    at = Put(at, uint32_t(0));
    at = Put(at, PIXEL_OFFSET);
    at = Put(at, h);
    const size_t row = size_t(RowBytes(bgr.width()));
    for (int y = bgr.height() - 1; y >= 0; --y, at += row) // padding stays zero
        std::memcpy(at, bgr.constScanLine(y), size_t(3 * bgr.width()));
    return block;
}

bool CSnapshotBitmap::WriteBitmapFile(const std::string& path, const QImage& picture)
{
    const CBitmapBlock block = BitmapOf(picture);
    std::string error;
    return block && COutputFile::WriteNewFile(path, block.Bytes(), error) == COutputFile::ECreate::Created;
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

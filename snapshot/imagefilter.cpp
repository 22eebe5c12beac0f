#include "snapshot/imagefilter.h"

#include "platform/readonlyfile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>

namespace {

constexpr size_t FILE_SIZE_FIELD = 2;
constexpr size_t PIXEL_OFFSET_FIELD = 10;
constexpr size_t WIDTH_FIELD = 14 + 4;
constexpr size_t HEIGHT_FIELD = 14 + 8;

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16
         | uint32_t(bytes[at + 3]) << 24;
}

// The pixel array as the filters see it: rows of exactly 3 x width bytes.
struct CPixelArray {
    uint8_t* m_pBits;
    ptrdiff_t m_nRow;  // bytes a row
    ptrdiff_t m_nSize; // bytes in all
    int64_t m_nHeight;
};

// Nothing when the headers are cut short, the picture has no pixels, or its rows do
// not fit in the block behind the pixel offset.
std::optional<CPixelArray> PixelArray(std::span<uint8_t> picture)
{
    if (picture.size() < HEIGHT_FIELD + 4)
        return std::nullopt;
    const uint64_t offset = ReadU32(picture, PIXEL_OFFSET_FIELD);
    const int64_t width = int32_t(ReadU32(picture, WIDTH_FIELD));
    const int64_t height = int32_t(ReadU32(picture, HEIGHT_FIELD));
    if (width <= 0 || height <= 0 || offset > picture.size())
        return std::nullopt;
    const uint64_t size = 3 * uint64_t(width) * uint64_t(height); // below 2^64: both below 2^31
    if (size > picture.size() - offset)
        return std::nullopt;
    return CPixelArray{picture.data() + offset, ptrdiff_t(3 * width), ptrdiff_t(size), height};
}

uint8_t Clamp(int value)
{
    return uint8_t(std::clamp(value, 0, 255));
}

uint8_t ClampTruncated(double value)
{
    if (value > 255)
        return 255;
    if (value < 0)
        return 0;
    return uint8_t(value);
}

template <typename Change> bool ChangeEveryByte(std::span<uint8_t> picture, Change change)
{
    const std::optional<CPixelArray> a = PixelArray(picture);
    if (!a)
        return false;
    for (uint8_t* p = a->m_pBits; p != a->m_pBits + a->m_nSize; ++p)
        *p = change(*p);
    return true;
}

// The nine bytes of one colour around `p`, in the order UL U UR L V R DL D DR. The
// row before in memory is U, the row after D.
struct CNeighbourhood {
    int ul, u, ur, l, v, r, dl, d, dr;
};

CNeighbourhood Around(const uint8_t* p, ptrdiff_t row)
{
    return {p[-row - 3], p[-row], p[-row + 3], p[-3], p[0], p[3], p[row - 3], p[row], p[row + 3]};
}

// The causal in-place scan of the neighbourhood filters. From the second row in
// memory to the last, byte after byte, each new value is stored at once. The bytes
// computed are exactly those whose nine positions lie inside the array: from
// UL >= 0 (3 x width + 3) to DR < size, so the first pixel of the second row, the
// last pixel of the row below the top one, and the whole top row keep their values.
template <typename Kernel> bool ScanNeighbourhood(std::span<uint8_t> picture, Kernel kernel)
{
    const std::optional<CPixelArray> a = PixelArray(picture);
    if (!a)
        return false;
    if (a->m_nHeight <= 1)
        return true;
    const ptrdiff_t row = a->m_nRow;
    for (ptrdiff_t i = row + 3; i + row + 3 < a->m_nSize; ++i) {
        uint8_t* p = a->m_pBits + i;
        *p = kernel(Around(p, row));
    }
    return true;
}

// Without a branch: on noise a branch would guess wrong half the time.
void SortPair(int& a, int& b)
{
    const int low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// The fifth smallest of nine, by a fixed network of 19 exchanges, spelt out so that
// the nine values stay in registers.
int MedianOfNine(CNeighbourhood n)
{
    int p0 = n.ul, p1 = n.u, p2 = n.ur, p3 = n.l, p4 = n.v, p5 = n.r, p6 = n.dl, p7 = n.d, p8 = n.dr;
    SortPair(p1, p2), SortPair(p4, p5), SortPair(p7, p8);
    SortPair(p0, p1), SortPair(p3, p4), SortPair(p6, p7);
    SortPair(p1, p2), SortPair(p4, p5), SortPair(p7, p8);
    SortPair(p0, p3), SortPair(p5, p8), SortPair(p4, p7);
    SortPair(p3, p6), SortPair(p1, p4), SortPair(p2, p5);
    SortPair(p4, p7), SortPair(p4, p2), SortPair(p6, p4);
    SortPair(p4, p2);
    return p4;
}

} // namespace

CBitmapBlock CBitmapBlock::Copy() const
{
    CBitmapBlock copy;
    if (!m_pBytes)
        return copy;
    copy.m_pBytes.reset(new (std::nothrow) uint8_t[m_nSize]);
    if (copy.m_pBytes) {
        std::memcpy(copy.m_pBytes.get(), m_pBytes.get(), m_nSize);
        copy.m_nSize = m_nSize;
    }
    return copy;
}

CBitmapBlock CImageFilter::LoadBitmapFile(const std::string& path)
{
    CReadOnlyFile file;
    if (!file.Open(path) || file.Length() > std::numeric_limits<uint32_t>::max())
        return {};
    const size_t size = size_t(file.Length());
    CBitmapBlock block;
    block.m_pBytes.reset(new (std::nothrow) uint8_t[std::max<size_t>(size, 1)]);
    if (!block.m_pBytes)
        return {};
    block.m_nSize = size;
    if (file.Read(block.m_pBytes.get(), size) != int64_t(size))
        return {};
    return CheckedBitmap(std::move(block));
}

CBitmapBlock CImageFilter::CheckedBitmap(CBitmapBlock block)
{
    const std::span<const uint8_t> bytes = block.Bytes();
    if (!block || bytes.size() < FILE_SIZE_FIELD + 4 || bytes[0] != 'B' || bytes[1] != 'M'
        || ReadU32(bytes, FILE_SIZE_FIELD) != bytes.size())
        return {};
    return block;
}

bool CImageFilter::AdjustBrightness(std::span<uint8_t> picture, int step) const
{
    return ChangeEveryByte(picture, [step](uint8_t v) { return Clamp(v + step); });
}

bool CImageFilter::AdjustContrast(std::span<uint8_t> picture, int factor) const
{
    return ChangeEveryByte(picture, [factor](uint8_t v) { return Clamp(v + (v - 128) * factor / 128); });
}

bool CImageFilter::Sharpen(std::span<uint8_t> picture) const
{
    return ScanNeighbourhood(picture, [](const CNeighbourhood& n) {
        const int around = n.ul + n.u + n.ur + n.l + n.r + n.dl + n.d + n.dr;
        return ClampTruncated(1.4 * n.v - 0.05 * around);
    });
}

bool CImageFilter::Blur(std::span<uint8_t> picture) const
{
    return ScanNeighbourhood(picture, [](const CNeighbourhood& n) {
        const int s = 4 * n.v + 3 * (n.l + n.r + n.u + n.d) + (n.ul + n.ur + n.dl + n.dr);
        return ClampTruncated(s / 20.0);
    });
}

bool CImageFilter::Despeckle(std::span<uint8_t> picture) const
{
    // The median lies more than 50 above the byte exactly when five of the nine do,
    // and the byte itself is not among them: counting is cheaper than sorting, and
    // most bytes of a picture need no median at all.
    return ScanNeighbourhood(picture, [](const CNeighbourhood& n) {
        const int high = n.v + 50, low = n.v - 50;
        const int above = (n.ul > high) + (n.u > high) + (n.ur > high) + (n.l > high) + (n.r > high)
                        + (n.dl > high) + (n.d > high) + (n.dr > high);
        const int below = (n.ul < low) + (n.u < low) + (n.ur < low) + (n.l < low) + (n.r < low) + (n.dl < low)
                        + (n.d < low) + (n.dr < low);
        return uint8_t(above >= 5 || below >= 5 ? MedianOfNine(n) : n.v);
    });
}

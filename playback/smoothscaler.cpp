#include "playback/smoothscaler.h"

#include <algorithm>
#include <cmath>

void CSmoothScaler::MakeTaps(std::vector<CTap>& taps, int from, int to)
{
    taps.resize(size_t(to));
    const double ratio = double(from) / double(to);
    for (int i = 0; i < to; ++i) {
        const double s = std::clamp((i + 0.5) * ratio - 0.5, 0.0, double(from - 1));
        const int index = int(s);
        const int weight = int(std::lround((s - index) * 256));
        taps[size_t(i)] = {index, std::min(index + 1, from - 1), weight};
    }
}

void CSmoothScaler::Scale(const uint8_t* src, int srcWidth, int srcHeight, ptrdiff_t srcStride, uint8_t* dst,
                          int dstWidth, int dstHeight, ptrdiff_t dstStride, int bytesPerPixel, bool opaqueQuads)
{
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return;
    if (srcWidth != m_nFromWidth || dstWidth != m_nToWidth) {
        MakeTaps(m_xTaps, srcWidth, dstWidth);
        m_nFromWidth = srcWidth;
        m_nToWidth = dstWidth;
    }
    if (srcHeight != m_nFromHeight || dstHeight != m_nToHeight) {
        MakeTaps(m_yTaps, srcHeight, dstHeight);
        m_nFromHeight = srcHeight;
        m_nToHeight = dstHeight;
    }
    // One loop per pixel size, so that the compiler unrolls the bytes of a pixel.
    if (bytesPerPixel == 4)
        ScaleRows<4, 4>(src, srcStride, dst, dstStride);
    else if (opaqueQuads)
        ScaleRows<3, 4>(src, srcStride, dst, dstStride);
    else
        ScaleRows<3, 3>(src, srcStride, dst, dstStride);
}

// Separably: each source row the output needs is stretched across once into a row of
// sums (exact, before rounding), and the two rows around an output row are blended.
// The same arithmetic as interpolating every output pixel on its own.
template <int SrcBpp, int DstBpp>
void CSmoothScaler::ScaleRows(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride)
{
    const size_t values = m_xTaps.size() * SrcBpp;
    m_upperRow.resize(values);
    m_lowerRow.resize(values);
    int upperIndex = -1, lowerIndex = -1;
    const auto fetch = [&](int index, std::vector<uint16_t>& row, int& held) {
        if (held != index) {
            StretchRow<SrcBpp>(src + index * srcStride, row.data());
            held = index;
        }
    };
    for (size_t y = 0; y < m_yTaps.size(); ++y) {
        const CTap& ty = m_yTaps[y];
        if (ty.m_nIndex == lowerIndex && ty.m_nIndex != upperIndex) {
            std::swap(m_upperRow, m_lowerRow);
            std::swap(upperIndex, lowerIndex);
        }
        fetch(ty.m_nIndex, m_upperRow, upperIndex);
        fetch(ty.m_nNext, m_lowerRow, lowerIndex);
        const uint32_t wy = uint32_t(ty.m_nWeight), wu = 256 - wy;
        const uint16_t* upper = m_upperRow.data();
        const uint16_t* lower = m_lowerRow.data();
        uint8_t* out = dst + ptrdiff_t(y) * dstStride;
        if constexpr (DstBpp == SrcBpp) {
            for (size_t i = 0; i < values; ++i)
                out[i] = uint8_t((upper[i] * wu + lower[i] * wy + 32768) >> 16);
        } else {
            for (size_t i = 0; i < values; i += SrcBpp, out += DstBpp) {
                for (int k = 0; k < SrcBpp; ++k)
                    out[k] = uint8_t((upper[i + k] * wu + lower[i + k] * wy + 32768) >> 16);
                out[SrcBpp] = 0xFF;
            }
        }
    }
}

template <int Bpp> void CSmoothScaler::StretchRow(const uint8_t* row, uint16_t* out) const
{
    for (const CTap& tx : m_xTaps) {
        const uint8_t* a = row + tx.m_nIndex * Bpp;
        const uint8_t* b = row + tx.m_nNext * Bpp;
        const int wx = tx.m_nWeight;
        for (int k = 0; k < Bpp; ++k)
            *out++ = uint16_t(a[k] * (256 - wx) + b[k] * wx);
    }
}

QImage CSmoothScaler::Scale(const QImage& image, const QRect& source, QSize size)
{
    const int bpp = image.depth() / 8;
    if ((bpp != 3 && bpp != 4) || source.isEmpty() || !image.rect().contains(source) || size.isEmpty())
        return {};
    QImage out(size, image.format());
    const uint8_t* origin = image.constBits() + source.y() * image.bytesPerLine() + source.x() * bpp;
    Scale(origin, source.width(), source.height(), image.bytesPerLine(), out.bits(), size.width(), size.height(),
          out.bytesPerLine(), bpp);
    return out;
}

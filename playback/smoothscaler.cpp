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

template <int SrcBpp, int DstBpp>
void CSmoothScaler::ScaleRows(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride) const
{
    for (size_t y = 0; y < m_yTaps.size(); ++y) {
        const CTap& ty = m_yTaps[y];
        const uint8_t* upper = src + ty.m_nIndex * srcStride;
        const uint8_t* lower = src + ty.m_nNext * srcStride;
        const int wy = ty.m_nWeight;
        uint8_t* out = dst + ptrdiff_t(y) * dstStride;
        for (const CTap& tx : m_xTaps) {
            const uint8_t* a = upper + tx.m_nIndex * SrcBpp;
            const uint8_t* b = upper + tx.m_nNext * SrcBpp;
            const uint8_t* c = lower + tx.m_nIndex * SrcBpp;
            const uint8_t* d = lower + tx.m_nNext * SrcBpp;
            const int wx = tx.m_nWeight;
            for (int k = 0; k < SrcBpp; ++k) {
                const int top = a[k] * (256 - wx) + b[k] * wx;
                const int bottom = c[k] * (256 - wx) + d[k] * wx;
                out[k] = uint8_t((top * (256 - wy) + bottom * wy + 32768) >> 16);
            }
            if constexpr (DstBpp > SrcBpp)
                out[SrcBpp] = 0xFF;
            out += DstBpp;
        }
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

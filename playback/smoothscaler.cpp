#include "playback/smoothscaler.h"

#include <algorithm>
#include <cmath>

void CSmoothScaler::MakeTaps(std::vector<CTap>& taps, int from, double start, double extent, int to)
{
    taps.resize(size_t(to));
    const double ratio = extent / double(to);
    for (int i = 0; i < to; ++i) {
        const double s = std::clamp(start + (i + 0.5) * ratio - 0.5, 0.0, double(from - 1));
        const int index = int(s);
        const int weight = int(std::lround((s - index) * 256));
        taps[size_t(i)] = {index, std::min(index + 1, from - 1), weight};
    }
}

void CSmoothScaler::Scale(const uint8_t* src, int srcWidth, int srcHeight, ptrdiff_t srcStride, uint8_t* dst,
                          int dstWidth, int dstHeight, ptrdiff_t dstStride, int bytesPerPixel, bool opaqueQuads,
                          const QRectF& window)
{
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return;
    const QRectF w = window.isNull() ? QRectF(0, 0, srcWidth, srcHeight) : window;
    const bool moved = w != m_window;
    if (moved || srcWidth != m_nFromWidth || dstWidth != m_nToWidth) {
        MakeTaps(m_xTaps, srcWidth, w.x(), w.width(), dstWidth);
        m_nFromWidth = srcWidth;
        m_nToWidth = dstWidth;
    }
    if (moved || srcHeight != m_nFromHeight || dstHeight != m_nToHeight) {
        MakeTaps(m_yTaps, srcHeight, w.y(), w.height(), dstHeight);
        m_nFromHeight = srcHeight;
        m_nToHeight = dstHeight;
    }
    m_window = w;
    // Separably: the two source rows around an output row are blended into one row of
    // 256ths (exact in 16 bits, and a loop the compiler runs on many values at once),
    // which is then stretched across and rounded once. The same sums as interpolating
    // every output pixel on its own.
    m_blendedRow.resize(size_t(srcWidth) * size_t(bytesPerPixel));
    const CTap* blended = nullptr;
    for (int y = 0; y < dstHeight; ++y) {
        const CTap& ty = m_yTaps[size_t(y)];
        if (!blended || blended->m_nIndex != ty.m_nIndex || blended->m_nWeight != ty.m_nWeight)
            BlendRows(src + ty.m_nIndex * srcStride, src + ty.m_nNext * srcStride, ty.m_nWeight);
        blended = &ty;
        StretchRow(dst + y * dstStride, bytesPerPixel, opaqueQuads);
    }
}

void CSmoothScaler::BlendRows(const uint8_t* upper, const uint8_t* lower, int weight)
{
    const uint16_t wl = uint16_t(weight), wu = uint16_t(256 - weight);
    uint16_t* out = m_blendedRow.data();
    const size_t values = m_blendedRow.size();
    for (size_t i = 0; i < values; ++i)
        out[i] = uint16_t(upper[i] * wu + lower[i] * wl);
}

namespace {

// The pixel size fixed at compile time, so that the bytes of a pixel are unrolled;
// with QUADS a fourth byte 0xFF follows each 3-byte pixel.
template <int BPP, bool QUADS>
void StretchPixels(const std::vector<CSmoothScaler::CTap>& taps, const uint16_t* row, uint8_t* out)
{
    for (const CSmoothScaler::CTap& tx : taps) {
        const uint16_t* a = row + tx.m_nIndex * BPP;
        const uint16_t* b = row + tx.m_nNext * BPP;
        const uint32_t wx = uint32_t(tx.m_nWeight), wa = 256 - wx;
        for (int k = 0; k < BPP; ++k)
            *out++ = uint8_t((a[k] * wa + b[k] * wx + 32768) >> 16);
        if constexpr (QUADS)
            *out++ = 0xFF;
    }
}

} // namespace

void CSmoothScaler::StretchRow(uint8_t* out, int bytesPerPixel, bool opaqueQuads) const
{
    if (bytesPerPixel == 4)
        StretchPixels<4, false>(m_xTaps, m_blendedRow.data(), out);
    else if (opaqueQuads)
        StretchPixels<3, true>(m_xTaps, m_blendedRow.data(), out);
    else
        StretchPixels<3, false>(m_xTaps, m_blendedRow.data(), out);
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

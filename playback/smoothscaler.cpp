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
    // Separably: each source row the output needs is stretched across once into a
    // row of sums (exact, before rounding), and the two rows around an output row are
    // blended. The same arithmetic as interpolating every output pixel on its own.
    const size_t values = size_t(dstWidth) * size_t(bytesPerPixel);
    m_upperRow.resize(values);
    m_lowerRow.resize(values);
    int upperIndex = -1, lowerIndex = -1;
    const auto fetch = [&](int index, std::vector<uint16_t>& row, int& held) {
        if (held != index) {
            StretchRow(src + index * srcStride, row.data(), bytesPerPixel);
            held = index;
        }
    };
    for (int y = 0; y < dstHeight; ++y) {
        const CTap& ty = m_yTaps[size_t(y)];
        if (ty.m_nIndex == lowerIndex && ty.m_nIndex != upperIndex) {
            std::swap(m_upperRow, m_lowerRow);
            std::swap(upperIndex, lowerIndex);
        }
        fetch(ty.m_nIndex, m_upperRow, upperIndex);
        fetch(ty.m_nNext, m_lowerRow, lowerIndex);
        const uint32_t wy = uint32_t(ty.m_nWeight), wu = 256 - wy;
        const uint16_t* upper = m_upperRow.data();
        const uint16_t* lower = m_lowerRow.data();
        uint8_t* out = dst + y * dstStride;
        if (opaqueQuads && bytesPerPixel == 3) {
            for (size_t i = 0; i < values; i += 3, out += 4) {
                for (size_t k = 0; k < 3; ++k)
                    out[k] = uint8_t((upper[i + k] * wu + lower[i + k] * wy + 32768) >> 16);
                out[3] = 0xFF;
            }
        } else {
            for (size_t i = 0; i < values; ++i)
                out[i] = uint8_t((upper[i] * wu + lower[i] * wy + 32768) >> 16);
        }
    }
}

namespace {

// The pixel size fixed at compile time, so that the bytes of a pixel are unrolled.
template <int BPP> void StretchPixels(const std::vector<CSmoothScaler::CTap>& taps, const uint8_t* row, uint16_t* out)
{
    for (const CSmoothScaler::CTap& tx : taps) {
        const uint8_t* a = row + tx.m_nIndex * BPP;
        const uint8_t* b = row + tx.m_nNext * BPP;
        const int wx = tx.m_nWeight;
        for (int k = 0; k < BPP; ++k)
            *out++ = uint16_t(a[k] * (256 - wx) + b[k] * wx);
    }
}

} // namespace

void CSmoothScaler::StretchRow(const uint8_t* row, uint16_t* out, int bytesPerPixel) const
{
    if (bytesPerPixel == 3)
        StretchPixels<3>(m_xTaps, row, out);
    else
        StretchPixels<4>(m_xTaps, row, out);
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

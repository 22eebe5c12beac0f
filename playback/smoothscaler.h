#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <vector>

// Stretches a picture smoothly onto another size, mapping the source rectangle edge to
// edge: the centre of output pixel i samples the source at (i + 0.5) x W / Wx - 0.5,
// interpolated linearly between the two nearest pixels in each direction (the outer
// pixels repeat beyond the edges). The mapping is symmetric, so bottom-up bitmaps scale
// exactly like top-down pictures.
//
// The sampling tables are kept between calls: a scaler used for one size after another
// (every frame of an export, every tile of a layout) computes them once. One scaler
// belongs to one thread.
class CSmoothScaler {
public:
    // Scales `srcWidth` x `srcHeight` pixels of `bytesPerPixel` bytes each (3 or 4; every
    // byte is interpolated on its own) onto `dstWidth` x `dstHeight`. With `opaqueQuads`
    // 3-byte pixels come out as 4 bytes, the fourth 0xFF: the layout of an RGB32 QImage,
    // which painters copy without converting it first. `window`, in source pixels, maps
    // onto the output edge to edge in place of the whole source (a picture decoded at a
    // fraction of its size has its crop edges between pixels); null for the whole.
    void Scale(const uint8_t* src, int srcWidth, int srcHeight, ptrdiff_t srcStride, uint8_t* dst, int dstWidth,
               int dstHeight, ptrdiff_t dstStride, int bytesPerPixel, bool opaqueQuads = false,
               const QRectF& window = {});

    // The rectangle `source` of a picture of 3 or 4 bytes a pixel, scaled onto `size`, in
    // the picture's format. A null picture when the rectangle is empty or outside it.
    QImage Scale(const QImage& image, const QRect& source, QSize size);

    struct CTap {
        int m_nIndex;  // the nearer-left (or upper) source pixel
        int m_nNext;   // the other one: m_nIndex + 1, or m_nIndex at the edge
        int m_nWeight; // of m_nNext, in 1/256
    };
private:
    // Source pixels 0..from - 1; the output spans `extent` of them from `start` on.
    static void MakeTaps(std::vector<CTap>& taps, int from, double start, double extent, int to);
    // Two source rows blended into m_blendedRow, `weight` 256ths of the lower one.
    void BlendRows(const uint8_t* upper, const uint8_t* lower, int weight);
    // m_blendedRow stretched to the output width and rounded into an output row.
    void StretchRow(uint8_t* out, int bytesPerPixel, bool opaqueQuads) const;

    int m_nFromWidth = 0, m_nToWidth = 0, m_nFromHeight = 0, m_nToHeight = 0;
    QRectF m_window; // of the tables
    std::vector<CTap> m_xTaps, m_yTaps;
    std::vector<uint16_t> m_blendedRow; // the source rows around an output row, blended, in 256ths
};

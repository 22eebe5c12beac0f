#include "playback/maskpainter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int MAX_BYTES = 4;
using CPixel = std::array<float, MAX_BYTES>;

// The pixels of one row of a shape: [m_nFirst, m_nEnd).
struct CSpan {
    int m_nFirst = 0, m_nEnd = 0;
};

// The pixels whose centres lie inside the shape, on row `y`.
CSpan SpanOf(EMaskShape shape, const QRect& box, int y)
{
    if (shape == EMaskShape::Rect)
        return {box.left(), box.left() + box.width()};
    const double rx = box.width() / 2.0, ry = box.height() / 2.0;
    const double cx = box.left() + rx, cy = box.top() + ry;
    const double dy = (y + 0.5 - cy) / ry;
    if (dy * dy >= 1)
        return {};
    const double half = rx * std::sqrt(1 - dy * dy);
    return {int(std::ceil(cx - half - 0.5)), int(std::floor(cx + half - 0.5)) + 1};
}

// The image's bytes of one pixel of `colour`, in its own format.
std::array<uint8_t, MAX_BYTES> ColourBytes(QImage::Format format, QRgb colour)
{
    QImage one(1, 1, format);
    one.fill(colour);
    std::array<uint8_t, MAX_BYTES> bytes{};
    std::memcpy(bytes.data(), one.constBits(), size_t(one.depth() / 8));
    return bytes;
}

// Calls `paint(x, y)` for each pixel of the shape inside the image.
template <typename Paint>
void ForEachPixel(const QImage& image, EMaskShape shape, const QRect& box, Paint paint)
{
    const int top = std::max(box.top(), 0), end = std::min(box.top() + box.height(), image.height());
    for (int y = top; y < end; ++y) {
        const CSpan span = SpanOf(shape, box, y);
        for (int x = std::max(span.m_nFirst, 0); x < std::min(span.m_nEnd, image.width()); ++x)
            paint(x, y);
    }
}

// The mean of the blocks of side `block` on the picture's grid that a box (with one
// block more around it) touches.
class CBlockMeans {
public:
    CBlockMeans(const QImage& image, const QRect& box, int block, int margin)
        : m_nBlock(block), m_nBytes(image.depth() / 8)
    {
        const QRect cells = QRect(QPoint(box.left() / block - margin, box.top() / block - margin),
                                  QPoint((box.right()) / block + margin, (box.bottom()) / block + margin))
                                .intersected(QRect(0, 0, (image.width() + block - 1) / block,
                                                   (image.height() + block - 1) / block));
        m_cells = cells;
        m_means.resize(size_t(std::max(0, cells.width() * cells.height())));
        for (int r = 0; r < cells.height(); ++r)
            for (int c = 0; c < cells.width(); ++c)
                m_means[size_t(r * cells.width() + c)] = Mean(image, cells.left() + c, cells.top() + r);
    }

    const CPixel& Cell(int column, int row) const
    {
        column = std::clamp(column, m_cells.left(), m_cells.right());
        row = std::clamp(row, m_cells.top(), m_cells.bottom());
        return m_means[size_t((row - m_cells.top()) * m_cells.width() + column - m_cells.left())];
    }

    // Smoothly between the block centres around the pixel.
    CPixel Smooth(int x, int y) const
    {
        const double fx = (x + 0.5) / m_nBlock - 0.5, fy = (y + 0.5) / m_nBlock - 0.5;
        const int cx = int(std::floor(fx)), cy = int(std::floor(fy));
        const float tx = float(fx - cx), ty = float(fy - cy);
        const CPixel &a = Cell(cx, cy), &b = Cell(cx + 1, cy), &c = Cell(cx, cy + 1), &d = Cell(cx + 1, cy + 1);
        CPixel out{};
        for (int i = 0; i < m_nBytes; ++i)
            out[size_t(i)] = (a[size_t(i)] * (1 - tx) + b[size_t(i)] * tx) * (1 - ty)
                           + (c[size_t(i)] * (1 - tx) + d[size_t(i)] * tx) * ty;
        return out;
    }

    int Block() const { return m_nBlock; }
    bool IsEmpty() const { return m_means.empty(); }

private:
    CPixel Mean(const QImage& image, int column, int row) const
    {
        const QRect area = QRect(column * m_nBlock, row * m_nBlock, m_nBlock, m_nBlock).intersected(image.rect());
        CPixel sum{};
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const uint8_t* p = image.constScanLine(y) + area.left() * m_nBytes;
            for (int x = 0; x < area.width(); ++x, p += m_nBytes)
                for (int i = 0; i < m_nBytes; ++i)
                    sum[size_t(i)] += p[i];
        }
        const float count = float(std::max<qsizetype>(1, qsizetype(area.width()) * area.height()));
        for (float& s : sum)
            s /= count;
        return sum;
    }

    const int m_nBlock;
    const int m_nBytes;
    QRect m_cells;
    std::vector<CPixel> m_means;
};

void Store(uint8_t* p, const CPixel& value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = uint8_t(std::lround(std::clamp(value[size_t(i)], 0.0f, 255.0f)));
}

} // namespace

void CMaskPainter::Paint(QImage& image, const CPrivacyMaskSet& set, int channel, double seconds, bool bottomUp)
{
    for (const CPrivacyMask* mask : set.MasksFor(channel))
        if (const std::optional<QRectF> box = mask->BoxAt(seconds))
            PaintShape(image, mask->m_shape, mask->m_style, PixelBox(*box, image.size(), bottomUp));
}

QRect CMaskPainter::PixelBox(const QRectF& box, QSize size, bool bottomUp)
{
    const double top = bottomUp ? 1 - box.bottom() : box.top();
    const int x0 = int(std::lround(box.left() * size.width())), x1 = int(std::lround(box.right() * size.width()));
    const int y0 = int(std::lround(top * size.height())), y1 = int(std::lround((top + box.height()) * size.height()));
    return QRect(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
}

void CMaskPainter::PaintShape(QImage& image, EMaskShape shape, EMaskStyle style, const QRect& box)
{
    const int bytes = image.depth() / 8;
    if ((bytes != 3 && bytes != 4) || !box.intersects(image.rect()))
        return;
    if (style == EMaskStyle::Solid) {
        const std::array<uint8_t, MAX_BYTES> fill = ColourBytes(image.format(), SOLID_COLOUR);
        ForEachPixel(image, shape, box,
                     [&](int x, int y) { std::memcpy(image.scanLine(y) + x * bytes, fill.data(), size_t(bytes)); });
        return;
    }
    const bool blur = style == EMaskStyle::Blur;
    const CBlockMeans means(image, box, blur ? BlurBlock(image.width(), box) : PixelateBlock(image.width()), blur ? 1 : 0);
    if (means.IsEmpty())
        return;
    ForEachPixel(image, shape, box, [&](int x, int y) {
        Store(image.scanLine(y) + x * bytes, blur ? means.Smooth(x, y) : means.Cell(x / means.Block(), y / means.Block()),
              bytes);
    });
}

#include "playback/maskpainter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int MAX_BYTES = 4;
using CPixel = std::array<uint8_t, MAX_BYTES>;
// Blur weights in 1/256.
constexpr int ONE = 256;

// The pixels of one row of a shape: [m_nFirst, m_nEnd).
struct CSpan {
    int m_nFirst = 0, m_nEnd = 0;
};

// The pixels whose centres lie inside the shape, on row `y`, within `width`.
CSpan SpanOf(EMaskShape shape, const QRect& box, int y, int width)
{
    CSpan span{box.left(), box.left() + box.width()};
    if (shape == EMaskShape::Ellipse) {
        const double rx = box.width() / 2.0, ry = box.height() / 2.0;
        const double cx = box.left() + rx, dy = (y + 0.5 - box.top() - ry) / ry;
        if (dy * dy >= 1)
            return {};
        const double half = rx * std::sqrt(1 - dy * dy);
        span = {int(std::ceil(cx - half - 0.5)), int(std::floor(cx + half - 0.5)) + 1};
    }
    return {std::max(span.m_nFirst, 0), std::min(span.m_nEnd, width)};
}

// The image's bytes of one pixel of `colour`, in its own format.
CPixel ColourBytes(QImage::Format format, QRgb colour)
{
    QImage one(1, 1, format);
    one.fill(colour);
    CPixel bytes{};
    std::memcpy(bytes.data(), one.constBits(), size_t(one.depth() / 8));
    return bytes;
}

// Calls `paint(row, span, y)` for each row of the shape inside the image.
template <typename Paint>
void ForEachSpan(QImage& image, EMaskShape shape, const QRect& box, Paint paint)
{
    const int top = std::max(box.top(), 0), end = std::min(box.top() + box.height(), image.height());
    for (int y = top; y < end; ++y)
        if (const CSpan span = SpanOf(shape, box, y, image.width()); span.m_nFirst < span.m_nEnd)
            paint(image.scanLine(y), span, y);
}

// The means of the blocks of side `block` on the picture's grid that a box touches.
class CBlockMeans {
public:
    CBlockMeans(const QImage& image, const QRect& box, int block) : m_nBlock(block), m_nBytes(image.depth() / 8)
    {
        m_cells = QRect(QPoint(box.left() / block, box.top() / block), QPoint(box.right() / block, box.bottom() / block))
                      .intersected(QRect(0, 0, (image.width() + block - 1) / block, (image.height() + block - 1) / block));
        m_means.resize(size_t(std::max(0, m_cells.width() * m_cells.height())));
        for (int r = 0; r < m_cells.height(); ++r)
            for (int c = 0; c < m_cells.width(); ++c)
                m_means[size_t(r * m_cells.width() + c)] = Mean(image, m_cells.left() + c, m_cells.top() + r);
    }

    // Cells beyond the box's take the nearest one's mean.
    const CPixel& Cell(int column, int row) const
    {
        column = std::clamp(column, m_cells.left(), m_cells.right());
        row = std::clamp(row, m_cells.top(), m_cells.bottom());
        return m_means[size_t((row - m_cells.top()) * m_cells.width() + column - m_cells.left())];
    }

    int Block() const { return m_nBlock; }
    int Bytes() const { return m_nBytes; }
    bool IsEmpty() const { return m_means.empty(); }

private:
    CPixel Mean(const QImage& image, int column, int row) const
    {
        const QRect area = QRect(column * m_nBlock, row * m_nBlock, m_nBlock, m_nBlock).intersected(image.rect());
        std::array<uint32_t, MAX_BYTES> sum{};
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const uint8_t* row = image.constScanLine(y) + area.left() * m_nBytes;
            if (m_nBytes == 3)
                AddRow<3>(row, area.width(), sum);
            else
                AddRow<4>(row, area.width(), sum);
        }
        const auto count = uint32_t(std::max(1, area.width() * area.height()));
        CPixel mean{};
        for (int i = 0; i < MAX_BYTES; ++i)
            mean[size_t(i)] = uint8_t((sum[size_t(i)] + count / 2) / count);
        return mean;
    }

    // The byte count known to the compiler: the loop is what a mask costs.
    template <int BYTES>
    static void AddRow(const uint8_t* p, int width, std::array<uint32_t, MAX_BYTES>& sum)
    {
        uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (const uint8_t* end = p + width * BYTES; p < end; p += BYTES) {
            s0 += p[0];
            s1 += p[1];
            s2 += p[2];
            if constexpr (BYTES == 4)
                s3 += p[3];
        }
        sum[0] += s0;
        sum[1] += s1;
        sum[2] += s2;
        sum[3] += s3;
    }

    const int m_nBlock;
    const int m_nBytes;
    QRect m_cells;
    std::vector<CPixel> m_means;
};

void PaintSolid(QImage& image, EMaskShape shape, const QRect& box)
{
    const CPixel fill = ColourBytes(image.format(), CMaskPainter::SOLID_COLOUR);
    const int bytes = image.depth() / 8;
    ForEachSpan(image, shape, box, [&](uint8_t* row, CSpan span, int) {
        for (uint8_t* p = row + span.m_nFirst * bytes; p < row + span.m_nEnd * bytes; p += bytes)
            std::memcpy(p, fill.data(), size_t(bytes));
    });
}

// Each run of a row within one block takes the block's mean.
void PaintPixelate(QImage& image, EMaskShape shape, const QRect& box, const CBlockMeans& means)
{
    const int bytes = means.Bytes(), block = means.Block();
    ForEachSpan(image, shape, box, [&](uint8_t* row, CSpan span, int y) {
        for (int x = span.m_nFirst; x < span.m_nEnd;) {
            const int end = std::min(span.m_nEnd, (x / block + 1) * block);
            const CPixel& mean = means.Cell(x / block, y / block);
            for (uint8_t* p = row + x * bytes; p < row + end * bytes; p += bytes)
                std::memcpy(p, mean.data(), size_t(bytes));
            x = end;
        }
    });
}

// Block means interpolated between block centres: down the row's two cell rows
// first, then along the row, in 1/256 steps.
void PaintBlur(QImage& image, EMaskShape shape, const QRect& box, const CBlockMeans& means)
{
    const int bytes = means.Bytes(), block = means.Block();
    const auto place = [block](int v, int& cell, int& weight) {
        const int scaled = (2 * v + 1) * ONE / (2 * block) - ONE / 2; // (v + 0.5) / block - 0.5, in 1/256
        cell = scaled >= 0 ? scaled / ONE : -1;
        weight = scaled - cell * ONE;
    };
    const int left = std::max(box.left(), 0), right = std::min(box.left() + box.width(), image.width());
    std::vector<int> cellOf(size_t(std::max(0, right - left))), weightOf(cellOf.size());
    for (int x = left; x < right; ++x)
        place(x, cellOf[size_t(x - left)], weightOf[size_t(x - left)]);
    const int firstCell = left / block - 1, cells = (right - 1) / block - firstCell + 2;
    std::vector<std::array<int, MAX_BYTES>> column(size_t(std::max(0, cells)));
    ForEachSpan(image, shape, box, [&](uint8_t* row, CSpan span, int y) {
        int cy = 0, ty = 0;
        place(y, cy, ty);
        for (int c = 0; c < cells; ++c) {
            const CPixel &upper = means.Cell(firstCell + c, cy), &lower = means.Cell(firstCell + c, cy + 1);
            for (int i = 0; i < bytes; ++i)
                column[size_t(c)][size_t(i)] = upper[size_t(i)] * (ONE - ty) + lower[size_t(i)] * ty;
        }
        for (int x = span.m_nFirst; x < span.m_nEnd; ++x) {
            const int c = cellOf[size_t(x - left)] - firstCell, tx = weightOf[size_t(x - left)];
            uint8_t* p = row + x * bytes;
            for (int i = 0; i < bytes; ++i)
                p[i] = uint8_t((column[size_t(c)][size_t(i)] * (ONE - tx) + column[size_t(c + 1)][size_t(i)] * tx
                                + ONE * ONE / 2) / (ONE * ONE));
        }
    });
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
    if (style == EMaskStyle::Solid)
        return PaintSolid(image, shape, box);
    const bool blur = style == EMaskStyle::Blur;
    const CBlockMeans means(image, box, blur ? BlurBlock(image.width(), box) : PixelateBlock(image.width()));
    if (means.IsEmpty())
        return;
    if (blur)
        PaintBlur(image, shape, box, means);
    else
        PaintPixelate(image, shape, box, means);
}

#include "playback/tilerenderer.h"

#include "playback/cellfont.h"

#include <QPainter>

#include <algorithm>

namespace {

// Pixels cut off the left and right of a recorded picture, by video standard and
// channel count: the recorder's pictures carry a black margin.
constexpr CTileRenderer::CSideCrop CROP_TABLE[4] = {{9, 16}, {10, 20}, {7, 11}, {16, 11}};
// The top rows carry the channel code and the row mark; a picture without the mark
// starts one row higher.
constexpr int CROP_TOP_WITH_MARK = 13;
constexpr int CROP_TOP_WITHOUT_MARK = 12;

// Both formats are 4 bytes a pixel, which the video area's painter copies as they are.
QImage::Format TileFormat(int bytesPerPixel)
{
    return bytesPerPixel == 4 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

// Layers kept before the cache is emptied: room for the sixteen channel numbers and
// the last seconds. A layer takes 10 to 20 KB, and hours of seconds must not pile up.
constexpr qsizetype MAX_TEXT_LAYERS = 32;

} // namespace

CTileRenderer::CSideCrop CTileRenderer::SideCrop(bool pal, int channelCount)
{
    return CROP_TABLE[(pal ? 1 : 0) + (channelCount != 4 ? 2 : 0)];
}

QRectF CTileRenderer::CropWindow(const CTilePicture& p)
{
    const BITMAPINFOHEADER& h = *p.m_pHeader;
    const CSideCrop crop = SideCrop(p.m_bPal, p.m_nChannelCount);
    const int top = p.m_bMarkAbsent ? CROP_TOP_WITHOUT_MARK : CROP_TOP_WITH_MARK;
    const int scale = std::max(p.m_nScale, 1);
    const QRect recorded(crop.left, top, h.biWidth * scale - crop.left - crop.right, h.biHeight * scale - CROP_TOP_WITH_MARK);
    if (recorded.width() <= 0 || recorded.height() <= 0)
        return {};
    const QRectF window(QPointF(recorded.topLeft()) / scale, QSizeF(recorded.size()) / scale);
    return window.intersected(QRectF(0, 0, h.biWidth, h.biHeight));
}

QRect CTileRenderer::CropRect(const CTilePicture& p)
{
    return CropWindow(p).toAlignedRect();
}

int CTileRenderer::DecodeScale(int width, int height, bool pal, int channelCount, QSize tile)
{
    const CSideCrop crop = SideCrop(pal, channelCount);
    const QSize shown(width - crop.left - crop.right, height - CROP_TOP_WITH_MARK);
    for (const int scale : {8, 4, 2})
        if (shown.width() >= tile.width() * scale && shown.height() >= tile.height() * scale)
            return scale;
    return 1;
}

QImage CTileRenderer::RenderTile(const CTilePicture& p, QSize size, const CTileText& text, const CTileZoom& zoom)
{
    QImage tile = RenderPicture(p, size, zoom);
    if (!tile.isNull())
        DrawTileText(tile, text);
    return tile;
}

QImage CTileRenderer::RenderPicture(const CTilePicture& p, QSize size, const CTileZoom& zoom)
{
    if (!p.m_pHeader || !p.m_pBits || size.isEmpty())
        return {};
    const BITMAPINFOHEADER& h = *p.m_pHeader;
    const int bytesPerPixel = h.biBitCount / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return {};
    const ptrdiff_t stride = (ptrdiff_t(h.biWidth) * bytesPerPixel + 3) / 4 * 4;
    const QRectF window = CropWindow(p);
    const QRect crop = window.toAlignedRect();
    if (crop.isEmpty() || stride * h.biHeight > ptrdiff_t(h.biSizeImage))
        return {};
    const QRect source = zoom.IsZoomed() ? zoom.Visible(crop).toAlignedRect().intersected(crop) : crop;
    // The rows are stored bottom-up: the source's top row is memory row H - 1 - y,
    // and the rows above it in the picture lie below it in memory.
    const uint8_t* top = p.m_pBits + (h.biHeight - 1 - source.y()) * stride + source.x() * bytesPerPixel;
    QImage tile(size, TileFormat(bytesPerPixel));
    m_scaler.Scale(top, source.width(), source.height(), -stride, tile.bits(), size.width(), size.height(),
                   tile.bytesPerLine(), bytesPerPixel, true,
                   zoom.IsZoomed() ? QRectF() : window.translated(-QPointF(source.topLeft())));
    return tile;
}

void CTileRenderer::DrawTileText(QImage& tile, const CTileText& text)
{
    const int a = text.m_bSmall ? 17 : 20, b = text.m_bSmall ? 130 : 200;
    const CFrameTime& t = text.m_time;
    const int w = tile.width(), h = tile.height();
    DrawTextLayer(tile, w - b, h - a,
                 QString::asprintf("%02d/%02d/%02d  %02d:%02d:%02d ", t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour,
                                   t.m_byMinute, t.m_bySecond),
                 text.m_font);
    DrawTextLayer(tile, 5, h - a, QString::asprintf("%02d", text.m_nChannel + 1), text.m_font);
}

// `top` is the top of the text's cell.
void CTileRenderer::DrawTextLayer(QImage& tile, int x, int top, const QString& text, const QFont& font)
{
    const CTextLayer& layer = TextLayer(text, font);
    QPainter(&tile).drawImage(QPoint(x, top) + layer.m_offset, layer.m_image);
}

const CTileRenderer::CTextLayer& CTileRenderer::TextLayer(const QString& text, const QFont& font)
{
    const QString key = font.key() + QChar(0x1F) + text;
    if (const auto found = m_textLayers.constFind(key); found != m_textLayers.constEnd())
        return *found;
    if (m_textLayers.size() >= MAX_TEXT_LAYERS)
        m_textLayers.clear();
    // The glyphs' box around the baseline, one pixel wider each way for the shadows.
    const QFontMetrics metrics(font);
    const QRect box = metrics.boundingRect(text).adjusted(-2, -2, 2, 2);
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    DrawOutlinedText(painter, -box.topLeft(), text);
    painter.end();
    return *m_textLayers.insert(key, {image, box.topLeft() + QPoint(0, metrics.ascent())});
}

void CTileRenderer::DrawOutlinedText(QPainter& painter, QPoint baseline, const QString& text)
{
    painter.setPen(Qt::black);
    for (auto [dx, dy] : {std::pair{1, 1}, {-1, 1}, {1, -1}, {-1, -1}})
        painter.drawText(baseline + QPoint(dx, dy), text);
    painter.setPen(Qt::white);
    painter.drawText(baseline, text);
}

QFont CTileRenderer::TileFont(bool small)
{
    return small ? MakeCellFont(15, 7) : MakeCellFont(18, 10);
}

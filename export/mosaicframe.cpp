#include "export/mosaicframe.h"

#include "playback/maskpainter.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>

CMosaicFrame::CMosaicFrame(std::vector<int> cameras, int width, int height,
                           std::shared_ptr<const CPrivacyMaskSet> masks)
    : m_cameras(std::move(cameras)), m_pMasks(std::move(masks)), m_frame(width, height, QImage::Format_RGB32)
{
    m_frame.fill(Qt::black);
}

bool CMosaicFrame::Holds(int channel) const
{
    return std::find(m_cameras.begin(), m_cameras.end(), channel) != m_cameras.end();
}

void CMosaicFrame::Draw(int channel, const CTilePicture& picture, const CFrameTime& time, double seconds)
{
    const int side = GridSide(int(m_cameras.size()));
    const int index = int(std::find(m_cameras.begin(), m_cameras.end(), channel) - m_cameras.begin());
    const QSize tile(m_frame.width() / side, m_frame.height() / side);
    // The 16-tile layout writes its texts smaller and closer to the corners.
    const CTileText text{channel, time, CTileRenderer::TileFont(side == 4), side == 4};
    QImage drawn = m_renderer.RenderPicture(picture, tile);
    if (drawn.isNull())
        return;
    if (m_pMasks)
        CMaskPainter::Paint(drawn, *m_pMasks, channel + 1, seconds);
    m_renderer.DrawTileText(drawn, text);
    QPainter painter(&m_frame);
    painter.drawImage(QPoint(index % side * tile.width(), index / side * tile.height()), drawn);
}

void CMosaicFrame::CopyTo(uint8_t* bgr, int64_t stride) const
{
    for (int y = 0; y < m_frame.height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(m_frame.constScanLine(y));
        uint8_t* to = bgr + (m_frame.height() - 1 - y) * stride;
        for (int x = 0; x < m_frame.width(); ++x, to += 3) {
            to[0] = uint8_t(qBlue(from[x]));
            to[1] = uint8_t(qGreen(from[x]));
            to[2] = uint8_t(qRed(from[x]));
        }
    }
}

int CMosaicFrame::GridSide(int cameras)
{
    return cameras <= 4 ? 2 : cameras <= 9 ? 3 : 4;
}

QString CMosaicFrame::CameraList(const std::vector<int>& cameras)
{
    QStringList list;
    for (const int channel : cameras)
        list << QString::asprintf("%02d", channel + 1);
    return list.join(", ");
}

#include "playback/framerouter.h"

#include "playback/currentrecord.h"
#include "playback/iframerouterview.h"
#include "playback/ipicturesink.h"
#include "playback/isoundsink.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

using namespace kvx;

CFrameRouter::CFrameRouter(IFrameRouterView& view) : m_view(view)
{
}

void CFrameRouter::SetFonts(const QFont& tileSmall, const QFont& tileLarge)
{
    std::lock_guard lock(m_mutex);
    m_fontTileSmall = tileSmall;
    m_fontTileLarge = tileLarge;
}

void CFrameRouter::SetOverlay(const QImage& overlay, const QRect& source)
{
    std::lock_guard lock(m_mutex);
    m_bmpOverlay = overlay;
    m_rcOverlay = source;
}

void CFrameRouter::SetVideoArea(QPoint origin, QSize size, const QImage& background)
{
    std::lock_guard lock(m_mutex);
    m_ptVideo = origin;
    m_sizeVideo = size;
    // One pixel wider and taller: the right and bottom tile borders lie just outside.
    m_background = QImage(size + QSize(1, 1), QImage::Format_RGB32);
    m_background.fill(Qt::black);
    if (!background.isNull())
        QPainter(&m_background).drawImage(QPoint(0, 0), background, QRect(origin, m_background.size()));
    ClearVideoPicture();
}

void CFrameRouter::ClearVideoPicture()
{
    m_videoPicture = m_background.copy();
    m_bBordersDrawn = false;
    ++m_nLayout;
}

int CFrameRouter::Grid() const
{
    std::lock_guard lock(m_mutex);
    return m_nGrid;
}

QRect CFrameRouter::TileRect(int channel) const
{
    std::lock_guard lock(m_mutex);
    return m_rcTile[size_t(channel)];
}

void CFrameRouter::SetGrid(int n)
{
    std::lock_guard lock(m_mutex);
    if (n == m_nGrid)
        return;
    LayOutTiles(n);
    m_nGrid = n;
    m_zoom.Reset();
    ClearVideoPicture();
}

void CFrameRouter::SetZoom(const CTileZoom& zoom)
{
    std::lock_guard lock(m_mutex);
    m_zoom = zoom;
}

CTileZoom CFrameRouter::Zoom() const
{
    std::lock_guard lock(m_mutex);
    return m_zoom;
}

// n x n tiles over the video area. In the single tile every channel is shown whole,
// or at half size in the middle while audio plays; four tiles repeat for every page,
// and on the second page of nine the channels 9..15 follow channels 0 and 1.
void CFrameRouter::LayOutTiles(int n)
{
    if (n < 1 || n > 4)
        return;
    const int w = m_sizeVideo.width() / n, h = m_sizeVideo.height() / n;
    const QPoint o = m_ptVideo;
    for (int i = 0; i < n * n; ++i)
        m_rcTile[size_t(i)] = QRect(o.x() + i % n * w, o.y() + i / n * h, w, h);
    for (size_t ch = 0; ch < 16; ++ch) {
        if (n == 1)
            m_rcTile[ch] = m_byAudioMask ? QRect(o + QPoint(180, 120), m_sizeVideo / 2) : QRect(o, m_sizeVideo);
        else if (n == 2 && ch >= 4)
            m_rcTile[ch] = m_rcTile[ch % 4];
        else if (n == 3 && ch >= 9)
            m_rcTile[ch] = m_rcTile[ch - 7];
    }
}

void CFrameRouter::ReleaseChannelPictures()
{
    ClearPictures();
    for (CChannel& c : m_channels) {
        std::lock_guard lock(c.m_mutexDrawing);
        c.m_pChannelPic.reset();
    }
    std::lock_guard lock(m_mutex);
    m_bFrameTimeShown = false;
}

void CFrameRouter::ForgetPictures()
{
    ClearPictures();
    QRect area;
    {
        std::lock_guard lock(m_mutex);
        area = QRect(m_ptVideo, m_sizeVideo + QSize(1, 1));
    }
    m_view.OnPicturesChanged();
    m_view.RepaintWindowRect(area);
}

// Every tile goes empty: a tile being drawn from an old picture meanwhile finds the
// video area cleared after it began, and is dropped.
void CFrameRouter::ClearPictures()
{
    for (CChannel& c : m_channels) {
        std::lock_guard lock(c.m_mutexDrawing);
        c.m_pChannelBits = nullptr;
    }
    m_wPictureMask = 0;
    std::lock_guard lock(m_mutex);
    ClearVideoPicture();
}

bool CFrameRouter::HasPicture(int channel) const
{
    if (channel < 0 || channel >= 16)
        return false;
    return m_wPictureMask & (1u << channel);
}

int CFrameRouter::PictureScale(int channel) const
{
    if (channel < 0 || channel >= 16)
        return 0;
    const CChannel& c = m_channels[size_t(channel)];
    std::lock_guard drawing(c.m_mutexDrawing);
    return c.m_pChannelBits ? c.m_nScale : 0;
}

void CFrameRouter::PaintVideo(QPainter& painter) const
{
    std::lock_guard lock(m_mutex);
    painter.drawImage(m_ptVideo, m_videoPicture);
}

CFrameTime CFrameRouter::FrameTime() const
{
    std::lock_guard lock(m_mutex);
    return m_timeFrame;
}

std::optional<CFrameTime> CFrameRouter::ShownFrameTime() const
{
    std::lock_guard lock(m_mutex);
    return m_bFrameTimeShown ? std::optional(m_timeFrame) : std::nullopt;
}

// The tiles of the page are drawn again, each picture into the video area and its
// texts into a layer of their own, exactly where the paint put them.
// With one camera enlarged the snapshot is that camera's picture drawn once at the
// whole video area's size, as `kvxtool snapshot` draws it: neither the tile's frame
// nor the smaller tile an audio switch makes on screen, scaled up again, belong in
// a still of the camera.
CFrameRouter::CVideoSnapshot CFrameRouter::SnapshotVideo()
{
    CVideoSnapshot shot;
    {
        std::lock_guard lock(m_mutex);
        shot.m_picture = m_videoPicture.copy(QRect(QPoint(0, 0), m_sizeVideo));
    }
    shot.m_textLayer = QImage(shot.m_picture.size(), QImage::Format_ARGB32_Premultiplied);
    shot.m_textLayer.fill(Qt::transparent);
    const int n = Grid();
    const int first = m_nCurChannel;
    if (n == 1)
        SnapshotTile(first, first, shot, QRect(QPoint(0, 0), shot.m_picture.size()));
    for (int ch = 0; ch < 16 && n > 1; ++ch)
        if ((ch >= first && ch < first + n * n) || (n == 3 && ch < 2))
            SnapshotTile(ch, first, shot, std::nullopt);
    return shot;
}

// `whole`: the picture fills it, without the frame a tile on screen has.
void CFrameRouter::SnapshotTile(int channel, int first, CVideoSnapshot& shot, const std::optional<QRect>& whole)
{
    CTilePlace place = TilePlace(channel);
    if (whole)
        place.m_rect = *whole;
    const QSize size = place.m_rect.size();
    if (size.width() < 3 || size.height() < 3)
        return;
    QImage picture;
    {
        CChannel& c = m_channels[size_t(channel)];
        std::lock_guard drawing(c.m_mutexDrawing);
        EnsureScale(c, 1); // a still is made from whole pictures only
        if (!c.m_pChannelBits)
            return;
        place.m_text.m_time = c.m_timePicture;
        if (channel == first)
            shot.m_time = c.m_timePicture;
        picture = m_tileWindow.RenderPicture(TilePictureOf(c), size, place.m_zoom);
    }
    if (picture.isNull())
        return;
    QImage text(size, QImage::Format_ARGB32_Premultiplied);
    text.fill(Qt::transparent);
    m_tileWindow.DrawTileText(text, place.m_text);
    const int frame = whole ? 0 : 1;
    const QPoint at = place.m_rect.topLeft() + QPoint(frame, frame);
    const QRect inside(0, 0, size.width() - 2 * frame, size.height() - 2 * frame);
    QPainter(&shot.m_picture).drawImage(at, picture, inside);
    QPainter layer(&shot.m_textLayer);
    layer.setCompositionMode(QPainter::CompositionMode_Source);
    layer.drawImage(at, text, inside);
}

void CFrameRouter::RefreshPage()
{
    const int n = Grid();
    const int first = m_nCurChannel;
    for (int ch = first; ch < first + n * n && ch < 16; ++ch)
        RefreshTiles(ch, AUDIO_MODE_NONE, m_tileWindow);
}

uint8_t CFrameRouter::OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                                  const uint8_t* picture, const CCurrentRecord& current)
{
    {
        std::lock_guard lock(m_mutex);
        m_timeFrame = CFrameTime::Of(current.m_header);
    }
    if (audioMode == AUDIO_MODE_ONLY || audioMode == AUDIO_MODE_WITH_PICTURE) {
        for (size_t i = 0; i < AUDIO_CHANNELS; ++i) {
            std::memcpy(m_pAudioSlice[i].data(), audio + i * AUDIO_SLICE_SIZE, AUDIO_SLICE_SIZE);
            if (m_bAudioFilter)
                FilterAudio(m_pAudioSlice[i].data());
        }
    }
    if (audioMode == AUDIO_MODE_ONLY) {
        for (int ch = 0; ch < m_nChannelCount; ++ch)
            RefreshTiles(ch, audioMode, m_tilePlayback);
        return m_nLastChannel;
    }
    const CDecodedPicture decoded = DecodeForTiles(picture, pictureLength);
    const uint8_t d = decoded.m_nChannel;
    if (d < 16) {
        const uint8_t stored = StorePicture(decoded, firstFrame, current.m_header, picture, pictureLength);
        HandOnPicture(decoded, current.m_header, picture, pictureLength);
        if (stored == CDibPicture::NO_CHANNEL)
            return CDibPicture::NO_CHANNEL;
    }
    m_nLastChannel = d;
    RefreshTiles(d, audioMode, m_tilePlayback);
    return d;
}

// The tile sizes are read as the layout stands when the picture arrives; a layout
// changed meanwhile finds the picture too coarse when it draws it, and decodes it again.
CDecodedPicture CFrameRouter::DecodeForTiles(const uint8_t* picture, uint32_t length)
{
    std::array<QSize, 16> tiles;
    bool whole = m_pPictureSink != nullptr;
    {
        std::lock_guard lock(m_mutex);
        whole = whole || m_nGrid == 1 || m_zoom.IsZoomed();
        for (size_t ch = 0; ch < tiles.size(); ++ch)
            tiles[ch] = m_rcTile[ch].size();
    }
    if (whole)
        return m_decoder.DecodeJpegFrame(picture, length, m_nChannelCount);
    const bool pal = m_bPal;
    const int channels = m_nChannelCount;
    const QSize smallest = *std::min_element(tiles.begin(), tiles.end(), [](QSize a, QSize b) {
        return a.width() * a.height() < b.width() * b.height();
    });
    return m_decoder.DecodeJpegFrame(picture, length, channels, [&](uint8_t channel, int width, int height) {
        const QSize tile = channel < tiles.size() ? tiles[channel] : smallest;
        return CTileRenderer::DecodeScale(width, height, pal, channels, tile);
    });
}

// Keeps the decoded picture as its channel's newest; the first picture of a playback
// thread also decides the video standard. A picture that arrives while its channel's
// tile is being drawn is dropped.
uint8_t CFrameRouter::StorePicture(const CDecodedPicture& decoded, bool firstFrame, const CRecordHeader& h,
                                   const uint8_t* picture, uint32_t length)
{
    const uint8_t channel = decoded.m_nChannel;
    if (!decoded.m_pBits)
        return channel;
    m_decoder.SetPal(m_bPal);
    if (firstFrame) {
        const bool tall = decoded.m_nStreamHeight > 240;
        if (tall != m_bPal) {
            m_bPal = tall;
            m_decoder.SetPal(tall);
            m_view.SwitchVideoStandard(tall);
        }
    }
    CChannel& c = m_channels[channel];
    std::unique_lock lock(c.m_mutexDrawing, std::try_to_lock);
    if (!lock.owns_lock())
        return CDibPicture::NO_CHANNEL;
    if (!c.m_pChannelPic)
        c.m_pChannelPic = std::make_unique<CDibPicture>();
    c.m_pChannelBits = nullptr;
    if (!c.m_pChannelPic->CopyPixels(decoded))
        return CDibPicture::NO_CHANNEL;
    c.m_pChannelBits = c.m_pChannelPic->Bits();
    c.m_bihChannel.bmiHeader = decoded.m_header;
    c.m_byMarkAbsent = decoded.m_bMarkAbsent;
    c.m_timePicture = CFrameTime::Of(h);
    c.m_nScale = decoded.m_nScale;
    if (decoded.m_nScale != 1)
        c.m_stream.assign(picture, picture + length);
    lock.unlock();
    const auto bit = uint16_t(1u << channel);
    if (!(m_wPictureMask.fetch_or(bit) & bit))
        m_view.OnPicturesChanged();
    return channel;
}

bool CFrameRouter::UseChannelPicture(int channel,
                                     const std::function<void(const CTilePicture&, const CFrameTime&)>& use) const
{
    if (channel < 0 || channel >= 16)
        return false;
    CChannel& c = m_channels[size_t(channel)];
    std::lock_guard drawing(c.m_mutexDrawing);
    EnsureScale(c, 1);
    if (!c.m_pChannelBits)
        return false;
    use(TilePictureOf(c), c.m_timePicture);
    return true;
}

CTilePicture CFrameRouter::TilePictureOf(const CChannel& c) const
{
    return {&c.m_bihChannel.bmiHeader, c.m_pChannelBits, c.m_byMarkAbsent != 0, m_bPal, m_nChannelCount, c.m_nScale};
}

// The kept stream was accepted at its reduced scale, which reads every coefficient as
// a whole decode does, so it decodes whole too. Should it not, the tile goes empty
// rather than wrong.
void CFrameRouter::EnsureScale(CChannel& c, int scale) const
{
    if (!c.m_pChannelBits || c.m_nScale <= scale)
        return;
    c.m_pChannelPic->SetPal(m_bPal);
    const CDecodedPicture whole = c.m_pChannelPic->DecodeJpegFrame(c.m_stream.data(), c.m_stream.size(),
                                                                   m_nChannelCount);
    c.m_pChannelBits = whole.m_pBits;
    c.m_bihChannel.bmiHeader = whole.m_header;
    c.m_nScale = 1;
}

// The sink gets every picture, also one whose tile is being drawn and so is not
// kept: what the window shows must not decide what an export holds. A sink registered
// while the picture was decoded smaller gets it decoded again, whole.
void CFrameRouter::HandOnPicture(CDecodedPicture decoded, const CRecordHeader& h, const uint8_t* stream,
                                 uint32_t length)
{
    IPictureSink* sink = m_pPictureSink;
    if (!decoded.m_pBits || !sink)
        return;
    if (decoded.m_nScale != 1)
        decoded = m_decoder.DecodeJpegFrame(stream, length, m_nChannelCount);
    if (!decoded.m_pBits)
        return;
    const CTilePicture picture{&decoded.m_header, decoded.m_pBits, decoded.m_bMarkAbsent, m_bPal, m_nChannelCount};
    sink->OnPicture(decoded.m_nChannel, picture, CFrameTime::Of(h));
}

// Smooths the samples over the last seven: loud bytes are folded back first.
void CFrameRouter::FilterAudio(uint8_t* slice)
{
    for (size_t i = 0; i < AUDIO_SLICE_SIZE; ++i) {
        int x = slice[i];
        if (x > 127)
            x = 383 - x;
        m_filterRing[m_nFilterIndex] = uint8_t(x);
        m_nFilterIndex = (m_nFilterIndex + 1) % m_filterRing.size();
        int sum = 0;
        for (uint8_t b : m_filterRing)
            sum += b;
        slice[i] = uint8_t(sum / int(m_filterRing.size()));
    }
}

void CFrameRouter::RefreshTiles(int channel, int audioMode, CTileRenderer& renderer)
{
    if (m_wPictureMask == 0)
        return; // nothing has been shown since the view was built, sound included
    const int n = Grid();
    const int first = m_nCurChannel;
    if (n == 1) {
        DrawTile(first, renderer);
        m_view.RepaintWindowRect(TileRect(first));
    } else if (n >= 2 && n <= 4) {
        // Only what was drawn is repainted: one tile a frame, the whole area when the
        // borders had to be drawn again after a clear.
        QRect dirty;
        if (n == 3)
            for (int ch : {0, 1})
                if (m_wPictureMask & (1u << ch)) {
                    DrawTile(ch, renderer);
                    dirty |= TileRect(ch);
                }
        {
            std::lock_guard lock(m_mutex);
            if (!m_bBordersDrawn) {
                for (int i = 0; i < n * n; ++i)
                    DrawTileBorder(m_rcTile[size_t(i)]);
                m_bBordersDrawn = true;
                dirty = QRect(m_ptVideo, m_sizeVideo);
            }
        }
        if (channel >= first && channel < first + n * n) {
            DrawTile(channel, renderer);
            dirty |= TileRect(channel);
        }
        // The play time is repainted with it, even when no tile of this page changed.
        m_view.RepaintWindowRect(dirty.isNull() ? dirty : dirty.adjusted(0, 0, 1, 1));
    }
    ISoundSink* sound = m_pSoundSink;
    if (audioMode > 1 && sound) {
        const CFrameTime time = FrameTime();
        for (int i = 0; i < AUDIO_CHANNELS; ++i)
            if (m_byAudioMask & (1u << i))
                sound->OnSoundSlice(i, m_pAudioSlice[size_t(i)].data(), time);
    }
}

// The scale the tile of `place` asks of the channel's picture: the enlarged and the
// zoomed tile want it whole.
int CFrameRouter::NeededScale(const CChannel& c, const CTilePlace& place) const
{
    if (!c.m_pChannelBits || place.m_bWhole)
        return 1;
    const BITMAPINFOHEADER& h = c.m_bihChannel.bmiHeader;
    return CTileRenderer::DecodeScale(h.biWidth * c.m_nScale, h.biHeight * c.m_nScale, m_bPal, m_nChannelCount,
                                      place.m_rect.size());
}

// Where a channel's tile lies in the video area and what is written over it, as the
// layout stands now.
CFrameRouter::CTilePlace CFrameRouter::TilePlace(int channel) const
{
    std::lock_guard lock(m_mutex);
    CTilePlace place;
    place.m_rect = m_rcTile[size_t(channel)].translated(-m_ptVideo);
    if (m_nGrid == 1)
        place.m_zoom = m_zoom;
    place.m_bWhole = m_nGrid == 1 || m_zoom.IsZoomed();
    place.m_text.m_nChannel = channel;
    place.m_text.m_bSmall = m_nGrid == 4;
    place.m_text.m_font = place.m_text.m_bSmall ? m_fontTileSmall : m_fontTileLarge;
    place.m_nLayout = m_nLayout;
    return place;
}

// The channel's newest picture with its own record's date-time and the channel
// number, leaving the tile's one-pixel border uncovered.
void CFrameRouter::DrawTile(int channel, CTileRenderer& renderer)
{
    if (channel < 0 || channel >= 16)
        return;
    CTilePlace place = TilePlace(channel);
    const QRect& tile = place.m_rect;
    if (tile.width() < 3 || tile.height() < 3)
        return;
    QImage picture;
    {
        CChannel& c = m_channels[size_t(channel)];
        std::lock_guard drawing(c.m_mutexDrawing);
        EnsureScale(c, NeededScale(c, place));
        if (!c.m_pChannelBits)
            return;
        place.m_text.m_time = c.m_timePicture;
        picture = renderer.RenderTile(TilePictureOf(c), tile.size(), place.m_text, place.m_zoom);
    }
    if (picture.isNull())
        return;

    std::lock_guard lock(m_mutex);
    if (place.m_nLayout != m_nLayout)
        return; // the area was cleared while this tile was drawn: it belongs to what is gone
    QPainter(&m_videoPicture)
        .drawImage(tile.topLeft() + QPoint(1, 1), picture, QRect(0, 0, tile.width() - 2, tile.height() - 2));
    m_bFrameTimeShown = true;
}

// A one-pixel white frame; its right and bottom lines lie on the rectangle's right
// and bottom coordinates, just outside the tile.
void CFrameRouter::DrawTileBorder(const QRect& r)
{
    QPainter painter(&m_videoPicture);
    painter.translate(-m_ptVideo);
    const int left = r.x(), top = r.y(), right = r.x() + r.width(), bottom = r.y() + r.height();
    painter.fillRect(left, top, 1, bottom - top + 1, Qt::white);
    painter.fillRect(left, top, right - left + 1, 1, Qt::white);
    painter.fillRect(right, top, 1, bottom - top + 1, Qt::white);
    painter.fillRect(left, bottom, right - left + 1, 1, Qt::white);
}

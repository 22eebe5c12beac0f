#pragma once

#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"
#include "playback/tilezoom.h"
#include "recording/recordformat.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class IFrameRouterView;
class IPictureSink;
class ISoundSink;
class QPainter;
struct CCurrentRecord;
struct CRecordHeader;

// Where every frame of the playback engine lands: it decodes the picture, learns its
// channel from the picture's bar code, keeps it as the channel's newest picture and
// draws the channel's tile with its date-time and channel texts into the picture of
// the video area, which the view paints.
//
// A picture is decoded at the smallest scale that still fills its channel's tile
// (CTileRenderer::DecodeScale), whole in the one-tile layout, when zoomed and while a
// picture sink is registered. A tile, a snapshot or a reader that needs more decodes
// the channel's kept stream again, whole: exports and stills never see a reduced one.
//
// Every decoded picture also goes to the picture sink and the sound of the channels
// switched on to the sound sink, while one is registered.
//
// Threads: OnPlayFrame runs on the playback thread; the layout setters, the sinks'
// registration, the paused refresh and VideoPicture run on the window thread. The picture of the video area
// and the tile layout are guarded by one mutex. Each channel's picture has a lock of
// its own, held while it is read for drawing: a new picture that arrives meanwhile
// is dropped rather than written into it. The decoder is the playback thread's; each
// thread draws tiles with a renderer of its own.
class CFrameRouter {
public:
    explicit CFrameRouter(IFrameRouterView& view);

    // --- window thread ---
    void SetFonts(const QFont& tileSmall, const QFont& tileLarge);
    void SetOverlay(const QImage& overlay, const QRect& source);
    // The video area's position and size in the window, and the background under it.
    void SetVideoArea(QPoint origin, QSize size, const QImage& background);
    void SetChannelCount(int count) { m_nChannelCount = count; }
    void SetPal(bool pal) { m_bPal = pal; }
    // Lays the tiles out n x n; nothing when n equals the current grid. Clears the video area.
    void SetGrid(int n);
    int Grid() const;
    QRect TileRect(int channel) const;
    void SetCurChannel(int channel) { m_nCurChannel = channel; }
    int CurChannel() const { return m_nCurChannel; }
    void SetAudioMask(uint8_t mask) { m_byAudioMask = mask; }
    uint8_t AudioMask() const { return m_byAudioMask; }
    void SetAudioFilter(bool on) { m_bAudioFilter = on; }
    // Null for none; a sink outlives its registration.
    void SetPictureSink(IPictureSink* sink) { m_pPictureSink = sink; }
    void SetSoundSink(ISoundSink* sink) { m_pSoundSink = sink; }
    // The digital zoom of the one-tile layout; a new layout starts unzoomed.
    void SetZoom(const CTileZoom& zoom);
    CTileZoom Zoom() const;
    void SetLastChannel(uint8_t channel) { m_nLastChannel = channel; }
    uint8_t LastChannel() const { return m_nLastChannel; }
    // Forgets every channel's picture (no playback thread runs) and clears the video area.
    void ReleaseChannelPictures();
    // Draws the tiles of the shown page again from the channels' pictures.
    void RefreshPage();
    // Calls `use` with the newest picture of `channel` and its record's date-time,
    // while no tile is drawn from it; false when the channel has had none.
    bool UseChannelPicture(int channel, const std::function<void(const CTilePicture&, const CFrameTime&)>& use) const;
    // Paints the picture of the video area at its place in the window.
    void PaintVideo(QPainter& painter) const;
    // The date-time of the record routed last, whether shown or not.
    CFrameTime FrameTime() const;
    // The date-time of the last routed frame, once a tile has shown it.
    std::optional<CFrameTime> ShownFrameTime() const;
    // The video area as painted, its tile texts apart from the pictures, so that a
    // filter can change the picture and leave the evidence text as it was.
    struct CVideoSnapshot {
        QImage m_picture;    // the video area without the tile texts
        QImage m_textLayer;  // the same size: only the tile texts, transparent elsewhere
        std::optional<CFrameTime> m_time; // the record time of the enlarged camera's picture
    };
    CVideoSnapshot SnapshotVideo();
    // Whether `channel` has a picture to show; any thread.
    bool HasPicture(int channel) const;
    // The scale the newest picture of `channel` is held at (1: whole, 2: half the
    // sides, ...), 0 when there is none; any thread.
    int PictureScale(int channel) const;

    // --- playback thread ---
    // One record from the engine; `current` holds its header's values. Returns the
    // channel of its picture, 0xFF when it showed none.
    uint8_t OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                        const uint8_t* picture, const CCurrentRecord& current);
    // The read position jumped: the pictures held are of another moment, so every tile
    // stays empty until its camera's next picture arrives.
    void ForgetPictures();

private:
    // The fields below the mutex are guarded by it.
    struct CChannel {
        mutable std::mutex m_mutexDrawing; // held while the picture is read for drawing
        std::unique_ptr<CDibPicture> m_pChannelPic;
        const uint8_t* m_pChannelBits = nullptr;
        BITMAPINFO m_bihChannel{};
        uint8_t m_byMarkAbsent = 0;
        CFrameTime m_timePicture; // of the record the picture came from
        int m_nScale = 1;         // the picture was decoded at 1/m_nScale of its size
        std::vector<uint8_t> m_stream; // the recorded stream of a picture decoded smaller
    };
    CTilePicture TilePictureOf(const CChannel& c) const;
    // Decodes the channel's picture again, whole, from its kept stream when it was
    // decoded coarser than `scale`; the channel's lock is held.
    void EnsureScale(CChannel& c, int scale) const;

    CDecodedPicture DecodeForTiles(const uint8_t* picture, uint32_t length);
    uint8_t StorePicture(const CDecodedPicture& decoded, bool firstFrame, const CRecordHeader& header,
                         const uint8_t* picture, uint32_t length);
    void HandOnPicture(CDecodedPicture decoded, const CRecordHeader& header, const uint8_t* stream, uint32_t length);
    void FilterAudio(uint8_t* slice);
    void RefreshTiles(int channel, int audioMode, CTileRenderer& renderer);
    void DrawTile(int channel, CTileRenderer& renderer);
    struct CTilePlace {
        QRect m_rect;
        CTileText m_text;
        CTileZoom m_zoom;
        uint64_t m_nLayout = 0;
        bool m_bWhole = false; // the one-tile layout or a zoom: the picture is drawn from its whole
    };
    CTilePlace TilePlace(int channel) const;
    int NeededScale(const CChannel& c, const CTilePlace& place) const;
    void SnapshotTile(int channel, int first, CVideoSnapshot& shot, const std::optional<QRect>& whole);
    void ClearPictures();
    void DrawTileBorder(const QRect& rect);
    void LayOutTiles(int n);
    void ClearVideoPicture();

    IFrameRouterView& m_view;

    // Playback thread only.
    CDibPicture m_decoder;
    CTileRenderer m_tilePlayback;
    std::array<std::array<uint8_t, kvx::AUDIO_SLICE_SIZE>, kvx::AUDIO_CHANNELS> m_pAudioSlice{};
    std::array<uint8_t, 7> m_filterRing{}; // the audio smoothing carries over from frame to frame
    size_t m_nFilterIndex = 0;

    // A picture decoded smaller than a thread now needs is decoded again whole by that
    // thread under the channel's lock, also from the const readers: hence mutable.
    mutable std::array<CChannel, 16> m_channels;
    std::atomic<uint16_t> m_wPictureMask{0};
    std::atomic<uint8_t> m_nLastChannel{0};
    std::atomic<int> m_nCurChannel{0};
    std::atomic<uint8_t> m_byAudioMask{0};
    std::atomic<bool> m_bAudioFilter{false};
    std::atomic<bool> m_bPal{false};
    std::atomic<int> m_nChannelCount{16};
    std::atomic<IPictureSink*> m_pPictureSink{nullptr};
    std::atomic<ISoundSink*> m_pSoundSink{nullptr};

    // Window thread only.
    CTileRenderer m_tileWindow;

    // Guarded by m_mutex.
    mutable std::mutex m_mutex;
    QImage m_videoPicture;
    bool m_bBordersDrawn = false; // the tile borders of the grid, since the last clear
    // Counts the clears of the video area: a tile rendered for a layout that has been
    // cleared away since is not painted into the new one.
    uint64_t m_nLayout = 0;
    QImage m_background;
    QPoint m_ptVideo;
    QSize m_sizeVideo{720, 480};
    int m_nGrid = 1;
    std::array<QRect, 16> m_rcTile;
    CTileZoom m_zoom;
    CFrameTime m_timeFrame;
    bool m_bFrameTimeShown = false;
    QFont m_fontTileSmall, m_fontTileLarge;
    QImage m_bmpOverlay;
    QRect m_rcOverlay;
};

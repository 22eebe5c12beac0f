#pragma once

#include "platform/bitmapinfoheader.h"
#include "playback/frametime.h"
#include "playback/smoothscaler.h"
#include "playback/tilezoom.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

class QPainter;

#include <cstdint>

// What a tile is drawn from: one channel's decoded picture (bottom-up rows of 3 or 4
// bytes a pixel, padded to 4 bytes) and the recording it belongs to, whose video
// standard and channel count decide the recorder's margins.
struct CTilePicture {
    const BITMAPINFOHEADER* m_pHeader = nullptr;
    const uint8_t* m_pBits = nullptr;
    bool m_bMarkAbsent = false;
    bool m_bPal = false;
    int m_nChannelCount = 16;
    int m_nScale = 1; // the pixels are 1/m_nScale of the recorded picture's sides
};

// What is written over a tile: the date-time and the channel number (shown from 01).
struct CTileText {
    int m_nChannel = 0;
    CFrameTime m_time;
    QFont m_font;
    bool m_bSmall = false; // the 16-tile layout: closer to the corners
};

// Draws one channel's tile: the recorded picture without the recorder's black margins
// and code rows, stretched smoothly over the tile, with the date-time and the channel
// number in white, outlined in black. The player's tiles and kvxtool's snapshots are
// drawn here, so both show a picture alike.
//
// A renderer keeps its scaler's tables and its drawn texts between tiles; one renderer
// belongs to one thread.
class CTileRenderer {
public:
    // Pixels of the recorder's black margin at the start and the end of each row, by
    // video standard and channel count. The AVI export cuts the same margins.
    struct CSideCrop {
        int left, right;
    };
    static CSideCrop SideCrop(bool pal, int channelCount);

    // The part of a decoded picture a tile shows, in top-down picture coordinates;
    // empty when the picture is too small to have one. For a picture decoded at a
    // fraction of its size, the pixels that hold CropWindow.
    static QRect CropRect(const CTilePicture& picture);
    // The part an export keeps: the tile's without one more code row at the top, as
    // exports have always been cut. A mask's box is in fractions of it.
    static QRect ExportCropRect(const CTilePicture& picture) { return CropRect(picture).adjusted(0, 1, 0, 0); }
    // The same part exactly: its edges fall between the pixels of a scaled picture.
    static QRectF CropWindow(const CTilePicture& picture);
    // The coarsest scale (8, 4, 2, else 1) at which the part a tile of `tile` shows of a
    // recorded picture of `width` x `height` keeps at least a pixel for each of the
    // tile's: the tile is then scaled down from it, never up, as from the whole.
    static int DecodeScale(int width, int height, bool pal, int channelCount, QSize tile);

    // The tile of `size`, top-down, as RGB32 (premultiplied ARGB32 for
    // pictures of 4 bytes a pixel), showing the part of the picture that `zoom` leaves visible. A null
    // image when the picture has nothing to show.
    QImage RenderTile(const CTilePicture& picture, QSize size, const CTileText& text, const CTileZoom& zoom = {});
    // The same tile without its texts.
    QImage RenderPicture(const CTilePicture& picture, QSize size, const CTileZoom& zoom = {});
    // Writes the texts over `tile`, an image of the tile's size: a rendered picture,
    // or a transparent layer that keeps the texts apart from the picture.
    void DrawTileText(QImage& tile, const CTileText& text);

    // The fonts of the tile texts: the small one for the 16-tile layout.
    static QFont TileFont(bool small);
    // White text outlined in black by four diagonal shadows, in the painter's font,
    // starting at `baseline`: it reads on any picture. The tiles and the export's
    // stamp are written with it.
    static void DrawOutlinedText(QPainter& painter, QPoint baseline, const QString& text);

private:
    // An outlined text drawn once on a transparent layer, and where the layer goes
    // relative to the top left of the text's cell.
    struct CTextLayer {
        QImage m_image;
        QPoint m_offset;
    };

    void DrawTextLayer(QImage& tile, int x, int top, const QString& text, const QFont& font);
    const CTextLayer& TextLayer(const QString& text, const QFont& font);

    CSmoothScaler m_scaler;
    // Laying out a text costs more than scaling a tile; the time changes once a second
    // and the channel numbers never, so the layers are kept (and dropped in bulk).
    QHash<QString, CTextLayer> m_textLayers;
};

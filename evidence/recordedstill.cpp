#include "evidence/recordedstill.h"

#include "evidence/forwardreader.h"
#include "playback/dibpicture.h"
#include "playback/maskpainter.h"
#include "playback/tilerenderer.h"
#include "recording/recordformat.h"

std::optional<CRecordedStill> FindRecordedStill(const std::string& path, const CRecordingFacts& facts, int channel,
                                                const CDateTime& at, bool& readFailed, const CPrivacyMaskSet* masks)
{
    CDibPicture decoder;
    CTileRenderer renderer;
    std::optional<bool> pal;
    std::optional<CRecordedStill> found;
    CForwardReader reader;
    readFailed = !reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        const CDecodedPicture d = decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        if (!d.IsDecoded() || !d.m_pBits)
            return;
        if (!pal)
            pal = d.m_header.biHeight > 240;
        const CRecordHeader& r = f.record.m_header;
        if (d.m_nChannel != channel || DateTimeToOrderKey(r.Time()) < DateTimeToOrderKey(at))
            return;
        const CTileText text{channel, {r.m_wYear, r.m_byMonth, r.m_byDay, r.m_byHour, r.m_byMinute, r.m_bySecond},
                             CTileRenderer::TileFont(false), false};
        const CTilePicture picture{&d.m_header, d.m_pBits, d.m_bMarkAbsent, *pal, facts.m_nChannelCount};
        QImage tile = renderer.RenderPicture(picture, QSize(720, *pal ? 576 : 480));
        if (masks && !tile.isNull())
            CMaskPainter::Paint(tile, *masks, channel + 1, CPrivacyMaskSet::SecondsOf(text.m_time));
        if (!tile.isNull())
            renderer.DrawTileText(tile, text);
        found = CRecordedStill{tile, r.Time()};
        reader.Stop();
    });
    return found;
}

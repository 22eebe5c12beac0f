// How far the tiles drawn from pictures decoded at a fraction of their size lie from
// those drawn from whole pictures: every picture of a recording (the 16-camera sample
// by default) is drawn into the tile of the 16- and the 9-tile layout of the video
// area (720 x 480, 720 x 576 for PAL) both ways, and the PSNR of the tiles' visible pixels is printed, for the
// scale the frame router picks and for each smaller one.
//   bench_tilepsnr [RECORDING]

#include "evidence/forwardreader.h"
#include "playback/dibpicture.h"
#include "playback/tilerenderer.h"
#include "tools/kvxtool/consoleprobeview.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct CLayout {
    const char* m_name;
    int m_nGrid;
};
constexpr CLayout LAYOUTS[] = {{"16 tiles", 4}, {"9 tiles", 3}};

QSize TileSize(const CLayout& layout, bool pal)
{
    return QSize(720, pal ? 576 : 480) / layout.m_nGrid;
}
constexpr int SCALES[] = {1, 2, 4, 8};

// Squared differences of the pixels a tile shows (its one-pixel frame left out).
struct CError {
    double m_dSquares = 0;
    double m_dValues = 0;

    void Add(const QImage& today, const QImage& scaled)
    {
        for (int y = 0; y < today.height() - 2; ++y) {
            const uint8_t* a = today.constScanLine(y);
            const uint8_t* b = scaled.constScanLine(y);
            for (int x = 0; x < 4 * (today.width() - 2); ++x) {
                if (x % 4 == 3)
                    continue; // the fourth byte of RGB32 is always 0xFF
                const double d = double(a[x]) - double(b[x]);
                m_dSquares += d * d;
                m_dValues += 1;
            }
        }
    }
    double Psnr() const
    {
        return m_dSquares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * m_dValues / m_dSquares);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string path = argc > 1 ? argv[1]
                                       : (QCoreApplication::applicationDirPath() + "/../samples/sample16.kvx").toStdString();
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(path, facts))
        return 1;
    CDibPicture whole, reduced;
    CTileRenderer renderer;
    CError chosen[std::size(LAYOUTS)], forced[std::size(LAYOUTS)][std::size(SCALES)];
    int chosenScale[std::size(LAYOUTS)][9] = {};
    int pictures = 0;
    int unlike = 0; // decodes at a scale whose channel or row mark differ from the whole decode's
    CForwardReader reader;
    const bool read = reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        const CDecodedPicture today = whole.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        if (!today.IsDecoded())
            return;
        ++pictures;
        const bool pal = today.m_nStreamHeight > 240; // as the first picture tells the player
        const CTilePicture full{&today.m_header, today.m_pBits, today.m_bMarkAbsent, pal,
                                facts.m_nChannelCount};
        for (size_t l = 0; l < std::size(LAYOUTS); ++l) {
            const QSize tile = TileSize(LAYOUTS[l], pal);
            const QImage expected = renderer.RenderPicture(full, tile);
            const int pick = CTileRenderer::DecodeScale(today.m_header.biWidth, today.m_header.biHeight, pal,
                                                        facts.m_nChannelCount, tile);
            ++chosenScale[l][pick];
            for (size_t s = 0; s < std::size(SCALES); ++s) {
                const CDecodedPicture shown = reduced.DecodeJpegFrame(
                    f.picture, f.pictureLength, facts.m_nChannelCount, [&](uint8_t, int, int) { return SCALES[s]; });
                unlike += shown.m_nChannel != today.m_nChannel || shown.m_bMarkAbsent != today.m_bMarkAbsent;
                const CTilePicture picture{&shown.m_header, shown.m_pBits, shown.m_bMarkAbsent, pal,
                                           facts.m_nChannelCount, shown.m_nScale};
                const QImage tileShown = renderer.RenderPicture(picture, tile);
                forced[l][s].Add(expected, tileShown);
                if (SCALES[s] == pick)
                    chosen[l].Add(expected, tileShown);
            }
        }
    });
    if (!read || pictures == 0) {
        std::fprintf(stderr, "bench_tilepsnr: no picture of %s could be read\n", path.c_str());
        return 1;
    }
    std::printf("recording: %s, %d pictures\n", path.c_str(), pictures);
    std::printf("channel and row mark unlike the whole decode's: %d of %d decodes at 1/1 to 1/8\n", unlike,
                pictures * int(std::size(LAYOUTS) * std::size(SCALES)));
    for (size_t l = 0; l < std::size(LAYOUTS); ++l) {
        std::printf("%-8s as the router picks (1/1: %d, 1/2: %d, 1/4: %d, 1/8: %d pictures): PSNR %.2f dB\n",
                    LAYOUTS[l].m_name, chosenScale[l][1],
                    chosenScale[l][2], chosenScale[l][4], chosenScale[l][8], chosen[l].Psnr());
        for (size_t s = 1; s < std::size(SCALES); ++s)
            std::printf("%-8s every picture at 1/%d: PSNR %.2f dB\n", LAYOUTS[l].m_name, SCALES[s], forced[l][s].Psnr());
    }
    return 0;
}

#include "playback/currentrecord.h"
#include "playback/framerouter.h"
#include "playback/iframerouterview.h"
#include "playback/ipicturesink.h"
#include "playback/isoundsink.h"
#include "tests/support/testmain.h"
#include "tools/recgen/recordinggenerator.h"
#include "tools/recgen/scenepainter.h"

#include <QPainter>

using namespace kvx;

namespace {

const QPoint VIDEO_ORIGIN(56, 60);

class CRecordingRouterView : public IFrameRouterView, public ISoundSink {
public:
    void RepaintWindowRect(const QRect& rect) override { m_repaints.push_back(rect); }
    void SwitchVideoStandard(bool pal) override { m_switches.push_back(pal); }
    void OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime&) override
    {
        m_queued.push_back({channel, std::vector<uint8_t>(slice, slice + AUDIO_SLICE_SIZE)});
    }

    std::vector<QRect> m_repaints;
    std::vector<bool> m_switches;
    std::vector<std::pair<int, std::vector<uint8_t>>> m_queued;
};

// What an export gets: each picture's pixels.
class CCollectingSink : public IPictureSink {
public:
    void OnPicture(int, const CTilePicture& picture, const CFrameTime&) override
    {
        m_pictures.push_back(QByteArray(reinterpret_cast<const char*>(picture.m_pBits),
                                        int(picture.m_pHeader->biSizeImage)));
    }
    std::vector<QByteArray> m_pictures;
};

// A router over a 720 x 480 video area, fed pictures of generated scenes.
struct CRouterBench {
    CRecordingRouterView view;
    CFrameRouter router{view};
    CCurrentRecord current;
    std::array<uint8_t, AUDIO_BLOCK_SIZE> audio{};

    explicit CRouterBench(int channels = 16, int grid = 4)
    {
        QFont font("Arial");
        font.setPixelSize(12);
        router.SetFonts(font, font);
        router.SetVideoArea(VIDEO_ORIGIN, QSize(720, 480), QImage());
        router.SetChannelCount(channels);
        router.SetSoundSink(&view);
        router.SetGrid(0);
        router.SetGrid(grid);
        current.m_header.m_wYear = 2005;
        current.m_header.m_byMonth = current.m_header.m_byDay = 1;
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = uint8_t(i * 7);
    }
    uint8_t Frame(const std::vector<uint8_t>& picture, int audioMode = AUDIO_MODE_NONE, bool first = false)
    {
        return router.OnPlayFrame(first, audioMode, uint32_t(picture.size()), audio.data(), picture.data(), current);
    }
    QImage Shown()
    {
        QImage window(VIDEO_ORIGIN.x() + 730, VIDEO_ORIGIN.y() + 590, QImage::Format_RGB32);
        window.fill(Qt::black);
        QPainter painter(&window);
        router.PaintVideo(painter);
        return window;
    }
};

std::vector<uint8_t> Scene(int channel, int width = 352, int height = 240)
{
    return CRecordingGenerator::PictureArea(CScenePainter::Paint(width, height, channel, 0, CDateTime(2005, 1, 1, 0, 0, 0)), 90);
}

// Where a tile shows the scene's plain background: right of 85 % of the picture,
// at a third of its height.
QPoint BackgroundPointOf(const QRect& tile)
{
    return tile.topLeft() + QPoint(tile.width() * 92 / 100, tile.height() * 30 / 100);
}

bool Near(QColor a, QColor b, int tolerance = 30)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class TestFrameRouter : public QObject {
    Q_OBJECT

private slots:
    void picturesLandInTheirChannelsTiles()
    {
        CRouterBench bench;
        for (int ch = 0; ch < 16; ++ch)
            QCOMPARE(bench.Frame(Scene(ch)), uint8_t(ch));
        QCOMPARE(bench.router.LastChannel(), uint8_t(15));
        const QImage shown = bench.Shown();
        for (int ch = 0; ch < 16; ++ch) {
            const QRect tile = bench.router.TileRect(ch);
            QCOMPARE(tile.size(), QSize(180, 120));
            QVERIFY2(Near(shown.pixelColor(BackgroundPointOf(tile)), CScenePainter::BackgroundColour(ch)),
                     qPrintable(QString("channel %1").arg(ch)));
            QCOMPARE(shown.pixelColor(tile.topLeft()), QColor(Qt::white)); // the border
        }
    }

    void pagesMapChannelsToTiles()
    {
        CRouterBench bench(16, 3);
        for (int ch = 0; ch < 16; ++ch)
            bench.Frame(Scene(ch));
        bench.router.SetCurChannel(9); // the second page of nine: 0, 1, then 9..15
        bench.router.RefreshPage();
        QImage shown = bench.Shown();
        QCOMPARE(bench.router.TileRect(9), bench.router.TileRect(2));
        const int expected[9] = {0, 1, 9, 10, 11, 12, 13, 14, 15};
        for (int t = 0; t < 9; ++t)
            QVERIFY(Near(shown.pixelColor(BackgroundPointOf(bench.router.TileRect(expected[t]))),
                         CScenePainter::BackgroundColour(expected[t])));

        // Four tiles: channel 6 lands in tile 2, but only while the page of 4..7 shows.
        CRouterBench four(16, 2);
        four.Frame(Scene(2));
        four.Frame(Scene(6));
        const QPoint tile2 = BackgroundPointOf(four.router.TileRect(2));
        QVERIFY(Near(four.Shown().pixelColor(tile2), CScenePainter::BackgroundColour(2)));
        four.router.SetCurChannel(4);
        four.Frame(Scene(6));
        QVERIFY(Near(four.Shown().pixelColor(tile2), CScenePainter::BackgroundColour(6)));
    }

    void singleTileShrinksWhileAudioPlays()
    {
        CRouterBench bench(16, 1);
        QCOMPARE(bench.router.TileRect(7), QRect(VIDEO_ORIGIN, QSize(720, 480)));
        bench.router.SetAudioMask(1);
        bench.router.SetGrid(0);
        bench.router.SetGrid(1);
        QCOMPARE(bench.router.TileRect(7), QRect(VIDEO_ORIGIN + QPoint(180, 120), QSize(360, 240)));
    }

    // The recorder's black margins are cut off: a 352-pixel 16-channel NTSC picture is
    // shown from x 7, 334 pixels wide, from its 14th row.
    void cropCutsTheMargins()
    {
        QImage marked(352, 240, QImage::Format_RGB888);
        marked.fill(Qt::green);
        QPainter(&marked).fillRect(0, 0, 7, 240, Qt::blue);
        QPainter(&marked).fillRect(341, 0, 11, 240, Qt::red);
        CScenePainter::DrawRowMark(marked);
        CScenePainter::DrawChannelCode(marked, 0);
        CRouterBench bench(16, 1);
        QCOMPARE(bench.Frame(CRecordingGenerator::PictureArea(marked, 95)), uint8_t(0));
        const QImage shown = bench.Shown();
        const QRect tile = bench.router.TileRect(0);
        QVERIFY(Near(shown.pixelColor(tile.x() + 6, tile.y() + 200), Qt::green, 60));
        QVERIFY(Near(shown.pixelColor(tile.right() - 8, tile.y() + 200), Qt::green, 60));
        QVERIFY(Near(shown.pixelColor(tile.x() + 6, tile.y() + 3), Qt::green, 60)); // the marks are cut off too
    }

    void failedDecodeStillRefreshesAndPlaysItsSound()
    {
        CRouterBench bench(4, 1);
        bench.Frame(Scene(0, 720, 240));
        bench.router.SetAudioMask(0b0101);
        bench.view.m_repaints.clear();
        std::vector<uint8_t> garbage(PICTURE_UNIT_SIZE, 0x33);
        QCOMPARE(bench.Frame(garbage, AUDIO_MODE_WITH_PICTURE), uint8_t(0xFF));
        QCOMPARE(bench.router.LastChannel(), uint8_t(0xFF));
        QVERIFY(!bench.view.m_repaints.empty()); // the single tile is drawn again
        QCOMPARE(bench.view.m_queued.size(), size_t(2));
        QCOMPARE(bench.view.m_queued[0].first, 0);
        QCOMPARE(bench.view.m_queued[1].first, 2);
        QCOMPARE(bench.view.m_queued[1].second[0], bench.audio[2 * AUDIO_SLICE_SIZE]);
    }

    void audioOnlyRecordsQueueOncePerChannel()
    {
        CRouterBench bench(4, 2);
        bench.router.SetAudioMask(0b0010);
        bench.Frame({}, AUDIO_MODE_ONLY);
        QVERIFY(bench.view.m_queued.empty()); // before any picture, nothing sounds
        bench.Frame(Scene(1, 720, 240));
        bench.Frame({}, AUDIO_MODE_ONLY);
        QCOMPARE(bench.view.m_queued.size(), size_t(4)); // once for each of the four channels
        bench.router.SetSoundSink(nullptr); // as while exporting
        bench.Frame({}, AUDIO_MODE_ONLY);
        QCOMPARE(bench.view.m_queued.size(), size_t(4)); // no sound while exporting
    }

    void smoothingCarriesOverFromFrameToFrame()
    {
        CRouterBench bench(4, 2);
        bench.router.SetAudioFilter(true);
        bench.router.SetAudioMask(1);
        bench.Frame(Scene(0, 720, 240));
        bench.audio.fill(200); // above 127: folded back to 183
        bench.Frame(Scene(0, 720, 240), AUDIO_MODE_WITH_PICTURE);
        const std::vector<uint8_t>& slice = bench.view.m_queued.back().second;
        QCOMPARE(slice[0], uint8_t(183 / 7));
        QCOMPARE(slice[1], uint8_t(2 * 183 / 7));
        QCOMPARE(slice[6], uint8_t(183));
        QCOMPARE(slice[100], uint8_t(183));
    }

    // Tiles smaller than half the recorded pictures are drawn from pictures decoded
    // smaller; the enlarged camera, a zoom and an export's camera from whole ones.
    void picturesAreDecodedAtTheScaleTheirTileNeeds()
    {
        CRouterBench bench(16, 4); // tiles of 180 x 120
        for (int ch = 0; ch < 16; ++ch)
            QCOMPARE(bench.Frame(Scene(ch, 720, 288)), uint8_t(ch));
        QCOMPARE(bench.router.PictureScale(5), 2);
        bench.Frame(Scene(5)); // 352 x 240: half would not fill the tile
        QCOMPARE(bench.router.PictureScale(5), 1);
        QVERIFY(Near(bench.Shown().pixelColor(BackgroundPointOf(bench.router.TileRect(3))),
                     CScenePainter::BackgroundColour(3)));

        bench.router.SetGrid(1); // enlarged: the next picture is whole
        bench.Frame(Scene(3, 720, 288));
        QCOMPARE(bench.router.PictureScale(3), 1);

        CCollectingSink sink; // an export: every picture whole, as without scaling
        bench.router.SetGrid(4);
        bench.router.SetPictureSink(&sink);
        const std::vector<uint8_t> stream = Scene(9, 720, 288);
        bench.Frame(stream);
        QCOMPARE(bench.router.PictureScale(9), 1);
        CDibPicture plain;
        const CDecodedPicture expected = plain.DecodeJpegFrame(stream.data(), stream.size(), 16);
        QCOMPARE(sink.m_pictures.size(), size_t(1));
        QCOMPARE(sink.m_pictures[0], QByteArray(reinterpret_cast<const char*>(expected.m_pBits),
                                                int(expected.m_header.biSizeImage)));
    }

    // A tile that grows, a still and a reader of the held picture never get a reduced
    // one: the picture is decoded again, whole, from its kept stream.
    void heldPicturesAreDecodedAgainWholeWhenMoreIsNeeded()
    {
        CRouterBench reduced(16, 4), whole(16, 4);
        CCollectingSink sink;
        whole.router.SetPictureSink(&sink); // decodes every picture whole
        for (int ch = 0; ch < 16; ++ch) {
            reduced.Frame(Scene(ch, 720, 288));
            whole.Frame(Scene(ch, 720, 288));
        }
        QCOMPARE(reduced.router.PictureScale(7), 2);
        QVERIFY(reduced.router.UseChannelPicture(7, [](const CTilePicture& picture, const CFrameTime&) {
            QCOMPARE(picture.m_pHeader->biWidth, 720);
            QCOMPARE(picture.m_nScale, 1);
        }));

        QCOMPARE(reduced.router.PictureScale(0), 2);
        const CFrameRouter::CVideoSnapshot a = reduced.router.SnapshotVideo();
        const CFrameRouter::CVideoSnapshot b = whole.router.SnapshotVideo();
        QCOMPARE(a.m_picture, b.m_picture); // a still of the page is made of whole pictures
        QCOMPARE(reduced.router.PictureScale(0), 1);

        reduced.Frame(Scene(8, 720, 288));
        QCOMPARE(reduced.router.PictureScale(8), 2); // paused, then enlarged
        reduced.router.SetGrid(1);
        reduced.router.SetCurChannel(8);
        reduced.router.RefreshPage();
        QCOMPARE(reduced.router.PictureScale(8), 1);
    }

    void firstFrameDecidesTheVideoStandard()
    {
        CRouterBench bench(4, 4);
        bench.Frame(Scene(0, 720, 288), AUDIO_MODE_NONE, true);
        QCOMPARE(bench.view.m_switches, std::vector<bool>{true});
        bench.Frame(Scene(1, 720, 288), AUDIO_MODE_NONE, false);
        bench.Frame(Scene(1, 720, 240), AUDIO_MODE_NONE, false);
        QCOMPARE(bench.view.m_switches, std::vector<bool>{true}); // only the thread's first frame decides
        bench.Frame(Scene(1, 720, 240), AUDIO_MODE_NONE, true);
        QCOMPARE(bench.view.m_switches, (std::vector<bool>{true, false}));
    }
};

KVX_REGISTER_TEST(TestFrameRouter);
#include "tst_framerouter.moc"

#include "playback/tilezoom.h"
#include "tests/support/testmain.h"

namespace {

bool Close(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

} // namespace

class TestTileZoom : public QObject {
    Q_OBJECT

private slots:
    void thePointUnderTheCursorStaysThere()
    {
        const QSizeF tile(720, 480);
        CTileZoom zoom;
        QCOMPARE(zoom.Visible(QRectF(7, 13, 334, 227)), QRectF(7, 13, 334, 227));
        for (const QPointF at : {QPointF(360, 240), QPointF(100, 300), QPointF(650, 40)}) {
            const QPointF before = zoom.PictureAt(at, tile);
            zoom.ZoomAt(zoom.Factor() * CTileZoom::STEP, at, tile);
            QVERIFY(Close(zoom.PictureAt(at, tile), before));
        }
        QCOMPARE(zoom.Factor(), CTileZoom::STEP * CTileZoom::STEP * CTileZoom::STEP);
        const QPointF at(200, 200), before = zoom.PictureAt(at, tile);
        zoom.ZoomAt(zoom.Factor() / CTileZoom::STEP, at, tile); // zooming out keeps it too
        QVERIFY(Close(zoom.PictureAt(at, tile), before));
    }

    void theFactorStaysWithin1xAnd8x()
    {
        const QSizeF tile(720, 480);
        CTileZoom zoom;
        zoom.ZoomAt(50, QPointF(0, 0), tile);
        QCOMPARE(zoom.Factor(), 8.0);
        QCOMPARE(zoom.Visible(QRectF(0, 0, 800, 400)), QRectF(0, 0, 100, 50)); // the top-left corner
        zoom.ZoomAt(0.1, QPointF(10, 10), tile);
        QCOMPARE(zoom.Factor(), 1.0);
        QVERIFY(!zoom.IsZoomed());
        QVERIFY(zoom == CTileZoom());
    }

    // The tile never shows anything beyond the picture: near an edge the picture
    // point moves rather than the edge.
    void thePictureCoversTheTileAtItsEdges()
    {
        const QSizeF tile(720, 480);
        CTileZoom zoom;
        zoom.ZoomAt(2, QPointF(720, 480), tile);
        QCOMPARE(zoom.Visible(QRectF(0, 0, 720, 480)), QRectF(360, 240, 360, 240));
        zoom.Pan(QPointF(-1000, 0), tile); // dragging left shows more of the right: none left
        QCOMPARE(zoom.Visible(QRectF(0, 0, 720, 480)), QRectF(360, 240, 360, 240));
        zoom.Pan(QPointF(180, 120), tile); // the picture follows the pointer by half as much
        QCOMPARE(zoom.Visible(QRectF(0, 0, 720, 480)), QRectF(270, 180, 360, 240));
        zoom.Pan(QPointF(5000, 5000), tile);
        QCOMPARE(zoom.Visible(QRectF(0, 0, 720, 480)), QRectF(0, 0, 360, 240));
    }
};

KVX_REGISTER_TEST(TestTileZoom);
#include "tst_tilezoom.moc"

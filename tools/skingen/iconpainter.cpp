#include "tools/skingen/iconpainter.h"

#include "tools/skingen/shapes.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <tuple>

namespace {

QPainterPath Polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// A stroke of the given width as a filled outline, with round ends and corners.
QPainterPath Stroke(const QPainterPath& line, double width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

QPainterPath Polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF& p : points) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    return path;
}

// Softens the corners of a filled shape: sharp triangles look harsh at 16 pixels.
QPainterPath Rounded(const QPainterPath& shape, double radius = 0.55)
{
    return shape.united(Stroke(shape, 2 * radius)).simplified();
}

QPainterPath Circle(QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath Mirrored(const QPainterPath& path)
{
    return QTransform(-1, 0, 0, 1, CIconPainter::GRID, 0).map(path);
}

QPainterPath Play() { return Rounded(Polygon({{4.6, 2.6}, {13.2, 8}, {4.6, 13.4}})); }

QPainterPath DoubleArrow()
{
    return Rounded(Polygon({{1.2, 3.4}, {7.8, 8}, {1.2, 12.6}})).united(Rounded(Polygon({{7.8, 3.4}, {14.4, 8}, {7.8, 12.6}})));
}

QPainterPath ToEnd()
{
    return Rounded(Polygon({{3.2, 3}, {10.4, 8}, {3.2, 13}})).united(RoundRectPath(QRectF(10.8, 3, 2.4, 10), 0.8));
}

QPainterPath Arc(const QRectF& box, double startDeg, double sweepDeg)
{
    QPainterPath path;
    path.arcMoveTo(box, startDeg);
    path.arcTo(box, startDeg, sweepDeg);
    return path;
}

QPainterPath Folder()
{
    QPainterPath back = Rounded(Polygon({{1.5, 3.4}, {6.2, 3.4}, {7.8, 5}, {14.5, 5}, {14.5, 13}, {1.5, 13}}), 0.7);
    // The front flap: a thin cut shows where it meets the back.
    return back.subtracted(Stroke(Polyline({{1.0, 7.1}, {15.0, 7.1}}), 1.1));
}

QPainterPath Power()
{
    return Stroke(Arc(QRectF(2.4, 3.0, 11.2, 11.2), 125, 290), 1.9).united(Stroke(Polyline({{8, 1.8}, {8, 7.6}}), 1.9));
}

QPainterPath Film()
{
    QPainterPath strip = RoundRectPath(QRectF(1.0, 2.6, 14.0, 10.8), 1.3);
    strip = strip.subtracted(RoundRectPath(QRectF(3.2, 4.9, 9.6, 6.2), 0.6));
    for (int i = 0; i < 5; ++i) {
        const double x = 1.9 + 2.75 * i;
        strip = strip.subtracted(RoundRectPath(QRectF(x, 3.3, 1.4, 1.0), 0.3));
        strip = strip.subtracted(RoundRectPath(QRectF(x, 11.7, 1.4, 1.0), 0.3));
    }
    // An arrow leaving the frame: the picture goes out to a file.
    return strip.united(Rounded(Polygon({{6.4, 5.9}, {10.4, 8}, {6.4, 10.1}}), 0.35));
}

QPainterPath Camera()
{
    QPainterPath body = RoundRectPath(QRectF(1.2, 4.6, 13.6, 9.0), 1.8).united(RoundRectPath(QRectF(5.0, 2.6, 6.0, 3.0), 0.9));
    body = body.subtracted(Circle({8, 9.1}, 3.3));
    body = body.united(Circle({8, 9.1}, 1.9));
    return body.subtracted(Circle({12.3, 6.6}, 0.7));
}

QPainterPath Cctv()
{
    QPainterPath housing = RoundRectPath(QRectF(1.5, 3.6, 10.5, 5.4), 1.4);
    housing = housing.united(Polygon({{12.0, 4.4}, {14.6, 3.4}, {14.6, 9.2}, {12.0, 8.2}}));
    const QPainterPath mount = Stroke(Polyline({{5.0, 9.0}, {5.0, 12.6}}), 1.5);
    return housing.united(mount).united(RoundRectPath(QRectF(2.2, 12.0, 5.6, 1.8), 0.6));
}

QPainterPath Sun()
{
    QPainterPath sun = Circle({8, 8}, 3.1);
    for (int i = 0; i < 8; ++i) {
        const double a = i * std::numbers::pi / 4;
        sun = sun.united(Stroke(Polyline({{8 + 5.0 * std::cos(a), 8 + 5.0 * std::sin(a)},
                                          {8 + 6.6 * std::cos(a), 8 + 6.6 * std::sin(a)}}),
                                1.5));
    }
    return sun;
}

QPainterPath Sparkle()
{
    QPainterPath star;
    star.moveTo(8, 1.2);
    star.quadTo(8.9, 7.1, 14.8, 8);
    star.quadTo(8.9, 8.9, 8, 14.8);
    star.quadTo(7.1, 8.9, 1.2, 8);
    star.quadTo(7.1, 7.1, 8, 1.2);
    return star;
}

QPainterPath Drop()
{
    return Rounded(Circle({8, 10}, 4.3).united(Polygon({{8, 1.6}, {11.9, 8.0}, {4.1, 8.0}})), 0.4);
}

// Grains of different sizes, scattered as noise is.
QPainterPath Specks()
{
    QPainterPath specks;
    for (const auto& [x, y, r] : {std::tuple{3.6, 4.0, 1.5}, {10.8, 3.2, 1.1}, {7.6, 8.2, 1.9}, {13.0, 9.0, 1.3},
                                  {3.2, 11.6, 1.2}, {10.2, 13.2, 1.5}})
        specks = specks.united(Circle({x, y}, r));
    return specks;
}

QPainterPath HalfDisc(double radius)
{
    QPainterPath half;
    half.moveTo(8, 8 - radius);
    half.arcTo(QRectF(8 - radius, 8 - radius, 2 * radius, 2 * radius), 90, 180);
    half.closeSubpath();
    return half;
}

} // namespace

QPainterPath CIconPainter::Transport(EIcon icon)
{
    switch (icon) {
    case EIcon::ForwardPlay: return Play();
    case EIcon::BackwardPlay: return Mirrored(Play());
    case EIcon::Pause: return RoundRectPath(QRectF(3.8, 2.8, 3.2, 10.4), 0.9).united(RoundRectPath(QRectF(9.0, 2.8, 3.2, 10.4), 0.9));
    case EIcon::FastForward: return DoubleArrow();
    case EIcon::FastBackward: return Mirrored(DoubleArrow());
    case EIcon::End: return ToEnd();
    case EIcon::Start: return Mirrored(ToEnd());
    default: return {};
    }
}

QPainterPath CIconPainter::Tool(EIcon icon)
{
    switch (icon) {
    case EIcon::Open: return Folder();
    case EIcon::Exit: return Power();
    case EIcon::Export: return Film();
    case EIcon::Snapshot: return Camera();
    case EIcon::Plus: return Stroke(Polyline({{3.6, 8}, {12.4, 8}}), 2.0).united(Stroke(Polyline({{8, 3.6}, {8, 12.4}}), 2.0));
    case EIcon::Minus: return Stroke(Polyline({{3.6, 8}, {12.4, 8}}), 2.0);
    case EIcon::PagePrev: return Stroke(Polyline({{10, 3.4}, {5.4, 8}, {10, 12.6}}), 2.0);
    case EIcon::PageNext: return Mirrored(Stroke(Polyline({{10, 3.4}, {5.4, 8}, {10, 12.6}}), 2.0));
    case EIcon::Record: return Circle({8, 8}, 4.6);
    case EIcon::Stop: return RoundRectPath(QRectF(3.6, 3.6, 8.8, 8.8), 1.3);
    case EIcon::Close: return Stroke(Polyline({{4, 4}, {12, 12}}), 2.0).united(Stroke(Polyline({{12, 4}, {4, 12}}), 2.0));
    default: return {};
    }
}

// A picture area split into n x n tiles: a frame with dividers, so that every layout
// glyph has the same weight.
QPainterPath CIconPainter::Grid(int perSide)
{
    const QRectF area(1.2, 2.6, 13.6, 10.8);
    QPainterPath lines;
    lines.addRoundedRect(area, 1.2, 1.2);
    for (int i = 1; i < perSide; ++i) {
        const double x = area.x() + area.width() * i / perSide;
        const double y = area.y() + area.height() * i / perSide;
        lines.moveTo(x, area.top());
        lines.lineTo(x, area.bottom());
        lines.moveTo(area.left(), y);
        lines.lineTo(area.right(), y);
    }
    QPainterPathStroker stroker;
    stroker.setWidth(perSide == 4 ? 1.05 : 1.3);
    return stroker.createStroke(lines).simplified();
}

QPainterPath CIconPainter::Adjustment(EIcon icon)
{
    const QPainterPath ring = Stroke(Circle({8, 8}, 5.8), 1.4);
    switch (icon) {
    case EIcon::Bright: return Sun();
    case EIcon::Dark: return Circle({8, 8}, 6.0).subtracted(Circle({11.2, 5.6}, 5.0));
    case EIcon::Sharpen: return Sparkle();
    case EIcon::Blur: return Drop();
    case EIcon::Despeckle: return Specks();
    case EIcon::Contrast: return ring.united(HalfDisc(5.8));
    case EIcon::Save:
        return Stroke(Polyline({{8, 2.0}, {8, 9.4}}), 1.8)
            .united(Stroke(Polyline({{4.8, 6.4}, {8, 9.6}, {11.2, 6.4}}), 1.8))
            .united(Stroke(Polyline({{2.4, 10.2}, {2.4, 13.6}, {13.6, 13.6}, {13.6, 10.2}}), 1.6));
    case EIcon::Print: {
        // The body with a slot, the paper going in at the top and coming out below.
        QPainterPath body = RoundRectPath(QRectF(1.2, 5.4, 13.6, 6.6), 1.4).subtracted(RoundRectPath(QRectF(3.4, 8.8, 9.2, 6.2), 0));
        body = body.united(RoundRectPath(QRectF(4.4, 1.8, 7.2, 2.8), 0.5));
        return body.united(RoundRectPath(QRectF(4.6, 9.6, 6.8, 4.8), 0.5));
    }
    default: return {};
    }
}

QPainterPath CIconPainter::Emblem(EIcon icon)
{
    switch (icon) {
    case EIcon::Speaker: {
        const QPainterPath cone = Rounded(Polygon({{1.6, 6.0}, {4.6, 6.0}, {8.4, 2.8}, {8.4, 13.2}, {4.6, 10.0}, {1.6, 10.0}}), 0.4);
        return cone.united(Stroke(Arc(QRectF(6.6, 5.2, 5.6, 5.6), -50, 100), 1.3))
            .united(Stroke(Arc(QRectF(5.0, 2.8, 10.4, 10.4), -50, 100), 1.3));
    }
    case EIcon::Clock:
        return Stroke(Circle({8, 8}, 6.2), 1.4).united(Stroke(Polyline({{8, 4.2}, {8, 8}, {10.8, 9.8}}), 1.4));
    case EIcon::Camera: return Cctv();
    default: return {};
    }
}

QPainterPath CIconPainter::Outline(EIcon icon)
{
    switch (icon) {
    case EIcon::Grid1: return Grid(1);
    case EIcon::Grid4: return Grid(2);
    case EIcon::Grid9: return Grid(3);
    case EIcon::Grid16: return Grid(4);
    default: break;
    }
    for (const auto& family : {Transport, Tool, Adjustment, Emblem}) {
        QPainterPath path = family(icon);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QPainterPath CIconPainter::Placed(EIcon icon, const QRectF& box)
{
    const double side = std::min(box.width(), box.height());
    const QPointF corner = box.center() - QPointF(side / 2, side / 2);
    QTransform to;
    to.translate(corner.x(), corner.y());
    to.scale(side / GRID, side / GRID);
    return to.map(Outline(icon));
}

void CIconPainter::Paint(QPainter& painter, EIcon icon, const QRectF& box, const QColor& colour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(Placed(icon, box));
    painter.restore();
}

void CIconPainter::PaintGlowing(QPainter& painter, EIcon icon, const QRectF& box, const QColor& colour)
{
    const QPainterPath path = Placed(icon, box);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // Wide faint strokes first, narrow brighter ones last: a halo that fades outwards,
    // as wide as a tenth of the glyph.
    const double step = std::min(box.width(), box.height()) * 0.075;
    for (int ring = 4; ring >= 1; --ring) {
        QColor halo = colour;
        halo.setAlpha(12 + 8 * (4 - ring));
        painter.setPen(QPen(halo, step * ring, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    painter.restore();
    Paint(painter, icon, box, colour);
}

// Draws the sketches of the search dialogs at build time, at 1x and 2x scale: the ranges and
// limits of the circle-type searches (PNG) and the boxes of the block search (JPEG).
// Usage: draw_pictures OUTPUT-FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>

namespace {

const QColor kGround(120, 90, 50);
const QColor kSurface(200, 30, 30);
const QColor kRange(30, 90, 200);
const QColor kLimit(20, 130, 60);

void arrowHead(QPainter& p, QPointF tip, QPointF from) {
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    if (len == 0) return;
    const QPointF u = d / len, n(-u.y(), u.x());
    p.drawPolygon(QPolygonF({tip, tip - 7 * u + 3.5 * n, tip - 7 * u - 3.5 * n}));
}

// A dimension line with arrows at both ends and a label above its middle.
void range(QPainter& p, double x0, double x1, double y, const QString& label) {
    p.setPen(QPen(kRange, 1.5));
    p.setBrush(kRange);
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    arrowHead(p, {x0, y}, {x1, y});
    arrowHead(p, {x1, y}, {x0, y});
    p.drawLine(QPointF(x0, y - 5), QPointF(x0, y + 5));
    p.drawLine(QPointF(x1, y - 5), QPointF(x1, y + 5));
    p.drawText(QRectF(x0 - 40, y - 20, x1 - x0 + 80, 16), Qt::AlignCenter, label);
}

void ground(QPainter& p, const QPolygonF& line, double bottom) {
    QPolygonF soil = line;
    soil << QPointF(line.last().x(), bottom) << QPointF(line.first().x(), bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 220, 190));
    p.drawPolygon(soil);
    p.setPen(QPen(kGround, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
}

void circleSearch(QPainter& p) {
    p.fillRect(QRectF(0, 0, 320, 230), Qt::white);
    const QPolygonF line({{10, 175}, {90, 175}, {220, 80}, {310, 80}});
    ground(p, line, 225);
    // Minimum elevation.
    p.setPen(QPen(kLimit, 1, Qt::DashLine));
    p.drawLine(QPointF(10, 205), QPointF(310, 205));
    p.drawText(QPointF(212, 219), QStringLiteral("Minimum elevation"));
    // A trial surface of straight segments from the toe area to the crest.
    const QPolygonF trial({{60, 175},
                           {88, 186},
                           {118, 190},
                           {148, 184},
                           {176, 170},
                           {200, 150},
                           {220, 124},
                           {238, 96},
                           {248, 80}});
    p.setPen(QPen(kSurface, 2));
    p.drawPolyline(trial);
    p.setBrush(kSurface);
    for (const QPointF& q : trial) p.drawEllipse(q, 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
    p.drawText(QPointF(168, 198), QStringLiteral("segment length"));
    p.drawLine(QPointF(163, 178), QPointF(170, 188));
    // Initiation and termination ranges.
    range(p, 30, 90, 150, QStringLiteral("XL,i  to  XR,i"));
    range(p, 230, 300, 55, QStringLiteral("XL,t  to  XR,t"));
    // Direction limits at the first point: counterclockwise above, clockwise below the horizontal.
    const QPointF o(60, 175);
    p.setPen(QPen(kLimit, 1.2));
    p.setBrush(kLimit);
    const QPointF ccw =
        o + 55 * QPointF(std::cos(qDegreesToRadians(10.0)), -std::sin(qDegreesToRadians(10.0)));
    const QPointF cw = o + 38 * QPointF(std::cos(qDegreesToRadians(45.0)), std::sin(qDegreesToRadians(45.0)));
    p.drawLine(o, ccw);
    arrowHead(p, ccw, o);
    p.drawLine(o, cw);
    arrowHead(p, cw, o);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(o.x() - 24, o.y() - 24, 48, 48), -45 * 16, 55 * 16);
    p.drawText(QPointF(o.x() + 58, o.y() - 14), QStringLiteral("CCW limit"));
    p.drawText(QPointF(cw.x() - 30, cw.y() + 16), QStringLiteral("CW limit (negative)"));
}

void blockSearch(QPainter& p) {
    p.fillRect(QRectF(0, 0, 330, 210), Qt::white);
    const QPolygonF line({{10, 150}, {90, 150}, {210, 60}, {320, 60}});
    ground(p, line, 205);
    // Two boxes; the central block's base runs between a point in each.
    const QRectF left(60, 160, 60, 22), right(200, 120, 60, 22);
    p.setPen(QPen(kRange, 1.5, Qt::DashLine));
    p.setBrush(QColor(30, 90, 200, 40));
    p.drawRect(left);
    p.drawRect(right);
    p.setPen(kRange);
    p.drawText(QPointF(left.left(), left.bottom() + 14), QStringLiteral("box 1"));
    p.drawText(QPointF(right.left(), right.bottom() + 14), QStringLiteral("box 2"));
    const QPointF a(85, 172), b(235, 128);
    QPainterPath surface;
    surface.moveTo(40, 150);
    surface.lineTo(a);
    surface.lineTo(b);
    surface.lineTo(280, 60);
    p.setPen(QPen(kSurface, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(surface);
    p.setBrush(kSurface);
    p.drawEllipse(a, 3, 3);
    p.drawEllipse(b, 3, 3);
    p.drawText(QPointF(120, 172), QStringLiteral("base of central block"));
    p.setPen(QPen(kGround, 1));
    p.drawText(QPointF(12, 20), QStringLiteral("Boxes hold the corners of the sliding block's base"));
}

// A strip load on the crest, inclined to the vertical.
void surcharge(QPainter& p) {
    p.fillRect(QRectF(0, 0, 260, 170), Qt::white);
    ground(p, QPolygonF({{10, 140}, {70, 140}, {150, 70}, {250, 70}}), 165);
    p.setPen(QPen(kSurface, 1.5));
    p.setBrush(kSurface);
    for (double x = 170; x <= 230; x += 12) {
        const QPointF tip(x, 70), tail(x - 10, 40);
        p.drawLine(tail, tip);
        arrowHead(p, tip, tail);
    }
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(160, 40), QPointF(230, 40));
    range(p, 170, 230, 90, QStringLiteral("left x to right x"));
    p.setPen(QPen(kSurface, 1));
    p.drawText(QPointF(150, 30), QStringLiteral("intensity, inclined"));
    p.setPen(QPen(kLimit, 1, Qt::DashLine));
    p.drawLine(QPointF(230, 70), QPointF(230, 30));
}

// A tieback from its head on the face: free length, then the bond beyond it.
void tieback(QPainter& p) {
    p.fillRect(QRectF(0, 0, 260, 170), Qt::white);
    ground(p, QPolygonF({{10, 150}, {60, 150}, {140, 50}, {250, 50}}), 165);
    const QPointF head(100, 100), end(190, 120), bond(230, 129);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(head, end);
    p.setPen(QPen(kRange, 5));
    p.drawLine(end, bond);
    p.setBrush(Qt::black);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(head.x() - 4, head.y() - 6, 6, 12));
    p.setPen(QPen(Qt::black, 1));
    p.drawText(QPointF(24, 96), QStringLiteral("head (x, y)"));
    p.drawText(QPointF(110, 132), QStringLiteral("free length"));
    p.setPen(kRange);
    p.drawText(QPointF(196, 146), QStringLiteral("bond"));
    p.setPen(QPen(kLimit, 1, Qt::DashLine));
    p.drawLine(head, head + QPointF(60, 0));
    p.drawText(QPointF(165, 98), QStringLiteral("inclination"));
}

// Limit lines that trial surfaces may not cross.
void limits(QPainter& p) {
    p.fillRect(QRectF(0, 0, 260, 170), Qt::white);
    ground(p, QPolygonF({{10, 120}, {70, 120}, {150, 50}, {250, 50}}), 165);
    p.setPen(QPen(kLimit, 2.5));
    p.drawLine(QPointF(20, 150), QPointF(240, 130));
    p.setPen(QPen(kLimit, 1));
    p.drawText(QPointF(60, 160), QStringLiteral("limit line: (x1, y1) to (x2, y2)"));
    p.setPen(QPen(kSurface, 2));
    QPainterPath s;
    s.moveTo(50, 120);
    s.quadTo(130, 160, 200, 50);
    p.drawPath(s);
    p.drawText(QPointF(150, 110), QStringLiteral("trial surface"));
}

// A piezometric line through the slope and the pore pressure it gives.
void water(QPainter& p) {
    p.fillRect(QRectF(0, 0, 260, 170), Qt::white);
    ground(p, QPolygonF({{10, 130}, {70, 130}, {150, 50}, {250, 50}}), 165);
    p.setPen(QPen(kRange, 2, Qt::DashLine));
    p.drawPolyline(QPolygonF({{10, 136}, {90, 130}, {170, 95}, {250, 88}}));
    p.setPen(QPen(kRange, 1));
    p.drawText(QPointF(160, 84), QStringLiteral("piezometric line"));
    const QPointF base(140, 150), top(140, 108);
    p.setBrush(kRange);
    p.drawLine(base, top);
    arrowHead(p, top, base);
    arrowHead(p, base, top);
    p.drawText(QPointF(146, 135), QStringLiteral("u = \u03b3w \u00d7 head"));
}

bool save(const QString& folder, const QString& name, const char* format, double scale,
          void (*draw)(QPainter&), QSize size) {
    QImage image(size * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    p.scale(scale, scale);
    draw(p);
    p.end();
    const QString suffix = scale > 1 ? QStringLiteral("@2x") : QString();
    return image.save(QDir(folder).filePath(name + suffix + '.' + QLatin1String(format)), format, 92);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: draw_pictures OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;
    for (double scale : {1.0, 2.0}) {
        ok = save(folder, QStringLiteral("circle-search"), "png", scale, circleSearch, QSize(320, 230)) && ok;
        ok = save(folder, QStringLiteral("block-search"), "jpg", scale, blockSearch, QSize(330, 210)) && ok;
        ok = save(folder, QStringLiteral("surcharge"), "png", scale, surcharge, QSize(260, 170)) && ok;
        ok = save(folder, QStringLiteral("tieback"), "png", scale, tieback, QSize(260, 170)) && ok;
        ok = save(folder, QStringLiteral("limits"), "png", scale, limits, QSize(260, 170)) && ok;
        ok = save(folder, QStringLiteral("water"), "png", scale, water, QSize(260, 170)) && ok;
    }
    if (!ok) std::fputs("draw_pictures: a picture could not be written\n", stderr);
    return ok ? 0 : 1;
}

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
    }
    if (!ok) std::fputs("draw_pictures: a picture could not be written\n", stderr);
    return ok ? 0 : 1;
}

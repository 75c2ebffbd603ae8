// Draws the technical manual's figures at print resolution while the documents are built: the axes,
// the forces on a slice, pore pressure, the three searches, a tieback and a reinforcement layer, the
// global stage and the refinement, and (with the program's own model view) the legend.
//
// Usage: manual_figures PICTURES-FOLDER
#include "graph/ModelScene.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
double rad(double degrees) {
    return degrees * kPi / 180;
}

const QColor kSoil(225, 225, 225), kSoil2(200, 200, 200), kWater(30, 100, 220), kSurface(205, 30, 30),
    kForce(0, 0, 0), kRange(0, 140, 60), kFaint(170, 170, 170);

// A drawing in the problem's axes (x right, y up) on an image of print resolution: 1800 pixels wide,
// shown 16 cm wide in the manuals (about 290 pixels an inch).
class Figure {
public:
    Figure(double x0, double y0, double x1, double y1, int width = 1800)
        : m_scale((width - 2 * kMargin) / (x1 - x0)), m_x0(x0), m_y1(y1),
          m_image(width, static_cast<int>((y1 - y0) * (width - 2 * kMargin) / (x1 - x0)) + 2 * kMargin,
                  QImage::Format_ARGB32_Premultiplied),
          m_p() {
        m_image.fill(Qt::white);
        m_p.begin(&m_image);
        m_p.setRenderHint(QPainter::Antialiasing);
    }
    QPointF at(double x, double y) const {
        return {kMargin + (x - m_x0) * m_scale, kMargin + (m_y1 - y) * m_scale};
    }
    QPointF at(QPointF w) const { return at(w.x(), w.y()); }
    double px(double length) const { return length * m_scale; }
    QPainter& painter() { return m_p; }

    void area(const QList<QPointF>& world, const QColor& fill, const QColor& edge = Qt::black) {
        QPolygonF poly;
        for (const QPointF& w : world) poly << at(w);
        m_p.setPen(QPen(edge, 3));
        m_p.setBrush(fill);
        m_p.drawPolygon(poly);
        m_p.setBrush(Qt::NoBrush);
    }
    void line(const QList<QPointF>& world, const QColor& colour, double width = 4,
              Qt::PenStyle style = Qt::SolidLine) {
        QPolygonF poly;
        for (const QPointF& w : world) poly << at(w);
        m_p.setPen(QPen(colour, width, style, Qt::RoundCap, Qt::RoundJoin));
        m_p.drawPolyline(poly);
    }
    void dot(QPointF w, const QColor& colour = Qt::black, double r = 8) {
        m_p.setPen(Qt::NoPen);
        m_p.setBrush(colour);
        m_p.drawEllipse(at(w), r, r);
        m_p.setBrush(Qt::NoBrush);
    }
    // An arrow from `from` to `to` (world), its head at `to`.
    void arrow(QPointF from, QPointF to, const QColor& colour = kForce, double width = 5,
               Qt::PenStyle style = Qt::SolidLine) {
        const QPointF a = at(from), b = at(to);
        m_p.setPen(QPen(colour, width, style, Qt::RoundCap));
        const QPointF d = b - a;
        const double len = std::hypot(d.x(), d.y());
        if (len < 1) return;
        const QPointF u = d / len, n(-u.y(), u.x());
        const double head = 16 + 3 * width;
        m_p.drawLine(a, b - u * head * 0.6);
        m_p.setPen(Qt::NoPen);
        m_p.setBrush(colour);
        m_p.drawPolygon(QPolygonF{b, b - u * head + n * head * 0.4, b - u * head - n * head * 0.4});
        m_p.setBrush(Qt::NoBrush);
    }
    // Rich text (HTML: <i>, <sub>, <sup>, Greek letters) with its anchor at `w`: `align` says which
    // side of the text the point is on.
    void label(QPointF w, const QString& html, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter,
               const QColor& colour = Qt::black, double size = 34) {
        QTextDocument doc;
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(static_cast<int>(size));
        doc.setDefaultFont(font);
        doc.setDocumentMargin(2);
        doc.setHtml(QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colour.name(), html));
        const QSizeF s = doc.size();
        QPointF p = at(w);
        if (align & Qt::AlignRight)
            p.rx() -= s.width() + 6;
        else if (align & Qt::AlignHCenter)
            p.rx() -= s.width() / 2;
        else
            p.rx() += 6;
        if (align & Qt::AlignBottom)
            p.ry() -= s.height();
        else if (align & Qt::AlignVCenter)
            p.ry() -= s.height() / 2;
        m_p.save();
        m_p.translate(p);
        doc.drawContents(&m_p);
        m_p.restore();
    }
    // An arc of radius `r` (pixels) about `centre` from angle a0 to a1 (degrees, counterclockwise from
    // +x), with an arrowhead at a1 when `head`.
    void angle(QPointF centre, double r, double a0, double a1, bool head = true,
               const QColor& colour = Qt::black) {
        const QPointF c = at(centre);
        QPainterPath path;
        const int steps = 40;
        for (int i = 0; i <= steps; ++i) {
            const double a = rad(a0 + (a1 - a0) * i / steps);
            const QPointF q = c + QPointF(r * std::cos(a), -r * std::sin(a));
            i == 0 ? path.moveTo(q) : path.lineTo(q);
        }
        m_p.setPen(QPen(colour, 3));
        m_p.drawPath(path);
        if (head) {
            const double a = rad(a1), s = a1 > a0 ? 1 : -1;
            const QPointF tip = c + QPointF(r * std::cos(a), -r * std::sin(a));
            const QPointF t(-std::sin(a) * s, -std::cos(a) * s); // along the arc, on the image
            const QPointF n(-t.y(), t.x());
            m_p.setPen(Qt::NoPen);
            m_p.setBrush(colour);
            m_p.drawPolygon(QPolygonF{tip + t * 4, tip - t * 22 + n * 9, tip - t * 22 - n * 9});
            m_p.setBrush(Qt::NoBrush);
        }
    }
    // A dimension between two world points, offset by `offset` pixels to the left of a -> b.
    void dimension(QPointF a, QPointF b, double offset, const QString& html) {
        const QPointF pa = at(a), pb = at(b), d = pb - pa;
        const double len = std::hypot(d.x(), d.y());
        const QPointF n = QPointF(d.y(), -d.x()) / len * offset;
        m_p.setPen(QPen(Qt::darkGray, 2, Qt::DashLine));
        m_p.drawLine(pa, pa + n);
        m_p.drawLine(pb, pb + n);
        m_p.setPen(QPen(Qt::black, 2));
        m_p.drawLine(pa + n * 0.8, pb + n * 0.8);
        for (const auto& [end, dir] : {std::pair{pa + n * 0.8, d / len}, std::pair{pb + n * 0.8, -d / len}}) {
            const QPointF m(-dir.y(), dir.x());
            m_p.setBrush(Qt::black);
            m_p.setPen(Qt::NoPen);
            m_p.drawPolygon(QPolygonF{end, end + dir * 18 + m * 6, end + dir * 18 - m * 6});
            m_p.setBrush(Qt::NoBrush);
        }
        const QPointF mid = (pa + pb) / 2 + n * 1.3;
        label(QPointF(m_x0 + (mid.x() - kMargin) / m_scale, m_y1 - (mid.y() - kMargin) / m_scale), html,
              Qt::AlignHCenter | Qt::AlignVCenter, Qt::black, 30);
    }
    void axes(QPointF origin, double length) {
        arrow(origin, origin + QPointF(length, 0), Qt::black, 4);
        arrow(origin, origin + QPointF(0, length), Qt::black, 4);
        label(origin + QPointF(length, 0), QStringLiteral("<i>x</i>"), Qt::AlignLeft | Qt::AlignVCenter);
        label(origin + QPointF(0, length), QStringLiteral("<i>y</i>"), Qt::AlignHCenter | Qt::AlignBottom);
    }
    bool save(const QString& path) {
        m_p.end();
        return m_image.save(path);
    }

private:
    static constexpr int kMargin = 60;
    double m_scale, m_x0, m_y1;
    QImage m_image;
    QPainter m_p;
};

// Points of a circle of centre c and radius r from angle a0 to a1 (degrees).
QList<QPointF> arc(QPointF c, double r, double a0, double a1, int steps = 60) {
    QList<QPointF> pts;
    for (int i = 0; i <= steps; ++i) {
        const double a = rad(a0 + (a1 - a0) * i / steps);
        pts << c + QPointF(r * std::cos(a), r * std::sin(a));
    }
    return pts;
}

// The simple slope all sketches share: toe at (10, 10), crest at (30, 20), ground from 0 to 50.
const QList<QPointF> kGround{{0, 10}, {10, 10}, {30, 20}, {50, 20}};
QList<QPointF> slopeArea(double bottom = 0) {
    return QList<QPointF>(kGround) << QPointF(50, bottom) << QPointF(0, bottom);
}

bool axesFigure(const QString& path) {
    Figure f(-2, -1, 58, 34);
    f.area(slopeArea(), kSoil);
    const QPointF c(17, 34);
    const double r = std::hypot(c.x() - 6, c.y() - 10);
    // The circle from where it leaves the ground at the toe side to where it enters under the crest.
    const double a0 = std::atan2(10 - c.y(), 6 - c.x()) * 180 / kPi;
    const double xe = c.x() + std::sqrt(r * r - (20 - c.y()) * (20 - c.y()));
    const double a1 = 360 + std::atan2(20 - c.y(), xe - c.x()) * 180 / kPi;
    const QList<QPointF> surface = arc(c, r, a0 + 360, a1, 80);
    f.line(surface, kSurface, 6);
    f.arrow(surface[surface.size() - 3], surface.back(), kSurface, 6);
    f.label({6, 10}, QStringLiteral("toe"), Qt::AlignRight | Qt::AlignBottom);
    f.label({46, 20}, QStringLiteral("crest"), Qt::AlignHCenter | Qt::AlignBottom);
    // The sliding direction.
    f.arrow({28, 16}, {18, 16}, QColor(90, 90, 90), 14);
    f.label({19, 16.8}, QStringLiteral("sliding direction (&minus;<i>x</i>)"),
            Qt::AlignLeft | Qt::AlignBottom);
    // A descending base near the toe and a rising one under the crest, with alpha.
    for (const double a : {a0 + 360 + 8, a1 - 14}) {
        const QPointF b = c + QPointF(r * std::cos(rad(a)), r * std::sin(rad(a)));
        const double alpha = a - 270;
        f.line({b, b + QPointF(5, 0)}, Qt::darkGray, 2, Qt::DashLine);
        f.line({b - QPointF(3 * std::cos(rad(alpha)), 3 * std::sin(rad(alpha))),
                b + QPointF(5 * std::cos(rad(alpha)), 5 * std::sin(rad(alpha)))},
               Qt::black, 4);
        f.angle(b, f.px(3.6), 0, alpha);
        f.label(b + QPointF(4.3, alpha > 0 ? 1.2 : -1.4),
                alpha > 0 ? QStringLiteral("&alpha; &gt; 0") : QStringLiteral("&alpha; &lt; 0"));
        if (alpha > 0) {
            const QPointF n(-std::sin(rad(alpha)), std::cos(rad(alpha))),
                t(std::cos(rad(alpha)), std::sin(rad(alpha)));
            f.arrow(b, b + n * 5, Qt::blue, 4);
            f.label(b + n * 5, QStringLiteral("<b>n</b> = (&minus;sin &alpha;, cos &alpha;)"),
                    Qt::AlignRight | Qt::AlignBottom, Qt::blue, 30);
            f.arrow(b, b + t * 5.5, Qt::blue, 4);
            f.label(b + t * 5.5 + QPointF(0.3, -0.3), QStringLiteral("<b>t</b> = (cos &alpha;, sin &alpha;)"),
                    Qt::AlignLeft | Qt::AlignTop, Qt::blue, 30);
        }
    }
    // Positive moments.
    f.angle({36, 29}, f.px(2.5), -60, 220);
    f.label({39, 29}, QStringLiteral("<i>M</i> &gt; 0 (counterclockwise)"));
    f.axes({0.5, 30}, 5);
    f.label({0.5, 30}, QStringLiteral("<i>O</i>"), Qt::AlignRight | Qt::AlignTop);
    return f.save(path);
}

bool sliceForces(const QString& path) {
    Figure f(-6, -3, 26, 21);
    // One slice: faces at x = 0 and x = 10, a rising base, an inclined top.
    const QPointF bl(0, 2), br(10, 6), tl(0, 15), tr(10, 18);
    f.area({bl, br, tr, tl}, kSoil);
    f.label({0.3, 13.8}, QStringLiteral("slice <i>i</i>"), Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray);
    const double alpha = std::atan2(br.y() - bl.y(), br.x() - bl.x()) * 180 / kPi;
    f.line({bl, bl + QPointF(4, 0)}, Qt::darkGray, 2, Qt::DashLine);
    f.angle(bl, f.px(3.2), 0, alpha);
    f.label(bl + QPointF(3.4, 0.6), QStringLiteral("&alpha;<sub><i>i</i></sub>"));
    const QPointF mid = (bl + br) / 2;
    f.dot(mid);
    f.label(mid + QPointF(0.3, -0.6),
            QStringLiteral("(<i>x&#772;</i><sub><i>i</i></sub>, <i>y&#772;</i><sub><i>i</i></sub>)"),
            Qt::AlignLeft | Qt::AlignTop, Qt::black, 28);
    // The weight at the centroid, and the seismic forces there.
    const QPointF g(5.3, 10.2);
    f.dot(g, Qt::black, 7);
    f.arrow(g, g + QPointF(0, -5));
    f.label(g + QPointF(0.2, -4.5), QStringLiteral("<i>W</i>"));
    f.arrow(g, g + QPointF(-7.5, 0), Qt::darkGray, 4, Qt::DashLine);
    f.label(g + QPointF(-7.5, 0), QStringLiteral("<i>k</i><sub>h</sub><i>W</i>"),
            Qt::AlignRight | Qt::AlignVCenter, Qt::darkGray);
    f.arrow(g, g + QPointF(0, 3.5), Qt::darkGray, 4, Qt::DashLine);
    f.label(g + QPointF(0, 3.5), QStringLiteral("<i>k</i><sub>v</sub><i>W</i>"),
            Qt::AlignHCenter | Qt::AlignBottom, Qt::darkGray);
    // Side forces: on the left face E to the right and X up, on the right face the opposite.
    const QPointF left(0, 7), right(10, 10.5);
    f.arrow(left - QPointF(4.5, 0), left);
    f.label(left - QPointF(4.5, 0), QStringLiteral("<i>E</i><sub><i>i</i>&minus;1</sub>"),
            Qt::AlignRight | Qt::AlignVCenter);
    f.arrow(left - QPointF(0.6, 4), left - QPointF(0.6, 0));
    f.label(left - QPointF(0.6, 4), QStringLiteral("<i>X</i><sub><i>i</i>&minus;1</sub>"),
            Qt::AlignRight | Qt::AlignTop);
    f.dot(left, Qt::red, 7);
    f.arrow(right + QPointF(4.5, 0), right);
    f.label(right + QPointF(4.5, 0), QStringLiteral("<i>E</i><sub><i>i</i></sub>"));
    f.arrow(right + QPointF(0.6, 4), right + QPointF(0.6, 0));
    f.label(right + QPointF(0.6, 4), QStringLiteral("<i>X</i><sub><i>i</i></sub>"),
            Qt::AlignLeft | Qt::AlignBottom);
    f.dot(right, Qt::red, 7);
    f.label(right + QPointF(0.3, -0.8), QStringLiteral("line of thrust"), Qt::AlignLeft | Qt::AlignTop,
            Qt::red, 26);
    // Base forces: N and U along n into the mass, S along t up the base.
    const QPointF n(-std::sin(rad(alpha)), std::cos(rad(alpha))),
        t(std::cos(rad(alpha)), std::sin(rad(alpha)));
    f.arrow(mid - n * 5.5, mid - n * 0.2);
    f.label(mid - n * 5.5, QStringLiteral("<i>N</i>"), Qt::AlignLeft | Qt::AlignTop);
    f.arrow(mid - n * 3 + t * 1.2, mid + t * 1.2 - n * 0.2, kWater, 5);
    f.label(mid - n * 3 + t * 1.2, QStringLiteral("<i>U</i> = <i>u l</i>"), Qt::AlignLeft | Qt::AlignTop,
            kWater);
    f.arrow(mid + t * 2.5 - n * 0.4, mid + t * 7.5 - n * 0.4);
    f.label(mid + t * 7.5 - n * 0.4,
            QStringLiteral("<i>S</i> = (<i>c l</i> + (<i>N</i> &minus; <i>U</i>) tan &phi;) / <i>F</i>"),
            Qt::AlignLeft | Qt::AlignTop, Qt::black, 30);
    f.dimension(QPointF(0, 18.5), QPointF(10, 18.5), 30, QStringLiteral("<i>b</i><sub><i>i</i></sub>"));
    f.dimension(bl, br, -230, QStringLiteral("<i>l</i><sub><i>i</i></sub>"));
    f.label({-5.5, 20}, QStringLiteral("face <i>i</i>&minus;1"), Qt::AlignLeft | Qt::AlignTop, Qt::darkGray,
            28);
    f.label({10.3, 20}, QStringLiteral("face <i>i</i>"), Qt::AlignLeft | Qt::AlignTop, Qt::darkGray, 28);
    // The known forces reduced to the middle of the base.
    const QPointF k(20, 4);
    f.dot(k);
    f.arrow(k, k + QPointF(-3, 0));
    f.label(k + QPointF(-3, 0), QStringLiteral("<i>f</i><sub><i>x</i></sub>"),
            Qt::AlignRight | Qt::AlignVCenter);
    f.arrow(k, k + QPointF(0, -3));
    f.label(k + QPointF(0, -3), QStringLiteral("<i>f</i><sub><i>y</i></sub>"),
            Qt::AlignHCenter | Qt::AlignTop);
    f.angle(k, f.px(1.6), 20, 300);
    f.label(k + QPointF(1.8, 1.2), QStringLiteral("<i>M</i>"));
    f.label({17, 8.5}, QStringLiteral("known forces at the base's middle"), Qt::AlignLeft | Qt::AlignBottom,
            Qt::black, 26);
    f.label(
        {15, 19},
        QStringLiteral("+<i>x</i>, +<i>y</i>; moments counterclockwise +;<br><i>E</i> &gt; 0: compression"),
        Qt::AlignLeft | Qt::AlignTop, Qt::black, 26);
    f.axes({-5.5, -2.5}, 3);
    return f.save(path);
}

bool porePressure(const QString& path) {
    Figure f(-1, -1, 37, 19);
    for (const double dx : {0.0, 20.0}) {
        const QPointF bl(2 + dx, 2), br(12 + dx, 5), tl(2 + dx, 14), tr(12 + dx, 16);
        f.area({bl, br, tr, tl}, kSoil);
        const QPointF mid = (bl + br) / 2;
        f.dot(mid);
        f.dimension(bl, br, -60, QStringLiteral("<i>l</i>"));
        const double alpha = std::atan2(3, 10);
        const QPointF n(-std::sin(alpha), std::cos(alpha));
        f.arrow(mid - n * 4, mid - n * 0.2, kWater, 5);
        f.label(mid - n * 4, QStringLiteral("<i>U</i> = <i>u l</i>"), Qt::AlignLeft | Qt::AlignTop, kWater);
        if (dx == 0) {
            // The piezometric line over the slice: saturated below it, moist above.
            const QPointF w0(0, 9), w1(14, 11);
            f.area({bl, br, QPointF(12, 10.714), QPointF(2, 9.286)}, kSoil2, Qt::transparent);
            f.line({w0, w1}, kWater, 5);
            f.line({QPointF(5.6, 10.2), QPointF(6.2, 9.6), QPointF(6.8, 10.2), QPointF(5.6, 10.2)}, kWater,
                   3);
            f.label(w1, QStringLiteral("<i>h</i><sub>w</sub>(<i>x</i>)"), Qt::AlignLeft | Qt::AlignVCenter,
                    kWater);
            const double hw = 9 + 2 * (mid.x() - 0) / 14;
            f.line({mid, QPointF(mid.x(), hw)}, Qt::black, 2, Qt::DashLine);
            f.label(QPointF(mid.x(), (mid.y() + hw) / 2),
                    QStringLiteral("<i>h</i><sub>w</sub>(<i>x&#772;</i>) &minus; <i>y&#772;</i>"),
                    Qt::AlignLeft | Qt::AlignVCenter, Qt::black, 28);
            f.label({3, 12.5}, QStringLiteral("&gamma;<sub>m</sub>"));
            f.label({3, 7}, QStringLiteral("&gamma;<sub>s</sub>"));
            f.label({7, 18.5},
                    QStringLiteral("from a piezometric line:<br><i>u</i> = &gamma;<sub>w</sub> "
                                   "(<i>h</i><sub>w</sub>(<i>x&#772;</i>) &minus; <i>y&#772;</i>)"),
                    Qt::AlignHCenter | Qt::AlignTop, Qt::black, 30);
        } else {
            const QPointF g(7 + dx, 9.5);
            f.dot(g, Qt::black, 7);
            f.arrow(g, g + QPointF(0, -4));
            f.label(g + QPointF(0.2, -3.5), QStringLiteral("<i>W</i>"));
            f.dimension(QPointF(2 + dx, 17), QPointF(12 + dx, 17), 25, QStringLiteral("<i>b</i>"));
            f.label({7 + dx, 18.5},
                    QStringLiteral(
                        "from <i>r</i><sub>u</sub>:<br><i>u</i> = <i>r</i><sub>u</sub> <i>W</i> / <i>b</i>"),
                    Qt::AlignHCenter | Qt::AlignTop, Qt::black, 30);
        }
    }
    return f.save(path);
}

bool circleSearch(const QString& path) {
    Figure f(-2, -1, 52, 36);
    f.area(slopeArea(), kSoil);
    f.line({{0, 3}, {50, 3}}, Qt::darkGray, 3, Qt::DashLine);
    f.label({1, 3}, QStringLiteral("minimum elevation"), Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray, 28);
    // The ranges: initiation on the toe side, termination on the crest.
    f.line({{1, 10.5}, {9, 10.5}}, kRange, 10);
    f.label({1, 11}, QStringLiteral("<i>x</i><sub>L,i</sub>"), Qt::AlignHCenter | Qt::AlignBottom, kRange);
    f.label({9, 11}, QStringLiteral("<i>x</i><sub>R,i</sub>"), Qt::AlignHCenter | Qt::AlignBottom, kRange);
    f.line({{33, 20.5}, {48, 20.5}}, kSurface, 10);
    f.label({33, 21}, QStringLiteral("<i>x</i><sub>L,t</sub>"), Qt::AlignHCenter | Qt::AlignBottom, kSurface);
    f.label({48, 21}, QStringLiteral("<i>x</i><sub>R,t</sub>"), Qt::AlignHCenter | Qt::AlignBottom, kSurface);
    for (int i = 0; i < 4; ++i) f.dot({1.0 + i * 8.0 / 3, 10}, kRange);
    for (int i = 0; i < 7; ++i) f.line({{33 + i * 2.5, 19.6}, {33 + i * 2.5, 20.4}}, kSurface, 4);
    // Faint other circles behind, then one through P and Q.
    const QPointF P(6.333, 10), Q(40.5, 20);
    // Only below the ground: what a trial keeps.
    auto ground = [](double x) { return x < 10 ? 10.0 : x < 30 ? 10 + (x - 10) / 2 : 20.0; };
    for (const double up : {18.0, 26.0, 34.0}) {
        const QPointF c(20, up + 6);
        const double r = std::hypot(c.x() - 3.667, c.y() - 10);
        QList<QPointF> below;
        for (const QPointF& q : arc(c, r, 200, 340, 120))
            if (q.y() <= ground(q.x()) + 1e-9) below << q;
        f.line(below, kFaint, 2);
    }
    // Centre on the perpendicular bisector of PQ, below which the circle leaves P at -25 degrees.
    const double theta = rad(-25);
    const QPointF m(-std::sin(theta) * -1, std::cos(theta)); // unit normal at P toward the centre
    const QPointF mu = QPointF(std::sin(-theta), std::cos(theta));
    const QPointF d = Q - P;
    const double r = (d.x() * d.x() + d.y() * d.y()) / (2 * (d.x() * mu.x() + d.y() * mu.y()));
    const QPointF c = P + mu * r;
    Q_UNUSED(m);
    const double a0 = std::atan2(P.y() - c.y(), P.x() - c.x()) * 180 / kPi;
    const double a1 = std::atan2(Q.y() - c.y(), Q.x() - c.x()) * 180 / kPi;
    QList<QPointF> chords = arc(c, r, a0 + 360, a1 + 360, 12);
    f.line(chords, kSurface, 6);
    for (const QPointF& q : chords) f.dot(q, kSurface, 6);
    f.line({c + QPointF(-0.6, -0.6), c + QPointF(0.6, 0.6)}, Qt::black, 4);
    f.line({c + QPointF(-0.6, 0.6), c + QPointF(0.6, -0.6)}, Qt::black, 4);
    f.label(c, QStringLiteral("<i>C</i>"), Qt::AlignLeft | Qt::AlignBottom);
    f.line({c, P}, Qt::black, 2, Qt::DashLine);
    f.label((c + P) / 2, QStringLiteral("<i>R</i>"), Qt::AlignRight | Qt::AlignVCenter);
    f.line({c, chords[5]}, Qt::black, 2, Qt::DashLine);
    f.line({c, chords[6]}, Qt::black, 2, Qt::DashLine);
    const double b5 = std::atan2(chords[5].y() - c.y(), chords[5].x() - c.x()) * 180 / kPi;
    const double b6 = std::atan2(chords[6].y() - c.y(), chords[6].x() - c.x()) * 180 / kPi;
    f.angle(c, f.px(5), b5, b6, false);
    f.label(c + QPointF(0.5, -6.5), QStringLiteral("&Delta;&psi;"), Qt::AlignLeft | Qt::AlignTop);
    f.dimension(chords[8], chords[9], -40, QStringLiteral("<i>s</i>"));
    f.arrow(P, P + mu * 4, Qt::blue, 4);
    f.label(P + mu * 4, QStringLiteral("<b>m</b>"), Qt::AlignRight | Qt::AlignVCenter, Qt::blue);
    // The fan of directions at P between the limits.
    f.line({P, P + QPointF(7, 0)}, Qt::darkGray, 2, Qt::DashLine);
    for (const double a : {-40.0, 15.0})
        f.line({P, P + QPointF(7 * std::cos(rad(a)), 7 * std::sin(rad(a)))}, Qt::darkGray, 3, Qt::DashLine);
    for (const double a : {-25.0, -7.0, 8.0})
        f.arrow(P, P + QPointF(4.5 * std::cos(rad(a)), 4.5 * std::sin(rad(a))), Qt::black, 3);
    f.label(P + QPointF(7 * std::cos(rad(-40)), 7 * std::sin(rad(-40))),
            QStringLiteral("&theta;<sub>cw</sub> (negative)"), Qt::AlignLeft | Qt::AlignVCenter, Qt::black,
            28);
    f.label(P + QPointF(7 * std::cos(rad(15)), 7 * std::sin(rad(15))),
            QStringLiteral("&theta;<sub>ccw</sub>"), Qt::AlignLeft | Qt::AlignBottom, Qt::black, 28);
    f.label(P, QStringLiteral("<i>P</i>"), Qt::AlignRight | Qt::AlignBottom);
    f.label(Q, QStringLiteral("<i>Q</i>"), Qt::AlignRight | Qt::AlignTop);
    f.axes({-1.5, 28}, 4);
    return f.save(path);
}

bool irregularSearch(const QString& path) {
    Figure f(-2, -1, 52, 32);
    f.area(slopeArea(), kSoil);
    // A weak layer rising gently under the slope.
    f.area({{0, 5}, {50, 9}, {50, 8}, {0, 4}}, QColor(240, 220, 120));
    f.line({{0, 2}, {50, 2}}, Qt::darkGray, 3, Qt::DashLine);
    f.label({1, 2}, QStringLiteral("minimum elevation"), Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray, 28);
    f.line({{1, 10.5}, {9, 10.5}}, kRange, 10);
    f.line({{34, 20.5}, {48, 20.5}}, kSurface, 10);
    const QPointF P(5, 10), T(41, 20);
    f.line({P, T}, Qt::darkGray, 2, Qt::DashLine);
    f.label((P + T) / 2 + QPointF(0, 1), QStringLiteral("&theta;<sub>PT</sub>"),
            Qt::AlignHCenter | Qt::AlignBottom, Qt::darkGray, 28);
    // The surface: down at theta_1, along the layer just above it, then up to T.
    QList<QPointF> s{P};
    QPointF q = P;
    double dir = -38;
    while (q.y() > 5.3 + 0.08 * q.x() + 0.5) {
        q += QPointF(2.2 * std::cos(rad(dir)), 2.2 * std::sin(rad(dir)));
        s << q;
        dir += 6;
    }
    dir = std::atan(0.08) * 180 / kPi;
    while (q.x() < 31) {
        q += QPointF(2.2 * std::cos(rad(dir)), 2.2 * std::sin(rad(dir)));
        s << q;
    }
    f.line({{31, 0}, {31, 26}}, Qt::darkGray, 2, Qt::DotLine);
    f.label({31, 26}, QStringLiteral("<i>x</i><sub>&tau;</sub>"), Qt::AlignHCenter | Qt::AlignBottom);
    while (q.y() < 20) {
        dir = std::min(dir + 14, 60.0);
        q += QPointF(2.2 * std::cos(rad(dir)), 2.2 * std::sin(rad(dir)));
        if (q.y() > 20) q = QPointF(q.x() - (q.y() - 20) / std::tan(rad(dir)), 20);
        s << q;
    }
    f.line(s, kSurface, 6);
    for (const QPointF& v : s) f.dot(v, kSurface, 6);
    f.dimension(s[6], s[7], -40, QStringLiteral("<i>s</i>"));
    // The fan at P and the bearing to T at one vertex.
    f.line({P, P + QPointF(7, 0)}, Qt::darkGray, 2, Qt::DashLine);
    for (const double a : {-50.0, -10.0})
        f.line({P, P + QPointF(6 * std::cos(rad(a)), 6 * std::sin(rad(a)))}, Qt::darkGray, 3, Qt::DashLine);
    f.label(P + QPointF(6 * std::cos(rad(-50)), 6 * std::sin(rad(-50))),
            QStringLiteral("&theta;<sub>cw</sub>"), Qt::AlignRight | Qt::AlignTop, Qt::black, 28);
    f.label(P + QPointF(6 * std::cos(rad(-10)), 6 * std::sin(rad(-10))),
            QStringLiteral("&theta;<sub>ccw</sub>"), Qt::AlignLeft | Qt::AlignVCenter, Qt::black, 28);
    f.label(P + QPointF(1.6, -1.6), QStringLiteral("&theta;<sub>1</sub>"), Qt::AlignLeft | Qt::AlignTop,
            Qt::black, 28);
    f.label({-1, 15}, QStringLiteral("limits apply to the first segment"), Qt::AlignLeft | Qt::AlignBottom,
            Qt::darkGray, 26);
    const QPointF v = s[s.size() - 4];
    f.arrow(v, v + (T - v) / std::hypot(T.x() - v.x(), T.y() - v.y()) * 5, Qt::darkGray, 3, Qt::DashLine);
    f.label(v + (T - v) / std::hypot(T.x() - v.x(), T.y() - v.y()) * 5, QStringLiteral("&beta;<sub>T</sub>"),
            Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray, 28);
    f.label({22, 9.5}, QStringLiteral("along the weak layer"), Qt::AlignHCenter | Qt::AlignBottom, Qt::black,
            26);
    f.label(P, QStringLiteral("<i>P</i>"), Qt::AlignRight | Qt::AlignBottom);
    f.label(T, QStringLiteral("<i>T</i>"), Qt::AlignLeft | Qt::AlignBottom);
    f.axes({-1.5, 25}, 4);
    return f.save(path);
}

bool blockSearch(const QString& path) {
    Figure f(-2, -1, 52, 30);
    f.area(slopeArea(), kSoil);
    f.area({{0, 5}, {50, 7}, {50, 6}, {0, 4}}, QColor(240, 220, 120));
    // Two boxes along the layer, a point in each, the block's base between them and the two wedges.
    struct Box {
        QPointF l, r;
        double h;
    };
    const Box boxes[] = {{{12, 5.5}, {18, 5.7}, 3}, {{28, 6.1}, {38, 6.5}, 3}};
    for (int k = 0; k < 2; ++k) {
        const Box& b = boxes[k];
        f.line({b.l + QPointF(0, b.h / 2), b.r + QPointF(0, b.h / 2), b.r - QPointF(0, b.h / 2),
                b.l - QPointF(0, b.h / 2), b.l + QPointF(0, b.h / 2)},
               Qt::black, 3, Qt::DashLine);
        f.label(b.l - QPointF(0, b.h / 2), QStringLiteral("<i>L</i><sub>%1</sub>").arg(k + 1),
                Qt::AlignHCenter | Qt::AlignTop, Qt::black, 28);
        f.label(b.r - QPointF(0, b.h / 2), QStringLiteral("<i>R</i><sub>%1</sub>").arg(k + 1),
                Qt::AlignHCenter | Qt::AlignTop, Qt::black, 28);
        f.label((b.l + b.r) / 2 + QPointF(0, 0.9), QString::number(k + 1), Qt::AlignHCenter | Qt::AlignBottom,
                Qt::darkGray, 28);
    }
    f.dimension(boxes[1].r + QPointF(0, 1.5), boxes[1].r - QPointF(0, 1.5), -40,
                QStringLiteral("<i>h</i><sub>2</sub>"));
    const QPointF b1(14.5, 5.4), b2(33, 6.5);
    f.dot(b1, kSurface);
    f.dot(b2, kSurface);
    f.label(b1, QStringLiteral("<i>B</i><sub>1</sub>"), Qt::AlignRight | Qt::AlignTop, kSurface, 28);
    f.label(b2, QStringLiteral("<i>B</i><sub>2</sub>"), Qt::AlignLeft | Qt::AlignTop, kSurface, 28);
    const double phi = 20, tp = 45 - phi / 2, ta = 45 + phi / 2;
    // The passive wedge rises to the left to the ground at y = 10, the active one to the right to y = 20.
    const QPointF pg = b1 + QPointF(-(10 - b1.y()) / std::tan(rad(tp)), 10 - b1.y());
    const QPointF ag = b2 + QPointF((20 - b2.y()) / std::tan(rad(ta)), 20 - b2.y());
    QList<QPointF> s;
    for (int i = 4; i >= 1; --i) s << b1 + (pg - b1) * i / 4.0;
    s << b1 << b2;
    for (int i = 1; i <= 5; ++i) s << b2 + (ag - b2) * i / 5.0;
    f.line(s, kSurface, 6);
    for (const QPointF& v : s) f.dot(v, kSurface, 6);
    for (const auto& [corner, toward, sign] : {std::tuple{b1, 180.0 - tp, 1.0}, std::tuple{b2, ta, -1.0}}) {
        f.line({corner, corner + QPointF(sign * -5, 0)}, Qt::darkGray, 2, Qt::DashLine);
        for (const double fan : {-15.0, 15.0})
            f.line(
                {corner, corner + QPointF(6 * std::cos(rad(toward + fan)), 6 * std::sin(rad(toward + fan)))},
                kFaint, 2);
    }
    f.angle(b1, f.px(3.5), 180, 180 - tp, false);
    f.label(b1 + QPointF(-4.8, 1.0), QStringLiteral("&theta;<sub>p</sub> = 45&deg; &minus; &phi;/2"),
            Qt::AlignRight | Qt::AlignVCenter, Qt::black, 28);
    f.angle(b2, f.px(3.5), 0, ta, false);
    f.label(b2 + QPointF(6.5, 3), QStringLiteral("&theta;<sub>a</sub> = 45&deg; + &phi;/2"),
            Qt::AlignLeft | Qt::AlignVCenter, Qt::black, 28);
    f.label(b2 + QPointF(6 * std::cos(rad(ta + 15)), 6 * std::sin(rad(ta + 15))),
            QStringLiteral("&plusmn;15&deg;"), Qt::AlignRight | Qt::AlignBottom, kFaint, 26);
    f.label({24, 3}, QStringLiteral("weak layer"), Qt::AlignHCenter | Qt::AlignTop, Qt::black, 26);
    f.axes({-1.5, 23}, 4);
    return f.save(path);
}

bool tiebackReinforcement(const QString& path) {
    Figure f(-2, -1, 52, 30);
    const QList<QPointF> ground{{0, 8}, {14, 8}, {20, 22}, {50, 22}};
    f.area(QList<QPointF>(ground) << QPointF(50, 0) << QPointF(0, 0), kSoil);
    const QPointF c(13, 32);
    const double r = std::hypot(c.x() - 11, c.y() - 8);
    const double xe = c.x() + std::sqrt(r * r - (22 - c.y()) * (22 - c.y()));
    const double a0 = std::atan2(8 - c.y(), 11 - c.x()) * 180 / kPi + 360;
    const double a1 = std::atan2(22 - c.y(), xe - c.x()) * 180 / kPi + 360;
    f.line(arc(c, r, a0, a1), kSurface, 6);
    // A tieback: head on the face, tendon into the slope at beta below the horizontal.
    const QPointF head(17.43, 16), dir(std::cos(rad(-15)), std::sin(rad(-15)));
    const QPointF freeEnd = head + dir * 20, bondEnd = head + dir * 28;
    f.line({head, freeEnd}, Qt::black, 3);
    f.line({freeEnd, bondEnd}, Qt::black, 12);
    f.dot(head);
    f.line({head, head + QPointF(6, 0)}, Qt::darkGray, 2, Qt::DashLine);
    f.angle(head, f.px(5), 0, -15, false);
    f.label(head + QPointF(5.3, -0.6), QStringLiteral("&beta;"), Qt::AlignLeft | Qt::AlignVCenter);
    f.arrow(head - dir * 5, head, kForce, 6);
    f.label(head - dir * 5, QStringLiteral("<i>T</i> / <i>s</i>"), Qt::AlignRight | Qt::AlignBottom);
    f.label(head + dir * 10 + QPointF(0, 0.6), QStringLiteral("free length <i>L</i><sub>f</sub>"),
            Qt::AlignHCenter | Qt::AlignBottom, Qt::black, 26);
    f.label(freeEnd + dir * 4 + QPointF(0, -0.8), QStringLiteral("bond, outside the mass"),
            Qt::AlignHCenter | Qt::AlignTop, Qt::black, 26);
    // A faint tieback whose free length ends inside the mass.
    const QPointF head2(19.1, 20);
    f.line({head2, head2 + dir * 5}, kFaint, 3);
    f.line({head2 + dir * 5, head2 + dir * 8}, kFaint, 10);
    f.label(head2 + dir * 8 + QPointF(0.3, 0.4), QStringLiteral("not crossing: no force"),
            Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray, 26);
    // A reinforcement layer at y0, crossed where the surface rises through it.
    const double y0 = 10.5;
    const QPointF start(12, y0);
    f.line({start, {48, y0}}, QColor(0, 120, 0), 4, Qt::DashLine);
    f.dot(start, QColor(0, 120, 0));
    f.label(start, QStringLiteral("(<i>x</i><sub>0</sub>, <i>y</i><sub>0</sub>)"),
            Qt::AlignRight | Qt::AlignBottom, QColor(0, 120, 0), 28);
    const double xc = c.x() + std::sqrt(r * r - (y0 - c.y()) * (y0 - c.y()));
    const QPointF cross(xc, y0);
    const double t = std::atan2(xc - c.x(), -(y0 - c.y())) * 180 / kPi; // tangent direction at the crossing
    f.dot(cross, kSurface);
    f.arrow(cross, cross + QPointF(5, 0), kFaint, 4);
    f.label(cross + QPointF(5, 0), QStringLiteral("&eta; = 0"), Qt::AlignLeft | Qt::AlignVCenter,
            Qt::darkGray, 26);
    f.arrow(cross, cross + QPointF(5 * std::cos(rad(t)), 5 * std::sin(rad(t))), kFaint, 4);
    f.label(cross + QPointF(5 * std::cos(rad(t)), 5 * std::sin(rad(t))),
            QStringLiteral("&eta; = 1 (along <b>t</b>)"), Qt::AlignLeft | Qt::AlignBottom, Qt::darkGray, 26);
    f.arrow(cross, cross + QPointF(5 * std::cos(rad(t / 2)), 5 * std::sin(rad(t / 2))), QColor(0, 120, 0), 5);
    f.label(cross + QPointF(5.2 * std::cos(rad(t / 2)), 5.2 * std::sin(rad(t / 2))),
            QStringLiteral("<i>T</i><sub>r</sub>, 0 &lt; &eta; &lt; 1"), Qt::AlignLeft | Qt::AlignVCenter,
            QColor(0, 120, 0), 28);
    f.axes({-1.5, 24}, 4);
    return f.save(path);
}

bool globalRefinement(const QString& path) {
    Figure f(0, 0, 46, 19);
    // Faint contours of a valley in two trial numbers, in both panels.
    for (const double dx : {0.0, 22.0}) {
        const QPointF v(dx + 13, 7);
        for (int k = 1; k <= 6; ++k) {
            QList<QPointF> e;
            for (int i = 0; i <= 72; ++i) {
                const double a = rad(i * 5.0);
                e << v + QPointF(1.6 * k * std::cos(a) + 0.3 * k * std::sin(a), 0.9 * k * std::sin(a));
            }
            f.line(e, kFaint, 2);
        }
        f.label({dx + 1, 1}, QStringLiteral("<i>x</i><sub>0</sub> &rarr;"), Qt::AlignLeft | Qt::AlignBottom,
                Qt::darkGray, 26);
        f.label({dx + 0.5, 2.5}, QStringLiteral("&theta; &uarr;"), Qt::AlignLeft | Qt::AlignBottom,
                Qt::darkGray, 26);
    }
    f.label({10, 18.5}, QStringLiteral("global stage (differential evolution)"),
            Qt::AlignHCenter | Qt::AlignTop, Qt::black, 30);
    f.label({32, 18.5}, QStringLiteral("refinement (compass search)"), Qt::AlignHCenter | Qt::AlignTop,
            Qt::black, 30);
    // The population, the best, one member's trial.
    const QPointF pts[] = {{5, 12},  {8, 14},  {17, 13}, {20, 10}, {19, 4},   {9, 3},  {6, 6},
                           {15, 9},  {11, 11}, {4, 9},   {18, 15}, {12, 4},   {16, 6}, {7, 10},
                           {10, 15}, {21, 7},  {3, 13},  {14, 14}, {13, 7.5}, {8, 7}};
    for (const QPointF& q : pts) f.dot(q, Qt::darkGray, 7);
    const QPointF best(13, 7.5), xi(5, 12), r1(17, 13), r2(19, 4);
    f.dot(best, kSurface, 10);
    f.label(best, QStringLiteral("<i>x</i><sub>best</sub>"), Qt::AlignLeft | Qt::AlignTop, kSurface, 28);
    f.label(xi, QStringLiteral("<i>x</i><sub><i>i</i></sub>"), Qt::AlignRight | Qt::AlignBottom, Qt::black,
            28);
    f.label(r1, QStringLiteral("<i>x</i><sub><i>r</i>1</sub>"), Qt::AlignLeft | Qt::AlignBottom, Qt::black,
            28);
    f.label(r2, QStringLiteral("<i>x</i><sub><i>r</i>2</sub>"), Qt::AlignLeft | Qt::AlignTop, Qt::black, 28);
    const double mu = 0.5;
    const QPointF a = xi + (best - xi) * mu, v = a + (r1 - r2) * mu;
    f.arrow(xi, a, Qt::blue, 4);
    f.label((xi + a) / 2, QStringLiteral("&mu;(<i>x</i><sub>best</sub> &minus; <i>x</i><sub><i>i</i></sub>)"),
            Qt::AlignRight | Qt::AlignTop, Qt::blue, 26);
    f.line({r2, r1}, Qt::blue, 2, Qt::DotLine);
    f.arrow(a, v, Qt::blue, 4);
    f.label((a + v) / 2,
            QStringLiteral("&mu;(<i>x</i><sub><i>r</i>1</sub> &minus; <i>x</i><sub><i>r</i>2</sub>)"),
            Qt::AlignLeft | Qt::AlignVCenter, Qt::blue, 26);
    f.dot(v, Qt::blue, 9);
    f.label(v,
            QStringLiteral("<i>v</i>: kept if <i>F</i>(<i>v</i>) &lt; <i>F</i>(<i>x</i><sub><i>i</i></sub>)"),
            Qt::AlignLeft | Qt::AlignBottom, Qt::blue, 26);
    // The compass: plus patterns of candidates, shrinking, down into the valley.
    QPointF at(25, 14);
    double step = 3;
    const QPointF target(35, 7);
    for (int round = 0; round < 10; ++round) {
        const QPointF moves[] = {{step, 0}, {-step, 0}, {0, step * 0.6}, {0, -step * 0.6}};
        QPointF chosen = at;
        double nearest = std::hypot(at.x() - target.x(), at.y() - target.y());
        for (const QPointF& m : moves) {
            const QPointF c = at + m;
            const double d = std::hypot(c.x() - target.x(), c.y() - target.y());
            if (d < nearest) {
                nearest = d;
                chosen = c;
            }
        }
        for (const QPointF& m : moves) {
            const QPointF c = at + m;
            if (c != chosen) {
                f.painter().setPen(QPen(Qt::darkGray, 3));
                f.painter().drawEllipse(f.at(c), 9, 9);
            }
        }
        if (chosen == at) {
            step /= 2;
            f.label(at + QPointF(0.5, -0.5), QStringLiteral("&Delta; halved"), Qt::AlignLeft | Qt::AlignTop,
                    Qt::black, 24);
            continue;
        }
        f.arrow(at, chosen, kSurface, 4);
        f.dot(chosen, kSurface, 8);
        at = chosen;
    }
    f.dot({25, 14}, Qt::black, 9);
    f.label({25, 14}, QStringLiteral("start"), Qt::AlignRight | Qt::AlignBottom, Qt::black, 26);
    f.label({24, 2},
            QStringLiteral("&plusmn;&Delta;<sub>1</sub>, &plusmn;&Delta;<sub>2</sub> along each number, "
                           "until &Delta; = &Delta;<sub>start</sub> / 4096"),
            Qt::AlignLeft | Qt::AlignBottom, Qt::black, 24);
    return f.save(path);
}

// The model view's legend as the program draws it: a small model with two soils, water that ponds
// at the toe, a load on the crest, an earthquake and the search's ranges.
bool modelLegend(const QString& path) {
    const char problem[] = "PROFIL\r\nLegend\r\n4 3 2\r\n"
                           "0. 10. 20. 10. 1\r\n20. 10. 40. 20. 1\r\n40. 20. 60. 20. 1\r\n0. 6. 60. 8. 2\r\n"
                           "SOIL\r\n2\r\n20. 20. 3. 19.6 0. 0. 1\r\n18. 20. 0. 30. 0. 0. 1\r\n"
                           "WATER\r\n1 9.81\r\n4\r\n0. 12.\r\n15. 12.\r\n40. 16.\r\n60. 16.\r\n"
                           "LOADS\r\n1\r\n45. 55. 10. 0.\r\n"
                           "EQUAKE\r\n0.10 0.00 0.00\r\n"
                           "CIRCL2\r\n10 20\r\n2. 15. 42. 58.\r\n0. 1. 0. -45.\r\nEXECUT\r\n";
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("legend.sl4d"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(problem) < 0) return false;
    f.close();
    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, file, true, nullptr, &error));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "manual_figures: %s\n", qPrintable(error));
        return false;
    }
    const ModelScene scene = BuildModelScene(session.document(), session.tables());
    return ModelPicture::Render(scene, 1.0, 900, 450, 2).save(path);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: manual_figures PICTURES-FOLDER\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const std::pair<const char*, std::function<bool(const QString&)>> figures[] = {
        {"fig-axes.png", axesFigure},
        {"fig-slice-forces.png", sliceForces},
        {"fig-pore-pressure.png", porePressure},
        {"fig-circle-search.png", circleSearch},
        {"fig-irregular-search.png", irregularSearch},
        {"fig-block-search.png", blockSearch},
        {"fig-tieback-reinforcement.png", tiebackReinforcement},
        {"fig-global-refinement.png", globalRefinement},
        {"fig-model-legend.png", modelLegend}};
    bool ok = true;
    for (const auto& [name, draw] : figures)
        if (!draw(out.filePath(QLatin1String(name)))) {
            std::fprintf(stderr, "manual_figures: %s could not be drawn\n", name);
            ok = false;
        }
    return ok ? 0 : 1;
}

#include "GraphView.h"

#include "base/FileAccess.h"

#include "format/NumberFormat.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kWaterWeight = 62.4; // turns slice forces into lengths, whatever the units
constexpr double kHatchDepth = 20;
constexpr int kLimit = 32767;

int32_t roundEven(double v) {
    if (!std::isfinite(v)) return v > 0 ? INT32_MAX : INT32_MIN;
    const double r = std::nearbyint(v);
    if (r > INT32_MAX) return INT32_MAX;
    if (r < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(r);
}

// (Not std::abs: the pixel of a point at infinity is INT32_MIN, whose negation overflows.)
bool inRange(const QPoint& p) {
    return p.x() >= -kLimit && p.x() <= kLimit && p.y() >= -kLimit && p.y() <= kLimit;
}

QString fixed(double v, int decimals) {
    return QString::fromStdString(numfmt::fixed(v, decimals));
}

QPen pen(const QColor& colour, int width) {
    QPen p(colour);
    p.setWidth(width);
    // The painter draws in device pixels already; cosmetic pens take the fast path.
    p.setCosmetic(true);
    return p;
}

} // namespace

QPoint WorldToScreen::map(double x, double y) const {
    return {roundEven((x - RefX) * Scale + OriginX), roundEven((y - RefY) * ScaleY + OriginY)};
}

PlotPoint WorldToScreen::inverse(double px, double py) const {
    return {(px - OriginX) / Scale + RefX, (py - OriginY) / ScaleY + RefY};
}

TickStep NiceTickStep(double n, double a, double b) {
    static const double mantissas[] = {0.2, 0.25, 0.5, 1, 2, 2.5, 5, 6, 10, 20};
    TickStep t;
    if (!(n > 0) || !(b > a) || !std::isfinite(a) || !std::isfinite(b)) return t;
    const double raw = (b - a) / n;
    const double g = std::log10(raw);
    double k = std::round(g);
    double f = g - k;
    if (std::fabs(f) < 0.00001) {
        f = 1;
        k -= 1;
    }
    const double limits[] = {std::log10(0.2), std::log10(0.25), std::log10(0.5), 0,
                             std::log10(2.0), std::log10(2.5),  std::log10(5.0), std::log10(6.0)};
    int m = 8;
    for (int i = 0; i < 8; ++i)
        if (f <= limits[i]) {
            m = i;
            break;
        }
    auto place = [&](int mi) {
        t.step = mantissas[mi] * std::pow(10.0, k);
        // The largest multiple of the step not above a.
        t.first = std::floor(a / t.step) * t.step;
        if (t.first + t.step <= a) t.first += t.step;
    };
    place(m);
    if (t.first + n * t.step < b && m + 1 < 10) place(m + 1);
    return t;
}

QColor SoilColour(int soil) {
    switch (soil) {
    case 1:
    case 11: return QColor(0, 128, 0);
    case 2:
    case 12: return QColor(255, 255, 0);
    case 3:
    case 13: return QColor(0, 0, 255);
    case 4:
    case 14: return QColor(128, 0, 0);
    case 5:
    case 15: return QColor(128, 0, 128);
    case 7:
    case 17: return QColor(255, 0, 255);
    case 8:
    case 18: return QColor(0, 255, 0);
    case 9:
    case 19: return QColor(128, 128, 128);
    case 10:
    case 20: return QColor(0, 0, 128);
    default: return QColor(192, 192, 192);
    }
}

int ResolutionClass(int u) {
    if (u <= 75) return 75;
    if (u <= 125) return 100;
    if (u <= 225) return 150;
    if (u <= 449) return 300;
    if (u <= 899) return 600;
    return 1200;
}

int LineWidthForClass(int c) {
    switch (c) {
    case 150: return 2;
    case 300: return 3;
    case 600:
    case 1200: return 4;
    default: return 1;
    }
}

void GraphView::FitToView(const PlotModel& model, int w, int h, double exaggeration) {
    if (Switches.test(bit(Layer::Scale))) {
        MarginUnitX = w / 10;
        MarginUnitY = h / 8;
        const int m = std::min((3 * MarginUnitX) / 4, (3 * MarginUnitY) / 4);
        Area = {m, m / 2, w - m / 2, h - m};
        // On a small canvas those margins are too narrow for the tick labels and the captions:
        // widen them so that every text of the axes is drawn whole.
        const AxisText t = axisText(QFontMetrics(axisFont()));
        Area.Left = std::max(Area.Left, t.band);
        Area.Bottom = std::min(Area.Bottom, h - t.band);
        Area.Right = std::min(Area.Right, w - t.side);
        Area.Top = std::max(Area.Top, t.side);
    } else {
        Area = {1, 1, w - 1, h - 3};
    }
    const PlotPoint start = model.Regions[0].points[0];
    double x0 = start.x, x1 = start.x, y0 = start.y, y1 = start.y;
    auto extend = [&](const PlotPoint& p) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    };
    for (int r = 0; r < model.RegionCount; ++r) {
        const auto& region = model.Regions[static_cast<size_t>(r)];
        for (int i = 0; i < region.count; ++i) extend(region.points[static_cast<size_t>(i)]);
    }
    for (int l = 0; l < model.LimitCount; ++l) {
        extend(model.SearchLimits[static_cast<size_t>(l)].first);
        extend(model.SearchLimits[static_cast<size_t>(l)].second);
    }
    if (x1 - x0 == 0) x1 = x1 + 1; // an empty or single-point model still gets a finite scale
    W.RefX = x0;
    W.RefY = y0;
    W.XMax = x1;
    W.YMax = y1;
    // One scale for both axes, the largest at which the whole model lies inside the plot area (the
    // larger extent alone let a wide, low area cut the other off, and the origin at the canvas'
    // edge put the lowest line outside the area); the model is centred in the room left over.
    const double width = Area.Right - Area.Left - 1, height = Area.Bottom - Area.Top - 1;
    const double e = exaggeration > 0 && std::isfinite(exaggeration) ? exaggeration : 1;
    W.Scale = width / (x1 - x0);
    if (y1 > y0) W.Scale = std::min(W.Scale, height / ((y1 - y0) * e));
    W.OriginX = roundEven(Area.Left + (width - (x1 - x0) * W.Scale) / 2);
    W.OriginY = roundEven(Area.Bottom - (height - (y1 - y0) * W.Scale * e) / 2);
    W.ScaleY = -W.Scale * e;
}

void GraphView::SetScaleKeepingCentre(double scale, double scaleY, QPoint c) {
    const PlotPoint w = W.inverse(c.x(), c.y());
    W.Scale = scale;
    W.ScaleY = scaleY;
    W.RefX = w.x - (c.x() - W.OriginX) / W.Scale;
    W.RefY = w.y - (c.y() - W.OriginY) / W.ScaleY;
    W.OriginX = roundEven(c.x() - W.Scale * (w.x - W.RefX));
    W.OriginY = roundEven(c.y() - W.ScaleY * (w.y - W.RefY));
}

void GraphView::line(QPainter& p, double x1, double y1, double x2, double y2) const {
    const QPoint a = W.map(x1, y1), b = W.map(x2, y2);
    if (inRange(a) && inRange(b)) p.drawLine(a, b);
}

void GraphView::polyline(QPainter& p, const std::vector<PlotPoint>& pts, int count) const {
    if (count < 2) return;
    // One call for the whole line when every point maps inside the drawable range (the usual
    // case); segment by segment otherwise, so out-of-range segments are left out.
    std::vector<QPoint>& px = m_pixels;
    px.resize(static_cast<size_t>(count));
    bool all = true;
    for (size_t i = 0; i < px.size(); ++i) {
        px[i] = W.map(pts[i].x, pts[i].y);
        all = all && inRange(px[i]);
    }
    if (!all) {
        for (size_t i = 1; i < px.size(); ++i)
            if (inRange(px[i - 1]) && inRange(px[i])) p.drawLine(px[i - 1], px[i]);
        return;
    }
    // A point within a pixel of the line joining its neighbours (the pixels themselves are only
    // good to half a pixel) changes nothing worth drawing; leaving it out keeps thousands of
    // dense surfaces quick to paint.
    auto near = [&px](size_t k, const QPoint& a, const QPoint& c) {
        const int dx = c.x() - a.x(), dy = c.y() - a.y();
        const QPoint b = px[k];
        const long long cross =
            static_cast<long long>(dx) * (b.y() - a.y()) - static_cast<long long>(dy) * (b.x() - a.x());
        return (b.x() - a.x()) * dx + (b.y() - a.y()) * dy >= 0 &&
               (c.x() - b.x()) * dx + (c.y() - b.y()) * dy >= 0 &&
               cross * cross <= static_cast<long long>(dx) * dx + static_cast<long long>(dy) * dy;
    };
    QPolygon& kept = m_kept;
    kept.clear();
    kept << px[0];
    size_t last = 0; // the last point kept
    for (size_t i = 1; i + 1 < px.size(); ++i) {
        // The point itself and those a quarter, half and three quarters of the way back to the last
        // kept point (a smooth curve strays furthest from the chord in between) must lie within a
        // pixel.
        const size_t span = i + 1 - last;
        if (near(i, px[last], px[i + 1]) && near(last + span / 2, px[last], px[i + 1]) &&
            near(last + span / 4, px[last], px[i + 1]) && near(last + 3 * span / 4, px[last], px[i + 1]))
            continue;
        kept << px[i];
        last = i;
    }
    kept << px.back();
    p.drawPolyline(kept);
}

void GraphView::marker(QPainter& p, double x, double y, int h) const {
    const QPoint c = W.map(x, y);
    if (!inRange(c)) return;
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(c.x() - h, c.y() - h), QPoint(c.x() + h, c.y() + h)));
}

QFont GraphView::textFont() const {
    // Sized in points, so the printed page reads like the screen whatever its resolution.
    QFont f(FontFamily);
    f.setPointSizeF(10);
    return f;
}

void GraphView::label(QPainter& p, double x, double y, const QString& text, const QColor& colour) const {
    const QPoint c = W.map(x, y);
    if (!inRange(c)) return;
    const QFont f = textFont();
    p.setFont(f);
    const QFontMetrics fm(f, p.device());
    QRect r(c.x() - fm.horizontalAdvance(text) / 2, c.y() - fm.height() / 2, fm.horizontalAdvance(text),
            fm.height());
    // A label at the edge of the plot area is moved inside it whole rather than cut at the frame.
    r.moveLeft(std::clamp(r.left(), Area.Left + 1, std::max(Area.Left + 1, Area.Right - r.width())));
    r.moveTop(std::clamp(r.top(), Area.Top + 1, std::max(Area.Top + 1, Area.Bottom - r.height())));
    p.fillRect(r, Qt::white);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

std::vector<std::optional<StressBar>> StressBars(const PlotModel& m, bool total) {
    std::vector<std::optional<StressBar>> bars;
    const PolyLine& critical = m.CriticalSurfaces[0];
    for (int i = 0; i < m.SliceCount; ++i) {
        const SliceRecord& s = m.Slices[static_cast<size_t>(i)];
        const double force = total ? s.totalForce : s.poreForce;
        const double length = s.baseLength != 0 ? force / (kWaterWeight * s.baseLength) : 0;
        // A slice outside the critical surface has no place on it: no bar there.
        std::optional<StressBar> bar;
        for (int k = 1; k < critical.count; ++k) {
            const PlotPoint& a = critical.points[static_cast<size_t>(k - 1)];
            const PlotPoint& b = critical.points[static_cast<size_t>(k)];
            if (b.x > s.x && a.x <= s.x) {
                const double ys = a.y + (b.y - a.y) * (s.x - a.x) / (b.x - a.x);
                bar = StressBar{s.x, ys, ys - length};
                break;
            }
        }
        bars.push_back(bar);
    }
    return bars;
}

// What every layer shares while one picture is drawn.
struct GraphView::Pass {
    QPainter& p;
    bool page;
    int f;          // line width factor
    int markerHalf; // half the side of a point marker, in device pixels
    int width = 1;  // the width last set; two layers draw with the width an earlier one left
    void setPen(const QColor& c, int w) {
        width = w;
        p.setPen(pen(c, w));
    }
};

void GraphView::drawColorSoilLayers(Pass& d, const PlotModel& m) const {
    QPainter& p = d.p;
    for (int r = 0; r < m.BoundaryCount; ++r) {
        const BoundaryRow& b = m.Boundary[static_cast<size_t>(r)];
        const QPoint a = W.map(b.x1, b.y1), c = W.map(b.x2, b.y2);
        const QColor colour = SoilColour(b.soil);
        p.setPen(pen(colour, 1));
        p.setBrush(colour);
        p.drawPolygon(QPolygon({QPoint(a.x(), Area.Bottom), a, c, QPoint(c.x(), Area.Bottom)}));
    }
    if (Switches.test(bit(Layer::SearchLimits)) && m.LimitCount > 0) {
        const auto& limits = m.SearchLimits;
        for (int l = 0; l < m.LimitCount; ++l) {
            const auto& [a, b] = limits[static_cast<size_t>(l)];
            const QPoint pa = W.map(a.x, a.y), pb = W.map(b.x, b.y);
            p.setPen(pen(Qt::white, 1));
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygon({QPoint(pa.x(), Area.Bottom), pa, pb, QPoint(pb.x(), Area.Bottom)}));
        }
        QPolygon band;
        band << W.map(limits[0].first.x, limits[0].first.y);
        for (int l = 0; l < m.LimitCount; ++l)
            band << W.map(limits[static_cast<size_t>(l)].second.x, limits[static_cast<size_t>(l)].second.y);
        for (int l = m.LimitCount - 1; l >= 0; --l)
            band << W.map(limits[static_cast<size_t>(l)].second.x,
                          limits[static_cast<size_t>(l)].second.y - kHatchDepth);
        band << W.map(limits[0].first.x, limits[0].first.y - kHatchDepth);
        p.setPen(pen(Qt::black, 1));
        p.setBrush(QBrush(Qt::black, Qt::DiagCrossPattern));
        p.drawPolygon(band);
    }
    p.setBrush(Qt::NoBrush);
    d.width = 1;
}

void GraphView::drawTrialSurfaces(Pass& d, const PlotModel& m) const {
    for (int i = 1; i <= std::min(m.TrialCount, plotformat::kTrialSurfaces); ++i) {
        const PolyLine& t = m.TrialSurface[static_cast<size_t>(i)];
        if (t.count >= 2) polyline(d.p, t.points, t.count);
    }
}

void GraphView::drawBoundaryLines(Pass& d, const PlotModel& m) const {
    d.setPen(Qt::black, 2 * d.f);
    for (int r = 0; r < m.RegionCount; ++r)
        polyline(d.p, m.Regions[static_cast<size_t>(r)].points, m.Regions[static_cast<size_t>(r)].count);
}

void GraphView::drawSearchLimits(Pass& d, const PlotModel& m) const {
    d.setPen(Qt::black, 3 * d.f);
    for (int l = 0; l < m.LimitCount; ++l) {
        const auto& [a, b] = m.SearchLimits[static_cast<size_t>(l)];
        line(d.p, a.x, a.y, b.x, b.y);
    }
}

void GraphView::drawPiezometricLines(Pass& d, const PlotModel& m) const {
    d.setPen(QColor(0, 0, 255), 2 * d.f);
    for (int i = 0; i < m.PiezoCount; ++i) {
        const PolyLine& l = m.PiezoLines[static_cast<size_t>(i)];
        if (l.count >= 2) polyline(d.p, l.points, l.count);
    }
    d.width = d.f;
}

void GraphView::drawTieBacks(Pass& d, const PlotModel& m) const {
    d.setPen(Qt::black, 3);
    for (int i = 0; i < m.TieBackCount; ++i) {
        const auto& t = m.TieBacks[static_cast<size_t>(i)];
        line(d.p, t[0].x, t[0].y, t[1].x, t[1].y);
        line(d.p, t[1].x, t[1].y, t[2].x, t[2].y);
    }
    d.width = 1;
}

void GraphView::drawReinforcement(Pass& d, const PlotModel& m) const {
    d.setPen(QColor(128, 0, 0), 3);
    for (int i = 0; i < m.ReinfCount; ++i) {
        const PolyLine& r = m.ReinfLines[static_cast<size_t>(i)];
        QPolygon poly;
        for (int k = 0; k < r.count; ++k)
            poly << W.map(r.points[static_cast<size_t>(k)].x, r.points[static_cast<size_t>(k)].y);
        if (poly.size() >= 2) d.p.drawPolyline(poly);
    }
    d.width = 1;
}

void GraphView::drawSurfacePressures(Pass& d, const PlotModel& m) const {
    d.p.setPen(pen(QColor(0, 128, 128), d.width));
    for (int z = 0; z < m.ZoneCount; ++z) {
        const auto* pts = &m.ZonePoints[static_cast<size_t>(4 * z)];
        for (int k = 0; k < 4; ++k) line(d.p, pts[k].x, pts[k].y, pts[(k + 1) % 4].x, pts[(k + 1) % 4].y);
    }
}

void GraphView::drawStressBars(Pass& d, const PlotModel& m, bool total) const {
    d.setPen(total ? QColor(128, 128, 128) : QColor(0, 0, 255), d.f);
    const std::optional<StressBar>* previous = nullptr;
    const auto bars = StressBars(m, total);
    for (const auto& bar : bars) {
        if (bar) {
            line(d.p, bar->x, bar->surfaceY, bar->x, bar->tipY);
            if (previous && *previous) line(d.p, (*previous)->x, (*previous)->tipY, bar->x, bar->tipY);
        }
        previous = &bar;
    }
}

void GraphView::drawTenSlipSurfaces(Pass& d, const PlotModel& m) const {
    d.setPen(Qt::black, 3);
    if (m.CriticalSurfaces[0].count > 0)
        for (const PolyLine& c : m.CriticalSurfaces) polyline(d.p, c.points, c.count);
    else
        drawTrialSurfaces(d, m);
}

// The solution, drawn after every layer on a white ground of its own: no radius, surface or label
// runs through it. Where the plot area is narrower than the line, its parts go on lines of their own.
void GraphView::drawSolutionText(Pass& d, const QString& text) const {
    QPainter& p = d.p;
    const QFont font = textFont();
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    const int room = Area.Right - Area.Left - 20;
    QStringList lines;
    for (const QString& part : text.split(QStringLiteral(",  "))) {
        const QString joined = lines.isEmpty() ? part : lines.last() + QStringLiteral(",  ") + part;
        if (!lines.isEmpty() && fm.horizontalAdvance(joined) <= room)
            lines.last() = joined;
        else
            lines << part;
    }
    QPoint at(Area.Left + 10, Area.Top + std::min(72, (Area.Bottom - Area.Top) / 4));
    p.setPen(Qt::black);
    for (const QString& line : lines) {
        const QRect box(at, QSize(fm.horizontalAdvance(line) + 2, fm.height()));
        p.fillRect(box, Qt::white);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, line);
        at.ry() += fm.height();
    }
}

// The rigorous factors that lie further than the engine's own threshold from the drawn factor, so the
// picture never shows a ranked factor alone when force and moment equilibrium say otherwise.
static QString methodsDisagreement(const PlotModel& m) {
    namespace method = plotformat::method;
    if (!m.HasMethodFactors || !(m.FactorOfSafety > 0)) return {};
    QString others;
    bool apart = false;
    for (const auto& [code, name] :
         {std::pair{method::kSpencer, "Spencer"}, {method::kMorgensternPrice, "Morgenstern-Price"}}) {
        const double fs = m.MethodFactors[static_cast<size_t>(code - 1)];
        if (!(fs > 0)) continue;
        const double relative = (fs - m.FactorOfSafety) / m.FactorOfSafety;
        apart = apart || std::fabs(relative) > method::kDisagree;
        others += QStringLiteral("%1%2 %3 (%4%5 %)")
                      .arg(others.isEmpty() ? QStringLiteral(": ") : QStringLiteral(",  "))
                      .arg(QLatin1String(name), fixed(fs, 3), relative >= 0 ? QStringLiteral("+") : QString(),
                           fixed(100 * relative, 1));
    }
    return apart ? QStringLiteral("methods disagree") + others : QString();
}

QString GraphView::solutionText(const PlotModel& m) const {
    QString text;
    if (Switches.test(bit(Layer::CriticalSlipSurface)))
        text = QStringLiteral("Factor of Safety = %1,  X = %2,  Y = %3,  R = %4")
                   .arg(fixed(m.FactorOfSafety, 3), fixed(m.CentreX, 2), fixed(m.CentreY, 2),
                        fixed(m.Radius, 2));
    else if (Switches.test(bit(Layer::SolutionInformation)))
        text = QStringLiteral("Factor of Safety = %1").arg(fixed(m.FactorOfSafety, 3));
    if (!text.isEmpty())
        if (const QString apart = methodsDisagreement(m); !apart.isEmpty())
            text += QStringLiteral(",  ") + apart;
    return text;
}

void GraphView::drawCriticalSurface(Pass& d, const PlotModel& m) const {
    const PolyLine& critical = m.CriticalSurfaces[0];
    if (!BlockOrIrregular && critical.count > 0) {
        d.p.setPen(pen(Qt::black, 1));
        const PlotPoint& a = critical.points[0];
        const PlotPoint& b = critical.points[static_cast<size_t>(critical.count - 1)];
        line(d.p, a.x, a.y, m.CentreX, m.CentreY);
        line(d.p, b.x, b.y, m.CentreX, m.CentreY);
    }
    d.setPen(QColor(255, 0, 0), 3);
    if (critical.count > 0)
        polyline(d.p, critical.points, critical.count);
    else
        drawTrialSurfaces(d, m);
}

void GraphView::drawSoilLayerNumbers(Pass& d, const PlotModel& m) const {
    d.setPen(Qt::black, d.f);
    for (int r = 0; r < m.RegionCount; ++r) {
        const auto& region = m.Regions[static_cast<size_t>(r)];
        if (region.count == 0) break;
        if (region.count < 2) continue;
        for (int i = 0; i + 1 < region.count; ++i) {
            const PlotPoint& a = region.points[static_cast<size_t>(i)];
            const PlotPoint& b = region.points[static_cast<size_t>(i + 1)];
            d.p.setPen(pen(Qt::black, d.f));
            marker(d.p, a.x, a.y, d.markerHalf);
            label(d.p, (a.x + b.x) / 2, (a.y + b.y) / 2, QStringLiteral(" %1 ").arg(region.soil), Qt::black);
        }
        d.p.setPen(pen(Qt::black, d.f));
        const PlotPoint& last = region.points[static_cast<size_t>(region.count - 1)];
        marker(d.p, last.x, last.y, d.markerHalf);
    }
}

void GraphView::drawBoundaryCoords(Pass& d, const PlotModel& m) const {
    for (int r = 0; r < m.RegionCount; ++r) {
        const auto& region = m.Regions[static_cast<size_t>(r)];
        for (int i = 0; i < region.count; ++i) {
            const PlotPoint& a = region.points[static_cast<size_t>(i)];
            d.p.setPen(pen(Qt::black, d.f));
            marker(d.p, a.x, a.y, d.markerHalf);
            label(d.p, a.x, a.y, QStringLiteral("(%1,%2)").arg(fixed(a.x, 1), fixed(a.y, 1)), Qt::black);
        }
    }
}

// The layers in their drawing order. Painting reads the model and writes nothing into it.
void GraphView::drawLayers(QPainter& p, const PlotModel& m, bool page) const {
    // Sizes given in screen pixels keep their size on a page of higher resolution.
    const double scale = page && p.device() ? std::max(1.0, p.device()->logicalDpiX() / 96.0) : 1.0;
    Pass d{p, page, LineWidthFactor, static_cast<int>(std::lround(3 * scale))};
    auto on = [this](Layer l) { return Switches.test(bit(l)); };
    p.setBrush(Qt::NoBrush);
    if (on(Layer::ColorSoilLayers)) drawColorSoilLayers(d, m);
    if (on(Layer::AllTrialSurfaces)) {
        p.setPen(pen(QColor(192, 192, 192), d.width));
        drawTrialSurfaces(d, m);
    }
    if (on(Layer::BoundaryLines)) drawBoundaryLines(d, m);
    if (on(Layer::SearchLimits) && !page) drawSearchLimits(d, m);
    if (on(Layer::PiezometricLine)) drawPiezometricLines(d, m);
    if (on(Layer::TieBacks)) drawTieBacks(d, m);
    if (on(Layer::ReinfLines)) drawReinforcement(d, m);
    if (on(Layer::SurfacePressures)) drawSurfacePressures(d, m);
    if (on(Layer::TotalStresses)) drawStressBars(d, m, true);
    if (on(Layer::PoreWaterPressures)) drawStressBars(d, m, false);
    if (on(Layer::TenSlipSurfaces)) drawTenSlipSurfaces(d, m);
    if (on(Layer::CriticalSlipSurface)) drawCriticalSurface(d, m);
    if (on(Layer::SoilLayerNumbers)) drawSoilLayerNumbers(d, m);
    if (on(Layer::BoundaryCoords)) drawBoundaryCoords(d, m);
    // One line of the solution, on the screen as on the page (the page printed it twice, one over
    // the other, when both switches were on).
    if (const QString text = solutionText(m); !text.isEmpty()) drawSolutionText(d, text);
}

void GraphView::DrawGraph(QPainter& p, const PlotModel& m, const QColor& background, const QRect& canvas,
                          const QPoint& offset) const {
    p.save();
    p.fillRect(canvas, background);
    p.setClipRect(QRect(QPoint(Area.Left, Area.Top), QPoint(Area.Right, Area.Bottom)).translated(offset));
    drawLayers(p, m, false);
    p.setClipRect(canvas);
    if (Switches.test(bit(Layer::Scale))) DrawAxes(p);
    p.restore();
}

QFont GraphView::axisFont() const {
    QFont font(FontFamily);
    font.setPointSizeF(11);
    return font;
}

GraphView::AxisText GraphView::axisText(const QFontMetrics& fm) {
    AxisText t;
    t.height = fm.height();
    t.gap = std::max(1, fm.height() / 4);
    t.band = 2 * t.height + 3 * t.gap;
    t.side = fm.horizontalAdvance(QStringLiteral("-00000")) / 2 + t.gap;
    return t;
}

void GraphView::DrawAxes(QPainter& p, double nx, double ny, bool) const {
    const PlotPoint lo = W.inverse(Area.Left, Area.Bottom), hi = W.inverse(Area.Right, Area.Top);
    const TickStep tx = NiceTickStep(nx, lo.x, hi.x), ty = NiceTickStep(ny, lo.y, hi.y);
    const double step = std::min(tx.step, ty.step);
    p.setPen(pen(Qt::black, LineWidthFactor));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(Area.Left, Area.Top), QPoint(Area.Right, Area.Bottom)));
    const QFont font = axisFont();
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    // Below the frame and left of it, from the frame outward: the tick labels, then the caption,
    // each a text line high with a quarter line between (the margins are made to hold them).
    const AxisText t = axisText(fm);
    if (!(step > 0) || !std::isfinite(step)) return;
    // x ticks along the bottom and top.
    const int tx10 = MarginUnitY / 10, ty10 = MarginUnitX / 10;
    int guard = 0;
    for (double x = tx.first; guard++ < 10000; x += step) {
        const int px = W.map(x, 0).x();
        if (px > Area.Right && x != tx.first) break;
        if (px >= Area.Left && px <= Area.Right) {
            p.drawLine(px, Area.Bottom, px, Area.Bottom - tx10);
            p.drawLine(px, Area.Top, px, Area.Top + tx10);
            const QString text = fixed(x, 0);
            p.drawText(QRect(px - fm.horizontalAdvance(text) / 2, Area.Bottom + t.gap,
                             fm.horizontalAdvance(text), t.height),
                       Qt::AlignCenter, text);
        }
        if (px > Area.Right) break;
    }
    const QString unit = AxisUnit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(AxisUnit);
    const QString hCaption = QStringLiteral("Horizontal Coordinate") + unit;
    p.drawText(QRect((Area.Left + Area.Right) / 2 - fm.horizontalAdvance(hCaption) / 2,
                     Area.Bottom + 2 * t.gap + t.height, fm.horizontalAdvance(hCaption), t.height),
               Qt::AlignCenter, hCaption);
    // y ticks along the left and right, labels turned to run upward.
    guard = 0;
    const int labelX = Area.Left - t.gap - t.height;
    for (double y = ty.first; guard++ < 10000; y += step) {
        const int py = W.map(0, y).y();
        if (py < Area.Top && y != ty.first) break;
        if (py >= Area.Top && py <= Area.Bottom) {
            p.drawLine(Area.Left, py, Area.Left + ty10, py);
            p.drawLine(Area.Right, py, Area.Right - ty10, py);
            const QString text = fixed(y, 0);
            p.save();
            p.translate(labelX, py);
            p.rotate(-90);
            p.drawText(QRect(-fm.horizontalAdvance(text) / 2, 0, fm.horizontalAdvance(text), fm.height()),
                       Qt::AlignCenter, text);
            p.restore();
        }
        if (py < Area.Top) break;
    }
    const QString vCaption = QStringLiteral("Vertical Coordinate") + unit;
    p.save();
    p.translate(Area.Left - 2 * t.gap - 2 * t.height, (Area.Top + Area.Bottom) / 2);
    p.rotate(-90);
    p.drawText(QRect(-fm.horizontalAdvance(vCaption) / 2, 0, fm.horizontalAdvance(vCaption), t.height),
               Qt::AlignCenter, vCaption);
    p.restore();
}

void GraphView::DrawPage(QPainter& p, const PlotModel& m, const GraphView& screen, int w, int h) {
    GraphView page = screen;
    const int u = ResolutionClass(w / 10), v = ResolutionClass(h / 8);
    page.MarginUnitX = u;
    page.MarginUnitY = v;
    page.LineWidthFactor = LineWidthForClass(u);
    const int ox = (11 * u - w) / 2, oy = ((17 * v) / 2 - h) / 2;
    const PlotPoint a = screen.W.inverse(0, screen.Area.Bottom), b = screen.W.inverse(screen.Area.Right, 0);
    page.W.RefX = a.x;
    page.W.RefY = a.y;
    page.Area = {(3 * u) / 2 - ox, v - oy, w + ox - u, h + oy - (3 * u) / 2};
    page.W.OriginX = page.Area.Left;
    page.W.OriginY = page.Area.Bottom;
    const double xExtent = b.x - a.x, yExtent = b.y - a.y;
    if (yExtent > xExtent)
        page.W.Scale = (8.5 * u - 1) * (static_cast<double>(u) / v) / yExtent;
    else
        page.W.Scale = (8.5 * u - 1) / xExtent;
    page.W.ScaleY = -page.W.Scale * v / u;

    p.save();
    p.fillRect(QRect(0, 0, w, h), Qt::white);
    // The page's heading gives the factor when the drawing does not.
    if (m.FactorOfSafety > 0.000001 && page.solutionText(m).isEmpty()) {
        p.setFont(page.textFont());
        p.setPen(Qt::black);
        p.drawText(QPoint((3 * u) / 2, (10 * v) / 6),
                   QStringLiteral("F.S. = %1").arg(fixed(m.FactorOfSafety, 3)));
    }
    // The drawing stays inside the frame: a page has margins beyond its paint area where nothing
    // of it may show.
    const PlotArea& r = page.Area;
    p.setClipRect(QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom)));
    page.drawLayers(p, m, true);
    p.setClipping(false);
    page.DrawAxes(p, 8.5, 5.5, true);
    p.restore();
}

bool GraphView::WritePdfPage(const QString& path, const PlotModel& model, const GraphView& screen) {
    QString why;
    return WritePicture(path, model, screen, 0, 0, why);
}

bool WriteDrawing(const QString& path, int w, int h, const PdfPage& page,
                  const std::function<void(QPainter&, int w, int h, bool onPage)>& draw, QString& why) {
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        QPdfWriter pdf(&bytes);
        pdf.setTitle(page.title);
        pdf.setResolution(page.resolution);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(page.margin, page.margin, page.margin, page.margin),
                                      QPageLayout::Inch));
        QPainter p;
        if (!p.begin(&pdf)) {
            why = QStringLiteral("The page could not be drawn.");
            return false;
        }
        draw(p, pdf.width(), pdf.height(), true);
        p.end();
    } else {
        QImage image(w, h, QImage::Format_RGB32);
        QPainter p(&image);
        draw(p, w, h, false);
        p.end();
        if (!image.save(&bytes, "PNG")) {
            why = QStringLiteral("The picture could not be encoded.");
            return false;
        }
    }
    return fileaccess::writeWhole(path, bytes.data(), why);
}

bool GraphView::WritePicture(const QString& path, const PlotModel& model, const GraphView& view, int w, int h,
                             QString& why) {
    return WriteDrawing(
        path, w, h, {QStringLiteral("DIZIROvi Graph"), 300, 0.25},
        [&](QPainter& p, int width, int height, bool onPage) {
            if (onPage)
                DrawPage(p, model, view, width, height);
            else
                view.DrawGraph(p, model, Qt::white, QRect(0, 0, width, height));
        },
        why);
}

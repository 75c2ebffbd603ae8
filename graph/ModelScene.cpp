#include "ModelScene.h"

#include "base/Units.h"
#include "format/NumberFormat.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double real(const TGridTable& t, int column, int row) {
    return static_cast<double>(t.Cell(column, row).GetFloat());
}

QString number(double v) {
    // Three significant decimals at most, without trailing zeros: a legend, not a report.
    QString s = QString::fromStdString(numfmt::fixed(v, 3));
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

bool circleSearch(int method) {
    return method == search::JanbuCircle || method == search::BishopCircle || method == search::Spencer;
}

// The points of a nested point table (x, y in its first two columns).
std::vector<PlotPoint> points(const TGridTable* t) {
    std::vector<PlotPoint> pts;
    if (!t) return pts;
    for (int r = 0; r < t->RowCount(); ++r)
        pts.push_back({real(*t, cols::point::kX, r), real(*t, cols::point::kY, r)});
    return pts;
}

void fillBoundaryAndSoils(ModelScene& s, const TableSet& t, int surfaceLines) {
    s.plot.CopyBoundary(*t.BoundCood);
    s.plot.BuildRegions();
    const int surface = std::clamp(surfaceLines, 0, s.plot.BoundaryCount);
    for (int r = 0; r < surface; ++r) {
        const BoundaryRow& b = s.plot.Boundary[static_cast<size_t>(r)];
        if (s.ground.empty() || s.ground.back().x != b.x1 || s.ground.back().y != b.y1)
            s.ground.push_back({b.x1, b.y1});
        s.ground.push_back({b.x2, b.y2});
    }
    const TGridTable& soils = *t.SoilData;
    for (int r = 0; r < soils.RowCount(); ++r) {
        namespace c = cols::soil;
        ModelScene::Soil soil{r + 1, real(soils, c::kMoistWeight, r), real(soils, c::kMoistWeight + 1, r),
                              real(soils, c::kMoistWeight + 2, r), real(soils, c::kMoistWeight + 3, r)};
        for (int b = 0; b < s.plot.BoundaryCount; ++b)
            soil.used = soil.used || s.plot.Boundary[static_cast<size_t>(b)].soil == r + 1;
        s.soils.push_back(soil);
    }
}

// The x extent of the boundary lines: tiebacks' bond lengths and reinforcement reach from it.
std::pair<double, double> extent(const PlotModel& m) {
    if (m.BoundaryCount == 0) return {0, 1};
    double x0 = m.Boundary[0].x1, x1 = x0;
    for (int r = 0; r < m.BoundaryCount; ++r) {
        const BoundaryRow& b = m.Boundary[static_cast<size_t>(r)];
        x0 = std::min({x0, b.x1, b.x2});
        x1 = std::max({x1, b.x1, b.x2});
    }
    return {x0, x1};
}

void fillOptional(ModelScene& s, const TProgramData& d, const TableSet& t) {
    if (d.WaterOn)
        for (int i = 0; i < t.WaterSurfaceSet->RowCount(); ++i)
            s.water.push_back({i + 1, points(t.WaterSurfaceSet->Cell(cols::kNested, i).Table())});
    if (d.LoadsOn)
        for (int r = 0; r < t.SurchargeLoad->RowCount(); ++r) {
            const TGridTable& l = *t.SurchargeLoad;
            s.loads.push_back(
                {r + 1, real(l, cols::surcharge::kLeftX, r), real(l, cols::surcharge::kLeftX + 1, r),
                 real(l, cols::surcharge::kLeftX + 2, r), real(l, cols::surcharge::kInclination, r)});
        }
    s.earthquake = d.EquakeOn;
    s.kh = static_cast<double>(d.SeismicKh);
    s.kv = static_cast<double>(d.SeismicKv);
    PlotModel& m = s.plot;
    if (d.LimitsOn) {
        const TGridTable& l = *t.limit;
        m.LimitCount = std::min(l.RowCount(), plotformat::kLimitLines);
        for (int r = 0; r < m.LimitCount; ++r)
            m.SearchLimits[static_cast<size_t>(r)] = {{real(l, 0, r), real(l, 1, r)},
                                                      {real(l, 2, r), real(l, 3, r)}};
    }
    const auto [x0, x1] = extent(m);
    if (d.TiesOn) {
        const TGridTable& tb = *t.TiebackCoord;
        namespace c = cols::tieback;
        m.TieBackCount = std::min(tb.RowCount(), plotformat::kTiebacks);
        for (int r = 0; r < tb.RowCount(); ++r) {
            const PlotPoint head{real(tb, c::kX, r), real(tb, c::kY, r)};
            s.tiebacks.push_back({r + 1, head, real(tb, c::kY + 1, r)});
            if (r >= m.TieBackCount) continue;
            // As the results graph shows it: the free length, then a bond length of 30 % of it.
            const double a = real(tb, c::kFreeLength - 1, r) * std::numbers::pi / 180;
            const double free = real(tb, c::kFreeLength, r);
            const double bond = std::max(0.3 * free, 0.02 * (x1 - x0));
            const PlotPoint e1{head.x + free * std::cos(a), head.y - free * std::sin(a)};
            const PlotPoint e2{e1.x + bond * std::cos(a), e1.y - bond * std::sin(a)};
            m.TieBacks[static_cast<size_t>(r)] = {head, e1, e2};
        }
    }
    if (d.ReinfOn) {
        m.ReinfCount = 0;
        for (int set = 0; set < t.ReinEarthLayerSet->RowCount(); ++set) {
            const TGridTable* layers = t.ReinEarthLayerSet->Cell(cols::kNested, set).Table();
            for (int r = 0;
                 layers && r < layers->RowCount() && m.ReinfCount < plotformat::kReinforcementLines; ++r) {
                PolyLine& line = m.ReinfLines[static_cast<size_t>(m.ReinfCount++)];
                const PlotPoint start{real(*layers, cols::layer::kX, r),
                                      real(*layers, cols::layer::kX + 1, r)};
                line.count = 2;
                line.points[0] = start;
                line.points[1] = {std::max(x1, start.x), start.y};
            }
        }
    }
}

void fillSearch(ModelScene& s, const TProgramData& d, const TableSet& t) {
    const int method = d.SearchMethod;
    if (method == search::UserSurface && d.UserSurfaceOn) s.givenSurface = points(t.FailSurface);
    if (circleSearch(method) || method == search::Irregular) {
        s.initiation = ModelScene::Range{static_cast<double>(d.InitLeftX), static_cast<double>(d.InitRightX)};
        s.termination =
            ModelScene::Range{static_cast<double>(d.TermLeftX), static_cast<double>(d.TermRightX)};
    }
    if (method == search::Block) {
        const TGridTable& b = *t.BoxCoord;
        for (int r = 0; r < b.RowCount(); ++r)
            s.boxes.push_back({r + 1,
                               {real(b, cols::box::kLeftX, r), real(b, cols::box::kLeftX + 1, r)},
                               {real(b, cols::box::kLeftX + 2, r), real(b, cols::box::kLeftX + 3, r)},
                               real(b, cols::box::kSideLength, r)});
    }
}

} // namespace

std::optional<double> ModelScene::groundY(double x) const {
    if (ground.empty()) return std::nullopt;
    if (x <= ground.front().x) return ground.front().y;
    for (size_t i = 1; i < ground.size(); ++i) {
        const PlotPoint& a = ground[i - 1];
        const PlotPoint& b = ground[i];
        if (x <= b.x) return b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : b.y;
    }
    return ground.back().y;
}

ModelScene BuildModelScene(const TProgramData& d, const TableSet& t, const PlotModel* results) {
    ModelScene s;
    fillBoundaryAndSoils(s, t, d.SurfaceLineCount);
    fillOptional(s, d, t);
    fillSearch(s, d, t);
    s.lengthUnit = UnitLabel(QStringLiteral("L2"), d.UnitSystem);
    s.weightUnit = UnitLabel(QStringLiteral("F/L2^3"), d.UnitSystem);
    s.stressUnit = UnitLabel(QStringLiteral("F/L2^2"), d.UnitSystem);
    s.forceUnit = UnitLabel(QStringLiteral("F"), d.UnitSystem);
    if (results && results->Loaded && results->CriticalSurfaces[0].count > 0) {
        PlotModel& m = s.plot;
        m.CriticalSurfaces[0] = results->CriticalSurfaces[0];
        m.FactorOfSafety = results->FactorOfSafety;
        m.CentreX = results->CentreX;
        m.CentreY = results->CentreY;
        m.Radius = results->Radius;
        m.MethodFactors = results->MethodFactors;
        m.HasMethodFactors = results->HasMethodFactors;
        s.hasResult = true;
    }
    s.plot.Loaded = true;
    return s;
}

// ---- drawing ----

namespace {

constexpr int kArrow = 28;    // a load arrow's length, pixels
constexpr int kTolerance = 5; // how near a click must be to a line, pixels
const QColor kWater(0, 90, 255);
const QColor kPonded(120, 180, 255, 150);
const QColor kLoad = kModelLoadColour;
const QColor kSearch(0, 130, 60);
const QColor kTermination(190, 0, 0);
const QColor kGiven(230, 120, 0);

// A pixel that integer arithmetic may move about (a point at or near infinity maps to INT32_MIN).
bool sane(QPoint p) {
    return std::abs(static_cast<long long>(p.x())) <= 1000000 &&
           std::abs(static_cast<long long>(p.y())) <= 1000000;
}

QPen pen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen p(colour, width, style);
    p.setCosmetic(true);
    return p;
}

QFont smallFont(const GraphView& view) {
    QFont f(view.FontFamily);
    f.setPointSizeF(9);
    return f;
}

// A text on a white ground centred on `c` (pixels, any size: a point far outside is clamped, never
// converted beyond what an int holds), moved inside the plot area whole.
void tag(QPainter& p, const GraphView& v, QPointF at, const QString& text, const QColor& colour) {
    const auto clamp = [](double d) {
        return std::isfinite(d) ? static_cast<int>(std::clamp(d, -1e6, 1e6)) : 0;
    };
    const QPoint c(clamp(at.x()), clamp(at.y()));
    const QFontMetrics fm(p.font(), p.device());
    QRect r(0, 0, fm.horizontalAdvance(text) + 4, fm.height());
    r.moveCenter(c);
    r.moveLeft(std::clamp(r.left(), v.Area.Left + 1, std::max(v.Area.Left + 1, v.Area.Right - r.width())));
    r.moveTop(std::clamp(r.top(), v.Area.Top + 1, std::max(v.Area.Top + 1, v.Area.Bottom - r.height())));
    p.fillRect(r, QColor(255, 255, 255, 220));
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void arrowHead(QPainter& p, QPointF tip, QPointF from, double size) {
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    if (len == 0) return;
    const QPointF u = d / len, n(-u.y(), u.x());
    p.drawPolygon(QPolygonF({tip, tip - size * u + 0.5 * size * n, tip - size * u - 0.5 * size * n}));
}

// Where the water stands above the ground, as polygons between the two lines.
std::vector<QPolygonF> pondedWater(const ModelScene& s, const ModelScene::Water& w, const WorldToScreen& W) {
    std::vector<QPolygonF> polygons;
    if (s.ground.empty() || w.points.size() < 2) return polygons;
    auto waterY = [&w](double x) {
        for (size_t i = 1; i < w.points.size(); ++i)
            if (x <= w.points[i].x || i + 1 == w.points.size()) {
                const PlotPoint& a = w.points[i - 1];
                const PlotPoint& b = w.points[i];
                return b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : b.y;
            }
        return w.points.back().y;
    };
    const double lo = std::max(w.points.front().x, s.ground.front().x);
    const double hi = std::min(w.points.back().x, s.ground.back().x);
    std::vector<double> xs{lo, hi};
    for (const PlotPoint& p : w.points) xs.push_back(p.x);
    for (const PlotPoint& p : s.ground) xs.push_back(p.x);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::remove_if(xs.begin(), xs.end(), [&](double x) { return x < lo || x > hi; }), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    // Each interval between breaks of either line, split where they cross.
    QPolygonF top, bottom;
    auto flush = [&] {
        if (top.size() >= 2) {
            QPolygonF poly = top;
            for (auto it = bottom.rbegin(); it != bottom.rend(); ++it) poly << *it;
            polygons.push_back(poly);
        }
        top.clear();
        bottom.clear();
    };
    auto add = [&](double x) {
        const double g = *s.groundY(x);
        top << QPointF(W.map(x, waterY(x)));
        bottom << QPointF(W.map(x, g));
    };
    for (size_t i = 0; i < xs.size(); ++i) {
        const double x = xs[i];
        const double above = waterY(x) - *s.groundY(x);
        if (i > 0) {
            const double px = xs[i - 1];
            const double before = waterY(px) - *s.groundY(px);
            if ((before > 0) != (above > 0) && before != above) {
                const double cx = px + (x - px) * before / (before - above);
                add(cx);
                if (above <= 0) flush();
            }
        }
        if (above > 0) add(x);
    }
    flush();
    return polygons;
}

void drawWater(QPainter& p, const ModelScene& s, const GraphView& v) {
    for (const auto& w : s.water) {
        p.setPen(Qt::NoPen);
        p.setBrush(kPonded);
        for (const QPolygonF& poly : pondedWater(s, w, v.W)) p.drawPolygon(poly);
        if (w.points.size() < 2) continue;
        QPolygonF line;
        for (const PlotPoint& pt : w.points) line << QPointF(v.W.map(pt.x, pt.y));
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(kWater, 2));
        p.drawPolyline(line);
        // The water symbol a third of the way along, on the part of the line that is in view.
        const QRectF area(QPointF(v.Area.Left, v.Area.Top), QPointF(v.Area.Right, v.Area.Bottom));
        const double left = std::max(line.first().x(), area.left()),
                     right = std::min(line.last().x(), area.right());
        if (right <= left) continue;
        const double x = left + (right - left) / 3;
        double y = line.first().y();
        for (int i = 1; i < line.size(); ++i)
            if (x <= line[i].x()) {
                const QPointF a = line[i - 1], b = line[i];
                y = b.x() > a.x() ? a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()) : b.y();
                break;
            }
        p.setPen(pen(kWater, 1.5));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(x - 6, y - 11), QPointF(x + 6, y - 11), QPointF(x, y - 1)}));
        p.drawLine(QPointF(x - 5, y + 3), QPointF(x + 5, y + 3));
        p.drawLine(QPointF(x - 3, y + 6), QPointF(x + 3, y + 6));
        if (s.water.size() > 1) {
            p.setFont(smallFont(v));
            tag(p, v, QPointF(x + 18, y - 10), QString::number(w.surface), kWater);
        }
    }
}

void drawLoads(QPainter& p, const ModelScene& s, const GraphView& v) {
    p.setFont(smallFont(v));
    for (const auto& l : s.loads) {
        const double a = l.inclination * std::numbers::pi / 180;
        // The direction the engine applies the load in, (sin a, -cos a) with y up: down, and toward +x
        // for a positive inclination; on the screen (y down) that is (sin a, cos a). An upward load
        // points away from the ground.
        QPointF dir(std::sin(a), std::cos(a));
        if (l.intensity < 0) dir = -dir;
        const double x0 = std::min(l.leftX, l.rightX), x1 = std::max(l.leftX, l.rightX);
        const QPoint pl = v.W.map(x0, s.groundY(x0).value_or(0)), pr = v.W.map(x1, s.groundY(x1).value_or(0));
        const int n =
            static_cast<int>(std::clamp((static_cast<double>(pr.x()) - pl.x()) / 24, 1.0, 60.0)) + 1;
        QPolygonF tails;
        p.setPen(pen(kLoad, 1.5));
        p.setBrush(kLoad);
        for (int i = 0; i < n; ++i) {
            const double x = x0 + (x1 - x0) * i / std::max(1, n - 1);
            const QPointF ground(v.W.map(x, s.groundY(x).value_or(0)));
            const QPointF tip = l.intensity < 0 ? ground - kArrow * dir : ground;
            const QPointF tail = l.intensity < 0 ? ground : ground - kArrow * dir;
            const QPointF start = l.intensity < 0 ? ground : tail;
            p.drawLine(start, tip);
            arrowHead(p, tip, start, 7);
            tails << (l.intensity < 0 ? tip : tail);
        }
        p.drawPolyline(tails);
        QPointF top = tails.first();
        for (const QPointF& t : tails) top = t.y() < top.y() ? t : top;
        tag(p, v, QPointF((tails.first().x() + tails.last().x()) / 2, top.y() - 9),
            QStringLiteral("%1 %2").arg(number(l.intensity), s.stressUnit), kLoad);
    }
}

void drawEarthquake(QPainter& p, const ModelScene& s, const GraphView& v) {
    if (!s.earthquake || (s.kh == 0 && s.kv == 0)) return;
    // Toward the toe: the way a slope that falls to the right slides.
    const bool right = s.ground.size() < 2 || s.ground.front().y >= s.ground.back().y;
    const QPointF at(v.Area.Left + 40, v.Area.Top + 36);
    p.setFont(smallFont(v));
    p.setPen(pen(Qt::black, 1.5));
    p.setBrush(Qt::black);
    const QPointF tip = at + QPointF(right ? 36 : -36, 0);
    const QPointF start = right ? at : at + QPointF(36, 0);
    p.drawLine(start, right ? tip : at);
    arrowHead(p, right ? tip : at, right ? start : start, 7);
    tag(p, v, at + QPointF(18, -14), QStringLiteral("kh = %1   kv = %2").arg(number(s.kh), number(s.kv)),
        Qt::black);
}

void drawRanges(QPainter& p, const ModelScene& s, const GraphView& v) {
    p.setFont(smallFont(v));
    const std::pair<const std::optional<ModelScene::Range>*, std::pair<QColor, const char*>> ranges[] = {
        {&s.initiation, {kSearch, "initiation"}}, {&s.termination, {kTermination, "termination"}}};
    for (const auto& [range, style] : ranges) {
        if (!*range || s.ground.empty()) continue;
        const double x0 = std::min((*range)->left, (*range)->right),
                     x1 = std::max((*range)->left, (*range)->right);
        QPolygonF line;
        std::vector<double> xs{x0, x1};
        for (const PlotPoint& g : s.ground)
            if (g.x > x0 && g.x < x1) xs.push_back(g.x);
        std::sort(xs.begin(), xs.end());
        for (double x : xs) line << QPointF(v.W.map(x, *s.groundY(x))) + QPointF(0, -5);
        p.setPen(pen(style.first, 5));
        p.drawPolyline(line);
        p.setPen(pen(style.first, 1.5));
        for (const QPointF& end : {line.first(), line.last()})
            p.drawLine(end + QPointF(0, -6), end + QPointF(0, 6));
        tag(p, v, (line.first() + line.last()) / 2 + QPointF(0, -16), QLatin1String(style.second),
            style.first);
    }
}

void drawBoxes(QPainter& p, const ModelScene& s, const GraphView& v) {
    p.setFont(smallFont(v));
    for (const auto& b : s.boxes) {
        const double h = b.height / 2;
        const QPolygonF box(
            {QPointF(v.W.map(b.left.x, b.left.y - h)), QPointF(v.W.map(b.right.x, b.right.y - h)),
             QPointF(v.W.map(b.right.x, b.right.y + h)), QPointF(v.W.map(b.left.x, b.left.y + h))});
        p.setPen(pen(kSearch, 1.5, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(box);
        tag(p, v, box.boundingRect().center(), QString::number(b.row), kSearch);
    }
}

void drawGivenSurface(QPainter& p, const ModelScene& s, const GraphView& v) {
    if (s.givenSurface.size() < 2) return;
    QPolygonF line;
    for (const PlotPoint& pt : s.givenSurface) line << QPointF(v.W.map(pt.x, pt.y));
    p.setPen(pen(kGiven, 2.5, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
    p.setPen(pen(kGiven, 1));
    for (const QPointF& pt : line) p.drawEllipse(pt, 3, 3);
}

void drawLineNumbers(QPainter& p, const ModelScene& s, const GraphView& v) {
    p.setFont(smallFont(v));
    for (int r = 0; r < s.plot.BoundaryCount; ++r) {
        const BoundaryRow& b = s.plot.Boundary[static_cast<size_t>(r)];
        const QPoint c = v.W.map((b.x1 + b.x2) / 2, (b.y1 + b.y2) / 2);
        if (!sane(c)) continue;
        const QFontMetrics fm(p.font(), p.device());
        const QString text = QString::number(r + 1);
        const QRect box(c.x() - fm.horizontalAdvance(text) / 2 - 3, c.y() - fm.height() / 2,
                        fm.horizontalAdvance(text) + 6, fm.height());
        p.setPen(pen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawEllipse(box.adjusted(-2, -1, 2, 1));
        p.drawText(box, Qt::AlignCenter, text);
    }
}

void drawStaleNote(QPainter& p, const ModelScene& s, const GraphView& v) {
    if (!s.hasResult || !s.resultStale) return;
    p.setFont(smallFont(v));
    const QString text = QStringLiteral("The model has changed since the run that found this surface.");
    const QFontMetrics fm(p.font(), p.device());
    const QRect r(v.Area.Left + 8, v.Area.Bottom - fm.height() - 6, fm.horizontalAdvance(text) + 6,
                  fm.height());
    p.fillRect(r, QColor(255, 240, 200));
    p.setPen(kTermination);
    p.drawText(r, Qt::AlignCenter, text);
}

// The soils shown in the legend: those below some line, or every soil when no line names one.
std::vector<const ModelScene::Soil*> legendSoils(const ModelScene& s) {
    std::vector<const ModelScene::Soil*> shown;
    for (const auto& soil : s.soils)
        if (soil.used) shown.push_back(&soil);
    if (shown.empty())
        for (const auto& soil : s.soils) shown.push_back(&soil);
    return shown;
}

QStringList legendLines(const ModelScene& s, const ModelScene::Soil& soil) {
    return {QStringLiteral("Soil %1").arg(soil.number),
            QStringLiteral("γ %1, γsat %2 %3").arg(number(soil.moist), number(soil.saturated), s.weightUnit),
            QStringLiteral("c %1 %2, φ %3°").arg(number(soil.cohesion), s.stressUnit, number(soil.phi))};
}

struct LegendRow {
    QRect box;
    int soil = 0;
};

// The legend's rows where Draw puts them, for drawing and for clicks alike.
std::vector<LegendRow> legendRows(const ModelScene& s, const GraphView& v, const QFontMetrics& fm,
                                  int width) {
    std::vector<LegendRow> rows;
    const int left = v.Area.Right + 12;
    int y = v.Area.Top + fm.height() + 8;
    const int rowHeight = 3 * fm.height() + 6;
    for (const ModelScene::Soil* soil : legendSoils(s)) {
        if (y + rowHeight > v.Area.Bottom) break;
        rows.push_back({QRect(left, y, width - left - 4, rowHeight), soil->number});
        y += rowHeight;
    }
    return rows;
}

void drawLegend(QPainter& p, const ModelScene& s, const GraphView& v, const QRect& canvas) {
    QFont f = smallFont(v);
    p.setFont(f);
    const QFontMetrics fm(f, p.device());
    const int left = v.Area.Right + 12;
    if (left + 40 > canvas.right()) return;
    p.setPen(Qt::black);
    p.drawText(QRect(left, v.Area.Top, canvas.right() - left, fm.height()), Qt::AlignLeft,
               QStringLiteral("Soils (lengths in %1)").arg(s.lengthUnit));
    const auto rows = legendRows(s, v, fm, canvas.right());
    const auto shown = legendSoils(s);
    for (size_t i = 0; i < rows.size(); ++i) {
        const QRect& r = rows[i].box;
        const QRect swatch(r.left(), r.top() + 2, 14, 14);
        p.setPen(pen(Qt::black, 1));
        p.setBrush(SoilColour(rows[i].soil));
        p.drawRect(swatch);
        const QStringList lines = legendLines(s, *shown[i]);
        for (int k = 0; k < lines.size(); ++k) {
            QFont lf = f;
            lf.setBold(k == 0);
            p.setFont(lf);
            p.setPen(Qt::black);
            p.drawText(QPoint(r.left() + 20, r.top() + (k + 1) * fm.height() - fm.descent()), lines[k]);
        }
        p.setFont(f);
    }
    if (rows.size() < shown.size())
        p.drawText(QPoint(left, rows.empty() ? v.Area.Top + 2 * fm.height()
                                             : rows.back().box.bottom() + fm.height()),
                   QStringLiteral("and %1 more").arg(shown.size() - rows.size()));
}

double segmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0) : 0;
    const QPointF q = a + t * d - p;
    return std::hypot(q.x(), q.y());
}

double polylineDistance(QPointF p, const std::vector<PlotPoint>& pts, size_t count, const WorldToScreen& W) {
    double best = INFINITY;
    for (size_t i = 1; i < count; ++i)
        best = std::min(best, segmentDistance(p, QPointF(W.map(pts[i - 1].x, pts[i - 1].y)),
                                              QPointF(W.map(pts[i].x, pts[i].y))));
    return best;
}

} // namespace

LayerSet ModelPicture::Switches(const ModelScene& s) {
    LayerSet on;
    for (Layer l : {Layer::ColorSoilLayers, Layer::BoundaryLines, Layer::SearchLimits, Layer::TieBacks,
                    Layer::ReinfLines, Layer::Scale})
        on.set(bit(l));
    if (s.hasResult) on.set(bit(Layer::CriticalSlipSurface));
    return on;
}

int ModelPicture::LegendWidth(const ModelScene& s, int width, QPaintDevice* device) {
    QFont f(GraphView().FontFamily);
    f.setPointSizeF(9);
    const QFontMetrics fm = device ? QFontMetrics(f, device) : QFontMetrics(f);
    int widest = fm.horizontalAdvance(QStringLiteral("Soils (lengths in %1)").arg(s.lengthUnit));
    for (const ModelScene::Soil* soil : legendSoils(s))
        for (const QString& line : legendLines(s, *soil))
            widest = std::max(widest, 20 + fm.horizontalAdvance(line));
    // Never more than a third of the canvas: the model comes first.
    return std::min(widest + 20, width / 3);
}

void ModelPicture::Fit(GraphView& view, const ModelScene& s, int w, int h, double exaggeration,
                       QPaintDevice* device) {
    view.Switches = Switches(s);
    view.BlockOrIrregular = s.plot.Radius <= 0;
    view.AxisUnit = s.lengthUnit;
    const int legend = LegendWidth(s, w, device);
    view.FitToView(s.plot, std::max(50, w - legend), h, exaggeration);
}

void ModelPicture::Draw(QPainter& p, const ModelScene& s, const GraphView& v, const QRect& canvas) {
    v.DrawGraph(p, s.plot, Qt::white, canvas);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(QRect(QPoint(v.Area.Left, v.Area.Top), QPoint(v.Area.Right, v.Area.Bottom)));
    drawWater(p, s, v);
    drawBoxes(p, s, v);
    drawGivenSurface(p, s, v);
    drawRanges(p, s, v);
    drawLoads(p, s, v);
    drawLineNumbers(p, s, v);
    drawEarthquake(p, s, v);
    drawStaleNote(p, s, v);
    p.setClipRect(canvas);
    drawLegend(p, s, v, canvas);
    p.restore();
}

bool ModelPicture::Write(const QString& path, const ModelScene& s, double exaggeration, int w, int h,
                         QString& why) {
    return WriteDrawing(
        path, w, h, {QStringLiteral("DizirOvi Model"), 150, 0.4},
        [&](QPainter& p, int width, int height, bool onPage) {
            GraphView view;
            if (onPage) view.LineWidthFactor = 2;
            Fit(view, s, width, height, exaggeration, p.device());
            Draw(p, s, view, QRect(0, 0, width, height));
        },
        why);
}

QImage ModelPicture::Render(const ModelScene& s, double exaggeration, int w, int h, double scale) {
    QImage image(qRound(w * scale), qRound(h * scale), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    GraphView view;
    Fit(view, s, w, h, exaggeration, &image);
    Draw(p, s, view, QRect(0, 0, w, h));
    return image;
}

std::optional<ModelPlace> ModelPicture::HitTest(const ModelScene& s, const GraphView& v, QPoint at) {
    const QPointF p(at);
    const WorldToScreen& W = v.W;
    // The legend, right of the plot area.
    if (at.x() > v.Area.Right) {
        QFont f(v.FontFamily);
        f.setPointSizeF(9);
        for (const LegendRow& row : legendRows(s, v, QFontMetrics(f), at.x() + 400))
            if (row.box.contains(at))
                return ModelPlace{QStringLiteral("soils"), row.soil, QStringLiteral("Soil %1").arg(row.soil)};
        return std::nullopt;
    }
    if (at.x() < v.Area.Left || at.y() < v.Area.Top || at.y() > v.Area.Bottom) return std::nullopt;
    std::optional<ModelPlace> best;
    double nearest = kTolerance + 0.5;
    auto consider = [&](double distance, const char* section, int item, const QString& what) {
        if (distance < nearest) {
            nearest = distance;
            best = ModelPlace{QLatin1String(section), item, what};
        }
    };
    for (const auto& l : s.loads) {
        // The arrows stand on the ground over the load's width.
        const double x0 = std::min(l.leftX, l.rightX), x1 = std::max(l.leftX, l.rightX);
        const QPoint a = W.map(x0, s.groundY(x0).value_or(0)), b = W.map(x1, s.groundY(x1).value_or(0));
        if (!sane(a) || !sane(b)) continue;
        // Not the ground line itself: a click on it means the line.
        const QRect zone =
            QRect(a, b).normalized().adjusted(-kTolerance, -kArrow - kTolerance, kTolerance, -3);
        if (zone.contains(at)) consider(0, "loads", l.row, QStringLiteral("Surcharge load %1").arg(l.row));
    }
    for (int i = 0; i < s.plot.TieBackCount; ++i) {
        const auto& t = s.plot.TieBacks[static_cast<size_t>(i)];
        consider(polylineDistance(p, {t[0], t[1], t[2]}, 3, W), "tiebacks", i + 1,
                 QStringLiteral("Tieback %1").arg(i + 1));
    }
    for (const auto& w : s.water)
        consider(polylineDistance(p, w.points, w.points.size(), W), "water", w.surface,
                 QStringLiteral("Water surface %1").arg(w.surface));
    for (int i = 0; i < s.plot.LimitCount; ++i) {
        const auto& [a, b] = s.plot.SearchLimits[static_cast<size_t>(i)];
        consider(polylineDistance(p, {a, b}, 2, W), "limits", i + 1,
                 QStringLiteral("Limit line %1").arg(i + 1));
    }
    for (int i = 0; i < s.plot.ReinfCount; ++i) {
        const PolyLine& r = s.plot.ReinfLines[static_cast<size_t>(i)];
        consider(polylineDistance(p, r.points, static_cast<size_t>(r.count), W), "reinforcement", 0,
                 QStringLiteral("Reinforcement layer"));
    }
    for (const auto& b : s.boxes) {
        const double h = b.height / 2;
        consider(polylineDistance(p,
                                  {{b.left.x, b.left.y - h},
                                   {b.right.x, b.right.y - h},
                                   {b.right.x, b.right.y + h},
                                   {b.left.x, b.left.y + h},
                                   {b.left.x, b.left.y - h}},
                                  5, W),
                 "search", b.row, QStringLiteral("Box %1").arg(b.row));
    }
    consider(polylineDistance(p, s.givenSurface, s.givenSurface.size(), W), "surface", 0,
             QStringLiteral("Given failure surface"));
    for (int r = 0; r < s.plot.BoundaryCount; ++r) {
        const BoundaryRow& b = s.plot.Boundary[static_cast<size_t>(r)];
        consider(segmentDistance(p, QPointF(W.map(b.x1, b.y1)), QPointF(W.map(b.x2, b.y2))), "lines", r + 1,
                 QStringLiteral("Boundary line %1").arg(r + 1));
    }
    if (best) return best;
    // Inside a soil: the soil of the nearest line above the point names it.
    const PlotPoint w = W.inverse(p.x(), p.y());
    int soil = 0;
    double above = INFINITY;
    for (int r = 0; r < s.plot.BoundaryCount; ++r) {
        const BoundaryRow& b = s.plot.Boundary[static_cast<size_t>(r)];
        if (w.x < std::min(b.x1, b.x2) || w.x > std::max(b.x1, b.x2) || b.x1 == b.x2) continue;
        const double y = b.y1 + (b.y2 - b.y1) * (w.x - b.x1) / (b.x2 - b.x1);
        if (y >= w.y && y - w.y < above) {
            above = y - w.y;
            soil = b.soil;
        }
    }
    if (soil > 0) return ModelPlace{QStringLiteral("soils"), soil, QStringLiteral("Soil %1").arg(soil)};
    for (const auto& wa : s.water)
        for (const QPolygonF& poly : pondedWater(s, wa, W))
            if (poly.containsPoint(p, Qt::OddEvenFill))
                return ModelPlace{QStringLiteral("water"), wa.surface,
                                  QStringLiteral("Water surface %1").arg(wa.surface)};
    return std::nullopt;
}

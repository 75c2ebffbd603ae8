// The plot file the graph reads: a header, then one record per kind of data (format/PlotFormat.h),
// each within the graph's capacities. One function per record.
#include "Output.h"
#include "Parallel.h"
#include "format/NumberFormat.h"
#include "format/PlotFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velda {
namespace {

namespace rec = plotformat::record;

// Lines of the plot file's text.
struct Lines {
    std::string o;

    void word(const char* name) {
        o += name;
        o += '\n';
    }
    void count(size_t n) {
        o += std::to_string(n);
        o += '\n';
    }
    void number(double v) { numfmt::appendGeneral(o, v, 10); }
    void point(const Point& q) {
        number(q.x);
        o += ' ';
        number(q.y);
        o += '\n';
    }
    // Up to `limit` points of a line, evenly chosen when there are more, both ends kept.
    void points(const std::vector<Point>& pts, size_t limit) {
        const size_t n = std::min(pts.size(), limit);
        for (size_t i = 0; i < n; ++i)
            point(pts.size() <= limit ? pts[i] : pts[i * (pts.size() - 1) / (limit - 1)]);
    }
    void trial(const TrialSurface& t) {
        word(rec::kSurface);
        o += std::to_string(std::min(t.points.size(), size_t{plotformat::kSurfacePoints}));
        o += ' ';
        number(t.fs);
        o += '\n';
        points(t.points, plotformat::kSurfacePoints);
    }
};

class PlotWriter : Lines {
public:
    PlotWriter(const Problem& p, const Slope& slope, std::vector<std::string>& clipped)
        : p(p), slope(slope), clipped(clipped), x0(slope.xMin()), x1(slope.xMax()), y0(slope.yMin()),
          y1(slope.yMax()) {}

    std::string text(const AnalysisResult& r) {
        header();
        boundary();
        limits();
        water();
        loads();
        tiebacks();
        reinforcement();
        trials(r.trials);
        tenCritical(r);
        if (r.found) slices(r.best);
        if (r.found) methods(r.best);
        centreMap(r.centreMap);
        word(rec::kEnd);
        return std::move(o);
    }

private:
    // The trial surfaces are most of the file: written in pieces on every thread, joined in order.
    void trials(const std::vector<TrialSurface>& all) {
        constexpr size_t kPiece = 64;
        std::vector<Lines> pieces((all.size() + kPiece - 1) / kPiece);
        parallelFor(pieces.size(), searchThreads(), [&](size_t c) {
            for (size_t i = c * kPiece; i < std::min(all.size(), (c + 1) * kPiece); ++i)
                pieces[c].trial(all[i]);
        });
        size_t size = o.size();
        for (const Lines& piece : pieces) size += piece.o.size();
        o.reserve(size + 65536);
        for (const Lines& piece : pieces) o += piece.o;
    }
    size_t capped(size_t n, int capacity, const std::string& what) {
        if (n > static_cast<size_t>(capacity))
            clipped.push_back("Only " + std::to_string(capacity) + " of " + std::to_string(n) + " " + what +
                              " are drawn in the graph.");
        return std::min(n, static_cast<size_t>(capacity));
    }

    // Fifteen lines of one number; line 11 is the scale factor, 1 here.
    void header() {
        const double values[plotformat::kHeaderLines] = {
            x0, x1, y0, y1, (x1 - x0) / 10, (y1 - y0) / 10, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0};
        for (double v : values) {
            o += general(v);
            o += '\n';
        }
    }

    // The ground surface's points, then both ends of every other boundary line.
    void boundary() {
        const auto& ground = slope.ground();
        const size_t s = ground.size();
        const size_t t = s + p.lines.size() - static_cast<size_t>(p.surfaceLineCount);
        word(rec::kBoundary);
        o += general(ground.front().x) + " " + general(ground.front().y) + " " + std::to_string(s) + " " +
             std::to_string(t) + "\n";
        for (const Point& q : ground) point(q);
        for (size_t i = static_cast<size_t>(p.surfaceLineCount); i < p.lines.size(); ++i) {
            point(p.lines[i].left);
            point(p.lines[i].right);
        }
    }

    void limits() {
        if (p.limits.empty()) return;
        const size_t n = capped(p.limits.size(), plotformat::kLimitLines, "limit lines");
        word(rec::kLimits);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            point(p.limits[i].a);
            point(p.limits[i].b);
        }
    }

    void water() {
        if (!p.waterOn || p.piezometricSurfaces.empty()) return;
        const size_t n =
            capped(p.piezometricSurfaces.size(), plotformat::kPiezometricLines, "piezometric surfaces");
        word(rec::kWater);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            const auto& pts = p.piezometricSurfaces[i];
            if (pts.size() > static_cast<size_t>(plotformat::kPiezometricPoints))
                clipped.push_back("Piezometric surface " + std::to_string(i + 1) + " is drawn with " +
                                  std::to_string(plotformat::kPiezometricPoints) + " of its " +
                                  std::to_string(pts.size()) + " points.");
            count(std::min(pts.size(), size_t{plotformat::kPiezometricPoints}));
            points(pts, plotformat::kPiezometricPoints);
        }
    }

    // Each strip load as a box standing on the ground, as high as its intensity on a common scale.
    void loads() {
        if (p.loads.empty()) return;
        const size_t n = capped(p.loads.size(), plotformat::kLoadZones, "surcharge loads");
        double qmax = 0;
        for (const auto& l : p.loads) qmax = std::max(qmax, std::fabs(l.intensity));
        const double height = 0.08 * std::max(y1 - y0, (x1 - x0) / 4);
        word(rec::kLoads);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            const auto& l = p.loads[i];
            const double h = qmax > 0 ? height * std::fabs(l.intensity) / qmax : 0;
            const double gl = slope.groundY(l.leftX), gr = slope.groundY(l.rightX);
            point({l.leftX, gl});
            point({l.rightX, gr});
            point({l.rightX, gr + h});
            point({l.leftX, gl + h});
        }
    }

    // Head, end of the free length, and end of a bond length drawn as 30 % of the free length.
    void tiebacks() {
        if (p.tiebacks.empty()) return;
        const size_t n = capped(p.tiebacks.size(), plotformat::kTiebacks, "tiebacks");
        word(rec::kTiebacks);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            const Tieback& tb = p.tiebacks[i];
            const double a = tb.inclination * std::numbers::pi / 180;
            const double bond = std::max(0.3 * tb.freeLength, 0.02 * (x1 - x0));
            const Point e1{tb.head.x + tb.freeLength * std::cos(a), tb.head.y - tb.freeLength * std::sin(a)};
            const Point e2{e1.x + bond * std::cos(a), e1.y - bond * std::sin(a)};
            point(tb.head);
            point(e1);
            point(e2);
        }
    }

    // Each layer from its start to the right edge of the model.
    void reinforcement() {
        if (p.reinforcementSets.empty()) return;
        std::vector<ReinforcementLayer> layers;
        for (const auto& set : p.reinforcementSets) layers.insert(layers.end(), set.begin(), set.end());
        const size_t n = capped(layers.size(), plotformat::kReinforcementLines, "reinforcement layers");
        word(rec::kReinforcement);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            count(2);
            point(layers[i].start);
            point({std::max(x1, layers[i].start.x), layers[i].start.y});
        }
    }

    // Ten blocks always; the missing ones empty.
    void tenCritical(const AnalysisResult& r) {
        word(rec::kTenCritical);
        for (size_t b = 0; b < static_cast<size_t>(plotformat::kCriticalSurfaces); ++b) {
            if (b >= r.critical.size()) {
                o += "0\n0 0 0 0\n";
                continue;
            }
            const TrialSurface& t = r.critical[b];
            count(std::min(t.points.size(), size_t{plotformat::kSurfacePoints}));
            if (t.circular)
                o += general(t.fs) + " " + general(t.circle.centre.x) + " " + general(t.circle.centre.y) +
                     " " + general(t.circle.radius) + "\n";
            else
                o += general(t.fs) + " 0 0 0\n";
            points(t.points, plotformat::kSurfacePoints);
        }
    }

    void slices(const EvaluatedSurface& e) {
        const MethodResult& m = e.spencer.ok ? e.spencer : (e.bishop.ok ? e.bishop : e.ordinary);
        const size_t n = std::min<size_t>(e.sliced.slices.size(), plotformat::kSlices);
        word(rec::kSlices);
        count(n);
        for (size_t i = 0; i < n; ++i) {
            const Slice& sl = e.sliced.slices[i];
            const double normal = i < m.normal.size() ? m.normal[i] : 0;
            const double avail = i < m.available.size() ? m.available[i] : 0;
            o += std::to_string(i + 1) + " " + general(sl.base.x) + " " + general(normal) + " " +
                 general(sl.baseLength) + " " + general(sl.poreForce) + " " + general(sl.weight) + " " +
                 general(sl.alpha() * 180 / std::numbers::pi) + " " + general(normal - sl.poreForce) + " " +
                 general(avail) + " " + general(m.ok && m.fs > 0 ? avail / m.fs : 0) + "\n";
        }
    }

    void methods(const EvaluatedSurface& e) {
        namespace m = plotformat::method;
        const std::pair<int, double> factors[] = {
            {m::kOrdinary, e.ordinary.ok ? e.ordinary.fs : 0},
            {m::kBishop, e.bishop.ok ? e.bishop.fs : 0},
            {m::kJanbu, e.janbu.ok ? e.janbu.fs : 0},
            {m::kJanbuCorrected, e.janbu.ok ? e.janbuCorrected : 0},
            {m::kSpencer, e.spencer.ok ? e.spencer.fs : 0},
            {m::kMorgensternPrice, e.morgensternPrice.ok ? e.morgensternPrice.fs : 0}};
        word(rec::kMethods);
        count(std::size(factors));
        for (const auto& [code, fs] : factors) o += std::to_string(code) + " " + general(fs) + "\n";
    }

    // The lowest factor per cell of the centres tried, bottom row first (readers before it skip it).
    void centreMap(const AnalysisResult::CentreMap& m) {
        if (m.columns == 0) return;
        word(rec::kCentreMap);
        o += std::to_string(m.columns) + " " + std::to_string(m.rows) + "\n";
        number(m.left);
        o += ' ';
        number(m.right);
        o += ' ';
        number(m.bottom);
        o += ' ';
        number(m.top);
        o += '\n';
        for (int j = 0; j < m.rows; ++j)
            for (int i = 0; i < m.columns; ++i) {
                number(m.fs[static_cast<size_t>(j * m.columns + i)]);
                o += i + 1 == m.columns ? '\n' : ' ';
            }
    }

    const Problem& p;
    const Slope& slope;
    std::vector<std::string>& clipped;
    const double x0, x1, y0, y1;
};

} // namespace

std::string plotText(const Problem& problem, const Slope& slope, const AnalysisResult& result,
                     std::vector<std::string>& clipped) {
    return PlotWriter(problem, slope, clipped).text(result);
}

} // namespace velda

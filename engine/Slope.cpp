#include "Slope.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace velda {
namespace {

double lerp(const Point& a, const Point& b, double x) {
    if (b.x == a.x) return b.y;
    return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
}

// Index of the segment (i, i+1) of `line` whose x range holds x, preferring one that is not vertical.
size_t segmentAt(const std::vector<Point>& line, double x) {
    auto it = std::upper_bound(line.begin(), line.end(), x, [](double v, const Point& p) { return v < p.x; });
    size_t i = it == line.begin() ? 0 : static_cast<size_t>(it - line.begin()) - 1;
    if (i + 1 >= line.size()) i = line.size() >= 2 ? line.size() - 2 : 0;
    return i;
}

// Crossing of segments p-q and r-s; returns false when they do not meet.
bool segmentsCross(const Point& p, const Point& q, const Point& r, const Point& s, Point& at) {
    const double d1x = q.x - p.x, d1y = q.y - p.y, d2x = s.x - r.x, d2y = s.y - r.y;
    const double den = d1x * d2y - d1y * d2x;
    if (den == 0) return false;
    const double t = ((r.x - p.x) * d2y - (r.y - p.y) * d2x) / den;
    const double u = ((r.x - p.x) * d1y - (r.y - p.y) * d1x) / den;
    if (t < 0 || t > 1 || u < 0 || u > 1) return false;
    at = {p.x + t * d1x, p.y + t * d1y};
    return true;
}

struct Accumulator {
    double weight = 0, mx = 0, my = 0;
    // A band between two straight lines over [x0, x0 + b]; heights measured from a local origin.
    void band(double x0, double b, double bottom0, double bottom1, double top0, double top1,
              double unitWeight) {
        const double h0 = std::max(0.0, top0 - bottom0), h1 = std::max(0.0, top1 - bottom1);
        const double area = b * (h0 + h1) / 2;
        if (area <= 0 || unitWeight == 0) return;
        const double w = unitWeight * area;
        weight += w;
        mx += unitWeight * (x0 * area + b * b * (h0 + 2 * h1) / 6);
        my += unitWeight * b / 6 *
              (top0 * top0 + top0 * top1 + top1 * top1 - bottom0 * bottom0 - bottom0 * bottom1 -
               bottom1 * bottom1);
    }
};

void addForce(Slice& s, double fx, double fy, const Point& at) {
    s.fx += fx;
    s.fy += fy;
    s.moment += (at.x - s.base.x) * fy - (at.y - s.base.y) * fx;
}

} // namespace

double polylineY(const std::vector<Point>& line, double x) {
    if (line.empty()) return 0;
    if (x <= line.front().x) return line.front().y;
    if (x >= line.back().x) return line.back().y;
    const size_t i = segmentAt(line, x);
    return lerp(line[i], line[i + 1], x);
}

Slope::Slope(const Problem& problem) : m_problem(problem) {
    const auto& lines = m_problem.lines;
    for (int i = 0; i < m_problem.surfaceLineCount && i < static_cast<int>(lines.size()); ++i) {
        const BoundaryLine& l = lines[static_cast<size_t>(i)];
        if (i == 0) m_ground.push_back(l.left);
        m_ground.push_back(l.right);
        m_groundSoil.push_back(l.soil - 1);
    }
    for (size_t i = 0; i + 1 < m_ground.size(); ++i) {
        const Point &a = m_ground[i], &b = m_ground[i + 1];
        m_groundSlope.push_back(b.x > a.x ? (b.y - a.y) / (b.x - a.x) : 0.0);
    }
    for (size_t i = 0; i < lines.size(); ++i)
        m_lines.push_back({lines[i].left, lines[i].right, lines[i].soil - 1,
                           static_cast<int>(i) < m_problem.surfaceLineCount});
    m_yMin = std::numeric_limits<double>::max();
    m_yMax = std::numeric_limits<double>::lowest();
    for (const Line& l : m_lines)
        for (const Point& p : {l.a, l.b}) {
            m_yMin = std::min(m_yMin, p.y);
            m_yMax = std::max(m_yMax, p.y);
        }
    for (const Soil& soil : m_problem.soils) m_tanPhi.push_back(std::tan(soil.phi * std::numbers::pi / 180));
    const double scale = std::max({xMax() - xMin(), m_yMax - m_yMin, 1.0});
    m_tolerance = 1e-9 * scale;
    m_along = 1e-6 * scale;
    addStaticEdges();
}

void Slope::addStaticEdges() {
    std::vector<double>& e = m_staticEdges;
    for (const Line& l : m_lines) {
        e.push_back(l.a.x);
        e.push_back(l.b.x);
    }
    for (size_t s = 0; s < m_problem.piezometricSurfaces.size(); ++s) {
        const auto& pts = m_problem.piezometricSurfaces[s];
        for (const Point& p : pts) e.push_back(p.x);
        // Where a water surface crosses a boundary line the soil column changes from moist to
        // saturated in another layer; slices must break there to stay exact.
        if (pts.empty()) continue;
        // Continued flat beyond its ends, as the pore pressures use it.
        std::vector<Point> extended = pts;
        const double reach = std::max(xMax() - xMin(), 1.0);
        extended.insert(extended.begin(), Point{std::min(xMin(), pts.front().x) - reach, pts.front().y});
        extended.push_back(Point{std::max(xMax(), pts.back().x) + reach, pts.back().y});
        m_piezoExtended.push_back(extended);
        for (const Line& l : m_lines)
            for (size_t j = 0; j + 1 < extended.size(); ++j) {
                Point at;
                if (segmentsCross(l.a, l.b, extended[j], extended[j + 1], at)) e.push_back(at.x);
            }
    }
    for (const SurchargeLoad& l : m_problem.loads) {
        e.push_back(l.leftX);
        e.push_back(l.rightX);
    }
    std::sort(e.begin(), e.end());
    e.erase(std::unique(e.begin(), e.end()), e.end());
}

double Slope::groundY(double x) const {
    return polylineY(m_ground, x);
}

double Slope::groundYNear(double x, size_t& i) const {
    const std::vector<Point>& g = m_ground;
    if (g.size() < 2) return groundY(x);
    if (i + 2 > g.size()) i = 0;
    while (i + 2 < g.size() && g[i + 1].x <= x) ++i;
    while (i > 0 && g[i].x > x) --i;
    if (x <= g.front().x) return g.front().y;
    if (x >= g.back().x) return g.back().y;
    return lerp(g[i], g[i + 1], x);
}

int Slope::soilAt(double x, double y) const {
    int best = -1;
    double bestY = std::numeric_limits<double>::max();
    for (const Line& l : m_lines) {
        if (x < l.a.x || x > l.b.x) continue;
        const double ly = l.yAt(x);
        if (ly >= y - m_tolerance && ly < bestY) {
            bestY = ly;
            best = l.soil;
        }
    }
    return best;
}

double Slope::frictionAngleAt(double x, double y) const {
    const int s = soilAt(x, y);
    return s < 0 ? 0 : m_problem.soils[static_cast<size_t>(s)].phi;
}

double Slope::piezometricY(int surface, double x) const {
    return polylineY(m_problem.piezometricSurfaces[static_cast<size_t>(surface - 1)], x);
}

// Cutting a surface into slices, in stages: check the input, clip it to the part below the ground,
// find where slices must break, build each slice, then add the loads that act on single slices.
SlicedSurface Slope::slice(const std::vector<Point>& input, int minimumSlices) const {
    SlicedSurface out;
    Work work;
    slice(input, out, work, minimumSlices);
    return out;
}

void Slope::slice(const std::vector<Point>& input, SlicedSurface& out, Work& work, int minimumSlices) const {
    out.ok = false;
    out.reason.clear();
    out.surface.clear();
    out.tiebacksActive = 0;
    out.reinforcementCrossings = 0;
    out.reason = invalidInput(input);
    if (out.reason.empty()) out.reason = clipToGround(input, out.surface, work);
    if (!out.reason.empty()) {
        out.slices.clear();
        return;
    }
    sliceEdges(out.surface, minimumSlices, work);
    const std::vector<double>& cuts = work.cuts;
    SliceScratch& scratch = work.scratch;
    // The slices of the last surface are reused: sliceGeometry sets every field that is not
    // always assigned later (constructing a slice anew costs more than all its geometry).
    const size_t n = cuts.size() - 1;
    out.slices.resize(n);
    scratch.stack.reserve(m_lines.size());
    scratch.piezo.assign(m_problem.piezometricSurfaces.size(), Piezo{});
    scratch.surfaceSegment = scratch.groundSegment = 0;
    scratch.surfaceSlopeKnown = false;
    // The geometry of every slice first: in a loop of its own the square roots and divisions of
    // one slice overlap the next's instead of each waiting on the other's soil and forces.
    work.groundSegments.resize(n);
    for (size_t i = 0; i < n; ++i) {
        sliceGeometry(out.slices[i], cuts[i], cuts[i + 1], out.surface, scratch);
        work.groundSegments[i] = scratch.groundSegment;
    }
    for (size_t i = 0; i < n; ++i) {
        scratch.index = i;
        scratch.groundSegment = work.groundSegments[i];
        fillSlice(out.slices[i], scratch);
    }
    applyLoads(out);
    out.ok = true;
}

std::string Slope::invalidInput(const std::vector<Point>& input) const {
    if (input.size() < 2) return "The surface has fewer than two points.";
    for (size_t i = 1; i < input.size(); ++i)
        if (input[i].x < input[i - 1].x)
            return "The surface turns back on itself; its points must run from left to right.";
    for (const Point& p : input)
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return "The surface has a coordinate that is not a number.";
    return {};
}

// The part of the surface below the ground, from where it enters to where it leaves; the reason
// when there is none, or more than one.
std::string Slope::clipToGround(const std::vector<Point>& input, std::vector<Point>& surf, Work& work) const {
    const double tol = m_tolerance;
    // Walk the surface with the ground's vertices added, noting how deep each point lies.
    using Station = Work::Station;
    std::vector<Station>& path = work.path;
    path.clear();
    size_t segment = 0; // the points run left to right: each finds its ground segment from the last's
    auto depthAt = [this, &segment](const Point& p) { return groundYNear(p.x, segment) - p.y; };
    for (size_t i = 0; i + 1 < input.size(); ++i) {
        const Point& a = input[i];
        const Point& b = input[i + 1];
        if (path.empty()) path.push_back({a, depthAt(a)});
        if (b.x > a.x)
            for (const Point& g : m_ground)
                if (g.x > a.x && g.x < b.x) {
                    const Point q{g.x, lerp(a, b, g.x)};
                    path.push_back({q, g.y - q.y});
                }
        path.push_back({b, depthAt(b)});
    }
    // Entry and exit where the path passes through the ground surface.
    auto crossing = [](const Station& s, const Station& t) {
        const double f = s.depth / (s.depth - t.depth);
        return Point{s.p.x + f * (t.p.x - s.p.x), s.p.y + f * (t.p.y - s.p.y)};
    };
    // End points a hair below the ground (coordinates rounded when typed) are taken as on it.
    const double snap = 1e-4 * std::max({xMax() - xMin(), m_yMax - m_yMin, 1.0});
    for (Station* end : {&path.front(), &path.back()})
        if (end->depth > tol && end->depth <= snap) {
            end->p.y += end->depth;
            end->depth = 0;
        }
    if (path.front().depth > tol)
        return "The surface begins below the ground surface; it must start on or above the ground.";
    if (path.back().depth > tol)
        return "The surface ends below the ground surface; it must end on or above the ground.";
    size_t first = path.size(), last = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i].depth > tol) {
            first = std::min(first, i);
            last = i;
        }
    if (first == path.size())
        return "The surface does not cut off a sliding mass: it lies on or above the ground surface.";
    for (size_t i = first; i <= last; ++i)
        if (path[i].depth <= tol) return "The surface comes out of the ground between its ends.";
    if (input.front().x < xMin() - tol || input.back().x > xMax() + tol) {
        // Only the part below ground matters; it must lie over the ground surface's extent.
        const Point entry = crossing(path[first - 1], path[first]);
        const Point exit = crossing(path[last], path[last + 1]);
        if (entry.x < xMin() - tol || exit.x > xMax() + tol)
            return "The sliding mass reaches beyond the ends of the ground surface.";
    }
    surf.push_back(crossing(path[first - 1], path[first]));
    for (size_t i = first; i <= last; ++i)
        if (path[i].p.x != surf.back().x || path[i].p.y != surf.back().y) surf.push_back(path[i].p);
    surf.push_back(crossing(path[last], path[last + 1]));
    const double xa = surf.front().x, xb = surf.back().x;
    if (!(xb - xa > tol)) return "The sliding mass has no width.";
    return {};
}

// Slice edges: wherever a line of the model meets the mass, so every slice is straight-sided, and
// more between them until no slice is wider than the mass divided by `minimumSlices`.
void Slope::sliceEdges(const std::vector<Point>& surf, int minimumSlices, Work& work) const {
    const double tol = m_tolerance;
    const double xa = surf.front().x, xb = surf.back().x;
    std::vector<double>&edges = work.edges, &xs = work.xs, &cuts = work.cuts;
    // The surface's own points first, already in order; the few other edges after them are
    // sorted apart and merged in.
    edges.clear();
    for (const Point& p : surf) edges.push_back(p.x);
    const auto others = static_cast<std::ptrdiff_t>(edges.size());
    edges.push_back(xa);
    edges.push_back(xb);
    for (double x : m_staticEdges)
        if (x > xa && x < xb) edges.push_back(x);
    for (size_t j = 0; j + 1 < surf.size(); ++j) {
        for (const Line& l : m_lines) {
            if (l.ground) continue;
            Point at;
            if (segmentsCross(l.a, l.b, surf[j], surf[j + 1], at)) edges.push_back(at.x);
        }
        for (const auto& pts : m_piezoExtended)
            for (size_t k = 0; k + 1 < pts.size(); ++k) {
                Point at;
                if (segmentsCross(pts[k], pts[k + 1], surf[j], surf[j + 1], at)) edges.push_back(at.x);
            }
    }
    std::vector<double>& sorted = work.sorted;
    if (std::is_sorted(edges.begin(), edges.begin() + others)) {
        std::sort(edges.begin() + others, edges.end());
        sorted.resize(edges.size());
        std::merge(edges.begin(), edges.begin() + others, edges.begin() + others, edges.end(),
                   sorted.begin());
    } else {
        sorted = edges;
        std::sort(sorted.begin(), sorted.end());
    }
    xs.clear();
    for (double x : sorted) {
        if (x < xa - tol || x > xb + tol) continue;
        x = std::clamp(x, xa, xb);
        if (xs.empty() || x - xs.back() > tol) xs.push_back(x);
    }
    if (xb - xs.back() > 0) xs.back() = xb;
    const double maxWidth = (xb - xa) / std::max(1, minimumSlices);
    cuts.assign(1, xs.front());
    for (size_t i = 1; i < xs.size(); ++i) {
        const double w = xs[i] - xs[i - 1];
        const int parts = std::max(1, static_cast<int>(std::ceil(w / maxWidth - 1e-9)));
        for (int k = 1; k <= parts; ++k) cuts.push_back(k == parts ? xs[i] : xs[i - 1] + w * k / parts);
    }
}
// Water-surface heights at a slice's edges and middle, each looked up once per slice.
const Slope::Piezo& Slope::water(SliceScratch& scratch, const Slice& s, int surface) const {
    Piezo& w = scratch.piezo[static_cast<size_t>(surface - 1)];
    if (w.stamp != scratch.index) {
        const double xm = (s.xl + s.xr) / 2;
        w = {scratch.index, piezometricY(surface, s.xl), piezometricY(surface, s.xr),
             piezometricY(surface, xm)};
    }
    return w;
}

void Slope::buildSlice(Slice& s, double xl, double xr, size_t index, const std::vector<Point>& surf,
                       SliceScratch& scratch) const {
    scratch.index = index;
    sliceGeometry(s, xl, xr, surf, scratch);
    fillSlice(s, scratch);
}

void Slope::fillSlice(Slice& s, SliceScratch& scratch) const {
    const int groundSoil = weighColumn(s, scratch);
    weakerSoilAlongBoundary(s, scratch);
    baseStrength(s);
    porePressure(s, scratch);
    bodyForces(s, groundSoil, scratch);
}

// Edges, top and base lines, the middle of the base and its inclination.
void Slope::sliceGeometry(Slice& s, double xl, double xr, const std::vector<Point>& surf,
                          SliceScratch& scratch) const {
    s.xl = xl;
    s.xr = xr;
    s.width = s.xr - s.xl;
    s.otherSoil = -1;
    s.fx = s.fy = s.moment = 0;
    const double xm = (s.xl + s.xr) / 2;
    // The segment whose x range holds the middle (the last one that starts at or left of it).
    auto walk = [xm](const std::vector<Point>& line, size_t& i) {
        const size_t before = i;
        if (i + 2 > line.size() || line[i].x > xm) i = 0;
        while (i + 2 < line.size() && line[i + 1].x <= xm) ++i;
        return i != before;
    };
    // Heights along a segment by its slope, worked out once per segment (a vertical one holds no
    // slice's middle: its slope is never used).
    if (walk(surf, scratch.surfaceSegment) || !scratch.surfaceSlopeKnown) {
        const Point &a = surf[scratch.surfaceSegment], &b = surf[scratch.surfaceSegment + 1];
        scratch.surfaceSlope = b.x > a.x ? (b.y - a.y) / (b.x - a.x) : 0.0;
        scratch.surfaceSlopeKnown = true;
    }
    const Point& b0 = surf[scratch.surfaceSegment];
    s.baseLeft = b0.y + scratch.surfaceSlope * (s.xl - b0.x);
    s.baseRight = b0.y + scratch.surfaceSlope * (s.xr - b0.x);
    walk(m_ground, scratch.groundSegment);
    const Point& g0 = m_ground[scratch.groundSegment];
    const double groundSlope = m_groundSlope[scratch.groundSegment];
    s.topLeft = g0.y + groundSlope * (s.xl - g0.x);
    s.topRight = g0.y + groundSlope * (s.xr - g0.x);
    s.base = {xm, (s.baseLeft + s.baseRight) / 2};
    const double rise = s.baseRight - s.baseLeft;
    s.baseLength = std::sqrt(rise * rise + s.width * s.width);
    const double inverse = 1 / s.baseLength;
    s.sinA = rise * inverse;
    s.cosA = s.width * inverse;
}

// The column from the ground down to the base in bands of one soil each, moist above that soil's
// water surface and saturated below it: weight, centroid and the soil of the base. Returns the soil
// at the ground.
int Slope::weighColumn(Slice& s, SliceScratch& scratch) const {
    const double tol = m_tolerance;
    const Problem& pr = m_problem;
    const double yRef = s.base.y;
    std::vector<Edge>& stack = scratch.stack;
    stack.clear();
    const double topMid = (s.topLeft + s.topRight) / 2;
    for (const Line& l : m_lines) {
        if (l.ground || l.a.x > s.xl + tol || l.b.x < s.xr - tol) continue;
        const double yl = l.yAt(s.xl), yr = l.yAt(s.xr), ym = (yl + yr) / 2;
        // A boundary the base runs along is neither above nor below it: the base may shear the
        // soil on either side.
        if (std::fabs(yl - s.baseLeft) <= m_along && std::fabs(yr - s.baseRight) <= m_along) {
            s.otherSoil = l.soil;
            continue;
        }
        if (ym < topMid - tol && ym > s.base.y + tol) stack.push_back({yl, yr, l.soil});
    }
    std::sort(stack.begin(), stack.end(), [](const Edge& a, const Edge& b) { return a.l + a.r > b.l + b.r; });
    Accumulator acc;
    // The soil of the ground segment over the slice's middle, found when its top was.
    const int groundSoil =
        m_groundSoil.empty() ? 0 : m_groundSoil[std::min(scratch.groundSegment, m_groundSoil.size() - 1)];
    Edge upper{s.topLeft, s.topRight, groundSoil};
    auto addBand = [&](const Edge& top, double bl, double br) {
        const Soil& soil = pr.soils[static_cast<size_t>(top.soil)];
        double cl = bl, cr = br; // top of the saturated part
        if (pr.waterOn && soil.piezometricSurface > 0) {
            const Piezo& w = water(scratch, s, soil.piezometricSurface);
            cl = std::clamp(w.l, bl, std::max(bl, top.l));
            cr = std::clamp(w.r, br, std::max(br, top.r));
        }
        acc.band(s.xl, s.width, bl - yRef, br - yRef, cl - yRef, cr - yRef, soil.saturatedWeight);
        acc.band(s.xl, s.width, cl - yRef, cr - yRef, top.l - yRef, top.r - yRef, soil.moistWeight);
    };
    for (const Edge& e : stack) {
        addBand(upper, e.l, e.r);
        upper = e;
    }
    addBand(upper, s.baseLeft, s.baseRight);
    s.soil = upper.soil;
    if (s.otherSoil == s.soil) s.otherSoil = -1;
    s.weight = acc.weight;
    s.centroid = acc.weight > 0 ? Point{acc.mx / acc.weight, yRef + acc.my / acc.weight} : s.base;
    return groundSoil;
}

// Along a boundary the base fails in the weaker of the two soils: the one with the lower strength
// under the column's own normal stress (W cos^2(alpha) / width, less each soil's pore pressure).
void Slope::weakerSoilAlongBoundary(Slice& s, SliceScratch& scratch) const {
    if (s.otherSoil < 0) return;
    auto strength = [&](int soil) {
        Slice t = s;
        t.soil = soil;
        baseStrength(t);
        porePressure(t, scratch);
        const double normal = t.weight * t.cosA * t.cosA / t.width;
        return t.cohesion + std::max(0.0, normal - t.porePressure) * t.tanPhi;
    };
    if (strength(s.otherSoil) < strength(s.soil)) std::swap(s.soil, s.otherSoil);
}

double Slope::frictionAngleAlong(const Point& a, const Point& b) const {
    if (!(b.x > a.x + m_tolerance)) return frictionAngleAt((a.x + b.x) / 2, (a.y + b.y) / 2);
    SliceScratch scratch;
    scratch.piezo.resize(m_problem.piezometricSurfaces.size());
    const std::vector<Point> base{a, b};
    Slice s;
    buildSlice(s, a.x, b.x, 0, base, scratch);
    return std::atan(s.tanPhi) * 180 / std::numbers::pi;
}

// Cohesion and friction of the base's soil, from its anisotropy rows by the base inclination.
void Slope::baseStrength(Slice& s) const {
    const Soil& soil = m_problem.soils[static_cast<size_t>(s.soil)];
    s.cohesion = soil.cohesion;
    s.tanPhi = m_tanPhi[static_cast<size_t>(s.soil)];
    if (soil.anisotropy.empty()) return;
    const double deg = s.alpha() * 180 / std::numbers::pi;
    const AnisotropyRow* row = &soil.anisotropy.back();
    for (const AnisotropyRow& a : soil.anisotropy)
        if (a.ccwLimit >= deg) {
            row = &a;
            break;
        }
    s.cohesion = row->cohesion;
    s.tanPhi = std::tan(row->phi * std::numbers::pi / 180);
}

// Head of the soil's water surface above the base, ru times the vertical stress, and the constant;
// suction no lower than the cavitation pressure.
void Slope::porePressure(Slice& s, SliceScratch& scratch) const {
    const Problem& pr = m_problem;
    const Soil& soil = pr.soils[static_cast<size_t>(s.soil)];
    double u = 0;
    if (pr.waterOn && soil.piezometricSurface > 0)
        u += pr.waterUnitWeight * (water(scratch, s, soil.piezometricSurface).m - s.base.y);
    u += soil.ru * s.weight / s.width + soil.poreConstant;
    s.porePressure = std::max(u, -pr.cavitationPressure);
    s.poreForce = s.porePressure * s.baseLength;
}

// Weight and earthquake at the centroid, and water standing on the ground pressing normally on top.
void Slope::bodyForces(Slice& s, int groundSoil, SliceScratch& scratch) const {
    const Problem& pr = m_problem;
    addForce(s, 0, -s.weight, s.centroid);
    if (pr.equakeOn) addForce(s, -pr.kh * s.weight, pr.kv * s.weight, s.centroid);
    const int groundPiezo = pr.soils[static_cast<size_t>(groundSoil)].piezometricSurface;
    if (!pr.waterOn || groundPiezo <= 0) return;
    const double dl = std::max(0.0, water(scratch, s, groundPiezo).l - s.topLeft);
    const double dr = std::max(0.0, water(scratch, s, groundPiezo).r - s.topRight);
    if (dl + dr <= 0) return;
    const double p = pr.waterUnitWeight * s.width * (dl + dr) / 2;
    const double xc = s.xl + s.width * (dl + 2 * dr) / (3 * (dl + dr));
    const Point at{xc, s.topLeft + (s.topRight - s.topLeft) * (xc - s.xl) / s.width};
    addForce(s, p * (s.topRight - s.topLeft) / s.width, -p, at);
}

void Slope::applyLoads(SlicedSurface& out) const {
    const Problem& pr = m_problem;
    auto sliceAt = [&out](double x) -> Slice* {
        for (Slice& s : out.slices)
            if (x >= s.xl && x <= s.xr) return &s;
        return nullptr;
    };
    for (const SurchargeLoad& load : pr.loads) {
        if (!(load.rightX > load.leftX) || load.intensity == 0) continue;
        const double d = load.inclination * std::numbers::pi / 180;
        for (Slice& s : out.slices) {
            const double l = std::max(s.xl, load.leftX), r = std::min(s.xr, load.rightX);
            if (r <= l) continue;
            const double q = load.intensity * (r - l);
            const double x = (l + r) / 2;
            addForce(s, q * std::sin(d), -q * std::cos(d), Point{x, groundY(x)});
        }
    }
    const auto& surf = out.surface;
    for (const Tieback& t : pr.tiebacks) {
        if (!(t.spacing > 0)) continue;
        const double i = t.inclination * std::numbers::pi / 180;
        const Point dir{std::cos(i), -std::sin(i)};
        const Point end{t.head.x + t.freeLength * dir.x, t.head.y + t.freeLength * dir.y};
        bool crosses = false;
        for (size_t j = 0; j + 1 < surf.size() && !crosses; ++j) {
            Point at;
            crosses = segmentsCross(t.head, end, surf[j], surf[j + 1], at);
        }
        if (!crosses) continue;
        Slice* s = sliceAt(t.head.x);
        if (!s) continue;
        const double force = t.load / t.spacing;
        addForce(*s, force * dir.x, force * dir.y, t.head);
        ++out.tiebacksActive;
    }
    for (const auto& set : pr.reinforcementSets)
        for (const ReinforcementLayer& layer : set) {
            const double y0 = layer.start.y;
            for (size_t j = 0; j + 1 < surf.size(); ++j) {
                const Point& a = surf[j];
                const Point& b = surf[j + 1];
                if (!(b.y > a.y) || y0 < a.y || y0 > b.y) continue;
                const double xc = a.x + (b.x - a.x) * (y0 - a.y) / (b.y - a.y);
                if (xc < layer.start.x) continue;
                Slice* s = sliceAt(xc);
                if (!s) break;
                const double f = std::clamp(layer.inclinationFactor, 0.0, 1.0);
                double dx = (1 - f) + f * s->cosA, dy = f * s->sinA;
                const double n = std::hypot(dx, dy);
                if (n == 0) break;
                addForce(*s, layer.force * dx / n, layer.force * dy / n, Point{xc, y0});
                ++out.reinforcementCrossings;
                break;
            }
        }
}

} // namespace velda

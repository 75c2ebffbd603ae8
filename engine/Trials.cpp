#include "Trials.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace velda {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr size_t kMaxPoints = 2000; // points of one trial surface

// Steering of irregular surfaces: how fast a surface turns toward its exit, as a length relative
// to the distance from its start to its exit, drawn log-uniformly between these.
constexpr double kSteerShortest = 0.05, kSteerLongest = 2.0;
// The random turning over a whole surface (radians, standard deviation) is drawn up to this.
constexpr double kMaxWander = 0.5;
// A surface that follows no layer boundary has a floor it does not go below: a line through a
// random depth under its start, inclined up to this many degrees either way.
constexpr double kFloorSlope = 15;
// A block's wedges never rise flatter or steeper than these (degrees).
constexpr double kWedgeFlattest = 2, kWedgeSteepest = 88;

uint64_t mix(uint64_t a, uint64_t b) {
    uint64_t z = a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

bool segmentsCross(const Point& p, const Point& q, const Point& r, const Point& s) {
    auto side = [](const Point& a, const Point& b, const Point& c) {
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    };
    const double d1 = side(r, s, p), d2 = side(r, s, q), d3 = side(p, q, r), d4 = side(p, q, s);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// Where the segment from a (below ground) to b (on or above it) passes through the ground: the
// first sign change of the depth along it, at a vertex of the ground or within one of its segments.
Point groundCrossing(const Slope& slope, const Point& a, const Point& b) {
    const std::vector<Point>& ground = slope.ground();
    auto depth = [&](const Point& p) { return slope.groundY(p.x) - p.y; };
    auto along = [&](double t) { return Point{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; };
    // The ground's vertices between the ends cut the segment into pieces over which the depth is linear.
    double t0 = 0, d0 = depth(a);
    const double lo = std::min(a.x, b.x), hi = std::max(a.x, b.x);
    auto piece = [&](double t1) -> std::optional<Point> {
        const double d1 = depth(along(t1));
        if (d1 <= 0) return along(d0 > d1 ? t0 + (t1 - t0) * d0 / (d0 - d1) : t1);
        t0 = t1;
        d0 = d1;
        return std::nullopt;
    };
    if (hi > lo) {
        const bool rightward = b.x > a.x;
        const size_t n = ground.size();
        for (size_t k = 0; k < n; ++k) {
            const Point& g = ground[rightward ? k : n - 1 - k];
            if (g.x <= lo || g.x >= hi) continue;
            if (const auto at = piece((g.x - a.x) / (b.x - a.x))) return *at;
        }
    }
    if (const auto at = piece(1)) return *at;
    return b;
}
} // namespace

bool crossesLimitLine(const std::vector<Point>& polyline, const std::vector<LimitLine>& limits) {
    for (const LimitLine& l : limits)
        for (size_t j = 0; j + 1 < polyline.size(); ++j)
            if (segmentsCross(polyline[j], polyline[j + 1], l.a, l.b)) return true;
    return false;
}

// SplitMix64: small, fast, and the same everywhere.
uint64_t TrialRandom::next() {
    uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double TrialRandom::uniform() {
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

double TrialRandom::normal() {
    const double u1 = std::max(uniform(), 1e-300), u2 = uniform();
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
}

const char* rankingName(Ranking r) {
    switch (r) {
    case Ranking::JanbuCorrected: return "Janbu corrected";
    case Ranking::Bishop: return "Bishop simplified";
    default: return "Spencer";
    }
}

Trials::Trials(const Problem& p, const Slope& slope, const SolverSettings& solver, uint64_t seed)
    : m_p(p), m_s(slope), m_par(p.parameters), m_solver(solver), m_seed(seed) {
    switch (p.search) {
    case SearchKind::BishopCircle: m_ranking = Ranking::Bishop; break;
    case SearchKind::Spencer: m_ranking = Ranking::Spencer; break;
    default: m_ranking = Ranking::JanbuCorrected;
    }
    m_lambda0 = std::tan(m_par.interSliceAngle * kDeg);
    m_tol = 1e-6 * std::max(slope.xMax() - slope.xMin(), 1.0);
    const size_t perPoint = static_cast<size_t>(std::max(1, m_par.surfacesPerPoint));
    if (p.search == SearchKind::Block) {
        // A block search has no minimum elevation of its own: the model's bottom is the limit.
        m_minElevation = slope.yMin();
        m_count = perPoint;
    } else {
        m_minElevation = m_par.minElevation;
        // Layer boundaries below the ground surface (the lines after the ground-surface lines),
        // joined where one ends where the next begins, so a floor follows a bent boundary whole.
        std::vector<BoundaryLine> segments;
        for (size_t i = static_cast<size_t>(std::max(0, p.surfaceLineCount)); i < p.lines.size(); ++i)
            if (p.lines[i].right.x > p.lines[i].left.x) segments.push_back(p.lines[i]);
        // In order of their left ends, a segment with no predecessor left starts a polyline.
        std::stable_sort(segments.begin(), segments.end(),
                         [](const BoundaryLine& a, const BoundaryLine& b) { return a.left.x < b.left.x; });
        std::vector<bool> used(segments.size(), false);
        for (size_t i = 0; i < segments.size(); ++i) {
            if (used[i]) continue;
            used[i] = true;
            std::vector<Point> chain{segments[i].left, segments[i].right};
            for (size_t j = i + 1; j < segments.size(); ++j)
                if (!used[j] && std::hypot(segments[j].left.x - chain.back().x,
                                           segments[j].left.y - chain.back().y) <= m_tol) {
                    chain.push_back(segments[j].right);
                    used[j] = true;
                }
            m_interfaces.push_back(std::move(chain));
        }
        m_count = static_cast<size_t>(std::max(1, m_par.initiationPoints)) * perPoint;
        // Circles: directions and exit targets on a grid, so each point's circles spread over the
        // termination range.
        m_directions =
            std::max(1, static_cast<int>(std::round(std::sqrt(static_cast<double>(perPoint) / 2))));
        m_exits = static_cast<int>((perPoint + static_cast<size_t>(m_directions) - 1) /
                                   static_cast<size_t>(m_directions));
    }
}

double Trials::initiationX(int point) const {
    const int n = m_par.initiationPoints;
    return n == 1 ? m_par.initLeftX
                  : m_par.initLeftX + (m_par.initRightX - m_par.initLeftX) * point / (n - 1);
}

TrialShape Trials::shape(size_t index) const {
    TrialShape s;
    const size_t perPoint = static_cast<size_t>(std::max(1, m_par.surfacesPerPoint));
    if (m_p.search == SearchKind::Block) {
        TrialRandom random(mix(m_seed, index));
        for (size_t i = 0; i < m_par.boxes.size(); ++i) {
            s.parameters.push_back(random.uniform());       // position along the box's centre line
            s.parameters.push_back(random.uniform() - 0.5); // offset across it, in box heights
        }
        // The passive and active wedges' angles from their Rankine values (degrees); the
        // refinement and the global stage move them.
        s.parameters.push_back(0);
        s.parameters.push_back(0);
        return s;
    }
    const int point = static_cast<int>(index / perPoint);
    const size_t k = index % perPoint;
    const double x0 = initiationX(point);
    if (m_p.search != SearchKind::Irregular) {
        const int d = static_cast<int>(k / static_cast<size_t>(m_exits)),
                  e = static_cast<int>(k % static_cast<size_t>(m_exits));
        const double theta = m_directions == 1
                                 ? (m_par.cwLimit + m_par.ccwLimit) / 2
                                 : m_par.cwLimit + (m_par.ccwLimit - m_par.cwLimit) * d / (m_directions - 1);
        const double xt = m_exits == 1
                              ? (m_par.termLeftX + m_par.termRightX) / 2
                              : m_par.termLeftX + (m_par.termRightX - m_par.termLeftX) * e / (m_exits - 1);
        s.parameters = {x0, theta, xt};
        return s;
    }
    // Irregular: the trial's numbers depend on its point and its number at that point only, so more
    // surfaces per point keep the ones there were.
    TrialRandom random(mix(mix(m_seed, static_cast<uint64_t>(point)), k));
    const double xt = random.uniform(m_par.termLeftX, m_par.termRightX);
    const Point start{x0, m_s.groundY(x0)}, target{xt, m_s.groundY(xt)};
    const double chord = std::atan2(target.y - start.y, target.x - start.x) / kDeg;
    const double highest = std::min(m_par.ccwLimit, chord);
    const double theta = random.uniform(m_par.cwLimit, std::max(m_par.cwLimit, highest));
    const double steer = random.uniform(std::log(kSteerShortest), std::log(kSteerLongest));
    const double wander = random.uniform(0, kMaxWander);
    double floorDepth = random.uniform(0, 1);
    const double dip = random.uniform(-1, 1); // weak layers mostly lie nearly flat
    double floorSlope = kFloorSlope * dip * dip * dip;
    const double turnAt = random.uniform(0, 1);
    // Every other surface takes a layer boundary that lies between its start and its exit as its
    // floor, just above or just below it, whatever its inclination: bases that run along a weak
    // layer, or inside a thin one, are drawn often, not by chance.
    double interface = 0, offset = 0;
    const double layer = random.uniform(0, 1), side = random.uniform(-1, 1);
    if (layer < 0.5) {
        std::vector<size_t> reachable;
        for (size_t i = 0; i < m_interfaces.size(); ++i)
            if (m_interfaces[i].front().x < std::max(x0, xt) && m_interfaces[i].back().x > std::min(x0, xt))
                reachable.push_back(i);
        if (!reachable.empty()) {
            interface =
                1.0 + static_cast<double>(
                          reachable[static_cast<size_t>(2 * layer * static_cast<double>(reachable.size()))]);
            offset = side;
        }
    }
    s.parameters = {x0, theta, xt, steer, wander, floorDepth, floorSlope, turnAt, interface, offset};
    s.seed = random.next();
    return s;
}

TrialShape Trials::clamped(TrialShape s) const {
    auto& v = s.parameters;
    if (m_p.search == SearchKind::Block) {
        const size_t boxes = 2 * m_par.boxes.size();
        for (size_t i = 0; i + 1 < boxes; i += 2) {
            v[i] = std::clamp(v[i], 0.0, 1.0);
            v[i + 1] = std::clamp(v[i + 1], -0.5, 0.5);
        }
        for (size_t i = boxes; i < v.size(); ++i) v[i] = std::clamp(v[i], -kWedgeTurn, kWedgeTurn);
        return s;
    }
    const double lo = std::min(m_par.initLeftX, m_par.initRightX),
                 hi = std::max(m_par.initLeftX, m_par.initRightX);
    v[0] = std::clamp(v[0], lo, hi);
    v[1] = std::clamp(v[1], m_par.cwLimit, std::max(m_par.cwLimit, m_par.ccwLimit));
    v[2] = std::clamp(v[2], m_par.termLeftX, std::max(m_par.termLeftX, m_par.termRightX));
    if (v.size() > 3) {
        v[3] = std::clamp(v[3], std::log(kSteerShortest), std::log(kSteerLongest));
        v[5] = std::clamp(v[5], 0.0, 1.0);
        v[6] = std::clamp(v[6], -kFloorSlope, kFloorSlope);
        v[7] = std::clamp(v[7], 0.0, 1.0);
        v[9] = std::clamp(v[9], -1.0, 1.0);
    }
    return s;
}

std::vector<double> Trials::refinementSteps() const {
    const double seg = std::max(m_par.segmentLength, m_tol);
    switch (m_p.search) {
    case SearchKind::Block: {
        std::vector<double> steps(2 * m_par.boxes.size(), 0.1);
        steps.insert(steps.end(), 2, kWedgeTurn / 3);
        return steps;
    }
    case SearchKind::Irregular: return {0.5 * seg, 2.0, seg, 0.25, 0.0, 0.05, 2.0, 0.05, 0.0, 0.25};
    default: return {seg, 2.0, seg};
    }
}

TrialOutcome Trials::evaluate(const TrialShape& shape, bool keepPoints) const {
    TrialWork work;
    return evaluate(shape, keepPoints, work);
}

TrialOutcome Trials::evaluate(const TrialShape& shape, bool keepPoints, TrialWork& work) const {
    TrialOutcome out;
    out.shape = shape;
    const char* why = nullptr;
    std::vector<Point> pts = surfaceOf(shape, out.circle, out.circular, &why);
    if (pts.empty()) {
        out.rejectedFor = why;
        return out;
    }
    if (!admissible(pts, &why)) {
        out.rejectedFor = why;
        return out;
    }
    out.fs = rank(pts, out.circular ? &out.circle : nullptr, &why, &out.unrankedFs, work);
    if (why) {
        out.rejectedFor = why;
        return out;
    }
    out.entryX = pts.front().x;
    out.exitX = pts.back().x;
    if (keepPoints) out.points = std::move(pts);
    return out;
}

std::optional<double> Trials::momentFactor(const TrialShape& shape) const {
    Circle c;
    bool circular = false;
    const char* why = nullptr;
    const std::vector<Point> pts = surfaceOf(shape, c, circular, &why);
    if (pts.empty() || !circular || !admissible(pts, &why)) return std::nullopt;
    const SlicedSurface sliced = m_s.slice(pts);
    if (!sliced.ok) return std::nullopt;
    const MethodResult m = bishopMethod(sliced.slices, c.centre, 1.0, m_solver, false);
    return m.ok ? std::optional(m.fs) : std::nullopt;
}

std::vector<Point> Trials::surfaceOf(const TrialShape& shape, Circle& c, bool& circular,
                                     const char** why) const {
    circular = false;
    switch (m_p.search) {
    case SearchKind::Block: return block(shape.parameters, why);
    case SearchKind::Irregular: return irregular(shape, why);
    default: circular = true; return circle(shape.parameters, c, why);
    }
}

bool Trials::admissible(const std::vector<Point>& pts, const char** why) const {
    const double tol = m_tol;
    if (m_p.search != SearchKind::Block &&
        (pts.back().x < m_par.termLeftX - tol || pts.back().x > m_par.termRightX + tol)) {
        *why = rejection::kOutsideTermination;
        return false;
    }
    for (const Point& q : pts)
        if (q.y < m_minElevation - tol) {
            *why = rejection::kBelowMinimum;
            return false;
        }
    if (crossesLimitLine(pts, m_p.limits)) {
        *why = rejection::kCrossesLimit;
        return false;
    }
    return true;
}

// The factor of safety of the ranking method; `why` set when there is none.
double Trials::rank(const std::vector<Point>& pts, const Circle* circle, const char** why, double* unranked,
                    TrialWork& work) const {
    SlicedSurface& sliced = work.sliced;
    m_s.slice(pts, sliced, work.slicing);
    if (!sliced.ok) {
        *why = rejection::kNoMass;
        return 0;
    }
    const Circle c = circle ? *circle : fitCircle(sliced.surface);
    MethodResult m;
    switch (m_ranking) {
    case Ranking::Bishop: m = bishopMethod(sliced.slices, c.centre, 1.0, m_solver, false); break;
    case Ranking::Spencer: {
        const MethodResult b = bishopMethod(sliced.slices, c.centre, 1.0, m_solver, false);
        m = rigorousMethod(sliced.slices, c.centre, kSpencerFunction, b.ok ? b.fs : 1.0, m_lambda0, m_solver,
                           false);
        if (!m.ok && b.ok && unranked) *unranked = b.fs;
        break;
    }
    default:
        m = janbuMethod(sliced.slices, 1.0, m_solver, false);
        if (m.ok) m.fs *= janbuCorrection(sliced.surface, sliced.slices);
    }
    if (!m.ok) {
        *why = rejection::kNoFactor;
        return 0;
    }
    return m.fs;
}

// The arc of a circle from the point at `startAngle`, counterclockwise in chords of the segment
// length, until it rises through the ground; empty when it does not.
std::vector<Point> Trials::arc(const Point& c, double r, double startAngle) const {
    const double seg = m_par.segmentLength;
    if (!(r > 0) || seg >= 2 * r) return {};
    const double step = 2 * std::asin(seg / (2 * r));
    std::vector<Point> pts;
    pts.reserve(64); // a trial's points, most times: one allocation, not one per doubling
    pts.push_back({c.x + r * std::cos(startAngle), c.y + r * std::sin(startAngle)});
    bool inside = false;
    // Each chord's end is the last one turned by the step: one sine and cosine per surface.
    const double turnCos = std::cos(step), turnSin = std::sin(step);
    double u = std::cos(startAngle), v = std::sin(startAngle);
    size_t g = 0; // the ground segment under the last point
    for (double a = startAngle + step; a < startAngle + 2 * std::numbers::pi && pts.size() < kMaxPoints;
         a += step) {
        const double un = u * turnCos - v * turnSin;
        v = v * turnCos + u * turnSin;
        u = un;
        const Point q{c.x + r * u, c.y + r * v};
        const double depth = m_s.groundYNear(q.x, g) - q.y;
        if (depth > m_tol) {
            inside = true;
        } else if (inside) {
            pts.push_back(groundCrossing(m_s, pts.back(), q));
            return pts;
        } else if (pts.size() == 1) {
            return {}; // leaves its point above the ground
        }
        if (q.x < pts.back().x) return {}; // turned back before leaving the ground
        pts.push_back(q);
    }
    return {};
}

// The circle that leaves the ground at x0 in the direction theta (degrees) and passes through the
// ground at xt, drawn until it rises through the ground.
std::optional<Circle> Trials::circleThrough(const std::vector<double>& v) const {
    const double x0 = v[0], theta = v[1], xt = v[2];
    const Point p{x0, m_s.groundY(x0)};
    const double t = theta * kDeg;
    const Point normal{-std::sin(t), std::cos(t)};
    const Point q{xt, m_s.groundY(xt)};
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double along = dx * normal.x + dy * normal.y;
    if (!(along > 0)) return std::nullopt;
    const double r = (dx * dx + dy * dy) / (2 * along);
    return Circle{{p.x + r * normal.x, p.y + r * normal.y}, r, true};
}

std::optional<Point> Trials::centreOf(const TrialShape& shape) const {
    if (m_p.search == SearchKind::Block || m_p.search == SearchKind::Irregular || shape.parameters.size() < 3)
        return std::nullopt;
    const auto c = circleThrough(shape.parameters);
    return c ? std::optional(c->centre) : std::nullopt;
}

std::vector<Point> Trials::circle(const std::vector<double>& v, Circle& circle, const char** why) const {
    const auto through = circleThrough(v);
    if (!through) {
        *why = rejection::kNoMass;
        return {};
    }
    const Point p{v[0], m_s.groundY(v[0])}, c = through->centre;
    auto pts = arc(c, through->radius, std::atan2(p.y - c.y, p.x - c.x));
    if (pts.empty()) {
        *why = rejection::kNoExit;
        return {};
    }
    circle = *through;
    return pts;
}

// An irregular surface steered toward its exit. From its start on the ground it runs in its
// initial direction, turning only by random amounts, until it has covered a share of the way to its
// exit point; from there it also turns toward the exit by a share of the remaining angle that
// depends on the segment length over the surface's steering length (never longer than half the
// way left). The random turns have a variance proportional to the segment length, so the shapes
// drawn do not depend on the segment length. It only turns counterclockwise (it stays concave),
// never heads above the exit point, never beyond vertical, and runs along its floor and the minimum
// elevation rather than below them. It ends where it rises through the ground, near its exit point
// by construction.
std::vector<Point> Trials::irregular(const TrialShape& shape, const char** why) const {
    const auto& v = shape.parameters;
    const double seg = m_par.segmentLength;
    const Point start{v[0], m_s.groundY(v[0])}, target{v[2], m_s.groundY(v[2])};
    const double distance = std::hypot(target.x - start.x, target.y - start.y);
    if (!(distance > seg)) {
        *why = rejection::kNoMass;
        return {};
    }
    const double steering = std::exp(v[3]) * distance;
    const double wander = v[4] * std::sqrt(seg / distance);
    const double floorStart = start.y - v[5] * std::min(distance, std::max(start.y - m_minElevation, 0.0));
    const double floorTan = std::tan(v[6] * kDeg);
    const double turnX = start.x + v[7] * (target.x - start.x);
    // The floor: a straight line, or a layer boundary with the surface just above it (offset > 0)
    // or just below it, by a share of the layer there (never more than half a segment), so that
    // in a thin layer the surface runs inside it.
    const bool followsInterface = v[8] >= 1;
    const size_t followed = followsInterface ? static_cast<size_t>(v[8]) - 1 : 0;
    auto lowest = [&](double x) {
        if (!followsInterface) return std::max(m_minElevation, floorStart + floorTan * (x - start.x));
        const double y = interfaceY(followed, x);
        if (std::isnan(y)) return m_minElevation;
        const double room = std::min(0.5 * seg, 0.5 * layerThickness(followed, x, v[9] > 0));
        return std::max(m_minElevation, y + v[9] * room);
    };
    TrialRandom random(shape.seed);
    double theta = v[1] * kDeg;
    std::vector<Point> pts{start};
    const size_t steps = std::min<size_t>(kMaxPoints, static_cast<size_t>(4 * distance / seg) + 100);
    bool inside = false;
    for (size_t i = 0; i < steps; ++i) {
        const Point q = pts.back();
        if (q.y + seg * std::sin(theta) < lowest(q.x + seg * std::cos(theta)))
            theta = std::max(theta, std::asin(std::clamp((lowest(q.x + seg) - q.y) / seg, -1.0, 1.0)));
        const Point n{q.x + seg * std::cos(theta), q.y + seg * std::sin(theta)};
        if (m_s.groundY(n.x) - n.y > m_tol) {
            inside = true;
        } else if (inside) {
            pts.push_back(groundCrossing(m_s, q, n));
            return pts;
        } else {
            *why = rejection::kNoMass; // the first segment does not enter the ground
            return {};
        }
        pts.push_back(n);
        const double bearing = std::atan2(target.y - n.y, target.x - n.x);
        double turn = wander * random.normal();
        if (n.x >= turnX) {
            const double left = std::hypot(target.x - n.x, target.y - n.y);
            turn += (1 - std::exp(-seg / std::min(steering, 0.5 * left + seg))) * (bearing - theta);
        }
        theta = std::min({theta + std::max(0.0, turn), std::max(theta, bearing), std::numbers::pi / 2});
    }
    *why = rejection::kNoExit;
    return {};
}

double Trials::interfaceY(size_t i, double x) const {
    const std::vector<Point>& line = m_interfaces[i];
    if (x < line.front().x || x > line.back().x) return std::numeric_limits<double>::quiet_NaN();
    const auto after = std::upper_bound(line.begin() + 1, line.end() - 1, x,
                                        [](double v, const Point& q) { return v < q.x; });
    const Point &a = *(after - 1), &b = *after;
    return b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : a.y;
}

double Trials::layerThickness(size_t i, double x, bool upward) const {
    const double y = interfaceY(i, x);
    double thickness = upward ? m_s.groundY(x) - y : std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < m_interfaces.size(); ++j) {
        if (j == i) continue;
        const double other = interfaceY(j, x);
        const double d = upward ? other - y : y - other;
        if (d > m_tol) thickness = std::min(thickness, d);
    }
    return std::max(thickness, 0.0);
}

std::vector<Point> Trials::wedge(const Point& from, double angle, double step, bool leftward) const {
    const Point d{leftward ? -std::cos(angle) : std::cos(angle), std::sin(angle)};
    std::vector<Point> pts{from};
    if (m_s.groundY(from.x) - from.y <= m_tol) return {};
    for (size_t i = 0; i < kMaxPoints; ++i) {
        const Point q{pts.back().x + step * d.x, pts.back().y + step * d.y};
        if (m_s.groundY(q.x) - q.y <= m_tol) {
            pts.push_back(groundCrossing(m_s, pts.back(), q));
            return pts;
        }
        pts.push_back(q);
    }
    return {};
}

// A sliding block: a base through one point in each box (its position along the box's centre line
// and its offset across it), with passive and active wedges rising at 45 -+ phi/2 (phi of the soil
// the adjacent base segment shears), each turned by its own parameter within kWedgeTurn.
std::vector<Point> Trials::block(const std::vector<double>& v, const char** why) const {
    std::vector<Point> base;
    for (size_t i = 0; i < m_par.boxes.size(); ++i) {
        const Box& b = m_par.boxes[i];
        const double t = v[2 * i], off = v[2 * i + 1];
        base.push_back(
            {b.left.x + t * (b.right.x - b.left.x), b.left.y + t * (b.right.y - b.left.y) + off * b.height});
    }
    const std::vector<Point> none;
    *why = rejection::kNoExit;
    for (size_t i = 1; i < base.size(); ++i)
        if (base[i].x < base[i - 1].x) return none;
    const double step = m_par.blockSegmentLength;
    const size_t n = base.size();
    const double phiFirst = (n > 1 ? m_s.frictionAngleAlong(base[0], base[1])
                                   : m_s.frictionAngleAt(base[0].x, base[0].y)),
                 phiLast = (n > 1 ? m_s.frictionAngleAlong(base[n - 2], base[n - 1])
                                  : m_s.frictionAngleAt(base[0].x, base[0].y));
    const size_t turns = 2 * m_par.boxes.size();
    const double passiveTurn = v.size() > turns ? v[turns] : 0,
                 activeTurn = v.size() > turns + 1 ? v[turns + 1] : 0;
    auto angle = [](double degrees) { return std::clamp(degrees, kWedgeFlattest, kWedgeSteepest) * kDeg; };
    const auto passive = wedge(base.front(), angle(45 - phiFirst / 2 + passiveTurn), step, true);
    const auto active = wedge(base.back(), angle(45 + phiLast / 2 + activeTurn), step, false);
    if (passive.empty() || active.empty()) return none;
    *why = nullptr;
    std::vector<Point> pts(passive.rbegin(), passive.rend());
    pts.insert(pts.end(), base.begin() + 1, base.end());
    pts.insert(pts.end(), active.begin() + 1, active.end());
    return pts;
}

} // namespace velda

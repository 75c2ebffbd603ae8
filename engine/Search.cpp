#include "Search.h"

#include "Output.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <random>

namespace velda {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr size_t kMaxPoints = 2000;    // points of one trial surface
constexpr long kMaxSurfaces = 2000000; // generated surfaces of one search
constexpr size_t kPlotCapacity = 3999; // trial surfaces the graph holds

enum class Ranking { JanbuCorrected, Bishop, Spencer };

const char* rankingName(Ranking r) {
    switch (r) {
    case Ranking::JanbuCorrected: return "Janbu corrected";
    case Ranking::Bishop: return "Bishop simplified";
    default: return "Spencer";
    }
}

const char* const kNoMass = "cuts off no sliding mass";
const char* const kNoExit = "does not rise through the ground";
const char* const kOutsideTermination = "ends outside the termination range";
const char* const kOutsideInitiation = "starts outside the initiation range";
const char* const kBelowMinimum = "goes below the minimum elevation";
const char* const kCrossesLimit = "crosses a limit line";
const char* const kNoFactor = "no factor of safety (no convergence or an inadmissible slice)";

bool segmentsCross(const Point& p, const Point& q, const Point& r, const Point& s) {
    auto side = [](const Point& a, const Point& b, const Point& c) {
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    };
    const double d1 = side(r, s, p), d2 = side(r, s, q), d3 = side(p, q, r), d4 = side(p, q, s);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// Where the segment from a (below ground) to b (above ground) passes through the ground.
Point groundCrossing(const Slope& slope, const Point& a, const Point& b) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; ++i) {
        const double t = (lo + hi) / 2;
        const Point p{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        (slope.groundY(p.x) - p.y > 0 ? lo : hi) = t;
    }
    const double t = (lo + hi) / 2;
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

struct Candidate {
    std::vector<Point> points;
    double fs = 0;
    Circle circle;
    bool circular = false;
    // What generated it, for the refinement.
    std::vector<double> parameters;
};

class Searcher {
public:
    Searcher(const Problem& p, const Slope& slope) : m_p(p), m_s(slope), m_par(p.parameters) {
        switch (p.search) {
        case SearchKind::BishopCircle: m_ranking = Ranking::Bishop; break;
        case SearchKind::Spencer: m_ranking = Ranking::Spencer; break;
        default: m_ranking = Ranking::JanbuCorrected;
        }
        m_lambda0 = std::tan(m_par.interSliceAngle * kDeg);
        m_tol = 1e-6 * std::max(slope.xMax() - slope.xMin(), 1.0);
    }

    AnalysisResult run();

private:
    // The factor of safety of the ranking method, or nothing with the reason counted.
    std::optional<double> rank(const std::vector<Point>& pts, const Circle* circle, const char** why) const;
    bool admissibleShape(const std::vector<Point>& pts, bool checkInitiation, bool checkTermination,
                         const char** why) const;
    void record(const std::vector<Point>& pts, const Circle* circle, std::vector<double> parameters);
    void reject(const char* why) { ++m_rejected[why]; }

    std::optional<std::vector<Point>> circleSurface(const Point& centre, double radius,
                                                    double startAngle) const;
    // The circle that leaves the ground at xEntry in the direction theta (degrees) and passes
    // through the ground at xTarget, drawn until it rises through the ground.
    std::optional<std::vector<Point>> circleThrough(double xEntry, double theta, double xTarget,
                                                    Circle& circle, const char** why) const;
    std::optional<std::vector<Point>> wedge(const Point& from, double angle, double step,
                                            bool leftward) const;
    std::optional<std::vector<Point>> blockSurface(const std::vector<double>& boxParameters) const;

    void generateCircles();
    void generateIrregular();
    void generateBlocks();
    void refine(AnalysisResult& result);
    void boundaryWarnings(AnalysisResult& result, const Candidate& best) const;

    std::vector<Point> initiationPoints() const;

    const Problem& m_p;
    const Slope& m_s;
    const SearchParameters& m_par;
    Ranking m_ranking;
    double m_lambda0 = 0;
    double m_tol = 1e-9;
    std::vector<Candidate> m_candidates;
    std::map<std::string, long> m_rejected;
    long m_generated = 0;
    std::mt19937_64 m_random{20150402};
};

std::vector<Point> Searcher::initiationPoints() const {
    std::vector<Point> pts;
    const int n = m_par.initiationPoints;
    for (int i = 0; i < n; ++i) {
        const double x =
            n == 1 ? m_par.initLeftX : m_par.initLeftX + (m_par.initRightX - m_par.initLeftX) * i / (n - 1);
        pts.push_back({x, m_s.groundY(x)});
    }
    return pts;
}

bool Searcher::admissibleShape(const std::vector<Point>& pts, bool checkInitiation, bool checkTermination,
                               const char** why) const {
    const double tol = m_tol;
    if (checkTermination && (pts.back().x < m_par.termLeftX - tol || pts.back().x > m_par.termRightX + tol)) {
        *why = kOutsideTermination;
        return false;
    }
    if (checkInitiation &&
        (pts.front().x < m_par.initLeftX - tol || pts.front().x > m_par.initRightX + tol)) {
        *why = kOutsideInitiation;
        return false;
    }
    for (const Point& q : pts)
        if (q.y < m_par.minElevation - tol) {
            *why = kBelowMinimum;
            return false;
        }
    for (const LimitLine& l : m_p.limits)
        for (size_t j = 0; j + 1 < pts.size(); ++j)
            if (segmentsCross(pts[j], pts[j + 1], l.a, l.b)) {
                *why = kCrossesLimit;
                return false;
            }
    return true;
}

std::optional<double> Searcher::rank(const std::vector<Point>& pts, const Circle* circle,
                                     const char** why) const {
    const SlicedSurface sliced = m_s.slice(pts);
    if (!sliced.ok) {
        *why = kNoMass;
        return std::nullopt;
    }
    const Circle c = circle ? *circle : fitCircle(sliced.surface);
    MethodResult m;
    switch (m_ranking) {
    case Ranking::Bishop: m = bishopMethod(sliced.slices, c.centre); break;
    case Ranking::Spencer: {
        const MethodResult b = bishopMethod(sliced.slices, c.centre);
        m = rigorousMethod(sliced.slices, c.centre, Interslice::Constant, b.ok ? b.fs : 1.0, m_lambda0);
        break;
    }
    default:
        m = janbuMethod(sliced.slices);
        if (m.ok) m.fs *= janbuCorrection(sliced.surface, sliced.slices);
    }
    if (!m.ok) {
        *why = kNoFactor;
        return std::nullopt;
    }
    return m.fs;
}

void Searcher::record(const std::vector<Point>& pts, const Circle* circle, std::vector<double> parameters) {
    ++m_generated;
    const char* why = nullptr;
    const bool circular = circle != nullptr;
    if (!admissibleShape(pts, false, m_p.search != SearchKind::Block, &why)) return reject(why);
    const auto fs = rank(pts, circle, &why);
    if (!fs) return reject(why);
    Candidate c;
    c.points = pts;
    c.fs = *fs;
    if (circle) c.circle = *circle;
    c.circular = circular;
    c.parameters = std::move(parameters);
    m_candidates.push_back(std::move(c));
}

// The arc of the circle from the point at `startAngle`, counterclockwise in chords of the
// segment length, until it rises through the ground.
std::optional<std::vector<Point>> Searcher::circleSurface(const Point& c, double r, double startAngle) const {
    const double seg = m_par.segmentLength;
    if (!(r > 0) || seg >= 2 * r) return std::nullopt;
    const double step = 2 * std::asin(seg / (2 * r));
    std::vector<Point> pts{{c.x + r * std::cos(startAngle), c.y + r * std::sin(startAngle)}};
    bool inside = false;
    for (double a = startAngle + step; a < startAngle + 2 * std::numbers::pi && pts.size() < kMaxPoints;
         a += step) {
        const Point q{c.x + r * std::cos(a), c.y + r * std::sin(a)};
        const double depth = m_s.groundY(q.x) - q.y;
        if (depth > m_tol) {
            inside = true;
        } else if (inside) {
            pts.push_back(groundCrossing(m_s, pts.back(), q));
            return pts;
        } else if (pts.size() == 1) {
            return std::nullopt; // leaves its point above the ground
        }
        if (q.x < pts.back().x) return std::nullopt; // turned back before leaving the ground
        pts.push_back(q);
    }
    return std::nullopt;
}

std::optional<std::vector<Point>> Searcher::circleThrough(double xEntry, double theta, double xTarget,
                                                          Circle& circle, const char** why) const {
    const Point p{xEntry, m_s.groundY(xEntry)};
    const double t = theta * kDeg;
    const Point normal{-std::sin(t), std::cos(t)};
    const Point q{xTarget, m_s.groundY(xTarget)};
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double along = dx * normal.x + dy * normal.y;
    if (!(along > 0)) {
        *why = kNoMass;
        return std::nullopt;
    }
    const double r = (dx * dx + dy * dy) / (2 * along);
    const Point c{p.x + r * normal.x, p.y + r * normal.y};
    auto pts = circleSurface(c, r, std::atan2(p.y - c.y, p.x - c.x));
    if (!pts) {
        *why = kNoExit;
        return std::nullopt;
    }
    circle = Circle{c, r, true};
    return pts;
}

void Searcher::generateCircles() {
    const int n = std::max(1, m_par.surfacesPerPoint);
    // Directions and exit targets on a grid, so each point's circles spread over the termination range.
    const int directions = std::max(1, static_cast<int>(std::round(std::sqrt(static_cast<double>(n) / 2))));
    const int exits = (n + directions - 1) / directions;
    for (const Point& p : initiationPoints()) {
        int made = 0;
        for (int d = 0; d < directions && made < n; ++d) {
            const double theta =
                directions == 1 ? (m_par.cwLimit + m_par.ccwLimit) / 2
                                : m_par.cwLimit + (m_par.ccwLimit - m_par.cwLimit) * d / (directions - 1);
            for (int e = 0; e < exits && made < n; ++e, ++made) {
                const double xt =
                    exits == 1 ? (m_par.termLeftX + m_par.termRightX) / 2
                               : m_par.termLeftX + (m_par.termRightX - m_par.termLeftX) * e / (exits - 1);
                Circle circle;
                const char* why = nullptr;
                auto pts = circleThrough(p.x, theta, xt, circle, &why);
                if (!pts) {
                    ++m_generated;
                    reject(why);
                    continue;
                }
                record(*pts, &circle, {p.x, theta, xt});
            }
        }
    }
}

void Searcher::generateIrregular() {
    std::uniform_real_distribution<double> unit(0, 1);
    const double seg = m_par.segmentLength;
    for (const Point& p : initiationPoints()) {
        for (int k = 0; k < m_par.surfacesPerPoint; ++k) {
            double dir = (m_par.cwLimit + (m_par.ccwLimit - m_par.cwLimit) * unit(m_random)) * kDeg;
            std::vector<Point> pts{p};
            bool inside = false, done = false;
            while (pts.size() < kMaxPoints && dir < std::numbers::pi / 2) {
                const Point q{pts.back().x + seg * std::cos(dir), pts.back().y + seg * std::sin(dir)};
                const double depth = m_s.groundY(q.x) - q.y;
                if (depth > m_tol) {
                    inside = true;
                } else if (inside) {
                    pts.push_back(groundCrossing(m_s, pts.back(), q));
                    done = true;
                    break;
                } else {
                    break;
                }
                pts.push_back(q);
                // Turning counterclockwise only keeps the surface concave; small turns are the
                // more likely, so long flat stretches (weak seams) are reached.
                const double u = unit(m_random);
                dir += u * u * u * 30 * kDeg;
            }
            if (!done) {
                ++m_generated;
                reject(inside ? kNoExit : kNoMass);
                continue;
            }
            std::vector<double> ys;
            for (const Point& q : pts) ys.push_back(q.y);
            record(pts, nullptr, ys);
        }
    }
}

std::optional<std::vector<Point>> Searcher::wedge(const Point& from, double angle, double step,
                                                  bool leftward) const {
    const Point d{leftward ? -std::cos(angle) : std::cos(angle), std::sin(angle)};
    std::vector<Point> pts{from};
    if (m_s.groundY(from.x) - from.y <= m_tol) return std::nullopt;
    for (size_t i = 0; i < kMaxPoints; ++i) {
        const Point q{pts.back().x + step * d.x, pts.back().y + step * d.y};
        if (m_s.groundY(q.x) - q.y <= m_tol) {
            pts.push_back(groundCrossing(m_s, pts.back(), q));
            return pts;
        }
        pts.push_back(q);
    }
    return std::nullopt;
}

// Box parameters: for each box, the position along its centre line (0..1) and the vertical
// offset from it (-0.5..0.5 of the side length).
std::optional<std::vector<Point>> Searcher::blockSurface(const std::vector<double>& v) const {
    std::vector<Point> base;
    for (size_t i = 0; i < m_par.boxes.size(); ++i) {
        const Box& b = m_par.boxes[i];
        const double t = v[2 * i], off = v[2 * i + 1];
        base.push_back(
            {b.left.x + t * (b.right.x - b.left.x), b.left.y + t * (b.right.y - b.left.y) + off * b.height});
    }
    for (size_t i = 1; i < base.size(); ++i)
        if (base[i].x < base[i - 1].x) return std::nullopt;
    const double step = m_par.blockSegmentLength;
    const double phiFirst = m_s.frictionAngleAt(base.front().x, base.front().y) * kDeg;
    const double phiLast = m_s.frictionAngleAt(base.back().x, base.back().y) * kDeg;
    auto passive = wedge(base.front(), std::numbers::pi / 4 - phiFirst / 2, step, true);
    auto active = wedge(base.back(), std::numbers::pi / 4 + phiLast / 2, step, false);
    if (!passive || !active) return std::nullopt;
    std::vector<Point> pts(passive->rbegin(), passive->rend());
    pts.insert(pts.end(), base.begin() + 1, base.end());
    pts.insert(pts.end(), active->begin() + 1, active->end());
    return pts;
}

void Searcher::generateBlocks() {
    std::uniform_real_distribution<double> unit(0, 1);
    for (int k = 0; k < m_par.surfacesPerPoint; ++k) {
        std::vector<double> v;
        for (size_t i = 0; i < m_par.boxes.size(); ++i) {
            v.push_back(unit(m_random));
            v.push_back(unit(m_random) - 0.5);
        }
        auto pts = blockSurface(v);
        if (!pts) {
            ++m_generated;
            reject(kNoExit);
            continue;
        }
        record(*pts, nullptr, v);
    }
}

// Compass search from the best few surfaces: every parameter is moved up and down by a step
// that halves whenever no move lowers the factor of safety.
void Searcher::refine(AnalysisResult& result) {
    if (m_candidates.empty()) return;
    std::vector<size_t> order(m_candidates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [this](size_t a, size_t b) { return m_candidates[a].fs < m_candidates[b].fs; });
    const double bestGenerated = m_candidates[order.front()].fs;
    const size_t starts = std::min<size_t>(3, order.size());
    std::vector<Candidate> refined;
    for (size_t s = 0; s < starts; ++s) {
        Candidate best = m_candidates[order[s]];
        std::vector<double> x = best.parameters;
        if (x.empty()) continue;
        auto build = [&](const std::vector<double>& v, Candidate& out) -> bool {
            std::optional<std::vector<Point>> pts;
            Circle circle;
            if (best.circular) {
                const char* why = nullptr;
                const double lo = std::min(m_par.initLeftX, m_par.initRightX),
                             hi = std::max(m_par.initLeftX, m_par.initRightX);
                pts = circleThrough(
                    std::clamp(v[0], lo, hi), std::clamp(v[1], m_par.cwLimit, m_par.ccwLimit),
                    std::clamp(v[2], m_par.termLeftX, std::max(m_par.termLeftX, m_par.termRightX)), circle,
                    &why);
            } else if (m_p.search == SearchKind::Block) {
                std::vector<double> w = v;
                for (size_t i = 0; i < w.size(); i += 2) {
                    w[i] = std::clamp(w[i], 0.0, 1.0);
                    w[i + 1] = std::clamp(w[i + 1], -0.5, 0.5);
                }
                pts = blockSurface(w);
            } else {
                std::vector<Point> p = best.points;
                for (size_t i = 1; i + 1 < p.size(); ++i) p[i].y = v[i];
                pts = p;
            }
            if (!pts) return false;
            const char* why = nullptr;
            if (!admissibleShape(*pts, false, m_p.search != SearchKind::Block, &why)) return false;
            if (m_p.search == SearchKind::Irregular)
                for (size_t i = 1; i + 1 < pts->size(); ++i)
                    if (m_s.groundY((*pts)[i].x) - (*pts)[i].y <= m_tol) return false;
            auto fs = rank(*pts, best.circular ? &circle : nullptr, &why);
            if (!fs) return false;
            out.points = *pts;
            out.fs = *fs;
            out.circle = circle;
            out.circular = best.circular;
            out.parameters = v;
            return true;
        };
        std::vector<double> steps(x.size());
        for (size_t i = 0; i < x.size(); ++i) {
            if (m_p.search == SearchKind::Block)
                steps[i] = 0.1;
            else if (best.circular && i == 1)
                steps[i] = 2.0; // degrees
            else
                steps[i] = std::max(m_par.segmentLength, m_tol) * (best.circular ? 1.0 : 0.5);
        }
        const double minStep = 1e-4;
        int evaluations = 0;
        for (int round = 0; round < 400 && evaluations < 20000; ++round) {
            bool improved = false;
            for (size_t i = 0; i < x.size(); ++i) {
                if (!best.circular && m_p.search != SearchKind::Block && (i == 0 || i + 1 == x.size()))
                    continue;
                for (double sign : {1.0, -1.0}) {
                    std::vector<double> trial = x;
                    trial[i] += sign * steps[i];
                    Candidate c;
                    ++evaluations;
                    if (build(trial, c) && c.fs < best.fs - 1e-9) {
                        best = c;
                        x = trial;
                        improved = true;
                        break;
                    }
                }
            }
            if (!improved) {
                bool any = false;
                for (double& st : steps) {
                    st /= 2;
                    any =
                        any || st > minStep * (m_p.search == SearchKind::Block ? 0.01 : m_par.segmentLength);
                }
                if (!any) break;
            }
        }
        if (best.fs < m_candidates[order[s]].fs - 1e-12) refined.push_back(best);
    }
    double bestRefined = bestGenerated;
    for (Candidate& c : refined) {
        bestRefined = std::min(bestRefined, c.fs);
        m_candidates.push_back(std::move(c));
    }
    result.notes.push_back("Best generated factor of safety: " + fixed(bestGenerated, 4) +
                           "; after refinement: " + fixed(bestRefined, 4) + " (gain " +
                           fixed(bestGenerated - bestRefined, 4) + ").");
}

void Searcher::boundaryWarnings(AnalysisResult& result, const Candidate& best) const {
    if (!result.found) return;
    const auto& pts = result.best.sliced.surface;
    const double tol = std::max(0.01 * m_par.segmentLength, 1e-3 * (m_s.xMax() - m_s.xMin()));
    std::vector<std::string> touched;
    if (m_p.search != SearchKind::Block) {
        if (std::fabs(pts.back().x - m_par.termLeftX) <= tol)
            touched.push_back("the left end of the termination range");
        if (std::fabs(pts.back().x - m_par.termRightX) <= tol)
            touched.push_back("the right end of the termination range");
        if (m_par.initiationPoints > 1 && std::fabs(pts.front().x - m_par.initLeftX) <= tol)
            touched.push_back("the left end of the initiation range");
        if (m_par.initiationPoints > 1 && std::fabs(pts.front().x - m_par.initRightX) <= tol)
            touched.push_back("the right end of the initiation range");
    }
    double lowest = pts.front().y;
    for (const Point& q : pts) lowest = std::min(lowest, q.y);
    if (lowest - m_par.minElevation <= tol) touched.push_back("the minimum elevation");
    for (const LimitLine& l : m_p.limits)
        for (const Point& q : pts) {
            const double len = std::hypot(l.b.x - l.a.x, l.b.y - l.a.y);
            if (len <= 0) continue;
            const double t = std::clamp(
                ((q.x - l.a.x) * (l.b.x - l.a.x) + (q.y - l.a.y) * (l.b.y - l.a.y)) / (len * len), 0.0, 1.0);
            if (std::hypot(q.x - (l.a.x + t * (l.b.x - l.a.x)), q.y - (l.a.y + t * (l.b.y - l.a.y))) <= tol) {
                touched.push_back("a limit line");
                goto limitsDone;
            }
        }
limitsDone:
    if (m_p.search == SearchKind::Block)
        for (size_t i = 0; i < best.parameters.size(); ++i) {
            // Position along the centre line runs 0..1, the offset -0.5..0.5.
            const double v = best.parameters[i] - (i % 2 == 0 ? 0.5 : 0.0);
            if (std::fabs(v) >= 0.5 - 1e-6) {
                touched.push_back("the edge of box " + std::to_string(i / 2 + 1));
                break;
            }
        }
    for (const std::string& t : touched)
        result.warnings.push_back("The critical surface touches " + t +
                                  ": the true minimum may lie outside what was searched.");
}

AnalysisResult Searcher::run() {
    AnalysisResult result;
    result.rankedBy = rankingName(m_ranking);
    const char* kind = "";
    switch (m_p.search) {
    case SearchKind::JanbuCircle:
        kind = "Circular surfaces searched, ranked by Janbu's simplified method (corrected).";
        break;
    case SearchKind::BishopCircle:
        kind = "Circular surfaces searched, ranked by Bishop's simplified method.";
        break;
    case SearchKind::Spencer: kind = "Circular surfaces searched, ranked by Spencer's method."; break;
    case SearchKind::Irregular:
        kind = "Irregular surfaces searched, ranked by Janbu's simplified method (corrected).";
        break;
    case SearchKind::Block:
        kind = "Sliding blocks searched, ranked by Janbu's simplified method (corrected).";
        break;
    default: break;
    }
    result.kind = kind;
    if (m_p.search == SearchKind::Block) {
        result.notes.push_back("Surfaces: " + std::to_string(m_par.surfacesPerPoint) + " through " +
                               std::to_string(m_par.boxes.size()) + " boxes, segment length " +
                               fixed(m_par.blockSegmentLength, 3));
    } else {
        result.notes.push_back("Initiation points: " + std::to_string(m_par.initiationPoints) + " from x = " +
                               fixed(m_par.initLeftX, 3) + " to " + fixed(m_par.initRightX, 3) +
                               "; surfaces per point: " + std::to_string(m_par.surfacesPerPoint));
        result.notes.push_back("Termination range: x = " + fixed(m_par.termLeftX, 3) + " to " +
                               fixed(m_par.termRightX, 3) + "; minimum elevation " +
                               fixed(m_par.minElevation, 3) + "; segment length " +
                               fixed(m_par.segmentLength, 3) + "; direction limits " +
                               fixed(m_par.cwLimit, 3) + " to " + fixed(m_par.ccwLimit, 3) + " degrees");
    }
    if (m_p.search == SearchKind::Block)
        generateBlocks();
    else if (m_p.search == SearchKind::Irregular)
        generateIrregular();
    else
        generateCircles();
    const size_t generatedAdmissible = m_candidates.size();
    refine(result);

    result.generated = m_generated;
    result.admissible = static_cast<long>(generatedAdmissible);
    for (const auto& [why, n] : m_rejected) result.rejected.emplace_back(why, n);
    result.notes.push_back("Surfaces generated: " + std::to_string(m_generated) +
                           ", admissible: " + std::to_string(generatedAdmissible) + ", rejected: " +
                           std::to_string(m_generated - static_cast<long>(generatedAdmissible)));
    for (const auto& [why, n] : m_rejected)
        result.notes.push_back("  rejected, " + why + ": " + std::to_string(n));
    if (m_candidates.empty()) {
        result.warnings.push_back(
            "No admissible failure surface was found; check the initiation and termination "
            "ranges, the minimum elevation, the direction limits and the limit lines.");
        return result;
    }
    std::vector<size_t> order(m_candidates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_candidates[a].fs < m_candidates[b].fs; });
    // Refinements from different starts often meet in one surface; it is listed once.
    auto same = [this](const Candidate& a, const TrialSurface& b) {
        const double tol = 1e-2 * std::max(m_par.segmentLength, m_tol);
        return std::fabs(a.fs - b.fs) < 1e-5 && std::fabs(a.points.front().x - b.points.front().x) < tol &&
               std::fabs(a.points.back().x - b.points.back().x) < tol &&
               std::fabs(a.points.back().y - b.points.back().y) < tol;
    };
    for (size_t i = 0; i < order.size() && result.critical.size() < 10; ++i) {
        const Candidate& c = m_candidates[order[i]];
        if (!result.critical.empty() && same(c, result.critical.back())) continue;
        result.critical.push_back({c.points, c.fs, c.circle, c.circular});
    }
    // The graph holds 3999 trial surfaces: an even selection that keeps the ten most critical.
    std::vector<bool> keep(m_candidates.size(), m_candidates.size() <= kPlotCapacity);
    if (m_candidates.size() > kPlotCapacity) {
        for (size_t i = 0; i < 10 && i < order.size(); ++i) keep[order[i]] = true; // at least the ten best
        const size_t room = kPlotCapacity - std::min<size_t>(10, order.size());
        for (size_t k = 0; k < room; ++k) keep[k * m_candidates.size() / room] = true;
    }
    for (size_t i = 0; i < m_candidates.size(); ++i)
        if (keep[i]) {
            const Candidate& c = m_candidates[i];
            result.trials.push_back({c.points, c.fs, c.circle, c.circular});
            if (result.trials.size() >= kPlotCapacity) break;
        }
    const Candidate& best = m_candidates[order.front()];
    result.best =
        evaluateSurface(m_s, best.points, best.circular ? &best.circle : nullptr, m_par.interSliceAngle);
    result.best.fs = best.fs;
    result.best.representedBy = rankingName(m_ranking);
    result.found = result.best.ok;
    boundaryWarnings(result, best);
    return result;
}

} // namespace

AnalysisResult searchSurfaces(const Problem& problem, const Slope& slope) {
    const SearchParameters& s = problem.parameters;
    AnalysisResult invalid;
    invalid.rankedBy = "none";
    auto refuse = [&invalid](const std::string& why) {
        invalid.kind = "The search was not run.";
        invalid.refused = true;
        invalid.warnings.push_back(why);
        return invalid;
    };
    const double width = slope.xMax() - slope.xMin();
    if (problem.search == SearchKind::Block) {
        if (s.boxes.empty()) return refuse("The block search has no boxes.");
        if (s.surfacesPerPoint <= 0) return refuse("The block search asks for no surfaces.");
        if (!(s.blockSegmentLength > width / 2000))
            return refuse("The block segment length is too small for the slope.");
    } else {
        if (s.initiationPoints <= 0 || s.surfacesPerPoint <= 0)
            return refuse("The search asks for no surfaces.");
        if (!(s.segmentLength > width / 2000))
            return refuse("The segment length is too small for the slope.");
        if (s.cwLimit > s.ccwLimit)
            return refuse("The clockwise direction limit lies above the counterclockwise one.");
    }
    if (static_cast<double>(std::max(1, s.initiationPoints)) * s.surfacesPerPoint > kMaxSurfaces)
        return refuse("The search asks for more than " + std::to_string(kMaxSurfaces) + " surfaces.");
    return Searcher(problem, slope).run();
}

} // namespace velda

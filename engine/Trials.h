#pragma once
// The trial surfaces of a search: each trial index stands for one surface, made the same way
// whichever thread makes it and however many trials the search has, so results never depend on
// the machine and a search of 2N trials holds every trial of the search of N.
#include "Analysis.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velda {

// Why a trial is not admissible (the keys of the result file's rejection counts).
namespace rejection {
inline constexpr char kNoMass[] = "cuts off no sliding mass";
inline constexpr char kNoExit[] = "does not rise through the ground";
inline constexpr char kOutsideTermination[] = "ends outside the termination range";
inline constexpr char kBelowMinimum[] = "goes below the minimum elevation";
inline constexpr char kCrossesLimit[] = "crosses a limit line";
inline constexpr char kNoFactor[] = "gives no factor of safety (no convergence or an inadmissible slice)";
} // namespace rejection

// A small generator of its own: the same numbers on every platform and library.
class TrialRandom {
public:
    explicit TrialRandom(uint64_t seed) : m_state(seed) {}
    uint64_t next();
    double uniform(); // [0, 1)
    double uniform(double a, double b) { return a + (b - a) * uniform(); }
    double normal(); // standard normal
private:
    uint64_t m_state;
};

// A block's passive and active wedges turn this many degrees either way from 45 -+ phi/2.
inline constexpr double kWedgeTurn = 15;

enum class Ranking { JanbuCorrected, Bishop, Spencer };
const char* rankingName(Ranking ranking);

// What makes one surface: a handful of numbers (and for irregular surfaces the trial's own random
// sequence), so the refinement can move them.
struct TrialShape {
    std::vector<double> parameters;
    uint64_t seed = 0;
};

struct TrialSurface;

// True when the polyline passes through one of the limit lines (touching is not crossing).
bool crossesLimitLine(const std::vector<Point>& polyline, const std::vector<LimitLine>& limits);

// One trial made and ranked.
struct TrialOutcome {
    const char* rejectedFor = nullptr; // empty when admissible
    double fs = 0;
    // Ranked by Spencer's method, which had no solution: moment equilibrium's factor (Bishop's), so
    // the search can say when such surfaces lie below its critical one.
    double unrankedFs = 0;
    TrialShape shape;
    Circle circle;
    bool circular = false;
    double entryX = 0, exitX = 0; // where an admissible surface leaves and meets the ground
    std::vector<Point> points;    // kept only when asked for
};

// Buffers one thread reuses from trial to trial.
struct TrialWork {
    Slope::Work slicing;
    SlicedSurface sliced;
};

class Trials {
public:
    Trials(const Problem& problem, const Slope& slope, const SolverSettings& solver, uint64_t seed);

    size_t count() const { return m_count; }
    Ranking ranking() const { return m_ranking; }
    // The shape of trial `index`.
    TrialShape shape(size_t index) const;
    // The surface of a shape and how it ranks; `keepPoints` keeps its points in the outcome.
    TrialOutcome evaluate(const TrialShape& shape, bool keepPoints) const;
    TrialOutcome evaluate(const TrialShape& shape, bool keepPoints, TrialWork& work) const;
    // Moment equilibrium's factor (Bishop's method) of an admissible circular surface, whatever the
    // ranking method; nothing for other surfaces or none.
    std::optional<double> momentFactor(const TrialShape& shape) const;
    // The centre of a circle search's trial, from its numbers alone (no surface is made).
    std::optional<Point> centreOf(const TrialShape& shape) const;
    // A shape moved by the refinement back into the ranges the search allows.
    TrialShape clamped(TrialShape shape) const;
    // Steps the refinement starts with, one per parameter.
    std::vector<double> refinementSteps() const;
    // The lowest a surface may go.
    double minimumElevation() const { return m_minElevation; }

private:
    std::vector<Point> surfaceOf(const TrialShape& shape, Circle& circle, bool& circular,
                                 const char** why) const;
    std::vector<Point> circle(const std::vector<double>& v, Circle& circle, const char** why) const;
    std::optional<Circle> circleThrough(const std::vector<double>& v) const;
    std::vector<Point> irregular(const TrialShape& shape, const char** why) const;
    std::vector<Point> block(const std::vector<double>& v, const char** why) const;
    std::vector<Point> wedge(const Point& from, double angle, double step, bool leftward) const;
    std::vector<Point> arc(const Point& centre, double radius, double startAngle) const;
    bool admissible(const std::vector<Point>& pts, const char** why) const;
    double rank(const std::vector<Point>& pts, const Circle* circle, const char** why, double* unranked,
                TrialWork& work) const;
    double initiationX(int point) const;

    const Problem& m_p;
    const Slope& m_s;
    const SearchParameters& m_par;
    SolverSettings m_solver;
    uint64_t m_seed;
    Ranking m_ranking;
    size_t m_count = 0;
    int m_directions = 1, m_exits = 1; // circles: a grid per initiation point
    double m_lambda0 = 0;
    double m_tol = 1e-9;
    double m_minElevation = 0;
    // Layer boundaries below the ground surface, their segments joined end to end into polylines
    // (left to right): irregular surfaces may follow any of them, just above or just below.
    std::vector<std::vector<Point>> m_interfaces;
    double interfaceY(size_t i, double x) const; // NaN outside the interface's ends
    // The vertical distance from interface `i` at x to the nearest boundary (or the ground) above
    // (`upward`) or below it; infinite when there is none.
    double layerThickness(size_t i, double x, bool upward) const;
};

} // namespace velda

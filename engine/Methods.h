#pragma once
// Limit-equilibrium methods on one set of slices.
//
// Conventions
// -----------
// Axes: x to the right, y up; lengths, forces and stresses in the problem's consistent units
// (ft, lbs, lbs/ft^2; m, kN, kPa; or L, F, F/L^2), forces per unit width of the slope. The slope
// slides from right to left (toward -x).
//
// Slice i has base length l, base inclination alpha measured counterclockwise from +x (sinA, cosA;
// a base rising to the right has alpha > 0), cohesion c, tan(phi), and pore-water force U = u l on
// its base. fx, fy are the components of the resultant of every force on the slice except those on
// its base and sides: weight (fy = -W), earthquake (-kh W, +kv W at the centroid), surcharge,
// water standing on the ground, tiebacks and reinforcement. `moment` is their moment about the
// middle of the base (counterclockwise positive).
//
// On its base the slice receives the total normal force N along (-sinA, cosA), into the mass, and
// the shear S along (cosA, sinA), up the base, resisting the slide. With the factor of safety F the
// mobilised shear is
//     S = (c l + (N - U) tan(phi)) / F = a + b N,   a = (c l - U tan(phi)) / F,   b = tan(phi) / F.
// The classical equations are kept when the effective normal force N - U comes out negative: the
// term (N - U) tan(phi) stays in, negative; such bases are counted (`negativeBases`) and reported.
//
// Moments are taken about a centre O (the circle's centre, or the best-fitting circle's for a
// surface that is not circular). With dx, dy from O to the middle of the base, the moment arms are
//     normal arm  = dx cosA + dy sinA           (zero on a circle: N passes through O)
//     shear arm   = dx sinA - dy cosA           (the radius R on a circle)
//     external    = moment + dx fy - dy fx      (the forces fx, fy about O)
//
// The methods
// -----------
// Ordinary method (Fellenius 1936): side forces ignored; N from the forces perpendicular to the base,
//     N = fx sinA - fy cosA,
//     F = sum(shear arm (c l + (N - U) tan(phi))) / -sum(external + normal arm N).
//
// Bishop's simplified method (Bishop 1955): side forces horizontal, so vertical equilibrium of each
// slice, fy + N cosA + S sinA = 0, gives
//     N = (-fy - a' sinA / F) / m_alpha,  m_alpha = cosA + sinA tan(phi) / F,  a' = c l - U tan(phi),
// and moment equilibrium about O
//     F = sum(shear arm (c l + (N - U) tan(phi))) / -sum(external + normal arm N),
// iterated from a start value until F changes by less than `tolerance` (relative).
//
// Janbu's simplified method (Janbu 1973): N as in Bishop's method; horizontal equilibrium of the
// whole mass, sum(fx - N sinA + S cosA) = 0, gives
//     F = sum((c l + (N - U) tan(phi)) cosA) / sum(N sinA - fx),
// iterated likewise. Janbu's corrected factor is f0 F with
//     f0 = 1 + b1 (d / L - 1.4 (d / L)^2),
// d the greatest depth of the surface below the chord joining its ends, L the chord's length, and
// b1 = 0.69 for cohesion only, 0.31 for friction only, 0.50 for both along the base.
//
// Rigorous methods, force and moment equilibrium (Spencer 1967; Morgenstern & Price 1965): the
// side force on the face between slices has a horizontal part E and a vertical part
// X = lambda f(x) E, with f = 1 (Spencer: one inclination, lambda = tan of it) or the half-sine
// f = sin(pi (x - xa) / (xb - xa)) (Morgenstern-Price). E and X act on a slice from its left face in
// +x and +y, and from its right face in -x and -y. Marching from the toe (E = 0 at the left end),
// horizontal and vertical equilibrium of slice i give
//     N = (lambda (fR - fL) E_L + lambda fR (a cosA + fx) - a sinA - fy) / denominator,
//     denominator = cosA + b sinA + lambda fR (sinA - b cosA),
//     E_R = E_L + N (b cosA - sinA) + a cosA + fx.
// F and lambda are found so that the side force left over at the crest and the moment about O of
// all base and external forces both vanish (see rigorousMethod for how):
//     forceResidual  = E at the right end / (sum of the loads),
//     momentResidual = sum(normal arm N + shear arm S + external) / (sum of the loads x width).
//
// Admissibility: a base with m_alpha <= `minimumBaseFactor` (0.2), or a rigorous denominator <= 0,
// makes the surface inadmissible for that method (it gives no factor of safety).
#include "Slope.h"

#include <string>
#include <vector>

namespace velda {

// The numbers that steer the solvers, in one place (as Boost.Math's root finders take theirs).
struct SolverSettings {
    double tolerance = 1e-10;       // simplified methods: relative change of F that ends the iteration
    int maxIterations = 200;        // simplified methods
    double minimumBaseFactor = 0.2; // m_alpha at or below which a base is inadmissible
    // Rigorous methods: factors are looked for between these, bracketed from a guess in geometric
    // steps of `bracketGrowth`, at most `bracketSteps` each way, and closed in to `rootDigits` bits.
    double lowestFactor = 1e-3, highestFactor = 1e3;
    double bracketGrowth = 1.25;
    int bracketSteps = 60;
    int rootDigits = 40;
    int rootIterations = 100;
    // The interslice force scale lambda stays within +-maxLambda (Spencer: inclinations up to 75
    // degrees); two factors closer than `equalFactors` (relative) count as equal.
    double maxLambda = 3.75;
    double equalFactors = 1e-4;
    // The quick way first: Newton's method on both residuals, from the start given, with their
    // exact derivatives and steps limited and halved until the residuals' norm falls.
    int newtonIterations = 40;
    double residualTolerance = 1e-9; // the residuals' norm that counts as solved
    double maxRelativeStepF = 0.5;   // a step changes F by at most this fraction of F
    double maxStepLambda = 0.5;      // ... and lambda by at most this
    int lineSearchHalvings = 20;
};

struct MethodResult {
    bool ok = false;
    double fs = 0;
    std::string message; // why there is no number
    int iterations = 0;
    double lambda = 0; // rigorous methods: the interslice force scale (Spencer: tan of the inclination)
    std::vector<double> normal;    // total normal force N on each base
    std::vector<double> available; // available shear c l + (N - U) tan(phi)
    // Rigorous methods: the side forces at the n + 1 faces, toe to crest: the horizontal part E
    // (positive pushing on the face from its left) and the vertical part X = lambda f E.
    std::vector<double> sideNormal, sideShear;
    int negativeBases = 0; // bases whose effective normal force N - U is negative
};

struct Circle {
    Point centre;
    double radius = 0;
    bool exact = false; // the surface is (nearly) this circle
};

// Least-squares circle through the points; a nearly straight surface gets a far centre above it.
Circle fitCircle(const std::vector<Point>& points);

MethodResult ordinaryMethod(const std::vector<Slice>& slices, const Point& centre);
// With `forces` false only the factor (and the admissibility of every base) is worked out: a
// search ranks thousands of surfaces whose forces nobody reads.
MethodResult bishopMethod(const std::vector<Slice>& slices, const Point& centre, double start = 1.0,
                          const SolverSettings& settings = {}, bool forces = true);
MethodResult janbuMethod(const std::vector<Slice>& slices, double start = 1.0,
                         const SolverSettings& settings = {}, bool forces = true);
// Janbu's correction factor f0 from the depth-to-length ratio and the soils along the base.
double janbuCorrection(const std::vector<Point>& surface, const std::vector<Slice>& slices);
// Spencer (a constant interslice function) or Morgenstern-Price (any other), both satisfying
// force and moment equilibrium. With `forces` false only the factor, lambda and admissibility.
MethodResult rigorousMethod(const std::vector<Slice>& slices, const Point& centre,
                            const IntersliceFunction& function, double startFs, double startLambda,
                            const SolverSettings& settings = {}, bool forces = true);
inline const IntersliceFunction kSpencerFunction{IntersliceFunction::Kind::Constant, {}};

// The line of thrust of a rigorous method's solution: the height at which the side force acts on
// each of the n + 1 faces, toe to crest, from each slice's moment equilibrium about the middle of
// its base; NaN where the side force is too small to place. The moment left over at the last face
// (`closing`, relative to the loads' moment) is the solution's own moment residual.
std::vector<double> lineOfThrust(const std::vector<Slice>& slices, const MethodResult& m,
                                 double* closing = nullptr);

} // namespace velda

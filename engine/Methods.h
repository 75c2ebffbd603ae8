#pragma once
// Limit-equilibrium methods on one set of slices.
#include "Slope.h"

#include <string>
#include <vector>

namespace velda {

struct MethodResult {
    bool ok = false;
    double fs = 0;
    std::string message; // why there is no number
    int iterations = 0;
    double lambda = 0; // rigorous methods: the interslice force scale (Spencer: tan of the inclination)
    std::vector<double> normal;    // total normal force on each base
    std::vector<double> available; // available shear (c l + N' tan phi)
    int tensionSlices = 0;         // bases whose effective normal force was bounded at zero
};

struct Circle {
    Point centre;
    double radius = 0;
    bool exact = false; // the surface is (nearly) this circle
};

// Least-squares circle through the points; a nearly straight surface gets a far centre above it.
Circle fitCircle(const std::vector<Point>& points);

MethodResult ordinaryMethod(const std::vector<Slice>& slices, const Point& centre);
MethodResult bishopMethod(const std::vector<Slice>& slices, const Point& centre, double start = 1.0);
MethodResult janbuMethod(const std::vector<Slice>& slices, double start = 1.0);
// Janbu's correction factor from the depth-to-length ratio and the soils along the base.
double janbuCorrection(const std::vector<Point>& surface, const std::vector<Slice>& slices);
// Spencer (constant interslice inclination) or Morgenstern-Price (half-sine), both satisfying
// force and moment equilibrium.
enum class Interslice { Constant, HalfSine };
MethodResult rigorousMethod(const std::vector<Slice>& slices, const Point& centre, Interslice function,
                            double startFs, double startLambda);

// Smallest base factor a method accepts before it calls the slice inadmissible.
constexpr double kMinimumBaseFactor = 0.2;

} // namespace velda

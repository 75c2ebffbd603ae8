#include "Analysis.h"

#include <cmath>
#include <numbers>

namespace velda {

EvaluatedSurface evaluateSurface(const Slope& slope, const std::vector<Point>& surface, const Circle* circle,
                                 double interSliceAngleDegrees) {
    EvaluatedSurface e;
    e.sliced = slope.slice(surface);
    if (!e.sliced.ok) {
        e.reason = e.sliced.reason;
        return e;
    }
    const auto& slices = e.sliced.slices;
    if (circle) {
        e.circle = *circle;
        e.circle.exact = true;
    } else {
        e.circle = fitCircle(e.sliced.surface);
    }
    e.ordinary = ordinaryMethod(slices, e.circle.centre);
    e.bishop = bishopMethod(slices, e.circle.centre, e.ordinary.ok ? e.ordinary.fs : 1.0);
    e.janbu = janbuMethod(slices, e.ordinary.ok ? e.ordinary.fs : 1.0);
    e.janbuFactor = janbuCorrection(e.sliced.surface, slices);
    if (e.janbu.ok) e.janbuCorrected = e.janbu.fs * e.janbuFactor;
    const double start = e.bishop.ok ? e.bishop.fs : (e.ordinary.ok ? e.ordinary.fs : 1.0);
    const double lambda0 = std::tan(interSliceAngleDegrees * std::numbers::pi / 180);
    e.spencer = rigorousMethod(slices, e.circle.centre, Interslice::Constant, start, lambda0);
    e.morgensternPrice =
        rigorousMethod(slices, e.circle.centre, Interslice::HalfSine, e.spencer.ok ? e.spencer.fs : start,
                       e.spencer.ok ? e.spencer.lambda : 0);
    int bounded = 0;
    for (const MethodResult* m : {&e.bishop, &e.spencer, &e.morgensternPrice})
        bounded = std::max(bounded, m->tensionSlices);
    if (bounded > 0)
        e.warnings.push_back(
            std::to_string(bounded) +
            " slice base(s) would carry a negative effective normal force; friction was dropped there.");
    if (!circle && !e.circle.exact)
        e.warnings.push_back(
            "The surface is not circular: Bishop's and the Ordinary method take moments about the "
            "best-fitting circle's centre, so their factors are approximate.");
    e.ok = true;
    return e;
}

} // namespace velda

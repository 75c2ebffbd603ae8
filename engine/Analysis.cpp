#include "Analysis.h"

#include "format/PlotFormat.h"

#include <cmath>
#include <cstdio>
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
    e.spencer = rigorousMethod(slices, e.circle.centre, kSpencerFunction, start, lambda0);
    e.morgensternPrice =
        rigorousMethod(slices, e.circle.centre, slope.problem().options.interslice,
                       e.spencer.ok ? e.spencer.fs : start, e.spencer.ok ? e.spencer.lambda : 0);
    for (const MethodResult* m : {&e.bishop, &e.spencer, &e.morgensternPrice})
        e.negativeBases = std::max(e.negativeBases, m->negativeBases);
    if (e.negativeBases > 0)
        e.warnings.push_back(
            e.negativeBases == 1
                ? "1 slice base carries a negative effective normal force; the classical equations "
                  "keep its negative frictional term (a tension the soil may not sustain). Check "
                  "the pore pressures near the ends of the surface."
                : std::to_string(e.negativeBases) +
                      " slice bases carry a negative effective normal force; the classical "
                      "equations keep their negative frictional terms (a tension the soil may "
                      "not sustain). Check the pore pressures near the ends of the surface.");
    for (size_t i = 0; i < slices.size();) {
        if (slices[i].otherSoil < 0) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < slices.size() && slices[j].soil == slices[i].soil &&
               slices[j].otherSoil == slices[i].otherSoil)
            ++j;
        const std::string which =
            j - i == 1 ? "Slice " + std::to_string(i + 1) + " runs"
                       : "Slices " + std::to_string(i + 1) + " to " + std::to_string(j) + " run";
        e.warnings.push_back(which + " along the boundary between soils " +
                             std::to_string(slices[i].soil + 1) + " and " +
                             std::to_string(slices[i].otherSoil + 1) + "; the weaker there, soil " +
                             std::to_string(slices[i].soil + 1) + ", is used.");
        i = j;
    }
    if (!circle && !e.circle.exact)
        e.warnings.push_back(
            "The surface is not circular: Bishop's and the Ordinary method take moments about the "
            "best-fitting circle's centre, so their factors are approximate.");
    const std::pair<const char*, const MethodResult*> order[] = {
        {"Spencer", &e.spencer},
        {"Morgenstern-Price", &e.morgensternPrice},
        e.circle.exact ? std::pair{"Bishop simplified", &e.bishop} : std::pair{"Janbu corrected", &e.janbu}};
    for (const auto& [name, m] : order)
        if (m->ok) {
            e.fs = m == &e.janbu ? e.janbuCorrected : m->fs;
            e.representedBy = name;
            break;
        }
    e.ok = true;
    return e;
}

std::string methodsDisagreement(const EvaluatedSurface& e, double ranked, const std::string& rankedBy) {
    if (!(ranked > 0)) return {};
    std::string others;
    bool apart = false;
    for (const auto& [name, m] :
         {std::pair{"Spencer", &e.spencer}, {"Morgenstern-Price", &e.morgensternPrice}}) {
        if (!m->ok || rankedBy == name) continue;
        const double relative = (m->fs - ranked) / ranked;
        apart = apart || std::fabs(relative) > plotformat::method::kDisagree;
        char text[96];
        std::snprintf(text, sizeof text, ", %s %.3f (%+.1f %%)", name, m->fs, 100 * relative);
        others += text;
    }
    if (!apart) return {};
    char head[128];
    std::snprintf(head, sizeof head, "On the critical surface the methods disagree: %s gives %.3f",
                  rankedBy.c_str(), ranked);
    return head + others +
           ". The rigorous methods satisfy both force and moment equilibrium; compare them before relying on "
           "the ranked factor.";
}

const MethodResult* methodNamed(const EvaluatedSurface& e, const std::string& name) {
    const std::pair<const char*, const MethodResult*> methods[] = {
        {"Ordinary", &e.ordinary},      {"Bishop simplified", &e.bishop},
        {"Janbu simplified", &e.janbu}, {"Janbu corrected", &e.janbu},
        {"Spencer", &e.spencer},        {"Morgenstern-Price", &e.morgensternPrice}};
    for (const auto& [known, result] : methods)
        if (name == known) return result;
    return nullptr;
}

std::optional<double> methodFs(const EvaluatedSurface& e, const std::string& name) {
    const MethodResult* m = methodNamed(e, name);
    if (!m || !m->ok) return std::nullopt;
    const double fs = name == "Janbu corrected" ? e.janbuCorrected : m->fs;
    return fs > 0 ? std::optional<double>(fs) : std::nullopt;
}

} // namespace velda

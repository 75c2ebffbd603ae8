#pragma once
// Small slope problems built in code, for the engine's tests and benchmarks.
#include "engine/Problem.h"

#include <cmath>
#include <string>
#include <vector>

namespace engine_support {

using velda::Point;

inline velda::Soil soil(double gamma, double c, double phi, double gammaSat = -1, int piezo = 0,
                        double ru = 0) {
    velda::Soil s;
    s.moistWeight = gamma;
    s.saturatedWeight = gammaSat < 0 ? gamma : gammaSat;
    s.cohesion = c;
    s.phi = phi;
    s.piezometricSurface = piezo;
    s.ru = ru;
    return s;
}

// A ground surface through the points, all of soil 1.
inline velda::Problem slope(const std::vector<Point>& ground, int unitSystem = 2) {
    velda::Problem p;
    p.unitSystem = unitSystem;
    for (size_t i = 0; i + 1 < ground.size(); ++i) p.lines.push_back({ground[i], ground[i + 1], 1});
    p.surfaceLineCount = static_cast<int>(p.lines.size());
    return p;
}

// Case A of the published comparisons: 2H:1V, 10 m high, c' = 3 kPa, phi' = 19.6, 20 kN/m3.
inline velda::Problem caseA() {
    velda::Problem p = slope({{20, 25}, {30, 25}, {50, 35}, {70, 35}});
    p.soils.push_back(soil(20, 3, 19.6));
    return p;
}

// Case B (Fredlund and Krahn), mirrored: 2H:1V, 40 ft high, c' = 600 psf, phi' = 20, 120 pcf.
inline velda::Problem caseB(double ru = 0) {
    velda::Problem p = slope({{0, 20}, {40, 20}, {120, 60}, {180, 60}}, 1);
    p.soils.push_back(soil(120, 600, 20, 120, 0, ru));
    return p;
}

// The ranges of a circular or irregular search: initiation points from one x to another, exits
// between two x, the lowest elevation, the segment length and the direction limits (degrees).
struct Ranges {
    int initiationPoints, surfacesPerPoint;
    double initLeftX, initRightX, termLeftX, termRightX, minElevation, segmentLength, cwLimit, ccwLimit;
};
inline velda::SearchParameters ranges(const Ranges& r) {
    velda::SearchParameters s;
    s.initiationPoints = r.initiationPoints;
    s.surfacesPerPoint = r.surfacesPerPoint;
    s.initLeftX = r.initLeftX;
    s.initRightX = r.initRightX;
    s.termLeftX = r.termLeftX;
    s.termRightX = r.termRightX;
    s.minElevation = r.minElevation;
    s.segmentLength = r.segmentLength;
    s.cwLimit = r.cwLimit;
    s.ccwLimit = r.ccwLimit;
    return s;
}

// Search ranges around toe and crest of the 2H:1V, 40 ft slope of Case B's geometry.
inline velda::SearchParameters caseBRanges(int initiationPoints, int surfacesPerPoint) {
    return ranges({initiationPoints, surfacesPerPoint, 10, 45, 110, 175, 0, 4, -45, 10});
}

// Search ranges around toe and crest of Case A.
inline velda::SearchParameters caseARanges(int initiationPoints = 10, int surfacesPerPoint = 20) {
    return ranges({initiationPoints, surfacesPerPoint, 22, 30, 45, 60, 20, 1, -45, 0});
}

// Points of the arc of a circle between two x values, left to right along its lower part.
inline std::vector<Point> arc(Point centre, double radius, double x0, double x1, int n = 60) {
    std::vector<Point> pts;
    const double a0 =
        std::atan2(-std::sqrt(radius * radius - (x0 - centre.x) * (x0 - centre.x)), x0 - centre.x);
    const double a1 =
        std::atan2(-std::sqrt(radius * radius - (x1 - centre.x) * (x1 - centre.x)), x1 - centre.x);
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + (a1 - a0) * i / n;
        pts.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return pts;
}

} // namespace engine_support

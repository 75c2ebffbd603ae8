#pragma once
// The slope problem as the engine sees it: plain values, lengths and forces in one consistent
// set of units (feet and pounds, metres and kilonewtons, or the user's own).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velda {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct BoundaryLine {
    Point left, right;
    int soil = 1; // soil below the line, 1-based
};

struct AnisotropyRow {
    double ccwLimit = 0; // degrees
    double cohesion = 0;
    double phi = 0; // degrees
};

struct Soil {
    double moistWeight = 0;
    double saturatedWeight = 0;
    double cohesion = 0;
    double phi = 0; // degrees
    double ru = 0;
    double poreConstant = 0;    // already in force per area of the length unit
    int piezometricSurface = 0; // 0 = none
    std::vector<AnisotropyRow> anisotropy;
};

struct SurchargeLoad {
    double leftX = 0, rightX = 0, intensity = 0, inclination = 0; // inclination: degrees CCW from vertical
};

struct LimitLine {
    Point a, b;
};

struct Tieback {
    int boundarySurface = 0;
    Point head;
    double load = 0, spacing = 0, inclination = 0, freeLength = 0;
};

struct ReinforcementLayer {
    Point start;
    double force = 0;
    double inclinationFactor = 0;
};

enum class SearchKind { None, UserSurface, JanbuCircle, BishopCircle, Spencer, Irregular, Block };

struct Box {
    Point left, right;
    double height = 0;
};

struct SearchParameters {
    int initiationPoints = 0;
    int surfacesPerPoint = 0;
    double initLeftX = 0, initRightX = 0, termLeftX = 0, termRightX = 0;
    double minElevation = 0, segmentLength = 0, ccwLimit = 0, cwLimit = -45;
    double interSliceAngle = 0;
    double blockSegmentLength = 0;
    std::vector<Box> boxes;
};

// The shape f of the side forces' inclination along the surface in the Morgenstern-Price method,
// over x normalised to 0 at the surface's left end and 1 at its right end: X = lambda f(x) E.
struct IntersliceFunction {
    enum class Kind { Constant, HalfSine, ClippedSine, Trapezoid, Points };
    Kind kind = Kind::HalfSine;
    std::vector<Point> points; // Kind::Points: (x, f), x increasing from 0 to 1
    double at(double x) const;
    std::string name() const; // "half-sine", as the report and the result file name it
};
// "constant", "half-sine", "clipped-sine", "trapezoid", or points "x:f,x:f,..." with x from 0 to 1
// increasing and f from 0 to 1; nothing (and why in `error`) otherwise.
std::optional<IntersliceFunction> parseInterslice(const std::string& text, std::string& error);

// How a run is made, beside the problem: from the run's options file, never the problem file.
struct RunOptions {
    IntersliceFunction interslice; // the Morgenstern-Price method's
};

struct Problem {
    std::string title;
    int unitSystem = 1; // 1 English, 2 SI, 3 other
    int surfaceLineCount = 0;
    std::vector<BoundaryLine> lines;
    std::vector<Soil> soils;
    bool waterOn = false;
    double waterUnitWeight = 0;
    std::vector<std::vector<Point>> piezometricSurfaces;
    std::vector<SurchargeLoad> loads;
    bool equakeOn = false;
    double kh = 0, kv = 0, cavitationPressure = 0;
    std::vector<LimitLine> limits;
    std::vector<Tieback> tiebacks;
    std::vector<std::vector<ReinforcementLayer>> reinforcementSets;
    SearchKind search = SearchKind::None;
    bool surfaceWithReinforcement = false; // "SURBIS"
    std::vector<Point> userSurface;
    SearchParameters parameters;
    RunOptions options;
};

const char* unitLabel(int unitSystem, const char* quantity);

} // namespace velda

#pragma once
// The slope's geometry prepared for cutting trial surfaces into slices.
#include "Problem.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace velda {

// Slope::slice reuses the slices of the last surface: a new field must be set for every slice
// (sliceGeometry resets those that are not always assigned).
struct Slice {
    double xl = 0, xr = 0, width = 0;
    Point base;                // middle of the base
    double sinA = 0, cosA = 1; // of the base inclination, counterclockwise from +x
    double alpha() const { return std::atan2(sinA, cosA); } // radians
    double baseLength = 0;
    double weight = 0;
    Point centroid; // of the weight
    int soil = 0;   // 0-based soil of the base
    // The base lies along a layer boundary between `soil` and this soil (0-based; -1: it does not):
    // `soil` is the weaker of the two there.
    int otherSoil = -1;
    double cohesion = 0, tanPhi = 0;
    double porePressure = 0, poreForce = 0;
    // Every force on the slice except those on its base and sides: weight, earthquake, surcharge,
    // ponded water, tiebacks and reinforcement; their resultant and its moment about `base`.
    double fx = 0, fy = 0, moment = 0;
    double topLeft = 0, topRight = 0, baseLeft = 0, baseRight = 0;
};

struct SlicedSurface {
    bool ok = false;
    std::string reason;         // why no mass was cut off
    std::vector<Point> surface; // the surface between its exits, ends on the ground
    std::vector<Slice> slices;
    int tiebacksActive = 0;
    int reinforcementCrossings = 0;
};

class Slope {
public:
    explicit Slope(const Problem& problem);

    const Problem& problem() const { return m_problem; }
    const std::vector<Point>& ground() const { return m_ground; }
    double groundY(double x) const;
    // The same, walking from the ground segment of the last lookup (`segment`, updated): points
    // that move a little at a time find theirs in a step or two.
    double groundYNear(double x, size_t& segment) const;
    double xMin() const { return m_ground.front().x; }
    double xMax() const { return m_ground.back().x; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }
    // Soil (0-based) at a point: that of the nearest boundary line at or above it; -1 above ground.
    int soilAt(double x, double y) const;
    double piezometricY(int surface, double x) const; // surface 1-based, continued flat beyond its ends
    double frictionAngleAt(double x, double y) const; // degrees, isotropic
    // The friction angle (degrees) of the soil a base from a to b shears, by the rule the slices
    // follow: the weaker soil where the base runs along a layer boundary.
    double frictionAngleAlong(const Point& a, const Point& b) const;
    // Cuts the sliding mass above `surface` (points left to right) into slices.
    SlicedSurface slice(const std::vector<Point>& surface, int minimumSlices = 30) const;
    // The same into `out`, with the buffers of `work`: a thread that slices thousands of surfaces
    // reuses both and allocates nothing after the first.
    struct Work;
    void slice(const std::vector<Point>& surface, SlicedSurface& out, Work& work,
               int minimumSlices = 30) const;

private:
    struct Line {
        Point a, b;
        int soil; // 0-based
        bool ground;
        double yAt(double x) const { return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x); }
    };
    struct Edge {
        double l, r;
        int soil;
    };
    struct Piezo {
        size_t stamp = SIZE_MAX;
        double l = 0, r = 0, m = 0;
    };
    // Reused by every slice of one surface.
    struct SliceScratch {
        size_t index = 0;
        std::vector<Edge> stack;
        std::vector<Piezo> piezo;
        // The segments of the surface and of the ground under the last slice: slices come left to
        // right, so each lookup walks on from the last.
        size_t surfaceSegment = 0, groundSegment = 0;
        double surfaceSlope = 0; // of the surface's segment
        bool surfaceSlopeKnown = false;
    };
    void addStaticEdges();
    // The stages of slice().
    std::string invalidInput(const std::vector<Point>& input) const;
    std::string clipToGround(const std::vector<Point>& input, std::vector<Point>& surface, Work& work) const;
    void sliceEdges(const std::vector<Point>& surface, int minimumSlices, Work& work) const;
    // Fills `s`, a slice as constructed: its geometry, then the rest (fillSlice, with the scratch's
    // index and ground segment those of this slice).
    void buildSlice(Slice& s, double xl, double xr, size_t index, const std::vector<Point>& surface,
                    SliceScratch& scratch) const;
    void fillSlice(Slice& s, SliceScratch& scratch) const;
    void sliceGeometry(Slice& s, double xl, double xr, const std::vector<Point>& surface,
                       SliceScratch& scratch) const;
    int weighColumn(Slice& s, SliceScratch& scratch) const;
    void weakerSoilAlongBoundary(Slice& s, SliceScratch& scratch) const;
    void baseStrength(Slice& s) const;
    void porePressure(Slice& s, SliceScratch& scratch) const;
    void bodyForces(Slice& s, int groundSoil, SliceScratch& scratch) const;
    const Piezo& water(SliceScratch& scratch, const Slice& s, int surface) const;
    void applyLoads(SlicedSurface& result) const;

    Problem m_problem;
    std::vector<Point> m_ground;
    std::vector<int> m_groundSoil;     // soil of each ground segment
    std::vector<double> m_groundSlope; // dy/dx of each ground segment (0 where vertical)
    std::vector<Line> m_lines;         // all boundary lines
    std::vector<double> m_staticEdges;
    std::vector<std::vector<Point>> m_piezoExtended;
    std::vector<double> m_tanPhi; // of each soil's isotropic friction angle
    double m_yMin = 0, m_yMax = 0;
    double m_tolerance = 1e-9;
    double m_along = 1e-6; // a base this close to a boundary at both ends lies along it

public:
    struct Work {
        struct Station {
            Point p;
            double depth; // ground above the point; positive inside the soil
        };
        std::vector<Station> path;
        std::vector<double> edges, sorted, xs, cuts;
        std::vector<size_t> groundSegments; // under each slice's middle
        SliceScratch scratch;
    };
};

double polylineY(const std::vector<Point>& line, double x); // flat beyond the ends

} // namespace velda

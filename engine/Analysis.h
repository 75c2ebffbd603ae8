#pragma once
// One surface evaluated with every method, and what a run found.
#include "Methods.h"

#include <optional>
#include <string>
#include <vector>

namespace velda {

struct EvaluatedSurface {
    SlicedSurface sliced;
    Circle circle;
    MethodResult ordinary, bishop, janbu, spencer, morgensternPrice;
    double janbuFactor = 1; // f0
    int negativeBases = 0;  // the most bases with a negative effective normal force, of any method
    double janbuCorrected = 0;
    // The method whose factor represents the surface (ranks it in a search, goes to the plot file).
    std::string representedBy;
    double fs = 0;
    bool ok = false;
    std::string reason;
    std::vector<std::string> warnings;
};

// Every method on one surface. `circle` gives the centre for circular surfaces; otherwise the
// best-fitting circle is used and Bishop's method is marked as approximate. The surface's factor
// (`fs`, `representedBy`) is Spencer's; without one, Morgenstern-Price's; without that, Bishop's on a
// circle or Janbu's corrected factor on any other surface (force equilibrium means something there,
// moments about a fitted centre do not).
EvaluatedSurface evaluateSurface(const Slope& slope, const std::vector<Point>& surface, const Circle* circle,
                                 double interSliceAngleDegrees);

// The method's result on the surface by the name the report and the result file give it; "Janbu
// corrected" is Janbu's forces, its factor `janbuCorrected`. Null for a name no method has.
const MethodResult* methodNamed(const EvaluatedSurface& e, const std::string& name);
// Its factor (Janbu's corrected one for "Janbu corrected"); nothing when it gave none.
std::optional<double> methodFs(const EvaluatedSurface& e, const std::string& name);

// A sentence saying that the rigorous methods' factors on the surface differ from the factor it
// was ranked by (`rankedBy`, `ranked`) by more than plotformat::method::kDisagree; empty otherwise.
std::string methodsDisagreement(const EvaluatedSurface& e, double ranked, const std::string& rankedBy);

struct TrialSurface {
    std::vector<Point> points;
    double fs = 0;
    Circle circle;
    bool circular = false;
};

struct AnalysisResult {
    std::string kind;                     // what was computed, for the report
    std::string rankedBy;                 // method name
    std::vector<TrialSurface> trials;     // every admissible surface kept for the plot
    std::vector<TrialSurface> critical;   // up to ten, most critical first
    EvaluatedSurface best;                // the critical surface, all methods
    std::vector<EvaluatedSurface> others; // the rest of `critical`, in its order, evaluated as `best` is
    bool found = false;
    bool refused = false; // the search parameters allow no search; warnings[0] says why
    std::vector<std::string> warnings;
    std::vector<std::string> notes; // search statistics and the like, for the report
    long generated = 0, admissible = 0;
    double bestGenerated = 0; // the best factor among the generated trials, before refinement
    // The search's stages in order (random trials, global stage, refinement): the best factor after
    // each and what it took. The time is for benchmarks only; no file carries it.
    struct Stage {
        std::string name;
        double fs = 0;
        long evaluations = 0;
        double seconds = 0;
    };
    std::vector<Stage> stages;
    // Circle searches: the lowest factor found in each cell of a grid over the centres tried.
    struct CentreMap {
        int columns = 0, rows = 0; // 0: no map
        double left = 0, right = 0, bottom = 0, top = 0;
        std::vector<double> fs; // row by row from the bottom, each from the left; 0: none there
        long outside = 0;       // admissible circles whose centres lie beyond the grid
    };
    CentreMap centreMap;
    // The best factor after 1, 2, 4, ... trials and after the last (0: none admissible yet).
    std::vector<std::pair<long, double>> convergence;
    // Up to five distinct mechanisms, the critical surface first: each shares less than half its
    // length with every one before it.
    std::vector<TrialSurface> mechanisms;
    std::vector<std::pair<std::string, long>> rejected;
};

} // namespace velda

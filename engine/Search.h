#pragma once
#include "Analysis.h"
#include "Parallel.h"

#include <cstdint>
#include <functional>

namespace velda {

// How far a run has come: trials made of the total, and the lowest factor of safety among the
// admissible ones so far (0: none yet). After the trials, `done` equals `total` for each later stage.
struct RunProgress {
    uint64_t done = 0, total = 0;
    double best = 0;
};
// Told the progress between stages of work (from the thread that started the run, never from two
// threads at once); returning false cancels the run, which then throws RunCancelled.
using ProgressFn = std::function<bool(const RunProgress&)>;
struct RunCancelled {};

struct SearchSettings {
    unsigned threads = 0; // 0: DIZIROVI_THREADS when set, else every core
    uint64_t seed = 20150402;
    SolverSettings solver;
    ProgressFn progress; // none: the run is not watched
};

// The circular, irregular and block searches of the problem's search section. Trials are made on
// several threads and taken in trial order; memory does not grow with the number of trials.
AnalysisResult searchSurfaces(const Problem& problem, const Slope& slope,
                              const SearchSettings& settings = {});

// Why a search (not a given surface) cannot run with these parameters on a ground surface this
// wide; empty when it can. The model check and the search refuse the same.
std::string searchRefusal(const Problem& problem, double groundWidth);

} // namespace velda

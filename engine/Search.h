#pragma once
#include "Analysis.h"
#include "Parallel.h"

#include <cstdint>

namespace velda {

struct SearchSettings {
    unsigned threads = 0; // 0: DIZIROVI_THREADS when set, else every core
    uint64_t seed = 20150402;
    SolverSettings solver;
};

// The circular, irregular and block searches of the problem's search section. Trials are made on
// several threads and taken in trial order; memory does not grow with the number of trials.
AnalysisResult searchSurfaces(const Problem& problem, const Slope& slope,
                              const SearchSettings& settings = {});

// Why a search (not a given surface) cannot run with these parameters on a ground surface this
// wide; empty when it can. The model check and the search refuse the same.
std::string searchRefusal(const Problem& problem, double groundWidth);

} // namespace velda

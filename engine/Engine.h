#pragma once
#include "Analysis.h"
#include "Output.h"

#include <string>

namespace velda {

// The run's options beside "names.dat", when the caller has any (see readRunOptions).
inline constexpr char kOptionsFile[] = "options.dat";

// Reads "names.dat" in `directory`, analyses the problem it names and writes the three result
// files. Returns 1 when no computation was performed (the report says why when its name is
// known), 0 otherwise.
int runFromDirectory(const std::string& directory);

// The analysis itself, for callers that have a problem in hand.
AnalysisResult analyse(const Problem& problem, const Slope& slope);

} // namespace velda

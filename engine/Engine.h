#pragma once
#include "Analysis.h"
#include "Output.h"
#include "Search.h"

#include <string>

namespace velda {

// The run's options beside "names.dat", when the caller has any (see readRunOptions).
inline constexpr char kOptionsFile[] = "options.dat";

// Reads "names.dat" in `directory`, analyses the problem it names and writes the three result
// files. Returns 1 when no computation was performed (the report says why when its name is
// known), 0 otherwise.
// With `progress`, the run tells it how far it has come and stops when it says so: it then writes
// nothing at all and returns kCancelled.
inline constexpr int kCancelled = 2;
int runFromDirectory(const std::string& directory, const ProgressFn& progress = {});

// The check without the run: reads "names.dat" in `directory` and writes the problem's findings
// (checkProblem, or why the file cannot be read) as JSON (findingsJson) to `kCheckFile` in that
// folder; nothing beside the problem is touched. Returns 1 when there is an error (or nothing
// could be written), 0 otherwise.
inline constexpr char kCheckFile[] = "check.json";
int checkFromDirectory(const std::string& directory);

// The analysis itself, for callers that have a problem in hand.
AnalysisResult analyse(const Problem& problem, const Slope& slope, const ProgressFn& progress = {});

} // namespace velda

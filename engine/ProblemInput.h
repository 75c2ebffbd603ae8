#pragma once
#include "Problem.h"

#include <optional>
#include <string>
#include <vector>

namespace velda {

// Reads a problem file in the layout the application writes. On failure returns nullopt and puts
// a message naming the line and item into `error`.
std::optional<Problem> readProblem(const std::string& text, std::string& error);

// What a check of the problem finds: errors stop a run (the analysis cannot rely on the data),
// warnings are legal values that hardly describe a real slope. `section` names where: "lines",
// "soils", "water", "loads", "tiebacks", "limits", "search" or "surface"; `item` is the 1-based row
// there (0: the section as a whole).
struct Finding {
    bool error = true;
    std::string section;
    int item = 0;
    std::string message;
};
inline constexpr char kNoSearch[] =
    "The problem names no failure surface and no search method; choose one under "
    "Data > Failure Surface Search Controls.";
// Every finding at once, errors in the order the analysis meets them.
std::vector<Finding> checkProblem(const Problem& problem);
// The first error's message; empty when the problem is usable. A run refuses exactly what the
// check calls an error.
std::string validateProblem(const Problem& problem);
// {"findings": [{"severity": "error" | "warning", "section", "item", "message"}, ...]}
std::string findingsJson(const std::vector<Finding>& findings);

// The run's options file ("options.dat" beside "names.dat"): lines "key=value", "#" starting a
// comment. Known keys: "interslice" (see parseInterslice). Nothing, with why in `error`, for an
// unknown key or a value that does not read.
std::optional<RunOptions> readRunOptions(const std::string& text, std::string& error);

} // namespace velda

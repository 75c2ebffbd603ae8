#pragma once
#include "Problem.h"

#include <optional>
#include <string>

namespace velda {

// Reads a problem file in the layout the application writes. On failure returns nullopt and puts
// a message naming the line and item into `error`.
std::optional<Problem> readProblem(const std::string& text, std::string& error);

// Checks what the analysis relies on; returns an empty string when the problem is usable.
std::string validateProblem(const Problem& problem);

// The run's options file ("options.dat" beside "names.dat"): lines "key=value", "#" starting a
// comment. Known keys: "interslice" (see parseInterslice). Nothing, with why in `error`, for an
// unknown key or a value that does not read.
std::optional<RunOptions> readRunOptions(const std::string& text, std::string& error);

} // namespace velda

#pragma once
// The files of one run: "names.dat", which names them, and the way the results are put beside the
// problem so that an interrupted or concurrent run never leaves a set that contradicts itself.
#include <optional>
#include <string>
#include <string_view>

namespace velda {

struct RunFiles {
    std::string problem, report, plot, result;
};

// names.dat: the release, then the problem file, the report, the plot file and the result file,
// one absolute name a line without control characters. Returns the names that are valid (empty
// strings for the others) and, when any is missing or invalid, the first reason in `error`.
RunFiles parseNames(std::string_view text, std::string& error);

enum class ReadStatus { Ok, Missing, TooLarge, Failed };
// The whole file, refused unseen when it is larger than `limit` bytes.
ReadStatus readFile(const std::string& path, std::string& text, std::size_t limit);

// The texts a run leaves; a missing one is not written (and an older file of that name is left to
// the caller, which removed it before the run).
struct ResultTexts {
    std::optional<std::string> plot, result, report;
};

// Writes each text to a temporary file of its own beside its target, created exclusively (a link
// planted there is never followed), then renames them over their targets in the order plot, result,
// report: a report never claims results that are not there. While publishing, the problem file is
// locked, so two runs of one problem do not interleave their sets. Returns false with the reason and
// leaves no temporary file when something cannot be written.
bool publish(const RunFiles& files, const ResultTexts& texts, std::string& error);

// Removes the temporary files that an interrupted run of the same problem left beside its results
// (those of runs still going on are kept).
void removeStaleTemporaries(const RunFiles& files);

} // namespace velda

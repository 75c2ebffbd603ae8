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
// one absolute name a line without control characters; the three results are three different
// names, none of them the problem's. Returns all four names, or, when any is missing or invalid,
// none at all and the first reason in `error`: a run never writes to some of its names only.
RunFiles parseNames(std::string_view text, std::string& error);

// What the file system says against names that read well: a result that is the problem file
// itself or another result under a different spelling (a linked folder, "..", a link to the
// problem), or a name taken by something other than a file (a folder, a pipe, a device), which
// publishing would replace. Empty when the run may write its results.
std::string checkTargets(const RunFiles& files);

enum class ReadStatus { Ok, Missing, TooLarge, Failed };
// The whole file, refused unseen when it is larger than `limit` bytes or no regular file (a pipe
// would wait for a writer forever, a device never end).
ReadStatus readFile(const std::string& path, std::string& text, std::size_t limit);

// The texts a run leaves; for a missing one an older file of that name is removed, so the files
// beside the problem are always one run's set.
struct ResultTexts {
    std::optional<std::string> plot, result, report;
};

// Writes each text to a temporary file of its own beside its target, created exclusively (a link
// planted there is never followed). Then, with the results' folders locked (FolderLocks), it
// removes the old report and any old result this run does not replace, and renames the new files
// over their targets in the order plot, result, report: a report never claims results that are not
// there, and two runs of one problem never interleave their sets. Returns false with the reason and
// leaves no temporary file when something cannot be written.
bool publish(const RunFiles& files, const ResultTexts& texts, std::string& error);

// Removes the temporary files that an interrupted run of the same problem left beside its results
// (those of runs still going on are kept).
void removeStaleTemporaries(const RunFiles& files);

} // namespace velda

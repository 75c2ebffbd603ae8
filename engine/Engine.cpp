#include "Engine.h"

#include "ProblemInput.h"
#include "Search.h"
#include "Trials.h"
#include "format/ProblemFormat.h"

#include <cstdio>
#include <fstream>

namespace velda {
namespace {

AnalysisResult userSurface(const Problem& p, const Slope& slope) {
    AnalysisResult r;
    r.kind = "One user-defined failure surface of " + std::to_string(p.userSurface.size()) +
             " points, evaluated with "
             "every method.";
    r.rankedBy = "Spencer";
    r.generated = 1;
    EvaluatedSurface e = evaluateSurface(slope, p.userSurface, nullptr, p.parameters.interSliceAngle);
    if (!e.ok) {
        r.rejected.push_back({e.reason, 1});
        r.warnings.push_back("The failure surface was not evaluated: " + e.reason);
        return r;
    }
    if (e.representedBy.empty()) {
        r.warnings.push_back("No method gave a factor of safety for the failure surface.");
        r.best = e;
        return r;
    }
    if (const std::string w = methodsDisagreement(e, e.fs, e.representedBy); !w.empty())
        r.warnings.push_back(w);
    if (e.representedBy != std::string("Spencer"))
        r.warnings.push_back("Spencer's method gave no factor of safety (" + e.spencer.message +
                             "); the plot file "
                             "shows " +
                             e.representedBy + "'s factor instead.");
    // A limit line crossing the surface makes it inadmissible for a search; a given surface is
    // still evaluated.
    if (crossesLimitLine(e.sliced.surface, p.limits))
        r.warnings.push_back("The failure surface crosses a trial-surface limit line; it is evaluated "
                             "all the same.");
    TrialSurface t{e.sliced.surface, e.fs, e.circle, e.circle.exact};
    r.trials.push_back(t);
    r.critical.push_back(t);
    r.admissible = 1;
    r.best = e;
    r.found = true;
    return r;
}

} // namespace

AnalysisResult analyse(const Problem& problem, const Slope& slope, const ProgressFn& progress) {
    if (problem.search == SearchKind::UserSurface) return userSurface(problem, slope);
    SearchSettings settings;
    settings.progress = progress;
    return searchSurfaces(problem, slope, settings);
}

namespace {

// The names in "names.dat" of the folder, when they are all valid.
std::optional<RunFiles> namesIn(const std::string& folder) {
    std::string text, error;
    if (readFile(folder + "/names.dat", text, 64 * 1024) != ReadStatus::Ok) return std::nullopt;
    RunFiles files = parseNames(text, error);
    if (!error.empty()) return std::nullopt;
    return files;
}

} // namespace

int runFromDirectory(const std::string& directory, const ProgressFn& progress) {
    const std::string folder = directory.empty() ? std::string(".") : directory;
    // Names that are not all valid and distinct, or that would replace the problem or something
    // that is no file, stop the run before anything is written: there is no safe place for a report.
    const std::optional<RunFiles> names = namesIn(folder);
    if (!names || !checkTargets(*names).empty()) return 1;
    const RunFiles& files = *names;
    removeStaleTemporaries(files);
    auto fail = [&](const std::string& why) {
        ResultTexts texts;
        texts.report = failureReportText(why, files);
        texts.result = resultJson(nullptr, nullptr, {why});
        std::string ignored;
        publish(files, texts, ignored);
        return 1;
    };

    std::string text;
    switch (readFile(files.problem, text, problemformat::kMaxFileBytes)) {
    case ReadStatus::Ok: break;
    case ReadStatus::TooLarge:
        return fail("The problem file " + files.problem + " is larger than " + problemformat::kMaxFileText +
                    "; it is no problem file.");
    default: return fail("The problem file " + files.problem + " could not be read.");
    }
    std::string error;
    std::optional<Problem> problem = readProblem(text, error);
    if (!problem) return fail("The problem file is not valid.\n" + error);
    // How to run it, when the caller says (the command line's options); the problem file never does.
    std::string optionsText;
    switch (readFile(folder + "/" + kOptionsFile, optionsText, 64 * 1024)) {
    case ReadStatus::Ok:
        if (auto options = readRunOptions(optionsText, error))
            problem->options = *options;
        else
            return fail("The run's options (" + std::string(kOptionsFile) + ") are not valid.\n" + error);
        break;
    case ReadStatus::Missing: break;
    default: return fail("The run's options (" + std::string(kOptionsFile) + ") could not be read.");
    }
    if (problem->search == SearchKind::None) return fail(kNoSearch);
    if (std::string why = validateProblem(*problem); !why.empty())
        return fail("The problem is not valid.\n" + why);

    const Slope slope(*problem);
    AnalysisResult result;
    try {
        result = analyse(*problem, slope, progress);
    } catch (const RunCancelled&) {
        return kCancelled;
    } catch (const std::exception& e) {
        return fail(std::string("The analysis stopped on an internal error: ") + e.what());
    }
    if (result.refused)
        return fail("The search was not run: " +
                    (result.warnings.empty() ? std::string() : result.warnings.front()));
    if (problem->search == SearchKind::UserSurface && !result.found)
        return fail(result.warnings.empty() ? "The failure surface could not be evaluated."
                                            : result.warnings.front());
    std::string writeError;
    if (!result.found) {
        // A search without one admissible surface computed nothing: the report and the result file
        // say how many trials were rejected and why, and there is nothing to draw.
        ResultTexts texts;
        texts.report = reportText(*problem, result, files);
        texts.result = resultJson(&*problem, &result, {});
        return publish(files, texts, writeError) ? 1 : fail(writeError);
    }

    // A run cancelled after its search leaves the last run's results as they are.
    const auto goOn = [&] {
        const uint64_t n = static_cast<uint64_t>(result.generated);
        return !progress || progress({n, n, result.best.fs > 0 ? result.best.fs : result.bestGenerated});
    };
    if (!goOn()) return kCancelled;
    std::vector<std::string> clipped;
    ResultTexts texts;
    texts.plot = plotText(*problem, slope, result, clipped);
    result.warnings.insert(result.warnings.end(), clipped.begin(), clipped.end());
    texts.report = reportText(*problem, result, files);
    texts.result = resultJson(&*problem, &result, {});
    if (!goOn()) return kCancelled;
    if (publish(files, texts, writeError)) return 0;
    return fail(writeError);
}

int checkFromDirectory(const std::string& directory) {
    const std::string folder = directory.empty() ? std::string(".") : directory;
    const std::optional<RunFiles> names = namesIn(folder);
    if (!names) return 1;
    const RunFiles& files = *names;
    std::vector<Finding> findings;
    std::string text, error;
    switch (readFile(files.problem, text, problemformat::kMaxFileBytes)) {
    case ReadStatus::Ok:
        if (const std::optional<Problem> problem = readProblem(text, error))
            findings = checkProblem(*problem);
        else
            findings.push_back({true, "problem", 0, "The problem file is not valid.\n" + error});
        break;
    case ReadStatus::TooLarge:
        findings.push_back(
            {true, "problem", 0,
             "The problem file is larger than " + std::string(problemformat::kMaxFileText) + "."});
        break;
    default: findings.push_back({true, "problem", 0, "The problem file could not be read."});
    }
    // Whole or not at all: a reader never sees half a list.
    const std::string target = folder + "/" + kCheckFile, temporary = target + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << findingsJson(findings);
        if (!out.flush()) return 1;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return 1;
    }
    for (const Finding& f : findings)
        if (f.error) return 1;
    return 0;
}

} // namespace velda

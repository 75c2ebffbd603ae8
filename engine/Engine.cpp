#include "Engine.h"

#include "ProblemInput.h"
#include "Search.h"

#include <fstream>
#include <sstream>

namespace velda {
namespace {

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

std::string resolve(const std::string& directory, const std::string& path) {
    if (path.empty() || path[0] == '/' || directory.empty()) return path;
    return directory + "/" + path;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            if (i < text.size() || !line.empty()) out.push_back(line);
            line.clear();
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
        }
    }
    return out;
}

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
    // The plot shows Spencer's factor; when Spencer has no answer the next rigorous or simplified
    // method stands in, and the report says so.
    const std::pair<const char*, const MethodResult*> order[] = {{"Spencer", &e.spencer},
                                                                 {"Morgenstern-Price", &e.morgensternPrice},
                                                                 {"Bishop simplified", &e.bishop}};
    for (const auto& [name, m] : order)
        if (m->ok) {
            e.fs = m->fs;
            e.representedBy = name;
            break;
        }
    if (e.representedBy.empty()) {
        r.warnings.push_back("No method gave a factor of safety for the failure surface.");
        r.best = e;
        return r;
    }
    if (e.representedBy != std::string("Spencer"))
        r.warnings.push_back("Spencer's method gave no factor of safety (" + e.spencer.message +
                             "); the plot file "
                             "shows " +
                             e.representedBy + "'s factor instead.");
    if (!p.limits.empty()) {
        // A limit line crossing the surface makes it inadmissible for a search; a given surface is
        // still evaluated.
        for (const LimitLine& l : p.limits)
            for (size_t j = 0; j + 1 < e.sliced.surface.size(); ++j) {
                const Point &a = e.sliced.surface[j], &b = e.sliced.surface[j + 1];
                const double d1 = (l.b.x - l.a.x) * (a.y - l.a.y) - (l.b.y - l.a.y) * (a.x - l.a.x);
                const double d2 = (l.b.x - l.a.x) * (b.y - l.a.y) - (l.b.y - l.a.y) * (b.x - l.a.x);
                const double d3 = (b.x - a.x) * (l.a.y - a.y) - (b.y - a.y) * (l.a.x - a.x);
                const double d4 = (b.x - a.x) * (l.b.y - a.y) - (b.y - a.y) * (l.b.x - a.x);
                if (d1 * d2 < 0 && d3 * d4 < 0) {
                    r.warnings.push_back(
                        "The failure surface crosses a trial-surface limit line; it is evaluated "
                        "all the same.");
                    goto limitsChecked;
                }
            }
    limitsChecked:;
    }
    TrialSurface t{e.sliced.surface, e.fs, e.circle, e.circle.exact};
    r.trials.push_back(t);
    r.critical.push_back(t);
    r.admissible = 1;
    r.best = e;
    r.found = true;
    return r;
}

} // namespace

AnalysisResult analyse(const Problem& problem, const Slope& slope) {
    if (problem.search == SearchKind::UserSurface) return userSurface(problem, slope);
    return searchSurfaces(problem, slope);
}

int runFromDirectory(const std::string& directory) {
    std::string namesText;
    if (!readFile(resolve(directory, "names.dat"), namesText)) return 1;
    const std::vector<std::string> names = lines(namesText);
    RunFiles files;
    if (names.size() >= 2) files.problem = resolve(directory, names[1]);
    if (names.size() >= 3) files.report = resolve(directory, names[2]);
    if (names.size() >= 4) files.plot = resolve(directory, names[3]);
    if (names.size() >= 5) files.result = resolve(directory, names[4]);
    auto fail = [&](const std::string& why) {
        if (!files.report.empty()) writeFileAtomically(files.report, failureReportText(why, files));
        if (!files.result.empty()) writeFileAtomically(files.result, resultJson(nullptr, nullptr, {why}));
        return 1;
    };
    if (names.size() < 5)
        return fail("The hand-over file names.dat has " + std::to_string(names.size()) +
                    " lines; it must name the release, the problem file and the three result files.");
    for (size_t i = 1; i < 5; ++i)
        if (names[i].empty()) return fail("Line " + std::to_string(i + 1) + " of names.dat is empty.");

    std::string text;
    if (!readFile(files.problem, text))
        return fail("The problem file " + files.problem + " could not be read.");
    std::string error;
    std::optional<Problem> problem = readProblem(text, error);
    if (!problem) return fail("The problem file is not valid.\n" + error);
    if (std::string why = validateProblem(*problem); !why.empty())
        return fail("The problem is not valid.\n" + why);
    if (problem->search == SearchKind::None)
        return fail("The problem names no failure surface and no search method; choose one under "
                    "Data > Failure Surface Search Controls.");

    const Slope slope(*problem);
    AnalysisResult result;
    try {
        result = analyse(*problem, slope);
    } catch (const std::exception& e) {
        return fail(std::string("The analysis stopped on an internal error: ") + e.what());
    }
    if (problem->search == SearchKind::UserSurface && !result.found)
        return fail(result.warnings.empty() ? "The failure surface could not be evaluated."
                                            : result.warnings.front());

    std::vector<std::string> clipped;
    const std::string plot = plotText(*problem, slope, result, clipped);
    result.warnings.insert(result.warnings.end(), clipped.begin(), clipped.end());
    bool written = writeFileAtomically(files.report, reportText(*problem, slope, result, files));
    written = writeFileAtomically(files.plot, plot) && written;
    written = writeFileAtomically(files.result, resultJson(&*problem, &result, {})) && written;
    return written ? 0 : fail("The result files could not be written beside the problem file.");
}

} // namespace velda

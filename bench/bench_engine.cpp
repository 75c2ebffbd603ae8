// The engine's speed: one surface with each method, slicing, and whole searches.
#include "engine/Analysis.h"
#include "engine/Engine.h"
#include "engine/Search.h"
#include "engine/Study.h"
#include "format/Release.h"
#include "support/EngineSupport.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace engine_support;
using namespace velda;

namespace {

// Three layers, a water table and a surcharge on the crest.
Problem threeLayers() {
    Problem p = slope({{0, 20}, {40, 20}, {120, 60}, {180, 60}}, 1);
    p.soils = {soil(120, 300, 30, 125, 1), soil(115, 150, 22, 120, 1), soil(125, 800, 34, 130, 1)};
    p.lines.push_back({{0, 15}, {180, 35}, 2});
    p.lines.push_back({{0, 8}, {180, 20}, 3});
    p.waterOn = true;
    p.waterUnitWeight = 62.4;
    p.piezometricSurfaces = {{{0, 18}, {60, 24}, {120, 38}, {180, 40}}};
    p.loads.push_back({130, 160, 500, 0});
    return p;
}

const Circle kCircle{{60, 100}, 85, true};

std::vector<Point> surface(int points) {
    return arc(kCircle.centre, kCircle.radius, 19.0, 139.5, points);
}

void BM_Slicing(benchmark::State& state) {
    const Slope slope(threeLayers());
    const auto s = surface(30);
    for (auto _ : state) benchmark::DoNotOptimize(slope.slice(s, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_Slicing)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);

template <class F> void method(benchmark::State& state, F f) {
    const Slope slope(threeLayers());
    const SlicedSurface s = slope.slice(surface(30), static_cast<int>(state.range(0)));
    state.counters["slices"] = static_cast<double>(s.slices.size());
    for (auto _ : state) benchmark::DoNotOptimize(f(s.slices));
}

void BM_Ordinary(benchmark::State& st) {
    method(st, [](auto& s) { return ordinaryMethod(s, kCircle.centre).fs; });
}
void BM_Bishop(benchmark::State& st) {
    method(st, [](auto& s) { return bishopMethod(s, kCircle.centre).fs; });
}
void BM_Janbu(benchmark::State& st) {
    method(st, [](auto& s) { return janbuMethod(s).fs; });
}
void BM_Spencer(benchmark::State& st) {
    method(st, [](auto& s) { return rigorousMethod(s, kCircle.centre, kSpencerFunction, 1.5, 0.2).fs; });
}
void BM_MorgensternPrice(benchmark::State& st) {
    method(st, [](auto& s) { return rigorousMethod(s, kCircle.centre, IntersliceFunction{}, 1.5, 0.2).fs; });
}
BENCHMARK(BM_Ordinary)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Bishop)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Janbu)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spencer)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorgensternPrice)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);

// ---- figures against the previous engine and against the arithmetic floor ----
//
// The previous engine's figures, measured on the development machine (2 cores) on 2026-12-08 at
// commit 231f24c, before the work on speed; each benchmark below prints its own time beside them
// ("x faster" is previous / now).
namespace previous {
constexpr double kBishopCircle26 = 1.47;  // us, Bishop on case A's published circle in 26 slices
constexpr double kSpencerCircle26 = 13.1; // us, Spencer on the same
constexpr double kSlicing26 = 2.6;        // us, cutting that circle into its 26 slices
constexpr double kBishopTrial = 7.83;     // us per trial, 10^5 Bishop circles on case A, one thread
constexpr double kSpencerTrial = 27.5;    // us per trial, the same ranked by Spencer
} // namespace previous

const Circle kCaseACircle{{30.259, 51.792}, 26.793, true};

SlicedSurface caseACircle() {
    static const Slope slope(caseA());
    return slope.slice(arc(kCaseACircle.centre, kCaseACircle.radius, 30.0, 51.137, 25), 1);
}

template <class F> void figure(benchmark::State& state, double before, F f) {
    long n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(f());
        ++n;
    }
    const double us = 1e6 * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                      static_cast<double>(std::max(n, 1L));
    state.counters["us"] = us;
    state.counters["previous us"] = before;
    state.counters["x faster"] = before / us;
}

void BM_CaseACircleSlicing(benchmark::State& state) {
    const Slope slope(caseA());
    const auto pts = arc(kCaseACircle.centre, kCaseACircle.radius, 30.0, 51.137, 25);
    figure(state, previous::kSlicing26, [&] { return slope.slice(pts, 1).slices.size(); });
}
void BM_CaseACircleBishop(benchmark::State& state) {
    const SlicedSurface s = caseACircle();
    state.counters["slices"] = static_cast<double>(s.slices.size());
    figure(state, previous::kBishopCircle26, [&] { return bishopMethod(s.slices, kCaseACircle.centre).fs; });
}
void BM_CaseACircleSpencer(benchmark::State& state) {
    const SlicedSurface s = caseACircle();
    figure(state, previous::kSpencerCircle26,
           [&] { return rigorousMethod(s.slices, kCaseACircle.centre, kSpencerFunction, 1.0, 0.0).fs; });
}

double floorBishop(const std::vector<double>& p, const std::vector<double>& q, const std::vector<double>& r,
                   const std::vector<double>& t, const std::vector<double>& rho,
                   const std::vector<double>& delta, double r0, double d0, int iterations);

// The floor: the bare Bishop iteration over flat arrays prepared beforehand, as many iterations as
// the engine takes, with nothing else (no admissibility, no forces, no allocation). The engine's
// Bishop can come near it, not below.
void BM_CaseACircleBishopFloor(benchmark::State& state) {
    const SlicedSurface sliced = caseACircle();
    const std::vector<Slice>& s = sliced.slices;
    const size_t n = s.size();
    std::vector<double> p(n), q(n), r(n), t(n), rho(n), delta(n);
    double r0 = 0, d0 = 0;
    for (size_t i = 0; i < n; ++i) {
        const Point o = kCaseACircle.centre;
        const double dx = s[i].base.x - o.x, dy = s[i].base.y - o.y;
        const double normalArm = dx * s[i].cosA + dy * s[i].sinA, shearArm = dx * s[i].sinA - dy * s[i].cosA;
        const double a0 = s[i].cohesion * s[i].baseLength - s[i].poreForce * s[i].tanPhi;
        p[i] = -s[i].fy;
        q[i] = a0 * s[i].sinA;
        r[i] = s[i].cosA;
        t[i] = s[i].sinA * s[i].tanPhi;
        rho[i] = shearArm * s[i].tanPhi;
        delta[i] = -normalArm;
        r0 += shearArm * a0;
        d0 -= s[i].moment + dx * s[i].fy - dy * s[i].fx;
    }
    const int iterations = bishopMethod(s, kCaseACircle.centre).iterations;
    state.counters["iterations"] = iterations;
    // The engine's own time on the same circle, for the distance to the floor.
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRuns = 100000;
    for (int k = 0; k < kRuns; ++k) benchmark::DoNotOptimize(bishopMethod(s, kCaseACircle.centre).fs);
    const double engineUs =
        1e6 * std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRuns;
    long runs = 0;
    const auto floorStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ++runs;
        benchmark::DoNotOptimize(floorBishop(p, q, r, t, rho, delta, r0, d0, iterations));
    }
    const double floorUs =
        1e6 * std::chrono::duration<double>(std::chrono::steady_clock::now() - floorStart).count() /
        static_cast<double>(std::max(runs, 1L));
    state.counters["floor us"] = floorUs;
    state.counters["engine us"] = engineUs;
    state.counters["engine / floor"] = engineUs / floorUs;
}

double floorBishop(const std::vector<double>& p, const std::vector<double>& q, const std::vector<double>& r,
                   const std::vector<double>& t, const std::vector<double>& rho,
                   const std::vector<double>& delta, double r0, double d0, int iterations) {
    const size_t n = p.size();
    {
        double f = 1;
        for (int it = 0; it < iterations; ++it) {
            double resisting = r0, driving = d0;
            for (size_t i = 0; i < n; ++i) {
                const double normal = (p[i] * f - q[i]) / (r[i] * f + t[i]);
                resisting += rho[i] * normal;
                driving += delta[i] * normal;
            }
            f = resisting / driving;
        }
        return f;
    }
}
BENCHMARK(BM_CaseACircleSlicing);
BENCHMARK(BM_CaseACircleBishop);
BENCHMARK(BM_CaseACircleBishopFloor);
BENCHMARK(BM_CaseACircleSpencer);

// Whole searches of case A on one thread: the time of a trial (the random stage's time over its
// trials).
void trialFigure(benchmark::State& state, SearchKind kind, double before) {
    Problem p = caseA();
    p.search = kind;
    p.parameters = caseARanges(100, 1000);
    const Slope slope(p);
    SearchSettings settings;
    settings.threads = 1;
    double us = 0;
    for (auto _ : state) {
        const AnalysisResult r = searchSurfaces(p, slope, settings);
        us = 1e6 * r.stages.front().seconds / static_cast<double>(r.stages.front().evaluations);
    }
    state.counters["us per trial"] = us;
    state.counters["previous us"] = before;
    state.counters["x faster"] = before / us;
}
void BM_TrialBishopCircle(benchmark::State& st) {
    trialFigure(st, SearchKind::BishopCircle, previous::kBishopTrial);
}
void BM_TrialSpencerCircle(benchmark::State& st) {
    trialFigure(st, SearchKind::Spencer, previous::kSpencerTrial);
}
BENCHMARK(BM_TrialBishopCircle)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TrialSpencerCircle)->Unit(benchmark::kMillisecond)->Iterations(1);

void search(benchmark::State& state, SearchKind kind) {
    Problem p = threeLayers();
    p.search = kind;
    p.parameters = caseBRanges(100, 100);
    SearchParameters& s = p.parameters;
    s.interSliceAngle = 10;
    if (kind == SearchKind::Block) {
        s.surfacesPerPoint = 10000;
        s.blockSegmentLength = 4;
        s.boxes = {{{30, 14}, {60, 16}, 4}, {{110, 24}, {140, 26}, 4}};
    }
    const Slope slope(p);
    long surfaces = 0;
    std::vector<AnalysisResult::Stage> stages;
    for (auto _ : state) {
        AnalysisResult r = searchSurfaces(p, slope);
        surfaces += r.generated;
        benchmark::DoNotOptimize(r.best.fs);
        stages = r.stages;
    }
    state.counters["surfaces/s"] =
        benchmark::Counter(static_cast<double>(surfaces), benchmark::Counter::kIsRate);
    // Wall time of each stage of the last search, in milliseconds, and the evaluations it made.
    for (const AnalysisResult::Stage& st : stages) {
        const std::string name = st.name == "random trials"  ? "trials"
                                 : st.name == "global stage" ? "global"
                                                             : "refine";
        state.counters[name + " ms"] = 1000 * st.seconds;
        state.counters[name + " evals"] = static_cast<double>(st.evaluations);
    }
}
void BM_SearchBishopCircles(benchmark::State& st) {
    search(st, SearchKind::BishopCircle);
}
void BM_SearchJanbuCircles(benchmark::State& st) {
    search(st, SearchKind::JanbuCircle);
}
void BM_SearchSpencerCircles(benchmark::State& st) {
    search(st, SearchKind::Spencer);
}
void BM_SearchIrregular(benchmark::State& st) {
    search(st, SearchKind::Irregular);
}
void BM_SearchBlock(benchmark::State& st) {
    search(st, SearchKind::Block);
}
// Case A with a Bishop circle search of 1,000 circles, its cohesion (COV 0.2, not below 0) and, with
// `phi`, its friction angle (sd 2 degrees) uncertain: the studies the benchmarks below time.
std::pair<Problem, Study> caseAStudy(uint64_t samples, Study::Mode mode, bool phi) {
    Problem p = caseA();
    p.search = SearchKind::BishopCircle;
    p.parameters = caseARanges(10, 100);
    Study study;
    study.samples = samples;
    study.mode = mode;
    study.sampling = Study::Sampling::LatinHypercube;
    StudyVariable c{"cohesion", {StudyTarget::Kind::Cohesion, 1}, {}};
    c.distribution.mean = p.soils[0].cohesion;
    c.distribution.sd = 0.2 * p.soils[0].cohesion;
    c.distribution.lower = 0;
    study.variables = {c};
    if (phi) {
        StudyVariable f{"phi", {StudyTarget::Kind::FrictionAngle, 1}, {}};
        f.distribution.mean = p.soils[0].phi;
        f.distribution.sd = 2;
        study.variables.push_back(f);
    }
    return {p, study};
}

// A probabilistic study: 1,000 samples, each a full search of 1,000 Bishop circles (10^6 trials), on
// every core. Goal: under 10 s wall on the 2-core machine, memory independent of the samples.
void BM_StudyThousandSearches(benchmark::State& state) {
    const auto [p, study] = caseAStudy(1000, Study::Mode::Search, true);
    const StudyRunner runner(p, study);
    double mean = 0;
    for (auto _ : state) mean = summarise(runSamples(runner, study, 0, study.samples, 0)).mean;
    state.counters["mean fs"] = mean;
    state.counters["goal s"] = 10;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_StudyThousandSearches)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// 10^5 samples of the critical surface at the means, in a child process so that its peak memory is
// the study's own. Goal: under 60 MB.
void BM_StudyHundredThousandSamplesMemory(benchmark::State& state) {
    const auto [p, study] = caseAStudy(100000, Study::Mode::Surface, false);
    double peakMB = 0;
    for (auto _ : state) {
        const pid_t child = ::fork();
        if (child == 0) {
            const StudyRunner runner(p, study);
            const StudySummary s = summarise(runSamples(runner, study, 0, study.samples, 0));
            _exit(s.samples == study.samples ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the study failed");
        peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    state.counters["peak MB"] = peakMB;
    state.counters["goal MB"] = 60;
}
BENCHMARK(BM_StudyHundredThousandSamplesMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK(BM_SearchBishopCircles)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SearchJanbuCircles)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SearchSpencerCircles)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SearchIrregular)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SearchBlock)->Unit(benchmark::kMillisecond)->Iterations(1);

// The search phase (the random trials) of 10^5 circles on 1, 2 and every thread (0): surfaces per
// second of wall time, and how many times faster than on one thread (measured in the same run, so
// the ratio holds on an idle machine; a busy one lowers it).
void BM_SearchThreads(benchmark::State& state) {
    Problem p = threeLayers();
    p.search = SearchKind::JanbuCircle;
    p.parameters = caseBRanges(100, 1000);
    const Slope slope(p);
    SearchSettings one;
    one.threads = 1;
    SearchSettings settings;
    settings.threads = static_cast<unsigned>(state.range(0));
    long surfaces = 0;
    double seconds = 0, oneThread = 0;
    for (auto _ : state) {
        AnalysisResult r = searchSurfaces(p, slope, settings);
        surfaces += r.generated;
        seconds = r.stages.front().seconds;
        benchmark::DoNotOptimize(r.best.fs);
        state.PauseTiming();
        oneThread = searchSurfaces(p, slope, one).stages.front().seconds;
        state.ResumeTiming();
    }
    state.counters["threads"] = settings.threads ? settings.threads : searchThreads();
    state.counters["surfaces/s"] =
        benchmark::Counter(static_cast<double>(surfaces), benchmark::Counter::kIsRate);
    state.counters["x one thread"] = oneThread / seconds;
}
BENCHMARK(BM_SearchThreads)
    ->Arg(1)
    ->Arg(2)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// A whole run as the application starts it (problem file in, three files out) with N circles,
// in a child process so that its peak memory is its own.
void BM_WholeRun(benchmark::State& state) {
    const long trials = state.range(0);
    const auto dir =
        std::filesystem::temp_directory_path() / ("dizirovi-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string base = (dir / "run").string();
    const long points = 100;
    std::ofstream(base + ".sl4d") << "PROFIL\r\nBench\r\n3 3 2\r\n20. 25. 30. 25. 1\r\n30. 25. 50. 35. 1\r\n"
                                     "50. 35. 70. 35. 1\r\nSOIL\r\n1\r\n20. 20. 3. 19.6 0. 0. 0\r\nCIRCLE\r\n"
                                  << points << " " << trials / points
                                  << "\r\n22. 30. 45. 60.\r\n20. 1. 0. -45.\r\nEXECUT\r\n";
    std::ofstream(dir / "names.dat") << release::kVersion << "\r\n"
                                     << base << ".sl4d\r\n"
                                     << base << ".sl4o\r\n"
                                     << base << ".sl4p\r\n"
                                     << base << ".sl4r\r\n";
    double peakMB = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) _exit(runFromDirectory(dir.string()));
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the run failed");
        peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    std::filesystem::remove_all(dir);
    state.counters["peak MB"] = peakMB;
    state.counters["threads"] = searchThreads();
}
BENCHMARK(BM_WholeRun)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace

#include "Search.h"

#include "Output.h"
#include "Parallel.h"
#include "Trials.h"
#include "format/PlotFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <thread>

namespace velda {

unsigned searchThreads() {
    if (const char* env = std::getenv("DIZIROVI_THREADS"); env && *env) {
        const long n = std::strtol(env, nullptr, 10);
        if (n >= 1 && n <= 256) return static_cast<unsigned>(n);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

namespace {

constexpr long kMaxSurfaces = 2000000; // generated surfaces of one search
constexpr size_t kRound = 4096;        // trials made at once before their outcomes are taken in
constexpr size_t kPool = 40;           // best generated trials kept for the ten and the refinement
// A surface the ranking method cannot rank is worth a warning when another method puts it this
// much below the critical surface (a part in a hundred: the methods' own spread on one surface).
constexpr double kUnrankedMargin = 0.01;
// Refinements start from the best trials: more for irregular surfaces and blocks, whose many numbers
// leave more local minima than a circle's three.
constexpr size_t kRefineStartsCircle = 8, kRefineStartsOther = 16;
// The global stage: differential evolution of this many of the best trials over at most this many
// generations, with the difference weight drawn between these and this crossover rate.
constexpr size_t kPopulation = 20;
constexpr int kGenerations = 30;
constexpr double kWeightLow = 0.5, kWeightHigh = 1.0, kCrossover = 0.9;
// It stops early once the population's factors lie this close (relative) to each other.
constexpr double kConverged = 1e-6;
// The map of centres: cells each way, and the share of the sampled centres left out at each end
// (a few very flat circles have centres far away).
constexpr int kMapCells = 25;
constexpr double kMapTail = 0.02;
constexpr size_t kMapSample = 4096;
// Distinct mechanisms: the best trial of each cell of a grid of entry by exit points is a
// candidate; at most this many are reported.
constexpr int kMechanismBins = 16;
constexpr size_t kMechanisms = 5;

struct Candidate {
    size_t order = 0; // trial index; refined surfaces come after every trial
    double fs = 0;
    TrialShape shape;
};

bool better(const Candidate& a, const Candidate& b) {
    return a.fs < b.fs || (a.fs == b.fs && a.order < b.order);
}

// What the search keeps while it runs, whatever the number of trials: the counts, the best few
// trials (without their points; they are made again when needed), and the surfaces for the plot
// file. The plot takes the admissible trials among an even selection of at most 3999 trial
// numbers: trial t is selected when floor(t S / N) and floor((t + 1) S / N) differ, S = min(N, 3999).
class Collector {
public:
    Collector(size_t trials, double xMin, double xMax)
        : m_trials(trials), m_slots(std::min<size_t>(trials, plotformat::kTrialSurfacesWritten)),
          m_xMin(xMin), m_xMax(std::max(xMax, xMin + 1e-9)) {}

    bool plotted(size_t t) const { return (t * m_slots) / m_trials != ((t + 1) * m_slots) / m_trials; }

    // Outcomes must come in trial order.
    void take(size_t index, TrialOutcome&& o) {
        ++generated;
        if (!o.rejectedFor && (best == 0 || o.fs < best)) best = o.fs;
        const long n = generated;
        if ((n & (n - 1)) == 0 || static_cast<size_t>(n) == m_trials) convergence.emplace_back(n, best);
        if (o.rejectedFor) {
            ++rejected[o.rejectedFor];
            if (o.unrankedFs > 0) {
                ++unranked;
                if (bestUnranked.fs == 0 || o.unrankedFs < bestUnranked.fs)
                    bestUnranked = Candidate{index, o.unrankedFs, std::move(o.shape)};
            }
            return;
        }
        ++admissible;
        if (o.circular) mapped(o.circle.centre, o.fs);
        if (!o.points.empty()) plot.push_back({thinned(std::move(o.points)), o.fs, o.circle, o.circular});
        Candidate& bin = bins[static_cast<size_t>(bin1(o.entryX) * kMechanismBins + bin1(o.exitX))];
        if (bin.fs == 0 || o.fs < bin.fs) bin = Candidate{index, o.fs, o.shape};
        Candidate c{index, o.fs, std::move(o.shape)};
        if (pool.size() < kPool || better(c, pool.back())) {
            pool.insert(std::upper_bound(pool.begin(), pool.end(), c, better), std::move(c));
            if (pool.size() > kPool) pool.pop_back();
        }
    }

    // The lowest factor in the cell of the grid that holds `centre`.
    void mapped(const Point& centre, double fs) {
        AnalysisResult::CentreMap& m = map;
        if (m.columns == 0) return;
        const double u = (centre.x - m.left) / (m.right - m.left),
                     v = (centre.y - m.bottom) / (m.top - m.bottom);
        if (!(u >= 0 && u <= 1 && v >= 0 && v <= 1)) {
            ++m.outside;
            return;
        }
        const int i = std::min(m.columns - 1, static_cast<int>(u * m.columns)),
                  j = std::min(m.rows - 1, static_cast<int>(v * m.rows));
        double& cell = m.fs[static_cast<size_t>(j * m.columns + i)];
        if (cell == 0 || fs < cell) cell = fs;
    }

    long generated = 0, admissible = 0;
    double best = 0;
    std::vector<std::pair<long, double>> convergence;
    AnalysisResult::CentreMap map;
    // The best trial of each (entry, exit) cell; fs 0: none.
    std::vector<Candidate> bins = std::vector<Candidate>(kMechanismBins * kMechanismBins);
    std::map<std::string, long> rejected;
    // Trials the ranking method gave no factor for, and the lowest moment-equilibrium factor among them.
    long unranked = 0;
    Candidate bestUnranked;
    std::vector<Candidate> pool; // sorted, best first
    std::vector<TrialSurface> plot;

private:
    static std::vector<Point> thinned(std::vector<Point> pts) {
        const size_t limit = plotformat::kSurfacePoints;
        if (pts.size() <= limit) return pts;
        std::vector<Point> out;
        for (size_t i = 0; i < limit; ++i) out.push_back(pts[i * (pts.size() - 1) / (limit - 1)]);
        return out;
    }
    int bin1(double x) const {
        return std::clamp(static_cast<int>((x - m_xMin) / (m_xMax - m_xMin) * kMechanismBins), 0,
                          kMechanismBins - 1);
    }
    size_t m_trials, m_slots;
    double m_xMin, m_xMax;
};

class Search {
public:
    Search(const Problem& p, const Slope& slope, const SearchSettings& settings)
        : m_p(p), m_s(slope), m_par(p.parameters), m_settings(settings),
          m_trials(p, slope, settings.solver, settings.seed),
          m_threads(settings.threads > 0 ? settings.threads : searchThreads()),
          m_collected(m_trials.count(), slope.xMin(), slope.xMax()) {}

    AnalysisResult run();

private:
    void generate();
    // Tells the run's watcher how far it has come; throws RunCancelled when it says to stop.
    void report(size_t done) const;
    AnalysisResult::CentreMap centreGrid() const;
    void chooseMechanisms(AnalysisResult& result, const std::vector<Candidate>& found) const;
    std::vector<Candidate> evolve(long& evaluations) const;
    std::vector<Candidate> refine(const std::vector<Candidate>& starts, long& evaluations) const;
    // Compass search from `start` on `factor` (the ranking method's by default); adds the factors
    // it computed to `evaluations` when given.
    Candidate refineFrom(const Candidate& start,
                         const std::function<std::optional<double>(const TrialShape&)>& factor = {},
                         long* evaluations = nullptr) const;
    TrialShape rankTheTen(AnalysisResult& result, std::vector<Candidate> found);
    void describe(AnalysisResult& result) const;
    void admissibleShareWarning(AnalysisResult& result) const;
    void boundaryWarnings(AnalysisResult& result, const TrialShape& best) const;
    void unrankedWarning(AnalysisResult& result) const;

    const Problem& m_p;
    const Slope& m_s;
    const SearchParameters& m_par;
    SearchSettings m_settings;
    Trials m_trials;
    unsigned m_threads;
    Collector m_collected;
};

// The trials in rounds: each round is made on all threads, each trial into its own slot, and then
// taken in trial order, so the outcome is the same for any number of threads.
void Search::generate() {
    const size_t n = m_trials.count();
    std::vector<TrialOutcome> round;
    std::vector<TrialWork> works(m_threads);
    for (size_t first = 0; first < n; first += kRound) {
        const size_t size = std::min(kRound, n - first);
        round.assign(size, TrialOutcome{});
        parallelForWorkers(size, m_threads, [&](size_t i, unsigned worker) {
            const size_t t = first + i;
            round[i] = m_trials.evaluate(m_trials.shape(t), m_collected.plotted(t), works[worker]);
        });
        for (size_t i = 0; i < size; ++i) m_collected.take(first + i, std::move(round[i]));
        report(first + size);
    }
}

void Search::report(size_t done) const {
    if (m_settings.progress && !m_settings.progress({done, m_trials.count(), m_collected.best}))
        throw RunCancelled{};
}

// The grid of the centre map: over the centres of an even selection of the trials, less a few
// far-flung ones at each end, and a little wider; none for searches of other surfaces.
AnalysisResult::CentreMap Search::centreGrid() const {
    AnalysisResult::CentreMap m;
    const size_t n = m_trials.count(), sample = std::min(n, kMapSample);
    std::vector<double> xs, ys;
    for (size_t i = 0; i < sample; ++i)
        if (const auto c = m_trials.centreOf(m_trials.shape(i * n / sample))) {
            xs.push_back(c->x);
            ys.push_back(c->y);
        }
    if (xs.empty()) return m;
    auto range = [](std::vector<double>& v, double& low, double& high, double least) {
        std::sort(v.begin(), v.end());
        const size_t cut = static_cast<size_t>(kMapTail * static_cast<double>(v.size()));
        low = v[cut];
        high = v[v.size() - 1 - cut];
        const double margin = std::max(0.05 * (high - low), least);
        low -= margin;
        high += margin;
    };
    const double least = std::max(m_par.segmentLength, 1e-3 * std::max(m_s.xMax() - m_s.xMin(), 1.0));
    range(xs, m.left, m.right, least);
    range(ys, m.bottom, m.top, least);
    m.columns = m.rows = kMapCells;
    m.fs.assign(static_cast<size_t>(kMapCells * kMapCells), 0.0);
    return m;
}

namespace {

double length(const std::vector<Point>& pts) {
    double l = 0;
    for (size_t i = 0; i + 1 < pts.size(); ++i)
        l += std::hypot(pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y);
    return l;
}

double distanceTo(const Point& q, const std::vector<Point>& line) {
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        const Point &a = line[i], &b = line[i + 1];
        const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
        const double t = l2 > 0 ? std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
        best = std::min(best, std::hypot(q.x - (a.x + t * dx), q.y - (a.y + t * dy)));
    }
    return best;
}

// The length of `a` that lies within `near` of `b`, in pieces no longer than half of `near`.
double sharedLength(const std::vector<Point>& a, const std::vector<Point>& b, double near) {
    double shared = 0;
    for (size_t i = 0; i + 1 < a.size(); ++i) {
        const Point p = a[i], q = a[i + 1];
        const double l = std::hypot(q.x - p.x, q.y - p.y);
        const int pieces = std::max(1, static_cast<int>(std::ceil(2 * l / near)));
        for (int k = 0; k < pieces; ++k) {
            const double t = (k + 0.5) / pieces;
            if (distanceTo({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)}, b) <= near) shared += l / pieces;
        }
    }
    return shared;
}

} // namespace

// Distinct mechanisms: the critical surface, then, by factor, the ten and the best trial of each
// cell of entry and exit points, each taken when it shares less than half its length (or the
// other's, the shorter) with every one taken before.
void Search::chooseMechanisms(AnalysisResult& result, const std::vector<Candidate>& found) const {
    if (result.critical.empty()) return;
    const double segment = m_p.search == SearchKind::Block ? m_par.blockSegmentLength : m_par.segmentLength;
    const double near = std::max(0.5 * segment, 0.01 * (m_s.xMax() - m_s.xMin()));
    std::vector<TrialSurface> candidates(result.critical.begin() + 1, result.critical.end());
    std::vector<Candidate> others;
    for (const Candidate& c : m_collected.bins)
        if (c.fs > 0) others.push_back(c);
    for (const Candidate& c : found) others.push_back(c);
    std::sort(others.begin(), others.end(), better);
    result.mechanisms = {result.critical.front()};
    size_t next = 0;
    auto distinct = [&](const TrialSurface& t) {
        const double l = length(t.points);
        for (const TrialSurface& m : result.mechanisms)
            if (sharedLength(t.points, m.points, near) >= 0.5 * std::min(l, length(m.points))) return false;
        return true;
    };
    for (const Candidate& c : others) {
        // The ten come first where they are as good.
        while (next < candidates.size() && candidates[next].fs <= c.fs) {
            if (result.mechanisms.size() < kMechanisms && distinct(candidates[next]))
                result.mechanisms.push_back(candidates[next]);
            ++next;
        }
        if (result.mechanisms.size() >= kMechanisms) return;
        TrialOutcome o = m_trials.evaluate(c.shape, true);
        if (o.rejectedFor) continue;
        TrialSurface t{std::move(o.points), c.fs, o.circle, o.circular};
        if (distinct(t)) result.mechanisms.push_back(std::move(t));
        if (result.mechanisms.size() >= kMechanisms) return;
    }
    for (; next < candidates.size() && result.mechanisms.size() < kMechanisms; ++next)
        if (distinct(candidates[next])) result.mechanisms.push_back(candidates[next]);
}

// Compass search: every parameter is moved up and down by its step, which halves whenever no move
// lowers the factor of safety, until the steps are a 4096th of where they began (finer moves
// change the factor in digits nobody reads).
Candidate Search::refineFrom(const Candidate& start,
                             const std::function<std::optional<double>(const TrialShape&)>& factor,
                             long* evaluationCount) const {
    TrialWork work;
    auto evaluate = [&](const TrialShape& shape) -> std::optional<double> {
        if (factor) return factor(shape);
        const TrialOutcome o = m_trials.evaluate(shape, false, work);
        return o.rejectedFor ? std::nullopt : std::optional(o.fs);
    };
    Candidate best = start;
    std::vector<double> steps = m_trials.refinementSteps();
    int halvings = 0, evaluations = 0;
    for (int round = 0; round < 400 && evaluations < 1000 && halvings < 12; ++round) {
        bool improved = false;
        for (size_t i = 0; i < steps.size(); ++i) {
            if (steps[i] <= 0) continue;
            for (double sign : {1.0, -1.0}) {
                TrialShape trial = best.shape;
                trial.parameters[i] += sign * steps[i];
                trial = m_trials.clamped(trial);
                ++evaluations;
                const std::optional<double> fs = evaluate(trial);
                if (fs && *fs < best.fs - 1e-9) {
                    best.fs = *fs;
                    best.shape = std::move(trial);
                    improved = true;
                    break;
                }
            }
        }
        if (improved) continue;
        for (double& st : steps) st /= 2;
        ++halvings;
    }
    if (evaluationCount) *evaluationCount += evaluations;
    return best;
}

// Differential evolution (current-to-best/1/bin; Storn & Price 1997) on the numbers that make a
// trial, from the best trials: each generation's new shapes are drawn one after the other from
// random numbers of their own (generation and member), evaluated on every thread, and taken in
// member order, so the outcome does not depend on the number of threads. Numbers the refinement
// does not move (an irregular surface's floor boundary and its own random sequence) stay with the
// member.
std::vector<Candidate> Search::evolve(long& evaluations) const {
    const auto& pool = m_collected.pool;
    const size_t size = std::min(kPopulation, pool.size());
    if (size < 4) return {};
    std::vector<Candidate> population(pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(size));
    const std::vector<double> steps = m_trials.refinementSteps();
    std::vector<TrialShape> shapes(size);
    std::vector<std::optional<double>> factors(size);
    std::vector<TrialWork> works(m_threads);
    for (int generation = 0; generation < kGenerations; ++generation) {
        const auto [lowest, highest] =
            std::minmax_element(population.begin(), population.end(),
                                [](const Candidate& a, const Candidate& b) { return better(a, b); });
        if (highest->fs - lowest->fs <= kConverged * lowest->fs) break;
        const Candidate& best = *lowest;
        for (size_t i = 0; i < size; ++i) {
            TrialRandom random(m_settings.seed ^
                               (0x5eed0000ULL + (static_cast<uint64_t>(generation) << 20) + i));
            size_t r1, r2;
            do r1 = static_cast<size_t>(random.uniform() * static_cast<double>(size));
            while (r1 == i);
            do r2 = static_cast<size_t>(random.uniform() * static_cast<double>(size));
            while (r2 == i || r2 == r1);
            const double weight = random.uniform(kWeightLow, kWeightHigh);
            const size_t forced = static_cast<size_t>(random.uniform() * static_cast<double>(steps.size()));
            TrialShape shape = population[i].shape;
            auto& v = shape.parameters;
            const auto &b = best.shape.parameters, &x1 = population[r1].shape.parameters,
                       &x2 = population[r2].shape.parameters;
            for (size_t d = 0; d < v.size() && d < steps.size(); ++d) {
                const bool cross = random.uniform() < kCrossover || d == forced;
                if (steps[d] > 0 && cross) v[d] += weight * (b[d] - v[d]) + weight * (x1[d] - x2[d]);
            }
            shapes[i] = m_trials.clamped(std::move(shape));
        }
        parallelForWorkers(size, m_threads, [&](size_t i, unsigned worker) {
            const TrialOutcome o = m_trials.evaluate(shapes[i], false, works[worker]);
            factors[i] = o.rejectedFor ? std::nullopt : std::optional(o.fs);
        });
        evaluations += static_cast<long>(size);
        for (size_t i = 0; i < size; ++i)
            if (factors[i] && *factors[i] < population[i].fs) {
                population[i].fs = *factors[i];
                population[i].shape = std::move(shapes[i]);
                population[i].order = m_trials.count() + static_cast<size_t>(generation + 1) * size + i;
            }
    }
    std::sort(population.begin(), population.end(), better);
    return population;
}

// From the best few of `starts` (sorted), on as many threads as there are starts.
std::vector<Candidate> Search::refine(const std::vector<Candidate>& starts, long& evaluations) const {
    const bool circles = m_p.search != SearchKind::Irregular && m_p.search != SearchKind::Block;
    const size_t n = std::min(circles ? kRefineStartsCircle : kRefineStartsOther, starts.size());
    std::vector<Candidate> refined(n);
    std::vector<long> counts(n, 0);
    parallelFor(n, m_threads, [&](size_t s) { refined[s] = refineFrom(starts[s], {}, &counts[s]); });
    for (long c : counts) evaluations += c;
    std::vector<Candidate> kept;
    for (size_t s = 0; s < n; ++s)
        if (refined[s].fs < starts[s].fs - 1e-12) {
            refined[s].order = m_trials.count() + (kGenerations + 2) * kPopulation + s;
            kept.push_back(std::move(refined[s]));
        }
    return kept;
}

// The ten most critical surfaces, generated or refined, each listed once: refinements from
// different starts often meet in one surface.
TrialShape Search::rankTheTen(AnalysisResult& result, std::vector<Candidate> found) {
    std::vector<Candidate> all = m_collected.pool;
    all.insert(all.end(), found.begin(), found.end());
    std::sort(all.begin(), all.end(), better);
    const double tol = 1e-2 * std::max(m_par.segmentLength, 1e-6 * std::max(m_s.xMax() - m_s.xMin(), 1.0));
    auto same = [tol](const TrialSurface& a, const TrialSurface& b) {
        return std::fabs(a.fs - b.fs) < 1e-5 && std::fabs(a.points.front().x - b.points.front().x) < tol &&
               std::fabs(a.points.back().x - b.points.back().x) < tol &&
               std::fabs(a.points.back().y - b.points.back().y) < tol;
    };
    TrialShape first;
    for (const Candidate& c : all) {
        if (result.critical.size() >= static_cast<size_t>(plotformat::kCriticalSurfaces)) break;
        TrialOutcome o = m_trials.evaluate(c.shape, true);
        if (o.rejectedFor) continue; // cannot happen: it was admissible when ranked
        const TrialSurface t{std::move(o.points), c.fs, o.circle, o.circular};
        if (!result.critical.empty() && same(t, result.critical.back())) continue;
        if (result.critical.empty()) first = c.shape;
        result.critical.push_back(t);
    }
    return first;
}

void Search::describe(AnalysisResult& result) const {
    switch (m_p.search) {
    case SearchKind::JanbuCircle:
        result.kind = "Circular surfaces searched, ranked by Janbu's simplified method (corrected).";
        break;
    case SearchKind::BishopCircle:
        result.kind = "Circular surfaces searched, ranked by Bishop's simplified method.";
        break;
    case SearchKind::Spencer: result.kind = "Circular surfaces searched, ranked by Spencer's method."; break;
    case SearchKind::Irregular:
        result.kind = "Irregular surfaces searched, ranked by Janbu's simplified method (corrected).";
        break;
    case SearchKind::Block:
        result.kind = "Sliding blocks searched, ranked by Janbu's simplified method (corrected).";
        break;
    default: break;
    }
    if (m_p.search == SearchKind::Block) {
        result.notes.push_back("Surfaces: " + std::to_string(m_par.surfacesPerPoint) + " through " +
                               std::to_string(m_par.boxes.size()) + " boxes, segment length " +
                               fixed(m_par.blockSegmentLength, 3));
        return;
    }
    result.notes.push_back("Initiation points: " + std::to_string(m_par.initiationPoints) +
                           " from x = " + fixed(m_par.initLeftX, 3) + " to " + fixed(m_par.initRightX, 3) +
                           "; surfaces per point: " + std::to_string(m_par.surfacesPerPoint));
    result.notes.push_back("Termination range: x = " + fixed(m_par.termLeftX, 3) + " to " +
                           fixed(m_par.termRightX, 3) + "; minimum elevation " +
                           fixed(m_par.minElevation, 3) + "; segment length " +
                           fixed(m_par.segmentLength, 3) + "; direction limits " + fixed(m_par.cwLimit, 3) +
                           " to " + fixed(m_par.ccwLimit, 3) + " degrees");
}

// Fewer than a tenth of the trials admissible: the ranges or limits rule out most surfaces.
void Search::admissibleShareWarning(AnalysisResult& result) const {
    if (result.generated == 0 || result.admissible * 10 >= result.generated) return;
    const auto dominant = std::max_element(result.rejected.begin(), result.rejected.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
    std::string w = "Only " + std::to_string(result.admissible) + " of " + std::to_string(result.generated) +
                    " trial surfaces were admissible";
    if (dominant != result.rejected.end())
        w += "; most were rejected because the surface " + dominant->first + " (" +
             std::to_string(dominant->second) + ")";
    result.warnings.push_back(w + ". Check the search ranges, the minimum elevation and the limit lines.");
}

void Search::boundaryWarnings(AnalysisResult& result, const TrialShape& best) const {
    const auto& pts = result.best.sliced.surface;
    const double tol = std::max(0.01 * m_par.segmentLength, 1e-3 * (m_s.xMax() - m_s.xMin()));
    std::vector<std::string> touched;
    if (m_p.search != SearchKind::Block) {
        if (std::fabs(pts.back().x - m_par.termLeftX) <= tol)
            touched.push_back("the left end of the termination range");
        if (std::fabs(pts.back().x - m_par.termRightX) <= tol)
            touched.push_back("the right end of the termination range");
        if (m_par.initiationPoints > 1 && std::fabs(pts.front().x - m_par.initLeftX) <= tol)
            touched.push_back("the left end of the initiation range");
        if (m_par.initiationPoints > 1 && std::fabs(pts.front().x - m_par.initRightX) <= tol)
            touched.push_back("the right end of the initiation range");
    }
    if (m_p.search != SearchKind::Block && best.parameters.size() > 1) {
        // The direction the surface leaves its initiation point in.
        if (std::fabs(best.parameters[1] - m_par.cwLimit) <= 1e-6)
            touched.push_back("the clockwise direction limit");
        else if (std::fabs(best.parameters[1] - m_par.ccwLimit) <= 1e-6)
            touched.push_back("the counterclockwise direction limit");
    }
    if (pts.front().x - m_s.xMin() <= tol) touched.push_back("the left edge of the model");
    if (m_s.xMax() - pts.back().x <= tol) touched.push_back("the right edge of the model");
    double lowest = pts.front().y;
    for (const Point& q : pts) lowest = std::min(lowest, q.y);
    if (lowest - m_trials.minimumElevation() <= tol)
        touched.push_back(m_p.search == SearchKind::Block ? "the bottom of the model"
                                                          : "the minimum elevation");
    auto nearLine = [&](const LimitLine& l) {
        const double len = std::hypot(l.b.x - l.a.x, l.b.y - l.a.y);
        if (len <= 0) return false;
        for (const Point& q : pts) {
            const double t = std::clamp(
                ((q.x - l.a.x) * (l.b.x - l.a.x) + (q.y - l.a.y) * (l.b.y - l.a.y)) / (len * len), 0.0, 1.0);
            if (std::hypot(q.x - (l.a.x + t * (l.b.x - l.a.x)), q.y - (l.a.y + t * (l.b.y - l.a.y))) <= tol)
                return true;
        }
        return false;
    };
    if (std::any_of(m_p.limits.begin(), m_p.limits.end(), nearLine)) touched.push_back("a limit line");
    if (m_p.search == SearchKind::Block) {
        const size_t boxes = 2 * m_par.boxes.size();
        for (size_t i = 0; i < boxes && i < best.parameters.size(); ++i) {
            // Position along the centre line runs 0..1, the offset -0.5..0.5.
            const double v = best.parameters[i] - (i % 2 == 0 ? 0.5 : 0.0);
            if (std::fabs(v) >= 0.5 - 1e-6) {
                touched.push_back("the edge of box " + std::to_string(i / 2 + 1));
                break;
            }
        }
        const char* wedges[] = {"the passive wedge", "the active wedge"};
        for (size_t k = 0; k < 2 && boxes + k < best.parameters.size(); ++k)
            if (std::fabs(best.parameters[boxes + k]) >= kWedgeTurn - 1e-6)
                touched.push_back("the end of the angles searched for " + std::string(wedges[k]) + " (" +
                                  fixed(kWedgeTurn, 0) + " degrees from 45 " + (k == 0 ? "- " : "+ ") +
                                  "phi/2)");
    }
    for (const std::string& t : touched)
        result.warnings.push_back("The critical surface touches " + t +
                                  ": the true minimum may lie outside what was searched.");
}

AnalysisResult Search::run() {
    AnalysisResult result;
    result.rankedBy = rankingName(m_trials.ranking());
    describe(result);
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point since) {
        return std::chrono::duration<double>(Clock::now() - since).count();
    };
    Clock::time_point started = Clock::now();
    m_collected.map = centreGrid();
    generate();
    result.generated = m_collected.generated;
    result.admissible = m_collected.admissible;
    for (const auto& [why, n] : m_collected.rejected) result.rejected.emplace_back(why, n);
    std::vector<Candidate> found;
    if (!m_collected.pool.empty()) {
        result.bestGenerated = m_collected.pool.front().fs;
        result.stages.push_back({"random trials", result.bestGenerated, result.generated, seconds(started)});
        started = Clock::now();
        long evaluations = 0;
        found = evolve(evaluations);
        report(m_trials.count());
        const double afterGlobal = found.empty() ? result.bestGenerated : found.front().fs;
        result.stages.push_back({"global stage", afterGlobal, evaluations, seconds(started)});
        started = Clock::now();
        // The refinement starts from the best of the trials and of the evolved population.
        std::vector<Candidate> starts = m_collected.pool;
        starts.insert(starts.end(), found.begin(), found.end());
        std::stable_sort(starts.begin(), starts.end(), better);
        evaluations = 0;
        std::vector<Candidate> refined = refine(starts, evaluations);
        report(m_trials.count());
        double afterRefinement = std::min(afterGlobal, result.bestGenerated);
        for (const Candidate& c : refined) afterRefinement = std::min(afterRefinement, c.fs);
        result.stages.push_back({"refinement", afterRefinement, evaluations, seconds(started)});
        found.insert(found.end(), refined.begin(), refined.end());
        const auto& st = result.stages;
        result.notes.push_back(
            "Best generated factor of safety: " + fixed(st[0].fs, 4) + " (" +
            std::to_string(st[0].evaluations) + " trials); after the global stage: " + fixed(st[1].fs, 4) +
            " (" + std::to_string(st[1].evaluations) +
            " evaluations); after refinement: " + fixed(st[2].fs, 4) + " (" +
            std::to_string(st[2].evaluations) + " evaluations); gain " + fixed(st[0].fs - st[2].fs, 4) + ".");
    }
    result.notes.push_back("Surfaces generated: " + std::to_string(result.generated) +
                           ", admissible: " + std::to_string(result.admissible) +
                           ", rejected: " + std::to_string(result.generated - result.admissible));
    for (const auto& [why, n] : m_collected.rejected)
        result.notes.push_back("  rejected, " + why + ": " + std::to_string(n));
    if (m_collected.pool.empty())
        result.warnings.push_back(
            "No admissible failure surface was found; check the initiation and termination "
            "ranges, the minimum elevation, the direction limits and the limit lines.");
    admissibleShareWarning(result);
    if (m_collected.pool.empty()) return result;
    // What the global stage and the refinement found has its place in the map too.
    for (const Candidate& c : found)
        if (const auto centre = m_trials.centreOf(c.shape)) m_collected.mapped(*centre, c.fs);
    result.centreMap = m_collected.map;
    result.convergence = m_collected.convergence;
    const TrialShape bestShape = rankTheTen(result, found);
    chooseMechanisms(result, found);
    result.trials = std::move(m_collected.plot);
    const TrialSurface& best = result.critical.front();
    result.best =
        evaluateSurface(m_s, best.points, best.circular ? &best.circle : nullptr, m_par.interSliceAngle);
    result.best.fs = best.fs;
    result.best.representedBy = result.rankedBy;
    result.found = result.best.ok;
    // Every listed surface's slices and forces go to the result file.
    result.others.resize(result.critical.size() - 1);
    parallelFor(result.others.size(), m_threads, [&](size_t i) {
        const TrialSurface& t = result.critical[i + 1];
        result.others[i] =
            evaluateSurface(m_s, t.points, t.circular ? &t.circle : nullptr, m_par.interSliceAngle);
        result.others[i].fs = t.fs;
        result.others[i].representedBy = result.rankedBy;
    });
    if (result.found) boundaryWarnings(result, bestShape);
    if (const std::string w = methodsDisagreement(result.best, best.fs, result.rankedBy); !w.empty())
        result.warnings.push_back(w);
    unrankedWarning(result);
    return result;
}

// Surfaces the rigorous ranking method has no solution for are left out of the ranking; when
// moment equilibrium alone puts some of them below the critical surface, the minimum may be there.
void Search::unrankedWarning(AnalysisResult& result) const {
    if (m_collected.bestUnranked.fs <= 0) return;
    const double critical = result.critical.empty() ? 0 : result.critical.front().fs;
    if (critical > 0 && m_collected.bestUnranked.fs >= critical * (1 - kUnrankedMargin)) return;
    // Refined by moment equilibrium alone, so the warning names how low such surfaces go.
    const double best = refineFrom(m_collected.bestUnranked, [this](const TrialShape& shape) {
                            return m_trials.momentFactor(shape);
                        }).fs;
    std::string w = std::string(rankingName(m_trials.ranking())) + "'s method has no solution on " +
                    std::to_string(m_collected.unranked) +
                    " trial surfaces; on some of them moment equilibrium "
                    "alone (Bishop's method) gives " +
                    fixed(best, 3);
    if (critical > 0)
        w += ", " + fixed(100 * (critical - best) / critical, 1) + " % below the critical factor " +
             fixed(critical, 3);
    result.warnings.push_back(w +
                              ". The critical surface may lie among them: steep exits leave no side forces "
                              "that balance both forces and moments (a tension crack, or a lower "
                              "counterclockwise direction limit, helps).");
}

} // namespace

AnalysisResult searchSurfaces(const Problem& problem, const Slope& slope, const SearchSettings& settings) {
    AnalysisResult invalid;
    invalid.rankedBy = "none";
    auto refuse = [&invalid](const std::string& why) {
        invalid.kind = "The search was not run.";
        invalid.refused = true;
        invalid.warnings.push_back(why);
        return invalid;
    };
    if (const std::string why = searchRefusal(problem, slope.xMax() - slope.xMin()); !why.empty())
        return refuse(why);
    return Search(problem, slope, settings).run();
}

std::string searchRefusal(const Problem& problem, double groundWidth) {
    const SearchParameters& s = problem.parameters;
    const double width = groundWidth;
    if (problem.search == SearchKind::Block) {
        if (s.boxes.empty()) return "The block search has no boxes.";
        if (s.surfacesPerPoint <= 0) return "The block search asks for no surfaces.";
        if (!(s.blockSegmentLength > width / 2000))
            return "The block segment length is too small for the slope.";
    } else {
        if (s.initiationPoints <= 0 || s.surfacesPerPoint <= 0) return "The search asks for no surfaces.";
        if (!(s.segmentLength > width / 2000)) return "The segment length is too small for the slope.";
        if (s.cwLimit > s.ccwLimit)
            return "The clockwise direction limit lies above the counterclockwise one.";
    }
    if (static_cast<double>(std::max(1, s.initiationPoints)) * s.surfacesPerPoint > kMaxSurfaces)
        return "The search asks for more than " + std::to_string(kMaxSurfaces) + " surfaces.";
    return {};
}

} // namespace velda

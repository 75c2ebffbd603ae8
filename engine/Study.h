#pragma once
// Probabilistic, sensitivity and back analysis of one problem: random variables on the problem's
// inputs, samples drawn from the seed and each sample's own index, each sample analysed in memory
// (no file is read or written per sample), and the statistics of the factor of safety.
//
// Sampling. Sample i of a study with seed s takes, for variable k, a uniform number u_ik that depends
// on (s, i, k) alone: Monte Carlo hashes them (SplitMix64); Latin hypercube puts sample i in stratum
// pi_k(i) of N equal strata, pi_k a permutation of 0..N-1 keyed by (s, k) and computed for one index
// at a time (a Feistel network with cycle walking), and hashes the place within the stratum. So any
// range of samples can be drawn on its own, on any number of threads, with the same numbers. The
// uniforms become standard normal numbers z = Phi^-1(u), correlated as L z with L the Cholesky factor
// of the correlation matrix (a Gaussian copula), and each becomes its variable through its own
// distribution's inverse: x = F^-1(F(a) + Phi(z') (F(b) - F(a))) for a distribution truncated to [a, b].
//
// Estimators (N samples, factors F_i). Mean and standard deviation (n - 1) of F; probability of failure
// Pf = #{F_i < 1} / N with Wilson's 95 % interval; reliability index beta = (mean - 1) / sd for a normal
// factor and ln(mean / sqrt(1 + V^2)) / sqrt(ln(1 + V^2)) (V = sd / mean) for a lognormal one. The
// first-order (Taylor series) estimate beside them: F at the means, and each variable moved by +- one
// standard deviation, dF_k = (F(mu + sigma_k) - F(mu - sigma_k)) / 2, sd^2 = sum_jk rho_jk dF_j dF_k.
#include "Analysis.h"
#include "Problem.h"
#include "Search.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velda {

// What a variable moves in the problem.
struct StudyTarget {
    enum class Kind {
        MoistWeight,
        SaturatedWeight,
        Cohesion,
        FrictionAngle, // degrees
        TanFriction,   // tan of the friction angle
        WaterOffset,   // added to every point of a water surface
        Kh,
        Kv,
        Surcharge, // a load's intensity
        Tieback,   // a tieback's load
    };
    Kind kind = Kind::Cohesion;
    int index = 0; // 1-based soil, water surface, load or tieback; 0 for kh and kv
};

struct Distribution {
    enum class Kind { Normal, Lognormal, Uniform, Triangular };
    Kind kind = Kind::Normal;
    double mean = 0, sd = 0;            // normal and lognormal: of the variable itself
    double min = 0, mode = 0, max = 0;  // uniform (min, max) and triangular
    std::optional<double> lower, upper; // truncation
    double cdf(double x) const;
    double quantile(double p) const;
    double centre() const; // the mean of the untruncated distribution
    double spread() const; // its standard deviation
};

struct StudyVariable {
    std::string name; // as the study file names it, e.g. "soil 1 cohesion"
    StudyTarget target;
    Distribution distribution;
};

struct Study {
    std::vector<StudyVariable> variables;
    std::vector<std::vector<double>> correlation; // full matrix, ones on the diagonal; empty: none
    enum class Sampling { MonteCarlo, LatinHypercube } sampling = Sampling::MonteCarlo;
    uint64_t samples = 1000;
    uint64_t seed = 1;
    enum class Mode { Search, Surface } mode = Mode::Search;
    // The method whose factor is studied; empty: the one the problem's search ranks by (for the
    // critical surface re-evaluated: that surface's representing method).
    std::string method;
};

// Why the study cannot run on `problem` (a target that does not exist, parameters no distribution
// has, a correlation matrix that is not positive definite); empty when it can. `where` names the
// variable or matrix entry, as the study file's path.
struct StudyRefusal {
    std::string where, why;
};
std::optional<StudyRefusal> checkStudy(const Study& study, const Problem& problem);

// The inputs of sample `index` (0-based), one per variable.
std::vector<double> sampleInputs(const Study& study, uint64_t index);
// The problem with the variables at `values`.
Problem applyInputs(const Problem& problem, const Study& study, const std::vector<double>& values);

// The study's analysis of one problem: the deterministic critical surface at the means (for the
// surface mode), then factors of any inputs.
class StudyRunner {
public:
    // Throws std::runtime_error when the problem at the variables' means finds no critical surface.
    StudyRunner(const Problem& problem, const Study& study);
    // The factor for the inputs; nothing when no admissible surface is found or the method gives none.
    std::optional<double> factor(const std::vector<double>& values) const;
    // The critical surface at the means.
    const std::vector<Point>& surface() const { return m_surface; }
    const std::string& method() const { return m_method; }
    const Problem& problem() const { return m_problem; }

private:
    const Problem& m_problem;
    const Study& m_study;
    std::vector<Point> m_surface;
    Circle m_circle;
    bool m_circular = false;
    std::string m_method;
};

struct SampleRow {
    uint64_t index = 0;
    std::vector<double> inputs;
    std::optional<double> fs;
};

// Samples from..to-1 on `threads` threads (0: every core), in index order; `progress` hears how many
// are done and may stop the run (RunCancelled).
std::vector<SampleRow> runSamples(const StudyRunner& runner, const Study& study, uint64_t from, uint64_t to,
                                  unsigned threads, const ProgressFn& progress = {});

struct StudySummary {
    uint64_t samples = 0, failed = 0; // failed: no factor (no admissible surface)
    double mean = 0, sd = 0;
    double pf = 0, pfLow = 0, pfHigh = 0; // with Wilson's 95 % interval
    double betaNormal = 0, betaLognormal = 0;
    uint64_t lowestIndex = 0; // the sample with the lowest factor
    double lowest = 0;
    struct Point {
        uint64_t samples = 0;
        double mean = 0, pf = 0;
    };
    std::vector<Point> convergence; // after 1, 2, 4, ... samples and after the last
};
// The statistics of the rows, taken in index order (the same numbers however they were computed).
StudySummary summarise(const std::vector<SampleRow>& rows);

// The first-order (Taylor series) estimate: F's standard deviation from each variable's change of F over
// one standard deviation (Duncan's central difference at mean +- sigma). Where mean +- sigma leaves the
// variable's bounds or the analysis gives no factor there, the step halves (up to six times) and the
// difference is scaled back to one sigma; at a bound it is one-sided. `why` says why there is no
// estimate (then the numbers are 0).
struct TaylorEstimate {
    double fsAtMeans = 0, mean = 0, sd = 0, betaNormal = 0, betaLognormal = 0, pfNormal = 0;
    std::vector<double> dF; // per variable, F(mu + sigma) - F(mu - sigma), halved
    std::string why;
};
TaylorEstimate taylorEstimate(const StudyRunner& runner, const Study& study);

// Each variable swept over `points` values from its mean - k sd to mean + k sd (within its bounds),
// the others at their means.
struct SweepLine {
    std::vector<double> values;
    std::vector<std::optional<double>> fs;
    double swing = 0; // highest minus lowest factor
};
struct Sensitivity {
    std::optional<double> atMeans; // every variable at its mean: where the sweeps cross
    std::vector<SweepLine> lines;  // one per variable
};
Sensitivity sensitivity(const StudyRunner& runner, const Study& study, int points, double k);

// The value of variable `variable` in [low, high] at which the factor equals `target` (TOMS 748).
struct BackAnalysis {
    bool bracketed = false;
    double value = 0, fs = 0;
    int iterations = 0;
    double fsLow = 0, fsHigh = 0;                 // at the range's ends
    std::vector<std::pair<double, double>> steps; // every value tried and its factor, in order
    std::string message;
};
BackAnalysis backAnalyse(const StudyRunner& runner, const Study& study, size_t variable, double low,
                         double high, double target);

} // namespace velda

#include "Study.h"

#include "Engine.h"
#include "Slope.h"
#include "Trials.h"

#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/triangular.hpp>
#include <boost/math/distributions/uniform.hpp>
#include <boost/math/tools/toms748_solve.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace velda {
namespace {

// ---- numbers from (seed, index, variable) alone ----

uint64_t splitmix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t hash(uint64_t seed, uint64_t a, uint64_t b, uint64_t salt) {
    return splitmix(seed ^ splitmix(a ^ splitmix(b ^ splitmix(salt))));
}

// In (0, 1), never 0 or 1 (the normal quantile of either is infinite).
double unit(uint64_t h) {
    return (static_cast<double>(h >> 11) + 0.5) * (1.0 / 9007199254740992.0);
}

// A permutation of 0..n-1 keyed by `key`, one index at a time: a four-round Feistel network on the
// smallest even number of bits that holds n, walking the cycle until the image falls below n.
uint64_t permute(uint64_t i, uint64_t n, uint64_t key) {
    int bits = 2;
    while ((uint64_t{1} << bits) < n) bits += 2;
    const int half = bits / 2;
    const uint64_t mask = (uint64_t{1} << half) - 1;
    uint64_t x = i;
    do {
        uint64_t l = x >> half, r = x & mask;
        for (uint64_t round = 0; round < 4; ++round) {
            const uint64_t f = splitmix(r ^ splitmix(key + round)) & mask;
            const uint64_t next = l ^ f;
            l = r;
            r = next;
        }
        x = (l << half) | r;
    } while (x >= n);
    return x;
}

const boost::math::normal_distribution<double> kStandard;

double phi(double z) {
    return boost::math::cdf(kStandard, z);
}
double phiInverse(double p) {
    return boost::math::quantile(kStandard, std::clamp(p, 1e-300, 1 - 1e-16));
}

// The lower Cholesky factor of a symmetric matrix; nothing when it is not positive definite.
std::optional<std::vector<std::vector<double>>> cholesky(const std::vector<std::vector<double>>& a) {
    const size_t n = a.size();
    std::vector<std::vector<double>> l(n, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j <= i; ++j) {
            double s = a[i][j];
            for (size_t k = 0; k < j; ++k) s -= l[i][k] * l[j][k];
            if (i == j) {
                if (!(s > 1e-12)) return std::nullopt;
                l[i][i] = std::sqrt(s);
            } else {
                l[i][j] = s / l[j][j];
            }
        }
    return l;
}

double methodFactor(const EvaluatedSurface& e, const std::string& method, bool& ok) {
    const std::optional<double> fs = methodFs(e, method);
    ok = fs.has_value();
    return fs.value_or(0);
}

bool knownMethod(const std::string& m) {
    return methodNamed(EvaluatedSurface{}, m) != nullptr;
}

AnalysisResult analyseWith(const Problem& p, const Slope& slope, unsigned threads) {
    if (p.search == SearchKind::UserSurface) return analyse(p, slope);
    SearchSettings settings;
    settings.threads = threads;
    return searchSurfaces(p, slope, settings);
}

} // namespace

// ---- distributions ----

namespace {

boost::math::lognormal_distribution<double> lognormalOf(double mean, double sd) {
    const double s2 = std::log(1 + (sd * sd) / (mean * mean));
    return boost::math::lognormal_distribution<double>(std::log(mean) - s2 / 2, std::sqrt(s2));
}

} // namespace

double Distribution::cdf(double x) const {
    // A standard deviation of 0 is a constant: a step at the mean.
    if ((kind == Kind::Normal || kind == Kind::Lognormal) && !(sd > 0)) return x < mean ? 0.0 : 1.0;
    switch (kind) {
    case Kind::Normal: return boost::math::cdf(boost::math::normal_distribution<double>(mean, sd), x);
    case Kind::Lognormal: return x <= 0 ? 0.0 : boost::math::cdf(lognormalOf(mean, sd), x);
    case Kind::Uniform: return x <= min ? 0.0 : (x >= max ? 1.0 : (x - min) / (max - min));
    case Kind::Triangular:
        return x <= min ? 0.0
                        : (x >= max ? 1.0
                                    : boost::math::cdf(
                                          boost::math::triangular_distribution<double>(min, mode, max), x));
    }
    return 0;
}

double Distribution::quantile(double p) const {
    p = std::clamp(p, 1e-300, 1 - 1e-16);
    if ((kind == Kind::Normal || kind == Kind::Lognormal) && !(sd > 0)) return mean;
    switch (kind) {
    case Kind::Normal: return boost::math::quantile(boost::math::normal_distribution<double>(mean, sd), p);
    case Kind::Lognormal: return boost::math::quantile(lognormalOf(mean, sd), p);
    case Kind::Uniform: return min + p * (max - min);
    case Kind::Triangular:
        return boost::math::quantile(boost::math::triangular_distribution<double>(min, mode, max), p);
    }
    return 0;
}

double Distribution::centre() const {
    switch (kind) {
    case Kind::Normal:
    case Kind::Lognormal: return mean;
    case Kind::Uniform: return (min + max) / 2;
    case Kind::Triangular: return (min + mode + max) / 3;
    }
    return 0;
}

double Distribution::spread() const {
    switch (kind) {
    case Kind::Normal:
    case Kind::Lognormal: return sd;
    case Kind::Uniform: return (max - min) / std::sqrt(12.0);
    case Kind::Triangular:
        return std::sqrt((min * min + mode * mode + max * max - min * mode - min * max - mode * max) / 18);
    }
    return 0;
}

// ---- the study ----

std::optional<StudyRefusal> checkStudy(const Study& study, const Problem& problem) {
    for (size_t k = 0; k < study.variables.size(); ++k) {
        const StudyVariable& v = study.variables[k];
        const std::string where = "variables[" + std::to_string(k) + "]";
        auto refuse = [&](const std::string& key, const std::string& why) {
            return StudyRefusal{where + (key.empty() ? "" : "." + key), why};
        };
        const int i = v.target.index;
        using K = StudyTarget::Kind;
        switch (v.target.kind) {
        case K::MoistWeight:
        case K::SaturatedWeight:
        case K::Cohesion:
        case K::FrictionAngle:
        case K::TanFriction:
            if (i < 1 || i > static_cast<int>(problem.soils.size()))
                return refuse("soil", "there is no soil " + std::to_string(i) + " (the problem has " +
                                          std::to_string(problem.soils.size()) + ")");
            break;
        case K::WaterOffset:
            if (!problem.waterOn || i < 1 || i > static_cast<int>(problem.piezometricSurfaces.size()))
                return refuse("surface", "there is no water surface " + std::to_string(i));
            break;
        case K::Surcharge:
            if (i < 1 || i > static_cast<int>(problem.loads.size()))
                return refuse("load", "there is no surcharge load " + std::to_string(i));
            break;
        case K::Tieback:
            if (i < 1 || i > static_cast<int>(problem.tiebacks.size()))
                return refuse("tieback", "there is no tieback " + std::to_string(i));
            break;
        case K::Kh:
        case K::Kv:
            // Without the earthquake section the coefficients act on nothing: every sample would be
            // the same analysis.
            if (!problem.equakeOn)
                return refuse("property", std::string(v.target.kind == K::Kh ? "kh" : "kv") +
                                              ": the problem has no earthquake loading");
            break;
        }
        const Distribution& d = v.distribution;
        using D = Distribution::Kind;
        if ((d.kind == D::Normal || d.kind == D::Lognormal) && !(d.sd >= 0))
            return refuse("sd", "a standard deviation below 0");
        if (d.kind == D::Lognormal && !(d.mean > 0))
            return refuse("mean", "a lognormal variable's mean must be above 0");
        if (d.kind == D::Uniform && !(d.max > d.min))
            return refuse("max", "the maximum must be above the minimum");
        if (d.kind == D::Triangular && !(d.min <= d.mode && d.mode <= d.max && d.max > d.min))
            return refuse("mode", "the mode must lie between the minimum and the maximum");
        if (d.lower && d.upper && !(*d.upper > *d.lower))
            return refuse("upper", "the upper bound must be above the lower");
        const double c = d.centre();
        if ((d.lower && c < *d.lower) || (d.upper && c > *d.upper))
            return refuse(d.lower && c < *d.lower ? "lower" : "upper", "the bounds exclude the mean");
        if (d.kind != D::Normal && d.kind != D::Lognormal) continue;
        // Bounds with no probability between them leave nothing to draw.
        const double pa = d.lower ? d.cdf(*d.lower) : 0.0, pb = d.upper ? d.cdf(*d.upper) : 1.0;
        if (!(pb - pa > 1e-12)) return refuse("upper", "the bounds leave no probability between them");
    }
    const size_t n = study.variables.size();
    if (!study.correlation.empty()) {
        if (study.correlation.size() != n)
            return StudyRefusal{"correlations", "the matrix does not match the variables"};
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j) {
                const double r = study.correlation[i][j];
                if (study.correlation[i].size() != n || !(r >= -1 && r <= 1) || (i == j && r != 1) ||
                    r != study.correlation[j][i])
                    return StudyRefusal{"correlations",
                                        "coefficients must lie in -1..1, symmetric, 1 on the diagonal"};
            }
        if (!cholesky(study.correlation))
            return StudyRefusal{"correlations", "the correlation matrix is not positive definite"};
    }
    if (!study.method.empty() && !knownMethod(study.method))
        return StudyRefusal{"method", "unknown method \"" + study.method + "\""};
    if (study.samples < 1) return StudyRefusal{"samples", "at least one sample"};
    return std::nullopt;
}

std::vector<double> sampleInputs(const Study& study, uint64_t index) {
    const size_t n = study.variables.size();
    std::vector<double> z(n);
    for (size_t k = 0; k < n; ++k) {
        double u;
        if (study.sampling == Study::Sampling::LatinHypercube) {
            const uint64_t stratum = permute(index % study.samples, study.samples, hash(study.seed, k, 0, 1));
            u = (static_cast<double>(stratum) + unit(hash(study.seed, index, k, 2))) /
                static_cast<double>(study.samples);
        } else {
            u = unit(hash(study.seed, index, k, 3));
        }
        z[k] = phiInverse(u);
    }
    if (!study.correlation.empty())
        if (const auto l = cholesky(study.correlation)) {
            std::vector<double> c(n, 0.0);
            for (size_t i = 0; i < n; ++i)
                for (size_t j = 0; j <= i; ++j) c[i] += (*l)[i][j] * z[j];
            z = c;
        }
    std::vector<double> x(n);
    for (size_t k = 0; k < n; ++k) {
        const Distribution& d = study.variables[k].distribution;
        const double pa = d.lower ? d.cdf(*d.lower) : 0.0, pb = d.upper ? d.cdf(*d.upper) : 1.0;
        x[k] = d.quantile(pa + phi(z[k]) * (pb - pa));
        if (d.lower) x[k] = std::max(x[k], *d.lower);
        if (d.upper) x[k] = std::min(x[k], *d.upper);
    }
    return x;
}

Problem applyInputs(const Problem& problem, const Study& study, const std::vector<double>& values) {
    Problem p = problem;
    for (size_t k = 0; k < study.variables.size() && k < values.size(); ++k) {
        const StudyTarget& t = study.variables[k].target;
        const double v = values[k];
        const size_t i = static_cast<size_t>(std::max(t.index, 1) - 1);
        using K = StudyTarget::Kind;
        switch (t.kind) {
        case K::MoistWeight: p.soils.at(i).moistWeight = v; break;
        case K::SaturatedWeight: p.soils.at(i).saturatedWeight = v; break;
        case K::Cohesion: p.soils.at(i).cohesion = v; break;
        case K::FrictionAngle: p.soils.at(i).phi = v; break;
        case K::TanFriction: p.soils.at(i).phi = std::atan(v) * 180 / std::numbers::pi; break;
        case K::WaterOffset:
            for (Point& pt : p.piezometricSurfaces.at(i)) pt.y += v;
            break;
        case K::Kh: p.kh = v; break;
        case K::Kv: p.kv = v; break;
        case K::Surcharge: p.loads.at(i).intensity = v; break;
        case K::Tieback: p.tiebacks.at(i).load = v; break;
        }
    }
    return p;
}

namespace {

std::vector<double> centres(const Study& study) {
    std::vector<double> c;
    for (const StudyVariable& v : study.variables) c.push_back(v.distribution.centre());
    return c;
}

} // namespace

StudyRunner::StudyRunner(const Problem& problem, const Study& study) : m_problem(problem), m_study(study) {
    const Problem atMeans = applyInputs(problem, study, centres(study));
    const Slope slope(atMeans);
    const AnalysisResult r = analyseWith(atMeans, slope, 0);
    if (!r.found) throw std::runtime_error("the problem at the variables' means has no critical surface");
    m_surface = r.best.sliced.surface;
    m_circle = r.best.circle;
    m_circular = !r.critical.empty() && r.critical.front().circular;
    m_method = !study.method.empty()                ? study.method
               : study.mode == Study::Mode::Surface ? r.best.representedBy
                                                    : r.rankedBy;
}

std::optional<double> StudyRunner::factor(const std::vector<double>& values) const {
    const Problem p = applyInputs(m_problem, m_study, values);
    const Slope slope(p);
    bool ok = false;
    double fs = 0;
    if (m_study.mode == Study::Mode::Surface) {
        const EvaluatedSurface e =
            evaluateSurface(slope, m_surface, m_circular ? &m_circle : nullptr, p.parameters.interSliceAngle);
        if (!e.ok) return std::nullopt;
        fs = methodFactor(e, m_method, ok);
    } else {
        const AnalysisResult r = analyseWith(p, slope, 1);
        if (!r.found) return std::nullopt;
        fs = methodFactor(r.best, m_method, ok);
    }
    return ok && std::isfinite(fs) ? std::optional<double>(fs) : std::nullopt;
}

std::vector<SampleRow> runSamples(const StudyRunner& runner, const Study& study, uint64_t from, uint64_t to,
                                  unsigned threads, const ProgressFn& progress) {
    std::vector<SampleRow> rows(static_cast<size_t>(to > from ? to - from : 0));
    const unsigned n = threads > 0 ? threads : searchThreads();
    const size_t chunk = std::max<size_t>(64, 8 * n);
    for (size_t first = 0; first < rows.size(); first += chunk) {
        const size_t size = std::min(chunk, rows.size() - first);
        parallelFor(size, n, [&](size_t i) {
            SampleRow& row = rows[first + i];
            row.index = from + first + i;
            row.inputs = sampleInputs(study, row.index);
            row.fs = runner.factor(row.inputs);
        });
        if (progress && !progress({first + size, rows.size(), 0})) throw RunCancelled{};
    }
    return rows;
}

StudySummary summarise(const std::vector<SampleRow>& unordered) {
    std::vector<const SampleRow*> rows;
    for (const SampleRow& r : unordered) rows.push_back(&r);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SampleRow* a, const SampleRow* b) { return a->index < b->index; });
    StudySummary s;
    s.samples = rows.size();
    double sum = 0;
    uint64_t n = 0, below = 0;
    bool first = true;
    for (const SampleRow* r : rows) {
        if (!r->fs) {
            ++s.failed;
            continue;
        }
        const double f = *r->fs;
        sum += f;
        ++n;
        if (f < 1) ++below;
        if (first || f < s.lowest) {
            s.lowest = f;
            s.lowestIndex = r->index;
            first = false;
        }
        if ((n & (n - 1)) == 0)
            s.convergence.push_back(
                {n, sum / static_cast<double>(n), static_cast<double>(below) / static_cast<double>(n)});
    }
    if (n == 0) return s;
    if (s.convergence.empty() || s.convergence.back().samples != n)
        s.convergence.push_back(
            {n, sum / static_cast<double>(n), static_cast<double>(below) / static_cast<double>(n)});
    const double dn = static_cast<double>(n);
    s.mean = sum / dn;
    double squares = 0;
    for (const SampleRow* r : rows)
        if (r->fs) squares += (*r->fs - s.mean) * (*r->fs - s.mean);
    s.sd = n > 1 ? std::sqrt(squares / (dn - 1)) : 0;
    s.pf = static_cast<double>(below) / dn;
    const double z = 1.959963984540054, z2 = z * z;
    const double centre = (s.pf + z2 / (2 * dn)) / (1 + z2 / dn);
    const double half = z * std::sqrt(s.pf * (1 - s.pf) / dn + z2 / (4 * dn * dn)) / (1 + z2 / dn);
    s.pfLow = std::max(0.0, centre - half);
    s.pfHigh = std::min(1.0, centre + half);
    if (s.sd > 0) {
        s.betaNormal = (s.mean - 1) / s.sd;
        const double v = s.sd / s.mean, l = std::log(1 + v * v);
        s.betaLognormal = std::log(s.mean / std::sqrt(1 + v * v)) / std::sqrt(l);
    }
    return s;
}

TaylorEstimate taylorEstimate(const StudyRunner& runner, const Study& study) {
    TaylorEstimate t;
    const std::vector<double> mu = centres(study);
    const auto f0 = runner.factor(mu);
    if (!f0) {
        t.why = "no factor of safety with every variable at its mean";
        return t;
    }
    t.fsAtMeans = *f0;
    t.mean = *f0;
    for (size_t k = 0; k < mu.size(); ++k) {
        const Distribution& d = study.variables[k].distribution;
        const double s = d.spread();
        std::optional<double> change;
        for (int halving = 0; halving <= 6 && !change && s > 0; ++halving) {
            const double h = s / (1 << halving);
            auto at = [&](double x) -> std::optional<double> {
                if ((d.lower && x < *d.lower) || (d.upper && x > *d.upper)) return std::nullopt;
                std::vector<double> v = mu;
                v[k] = x;
                return runner.factor(v);
            };
            const auto fu = at(mu[k] + h), fd = at(mu[k] - h);
            if (fu && fd)
                change = (*fu - *fd) / 2 * (s / h);
            else if (fu || fd) // one side beyond a bound or without a factor: one-sided
                change = (fu ? *fu - *f0 : *f0 - *fd) * (s / h);
        }
        if (s > 0 && !change) {
            t = TaylorEstimate{};
            t.why = "no factor of safety near the mean of variable " + std::to_string(k + 1) +
                    " (within one standard deviation)";
            return t;
        }
        t.dF.push_back(change.value_or(0));
    }
    double var = 0;
    for (size_t i = 0; i < mu.size(); ++i)
        for (size_t j = 0; j < mu.size(); ++j) {
            const double r = i == j ? 1.0 : (study.correlation.empty() ? 0.0 : study.correlation[i][j]);
            var += r * t.dF[i] * t.dF[j];
        }
    t.sd = std::sqrt(var);
    if (t.sd > 0) {
        t.betaNormal = (t.mean - 1) / t.sd;
        t.pfNormal = phi(-t.betaNormal);
        const double v = t.sd / t.mean, l = std::log(1 + v * v);
        t.betaLognormal = std::log(t.mean / std::sqrt(1 + v * v)) / std::sqrt(l);
    }
    return t;
}

Sensitivity sensitivity(const StudyRunner& runner, const Study& study, int points, double k) {
    Sensitivity out;
    std::vector<SweepLine>& lines = out.lines;
    const std::vector<double> mu = centres(study);
    out.atMeans = runner.factor(mu);
    points = std::max(points, 2);
    for (size_t v = 0; v < mu.size(); ++v) {
        const Distribution& d = study.variables[v].distribution;
        double lo = d.kind == Distribution::Kind::Uniform || d.kind == Distribution::Kind::Triangular
                        ? d.min
                        : mu[v] - k * d.spread();
        double hi = d.kind == Distribution::Kind::Uniform || d.kind == Distribution::Kind::Triangular
                        ? d.max
                        : mu[v] + k * d.spread();
        if (d.lower) lo = std::max(lo, *d.lower);
        if (d.upper) hi = std::min(hi, *d.upper);
        if (d.kind == Distribution::Kind::Lognormal) lo = std::max(lo, 1e-9 * std::max(1.0, mu[v]));
        SweepLine line;
        double lowest = 0, highest = 0;
        bool any = false;
        for (int i = 0; i < points; ++i) {
            std::vector<double> x = mu;
            x[v] = lo + (hi - lo) * i / (points - 1);
            line.values.push_back(x[v]);
            const auto f = runner.factor(x);
            line.fs.push_back(f);
            if (f) {
                lowest = any ? std::min(lowest, *f) : *f;
                highest = any ? std::max(highest, *f) : *f;
                any = true;
            }
        }
        line.swing = highest - lowest;
        lines.push_back(std::move(line));
    }
    return out;
}

BackAnalysis backAnalyse(const StudyRunner& runner, const Study& study, size_t variable, double low,
                         double high, double target) {
    BackAnalysis b;
    std::vector<double> x = centres(study);
    auto f = [&](double v) {
        x.at(variable) = v;
        const auto fs = runner.factor(x);
        if (!fs) throw std::domain_error("no factor of safety at " + std::to_string(v));
        b.steps.emplace_back(v, *fs);
        return *fs - target;
    };
    try {
        const double fl = f(low), fh = f(high);
        b.fsLow = fl + target;
        b.fsHigh = fh + target;
        if ((fl > 0) == (fh > 0) && fl != 0 && fh != 0) {
            b.message = "The factor of safety is " + std::to_string(b.fsLow) + " at " + std::to_string(low) +
                        " and " + std::to_string(b.fsHigh) + " at " + std::to_string(high) + ": the target " +
                        std::to_string(target) + " is not between them. Widen the range.";
            return b;
        }
        boost::uintmax_t iterations = 60;
        const auto [a, c] = boost::math::tools::toms748_solve(
            f, low, high, fl, fh, boost::math::tools::eps_tolerance<double>(40), iterations);
        b.value = (a + c) / 2;
        b.fs = f(b.value) + target;
        b.iterations = static_cast<int>(iterations);
        b.bracketed = true;
    } catch (const std::exception& e) {
        b.message = std::string("The back analysis stopped: ") + e.what();
    }
    return b;
}

} // namespace velda

#include "Methods.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <numeric>
#include <optional>

#include <boost/math/tools/toms748_solve.hpp>

namespace velda {
namespace {

std::string sliceText(size_t i) {
    return "slice " + std::to_string(i + 1);
}

std::string twoDecimals(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// Moment arms about the centre of a unit normal and a unit shear force on the base.
struct Arms {
    double normal, shear, external;
};
Arms arms(const Slice& s, const Point& o) {
    const double dx = s.base.x - o.x, dy = s.base.y - o.y;
    return {dx * s.cosA + dy * s.sinA, dx * s.sinA - dy * s.cosA, s.moment + dx * s.fy - dy * s.fx};
}

double weightSum(const std::vector<Slice>& slices) {
    double w = 0;
    for (const Slice& s : slices) w += std::fabs(s.weight) + std::hypot(s.fx, s.fy + s.weight);
    return std::max(w, 1e-12);
}

// c l + (N - U) tan(phi): the classical term, negative where the effective normal force is.
double availableShear(const Slice& s, double n) {
    return s.cohesion * s.baseLength + (n - s.poreForce) * s.tanPhi;
}

} // namespace

Circle fitCircle(const std::vector<Point>& pts) {
    Circle c;
    if (pts.size() < 2) return c;
    const Point a = pts.front(), b = pts.back();
    const double chord = std::max(std::hypot(b.x - a.x, b.y - a.y), 1e-12);
    // Centred coordinates keep the normal equations well conditioned.
    double mx = 0, my = 0;
    for (const Point& p : pts) {
        mx += p.x;
        my += p.y;
    }
    mx /= static_cast<double>(pts.size());
    my /= static_cast<double>(pts.size());
    double s[3][4] = {};
    for (const Point& p : pts) {
        const double x = p.x - mx, y = p.y - my, z = -(x * x + y * y);
        const double row[3] = {x, y, 1};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) s[i][j] += row[i] * row[j];
            s[i][3] += row[i] * z;
        }
    }
    // Gaussian elimination with partial pivoting.
    bool singular = pts.size() < 3;
    for (int i = 0; i < 3 && !singular; ++i) {
        int piv = i;
        for (int k = i + 1; k < 3; ++k)
            if (std::fabs(s[k][i]) > std::fabs(s[piv][i])) piv = k;
        if (std::fabs(s[piv][i]) < 1e-14 * (1 + chord * chord * chord * chord)) {
            singular = true;
            break;
        }
        for (int j = 0; j < 4; ++j) std::swap(s[i][j], s[piv][j]);
        for (int k = 0; k < 3; ++k) {
            if (k == i) continue;
            const double f = s[k][i] / s[i][i];
            for (int j = i; j < 4; ++j) s[k][j] -= f * s[i][j];
        }
    }
    if (!singular) {
        const double d = s[0][3] / s[0][0], e = s[1][3] / s[1][1], f = s[2][3] / s[2][2];
        const double cx = -d / 2, cy = -e / 2, r2 = cx * cx + cy * cy - f;
        if (r2 > 0 && std::sqrt(r2) < 1e4 * chord) {
            c.centre = {cx + mx, cy + my};
            c.radius = std::sqrt(r2);
            double worst = 0;
            for (const Point& p : pts)
                worst = std::max(worst, std::fabs(std::hypot(p.x - c.centre.x, p.y - c.centre.y) - c.radius));
            // On the circle, and in chords short enough to stand for its arc (at most 30 degrees).
            double longest = 0;
            for (size_t i = 0; i + 1 < pts.size(); ++i)
                longest = std::max(longest, std::hypot(pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y));
            c.exact = worst <= 1e-3 * std::min(c.radius, chord) &&
                      longest <= 2 * c.radius * std::sin(std::numbers::pi / 12);
            return c;
        }
    }
    // A straight surface: a centre far above it turns moments into force along the surface.
    const double nx = -(b.y - a.y) / chord, ny = (b.x - a.x) / chord;
    const double far = 1e4 * chord;
    c.centre = {(a.x + b.x) / 2 + nx * far, (a.y + b.y) / 2 + ny * far};
    c.radius = far;
    return c;
}

MethodResult ordinaryMethod(const std::vector<Slice>& slices, const Point& o) {
    MethodResult r;
    r.normal.reserve(slices.size());
    r.available.reserve(slices.size());
    double resisting = 0, driving = 0;
    for (const Slice& s : slices) {
        const Arms a = arms(s, o);
        const double n = s.fx * s.sinA - s.fy * s.cosA;
        if (n < s.poreForce) ++r.negativeBases;
        const double avail = availableShear(s, n);
        r.normal.push_back(n);
        r.available.push_back(avail);
        resisting += a.shear * avail;
        driving -= a.external + a.normal * n;
    }
    if (!(driving > 0)) {
        r.message = "The forces on the mass do not drive it toward the toe.";
        return r;
    }
    r.fs = resisting / driving;
    r.ok = std::isfinite(r.fs) && r.fs > 0;
    if (!r.ok) r.message = "No positive factor of safety.";
    r.iterations = 1;
    return r;
}

namespace {

// Both simplified methods take the normal force on each base from its vertical equilibrium with
// horizontal side forces, N = (p F - q) / (r F + t), and balance a sum that is linear in the
// normal forces: resisting R0 + sum(rho N), driving D0 + sum(delta N). The factor is R / D at the
// factor, F = g(F). The terms that do not change with F are worked out once, so an iteration costs
// one division per slice.
struct SimplifiedTerms {
    struct Base {
        double p, q, r, t; // N = (p F - q) / (r F + t)
        double rho, delta;
    };
    std::vector<Base> bases;
    double resisting0 = 0, driving0 = 0;

    template <class Weights> SimplifiedTerms(const std::vector<Slice>& slices, Weights weights) {
        bases.reserve(slices.size());
        for (const Slice& s : slices) {
            const double a0 = s.cohesion * s.baseLength - s.poreForce * s.tanPhi; // c l - U tan(phi)
            Base b{-s.fy, a0 * s.sinA, s.cosA, s.sinA * s.tanPhi, 0, 0};
            weights(s, a0, b.rho, b.delta, resisting0, driving0);
            bases.push_back(b);
        }
    }
    double normal(const Base& b, double f) const { return (b.p * f - b.q) / (b.r * f + b.t); }
    // g(F); NaN when the forces do not drive the mass.
    double next(double f) const {
        double resisting = resisting0, driving = driving0;
        for (const Base& b : bases) {
            const double n = normal(b, f);
            resisting += b.rho * n;
            driving += b.delta * n;
        }
        return driving > 0 ? resisting / driving : std::numeric_limits<double>::quiet_NaN();
    }
};

// F = g(F) by the secant method on g(F) - F, which needs a few evaluations where the plain
// iteration needs tens; a step the secant cannot take (no slope, or out of the positive factors)
// is a plain one. It ends where g(F) and F agree to the tolerance and returns g(F), as the plain
// iteration would.
MethodResult simplified(const std::vector<Slice>& slices, double start, const SolverSettings& settings,
                        const SimplifiedTerms& terms, bool forces) {
    MethodResult r;
    double f = start > 0 ? start : 1.0, previous = 0, previousGap = 0;
    for (int it = 1; it <= settings.maxIterations; ++it) {
        const double next = terms.next(f);
        r.iterations = it;
        if (std::isnan(next)) {
            r.message = "The forces on the mass do not drive it toward the toe.";
            return r;
        }
        if (!std::isfinite(next) || next <= 0) {
            r.message = "The iteration left the range of positive factors of safety.";
            return r;
        }
        const double gap = next - f;
        if (std::fabs(gap) <= settings.tolerance * next) {
            f = next;
            r.ok = true;
            break;
        }
        double secant = next;
        if (it > 1 && gap != previousGap) {
            const double step = f - gap * (f - previous) / (gap - previousGap);
            if (std::isfinite(step) && step > 0) secant = step;
        }
        previous = f;
        previousGap = gap;
        f = secant;
    }
    if (!r.ok) {
        r.message = "The iteration did not converge in " + std::to_string(settings.maxIterations) + " steps.";
        return r;
    }
    r.fs = f;
    if (forces) {
        r.normal.reserve(slices.size());
        r.available.reserve(slices.size());
    }
    for (size_t i = 0; i < slices.size(); ++i) {
        const Slice& s = slices[i];
        if (s.cosA + s.sinA * s.tanPhi / f <= settings.minimumBaseFactor) {
            r.ok = false;
            r.message = "Inadmissible: the base factor m-alpha is at most 0.2 at " + sliceText(i) + ".";
            return r;
        }
        if (!forces) continue; // a search ranks by the factor alone
        const double n = terms.normal(terms.bases[i], f);
        r.negativeBases += n < s.poreForce;
        r.normal.push_back(n);
        r.available.push_back(availableShear(s, n));
    }
    return r;
}

} // namespace

MethodResult bishopMethod(const std::vector<Slice>& slices, const Point& o, double start,
                          const SolverSettings& settings, bool forces) {
    // Moments about the centre.
    const SimplifiedTerms terms(
        slices, [&](const Slice& s, double a0, double& rho, double& delta, double& r0, double& d0) {
            const Arms a = arms(s, o);
            rho = a.shear * s.tanPhi;
            delta = -a.normal;
            r0 += a.shear * a0;
            d0 -= a.external;
        });
    return simplified(slices, start, settings, terms, forces);
}

MethodResult janbuMethod(const std::vector<Slice>& slices, double start, const SolverSettings& settings,
                         bool forces) {
    // Horizontal forces.
    const SimplifiedTerms terms(
        slices, [](const Slice& s, double a0, double& rho, double& delta, double& r0, double& d0) {
            rho = s.tanPhi * s.cosA;
            delta = s.sinA;
            r0 += a0 * s.cosA;
            d0 -= s.fx;
        });
    return simplified(slices, start, settings, terms, forces);
}

double janbuCorrection(const std::vector<Point>& surface, const std::vector<Slice>& slices) {
    if (surface.size() < 2 || slices.empty()) return 1.0;
    const Point a = surface.front(), b = surface.back();
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length <= 0) return 1.0;
    double depth = 0;
    for (const Point& p : surface)
        depth = std::max(depth, std::fabs((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / length);
    bool allCohesive = true, allFrictional = true;
    for (const Slice& s : slices) {
        if (s.tanPhi > 0) allCohesive = false;
        if (s.cohesion > 0) allFrictional = false;
    }
    const double b1 = allCohesive ? 0.69 : (allFrictional ? 0.31 : 0.50);
    const double ratio = depth / length;
    return 1 + b1 * (ratio - 1.4 * ratio * ratio);
}

namespace {

// Half the width of the steps of lambda the solver takes outward from its start, and how far it goes.
constexpr double kLambdaFirstStep = 0.05, kLambdaGrowth = 1.5;

struct Rigorous {
    const std::vector<Slice>& slices;
    Point o;
    std::vector<double> f; // interslice function at the n + 1 side faces
    double forceScale, momentScale;
    const SolverSettings& settings;
    bool keepForces = true; // the solution's forces into the result, not only its factor
    mutable int evaluations = 0;
    // Per slice, what does not change with F and lambda: the moment arms about the centre and
    // c l - U tan(phi).
    std::vector<Arms> arm;
    std::vector<double> cohesion;
    // Spencer's function is the same on every face: no normal force then depends on the side force
    // before it, and the march is two independent sums.
    bool constant = true;
    // Spencer at one lambda, the terms that do not change with u = 1 / F, slice by slice:
    //     N = (r + u s) / (p + u q),
    //     side force taken = N (u t1 - sinA) + u t2 + fx,  moment = N (k0 + u k1) + u k2 + external,
    // the last two terms summed over the slices at once. A root in F at fixed lambda evaluates
    // here a dozen times; each then costs a dozen operations and one division per slice.
    struct AtLambda {
        double lambda = std::numeric_limits<double>::quiet_NaN();
        std::vector<double> store; // the eight arrays below, one after the other
        double *p, *q, *r, *s, *t1, *sinA, *k0, *k1;
        double t2 = 0, fx = 0, k2 = 0, external = 0;
    };
    mutable AtLambda at;
    void prepare(double lambda) const {
        const size_t n = slices.size();
        if (at.store.empty()) {
            at.store.resize(8 * n);
            double* next = at.store.data();
            for (double** v : {&at.p, &at.q, &at.r, &at.s, &at.t1, &at.sinA, &at.k0, &at.k1}) {
                *v = next;
                next += n;
            }
        }
        const double lf = lambda * f.front();
        double t2 = 0, fx = 0, k2 = 0, external = 0;
        for (size_t i = 0; i < n; ++i) {
            const Slice& sl = slices[i];
            const double c = cohesion[i], t = sl.tanPhi;
            at.p[i] = sl.cosA + lf * sl.sinA;
            at.q[i] = t * (sl.sinA - lf * sl.cosA);
            at.r[i] = lf * sl.fx - sl.fy;
            at.s[i] = c * (lf * sl.cosA - sl.sinA);
            at.t1[i] = t * sl.cosA;
            at.sinA[i] = sl.sinA;
            at.k0[i] = arm[i].normal;
            at.k1[i] = arm[i].shear * t;
            t2 += c * sl.cosA;
            fx += sl.fx;
            k2 += arm[i].shear * c;
            external += arm[i].external;
        }
        at.t2 = t2;
        at.fx = fx;
        at.k2 = k2;
        at.external = external;
        at.lambda = lambda;
    }
    struct Term {
        double g, h, e1, e0, a, b, denominator;
    };
    mutable std::vector<Term> terms; // one evaluation's, reused by the next

    Rigorous(const std::vector<Slice>& slices, const Point& o, std::vector<double> f, double forceScale,
             double momentScale, const SolverSettings& settings)
        : slices(slices), o(o), f(std::move(f)), forceScale(forceScale), momentScale(momentScale),
          settings(settings) {
        arm.reserve(slices.size());
        cohesion.reserve(slices.size());
        for (const Slice& s : slices) {
            arm.push_back(arms(s, o));
            cohesion.push_back(s.cohesion * s.baseLength - s.poreForce * s.tanPhi);
        }
        for (double v : this->f) constant = constant && v == this->f.front();
    }

    // Marches the side forces from the toe for a trial F and lambda; returns the side force left
    // over at the crest and the moment left over about the centre, both relative to the loads.
    void residual(double fs, double lambda, double& forceResidual, double& momentResidual,
                  MethodResult* out = nullptr) const {
        ++evaluations;
        const size_t n = slices.size();
        if (constant && !out) {
            if (!(lambda == at.lambda)) prepare(lambda);
            const double u = 1 / fs;
            const double *p = at.p, *q = at.q, *r = at.r, *s = at.s, *t1 = at.t1, *sinA = at.sinA,
                         *k0 = at.k0, *k1 = at.k1;
            double side = 0, moment = 0;
            for (size_t i = 0; i < n; ++i) {
                const double normal = (r[i] + u * s[i]) / (p[i] + u * q[i]);
                side += normal * (u * t1[i] - sinA[i]);
                moment += normal * (k0[i] + u * k1[i]);
            }
            forceResidual = (side + (u * at.t2 + at.fx)) / forceScale;
            momentResidual = (moment + (u * at.k2 + at.external)) / momentScale;
            return;
        }
        // First what each slice's normal force and side force take from F and lambda alone, for
        // every slice at once; then the march, in which each side force needs the one before it,
        // costs a multiplication and an addition per term (no division waits in that chain):
        // N = g E_L + h, E_R = E_L + e1 N + e0.
        terms.resize(n);
        const double inverse = 1 / fs;
        for (size_t i = 0; i < n; ++i) {
            const Slice& s = slices[i];
            const double fL = f[i], fR = f[i + 1];
            const double a = cohesion[i] * inverse, b = s.tanPhi * inverse;
            const double denominator = s.cosA + b * s.sinA + lambda * fR * (s.sinA - b * s.cosA);
            const double over = 1 / denominator;
            Term& t = terms[i];
            t.g = lambda * (fR - fL) * over;
            t.h = (lambda * fR * (a * s.cosA + s.fx) - a * s.sinA - s.fy) * over;
            t.e1 = b * s.cosA - s.sinA;
            t.e0 = a * s.cosA + s.fx;
            t.a = a;
            t.b = b;
            t.denominator = denominator;
        }
        double sideForce = 0, moment = 0; // E on the left face of the slice; sum of moments about O
        if (out && keepForces) {
            out->sideNormal.assign(1, 0.0);
            out->sideShear.assign(1, 0.0);
        }
        for (size_t i = 0; i < n; ++i) {
            const Term& t = terms[i];
            const double normal = t.g * sideForce + t.h;
            sideForce += normal * t.e1 + t.e0;
            const Arms& ar = arm[i];
            const double shear = t.a + t.b * normal;
            moment += ar.normal * normal + ar.shear * shear + ar.external;
            if (out) {
                const Slice& s = slices[i];
                out->negativeBases += normal < s.poreForce;
                if (keepForces) {
                    out->normal.push_back(normal);
                    out->available.push_back(shear * fs);
                    out->sideNormal.push_back(sideForce);
                    out->sideShear.push_back(lambda * f[i + 1] * sideForce);
                }
                // The same admissibility test as the simplified methods (m-alpha), and no base whose
                // normal force the side forces would turn inside out.
                const double mAlpha = s.cosA + s.sinA * s.tanPhi / fs;
                if (out->message.empty() && (mAlpha <= settings.minimumBaseFactor || t.denominator <= 0))
                    out->message =
                        "Inadmissible: the base factor m-alpha is at most 0.2 at " + sliceText(i) + ".";
            }
        }
        forceResidual = sideForce / forceScale;
        momentResidual = moment / momentScale;
    }

    // The residuals and their derivatives in F and lambda, carried through the march alongside
    // (forward differentiation): a Newton step then costs one pass, not three.
    void residualSlopes(double fs, double lambda, double r[2], double j[2][2]) const {
        ++evaluations;
        const double u = 1 / fs; // the terms are linear in 1 / F; d/dF = -u^2 d/du
        double side = 0, sideU = 0, sideL = 0, moment = 0, momentU = 0, momentL = 0;
        if (constant) {
            // No normal force depends on a side force: each slice's terms are its own.
            const double fc = f.front(), lf = lambda * fc;
            for (size_t i = 0; i < slices.size(); ++i) {
                const Slice& s = slices[i];
                const double c = cohesion[i], t = s.tanPhi;
                const double x = s.sinA - u * t * s.cosA, fxc = s.fx + u * c * s.cosA;
                const double over = 1 / (s.cosA + u * t * s.sinA + lf * x);
                const double normal = (lf * fxc - u * c * s.sinA - s.fy) * over;
                const double normalU =
                                 (c * (lf * s.cosA - s.sinA) - normal * t * (s.sinA - lf * s.cosA)) * over,
                             normalL = fc * (fxc - normal * x) * over;
                side += fxc - normal * x;
                sideU += c * s.cosA + normal * t * s.cosA - normalU * x;
                sideL -= normalL * x;
                const Arms& ar = arm[i];
                const double k = ar.normal + u * ar.shear * t;
                moment += k * normal + u * ar.shear * c + ar.external;
                momentU += k * normalU + ar.shear * (t * normal + c);
                momentL += k * normalL;
            }
        } else {
            for (size_t i = 0; i < slices.size(); ++i) {
                const Slice& s = slices[i];
                const double fL = f[i], fR = f[i + 1], c = cohesion[i], t = s.tanPhi;
                const double a = c * u, b = t * u;
                const double x = s.sinA - b * s.cosA;
                const double over = 1 / (s.cosA + b * s.sinA + lambda * fR * x);
                const double dU = t * s.sinA - lambda * fR * t * s.cosA, dL = fR * x; // of the denominator
                const double h = (lambda * fR * (a * s.cosA + s.fx) - a * s.sinA - s.fy) * over;
                const double hU = (c * (lambda * fR * s.cosA - s.sinA) - h * dU) * over,
                             hL = (fR * (a * s.cosA + s.fx) - h * dL) * over;
                const double g = lambda * (fR - fL) * over;
                const double gU = -g * dU * over, gL = (fR - fL - g * dL) * over;
                const double normal = g * side + h;
                const double normalU = gU * side + g * sideU + hU, normalL = gL * side + g * sideL + hL;
                const double e1 = b * s.cosA - s.sinA;
                side += normal * e1 + a * s.cosA + s.fx;
                sideU += normalU * e1 + normal * t * s.cosA + c * s.cosA;
                sideL += normalL * e1;
                const Arms& ar = arm[i];
                const double k = ar.normal + ar.shear * b; // the moment's arm of N, shear included
                moment += k * normal + ar.shear * a + ar.external;
                momentU += k * normalU + ar.shear * (t * normal + c);
                momentL += k * normalL;
            }
        }
        const double toF = -u * u;
        r[0] = side / forceScale;
        r[1] = moment / momentScale;
        j[0][0] = sideU * toF / forceScale;
        j[0][1] = sideL / forceScale;
        j[1][0] = momentU * toF / momentScale;
        j[1][1] = momentL / momentScale;
    }

    // The factors of safety at which every base is admissible for this lambda: the denominators
    // and m-alpha are each p + q / F, so each bounds F from one side.
    std::pair<double, double> admissibleF(double lambda) const {
        double lo = 0, hi = std::numeric_limits<double>::infinity();
        auto bound = [&lo, &hi](double p, double q) { // p + q / F > 0 for F > 0
            if (q >= 0) {
                if (p <= 0) hi = std::min(hi, q > 0 ? q / -p : 0.0);
            } else {
                lo = p > 0 ? std::max(lo, -q / p) : std::numeric_limits<double>::infinity();
            }
        };
        for (size_t i = 0; i < slices.size(); ++i) {
            const Slice& s = slices[i];
            const double fR = f[i + 1];
            bound(s.cosA + lambda * fR * s.sinA, s.tanPhi * (s.sinA - lambda * fR * s.cosA));
            bound(s.cosA - settings.minimumBaseFactor, s.sinA * s.tanPhi);
        }
        return {lo, hi};
    }

    // One residual in F for this lambda: the force residual (`moments` false) or the moment's.
    auto residualInF(double lambda, bool moments) const {
        return [this, lambda, moments](double fs) {
            double rf, rm;
            residual(fs, lambda, rf, rm);
            return moments ? rm : rf;
        };
    }

    // The sign change of one residual nearest `guess` among the admissible factors, walked to
    // outward in geometric steps both ways at once; a bracket of one point when the guess is a root.
    struct Bracket {
        double a, b, ga, gb;
    };
    std::optional<Bracket> bracketF(double lambda, bool moments, double guess) const {
        const auto [lo, hi] = admissibleF(lambda);
        const double low = std::max(lo * (1 + 1e-9), settings.lowestFactor),
                     high = std::min(hi * (1 - 1e-9), settings.highestFactor);
        if (!(low < high)) return std::nullopt;
        const auto g = residualInF(lambda, moments);
        const double start = std::clamp(guess, low, high);
        double a = start, b = start, ga = g(start), gb = ga;
        if (ga == 0) return Bracket{start, start, 0, 0};
        for (int k = 0; k < settings.bracketSteps; ++k) {
            if (a > low) {
                const double next = std::max(low, a / settings.bracketGrowth), gn = g(next);
                if (std::isfinite(gn) && std::isfinite(ga) && (gn < 0) != (ga < 0))
                    return Bracket{next, a, gn, ga};
                a = next;
                ga = gn;
            }
            if (b < high) {
                const double next = std::min(high, b * settings.bracketGrowth), gn = g(next);
                if (std::isfinite(gn) && std::isfinite(gb) && (gn < 0) != (gb < 0))
                    return Bracket{b, next, gb, gn};
                b = next;
                gb = gn;
            }
            if (a <= low && b >= high) break;
        }
        return std::nullopt;
    }

    // The factor at which the residual vanishes for this lambda, nearest `guess`, closed in by TOMS 748.
    std::optional<double> rootF(double lambda, bool moments, double guess) const {
        const auto br = bracketF(lambda, moments, guess);
        if (!br) return std::nullopt;
        if (br->a == br->b) return br->a;
        auto g = residualInF(lambda, moments);
        return closeIn(g, br->a, br->b, br->ga, br->gb);
    }

    template <class G> std::optional<double> closeIn(G& g, double a, double b, double ga, double gb) const {
        std::uintmax_t iterations = static_cast<std::uintmax_t>(settings.rootIterations);
        const auto bracket = boost::math::tools::toms748_solve(
            g, a, b, ga, gb, boost::math::tools::eps_tolerance<double>(settings.rootDigits), iterations);
        return (bracket.first + bracket.second) / 2;
    }

    // Newton's method on (F, lambda) from the start; nothing when it does not converge.
    std::optional<std::pair<double, double>> newton(double fs, double lambda) const {
        const SolverSettings& st = settings;
        double r[2], j[2][2];
        residualSlopes(fs, lambda, r, j);
        auto size = [](const double v[2]) { return std::sqrt(v[0] * v[0] + v[1] * v[1]); };
        for (int it = 1; it <= st.newtonIterations; ++it) {
            const double norm = size(r);
            if (!std::isfinite(norm)) return std::nullopt;
            if (norm < st.residualTolerance) return std::pair{fs, lambda};
            const double det = j[0][0] * j[1][1] - j[0][1] * j[1][0];
            if (!std::isfinite(det) || det == 0) return std::nullopt;
            double df = -(j[1][1] * r[0] - j[0][1] * r[1]) / det,
                   dl = -(-j[1][0] * r[0] + j[0][0] * r[1]) / det;
            const double k = std::min({1.0, st.maxRelativeStepF * fs / std::max(std::fabs(df), 1e-300),
                                       st.maxStepLambda / std::max(std::fabs(dl), 1e-300)});
            df *= k;
            dl *= k;
            double t = 1, nf = fs, nl = lambda, nr[2], nj[2][2];
            bool fell = false;
            for (int halving = 0; halving < st.lineSearchHalvings && !fell; ++halving, t /= 2) {
                nf = fs + t * df;
                nl = lambda + t * dl;
                if (nf <= 0) continue;
                residualSlopes(nf, nl, nr, nj);
                fell = std::isfinite(nr[0]) && std::isfinite(nr[1]) && size(nr) < norm;
            }
            if (!fell) return std::nullopt;
            fs = nf;
            lambda = nl;
            std::copy_n(nr, 2, r);
            std::copy_n(&nj[0][0], 4, &j[0][0]);
        }
        return size(r) < st.residualTolerance ? std::optional(std::pair{fs, lambda}) : std::nullopt;
    }

    // Force equilibrium's factor minus moment equilibrium's, for one lambda.
    struct Gap {
        double lambda, forceFs, momentFs;
        double gap() const { return forceFs - momentFs; }
    };
    std::optional<Gap> gap(double lambda, double guess) const {
        const auto fm = rootF(lambda, true, guess);
        if (!fm) return std::nullopt;
        const auto ff = rootF(lambda, false, *fm);
        if (!ff) return std::nullopt;
        return Gap{lambda, *ff, *fm};
    }
    // Only whether the force factor is below the moment factor, as `gap` would find it, without
    // closing in on the force factor: the side on which its bracket lies says it.
    std::optional<bool> gapNegative(double lambda, double guess) const {
        const auto fm = rootF(lambda, true, guess);
        if (!fm) return std::nullopt;
        const auto br = bracketF(lambda, false, *fm);
        if (!br) return std::nullopt;
        return br->a < *fm; // a bracket above starts at the moment factor; a root there is no gap
    }
};

} // namespace

// Both equilibria hold where the factor from force equilibrium equals the factor from moment
// equilibrium (Fredlund & Krahn 1977): for each lambda each factor is a root of one residual in F,
// bracketed among the factors at which every base is admissible, and the lambda where they meet is
// the sign change of their difference nearest the starting lambda, walked to outward in steps that
// grow, and closed in by TOMS 748 (Alefeld, Potra & Shi 1995). A surface on which the two factors
// stay equal for every lambda (a planar slide parallel to the ground: the side forces then carry
// nothing) takes the starting lambda.
MethodResult rigorousMethod(const std::vector<Slice>& slices, const Point& centre,
                            const IntersliceFunction& function, double startFs, double startLambda,
                            const SolverSettings& settings, bool forces) {
    MethodResult r;
    if (slices.empty()) {
        r.message = "There are no slices.";
        return r;
    }
    const double xa = slices.front().xl, xb = slices.back().xr;
    std::vector<double> f(slices.size() + 1, 1.0);
    for (size_t i = 0; i <= slices.size(); ++i) {
        const double x = i < slices.size() ? slices[i].xl : xb;
        f[i] = function.at((x - xa) / (xb - xa));
    }
    const double w = weightSum(slices);
    Rigorous rg(slices, centre, std::move(f), w, w * std::max(xb - xa, 1e-9), settings);
    rg.keepForces = forces;
    const double fs0 = startFs > 0 && std::isfinite(startFs) ? startFs : 1.0;
    const double lambda0 =
        std::isfinite(startLambda) ? std::clamp(startLambda, -settings.maxLambda, settings.maxLambda) : 0.0;

    auto finish = [&](const Rigorous::Gap& at) {
        r.fs = (at.forceFs + at.momentFs) / 2;
        r.lambda = at.lambda;
        r.iterations = rg.evaluations;
        double r1, r2;
        rg.residual(r.fs, r.lambda, r1, r2, &r);
        r.ok = r.message.empty();
        return r;
    };

    const auto first = rg.gap(lambda0, fs0);
    if (first && std::fabs(first->gap()) <= settings.equalFactors * first->momentFs) return finish(*first);
    // Newton's root is taken when no sign change of the gap lies between the starting lambda and
    // it (checked half way): the root nearest the start, as the walk below would find it.
    if (const auto quick = rg.newton(first ? first->momentFs : fs0, lambda0)) {
        const auto [fs, lambda] = *quick;
        const auto [lo, hi] = rg.admissibleF(lambda);
        if (fs > lo && fs < hi && std::fabs(lambda) <= settings.maxLambda && first) {
            const auto halfNegative = rg.gapNegative((lambda0 + lambda) / 2, fs);
            if (halfNegative && (first->gap() < 0) == *halfNegative)
                return finish(Rigorous::Gap{lambda, fs, fs});
        }
    }
    // Outward on both sides; the nearest sign change wins.
    std::optional<Rigorous::Gap> last[2] = {first, first};
    double step = kLambdaFirstStep;
    double nearest = first ? std::fabs(first->gap()) : std::numeric_limits<double>::infinity();
    std::optional<Rigorous::Gap> closest = first;
    for (double reach = step; reach <= 2 * settings.maxLambda; reach += step, step *= kLambdaGrowth) {
        for (int side = 0; side < 2; ++side) {
            const double lambda = lambda0 + (side ? reach : -reach);
            if (std::fabs(lambda) > settings.maxLambda) continue;
            const double guess = last[side] ? last[side]->momentFs : fs0;
            const auto here = rg.gap(lambda, guess);
            if (!here) continue;
            if (std::fabs(here->gap()) < nearest) {
                nearest = std::fabs(here->gap());
                closest = here;
            }
            if (last[side] && (here->gap() < 0) != (last[side]->gap() < 0)) {
                // Closed in on lambda; each step solves both factors again.
                const Rigorous::Gap a = *last[side], b = *here;
                auto h = [&](double l) {
                    const auto g = rg.gap(l, (a.momentFs + b.momentFs) / 2);
                    return g ? g->gap() : std::numeric_limits<double>::quiet_NaN();
                };
                std::uintmax_t iterations = static_cast<std::uintmax_t>(settings.rootIterations);
                double lo = std::min(a.lambda, b.lambda), hi = std::max(a.lambda, b.lambda);
                double hlo = a.lambda < b.lambda ? a.gap() : b.gap(),
                       hhi = a.lambda < b.lambda ? b.gap() : a.gap();
                try {
                    const auto bracket = boost::math::tools::toms748_solve(
                        h, lo, hi, hlo, hhi, boost::math::tools::eps_tolerance<double>(settings.rootDigits),
                        iterations);
                    if (const auto at = rg.gap((bracket.first + bracket.second) / 2, a.momentFs))
                        return finish(*at);
                } catch (const boost::math::evaluation_error&) {
                }
            }
            last[side] = here;
        }
    }
    r.iterations = rg.evaluations;
    if (!closest) {
        r.message = "No factor of safety keeps every base admissible for any interslice force scale lambda "
                    "between " +
                    twoDecimals(-settings.maxLambda) + " and " + twoDecimals(settings.maxLambda) + ".";
        return r;
    }
    r.message = "Force and moment equilibrium give different factors for every interslice force scale "
                "lambda between " +
                twoDecimals(-settings.maxLambda) + " and " + twoDecimals(settings.maxLambda) +
                " (they do not cross; closest at lambda " + twoDecimals(closest->lambda) + ": " +
                twoDecimals(closest->forceFs) + " from forces, " + twoDecimals(closest->momentFs) +
                " from moments).";
    return r;
}

std::vector<double> lineOfThrust(const std::vector<Slice>& slices, const MethodResult& m, double* closing) {
    const size_t n = slices.size();
    std::vector<double> y(n + 1, std::numeric_limits<double>::quiet_NaN());
    if (m.sideNormal.size() != n + 1 || m.sideShear.size() != n + 1) return y;
    // The moment of each face's side force about y = 0 (E times its height) carries from face to
    // face without dividing by a side force that may vanish.
    double carried = 0, scale = 0;
    for (const Slice& s : slices)
        scale += std::fabs(s.moment) + std::hypot(s.fx, s.fy) * (std::fabs(s.base.y) + s.width);
    const double smallest = 1e-6 * weightSum(slices);
    for (size_t i = 0; i < n; ++i) {
        const Slice& s = slices[i];
        const double eL = m.sideNormal[i], eR = m.sideNormal[i + 1];
        const double xL = m.sideShear[i], xR = m.sideShear[i + 1];
        // The left face pushes with (E_L, X_L), the right face with (-E_R, -X_R).
        carried += s.base.y * (eR - eL) - (s.xl - s.base.x) * xL + (s.xr - s.base.x) * xR - s.moment;
        if (std::fabs(eR) > smallest) y[i + 1] = carried / eR;
    }
    if (closing) *closing = carried / std::max(scale, 1e-300);
    return y;
}

} // namespace velda

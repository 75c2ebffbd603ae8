// The output report: what was read, what was computed, the critical surface slice by slice, every
// method's factor of safety on it, and the warnings. One function per section.
#include "Output.h"
#include "format/Release.h"

#include <cmath>
#include <numbers>

namespace velda {
namespace {

std::string pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}
std::string number(size_t i) {
    return std::to_string(i);
}
double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

std::string unitsText(int system) {
    switch (system) {
    case 1:
        return "English units: lengths in ft, forces in lbs, unit weights in lbs/ft^3, stresses in lbs/ft^2";
    case 2: return "SI units: lengths in m, forces in kN, unit weights in kN/m^3, stresses in kPa";
    default: return "Other units: lengths in L, forces in F, unit weights in F/L^3, stresses in F/L^2";
    }
}

std::string heading() {
    return "DizirOvi slope-stability analysis (engine release " + std::string(release::kVersion) + ")\n";
}

class Report {
public:
    Report(const Problem& p, const AnalysisResult& r)
        : p(p), r(r), L(unitLabel(p.unitSystem, "length")), F(unitLabel(p.unitSystem, "force")),
          S(unitLabel(p.unitSystem, "stress")), G(unitLabel(p.unitSystem, "unit weight")) {}

    std::string text(const RunFiles& files) {
        o += heading();
        o += "Title: " + p.title + "\n";
        o += "Problem file: " + files.problem + "\n";
        o += "Run: " + runTime() + "\n";
        o += unitsText(p.unitSystem) + "\n\nINPUT\n\n";
        boundaryLines();
        soils();
        water();
        loads();
        earthquake();
        limits();
        tiebacks();
        reinforcement();
        o += "\nCOMPUTATION\n\n" + r.kind + "\n";
        for (const std::string& n : r.notes) o += n + "\n";
        if (r.found) {
            criticalSurface();
            slices();
            factors();
            mostCritical();
            mechanisms();
            convergence();
        } else {
            o += "\nNo admissible failure surface was found.\n";
        }
        warnings();
        return o;
    }

private:
    void boundaryLines() {
        o += "Boundary lines: " + number(p.lines.size()) + ", the first " +
             std::to_string(p.surfaceLineCount) + " forming the ground surface (" + L + ")\n";
        o += "    #     Left X     Left Y    Right X    Right Y  Soil\n";
        for (size_t i = 0; i < p.lines.size(); ++i) {
            const auto& l = p.lines[i];
            o += pad(number(i + 1), 5) + pad(fixed(l.left.x, 3), 11) + pad(fixed(l.left.y, 3), 11) +
                 pad(fixed(l.right.x, 3), 11) + pad(fixed(l.right.y, 3), 11) +
                 pad(std::to_string(l.soil), 6) + "\n";
        }
    }

    void soils() {
        o += "\nSoils (unit weights " + G + ", cohesion and pore-pressure constant " + S +
             ", angles in degrees)\n";
        o += "    #      Moist  Saturated   Cohesion    Phi     ru  Pore const.  Piezo. surface\n";
        for (size_t i = 0; i < p.soils.size(); ++i) {
            const Soil& s = p.soils[i];
            o += pad(number(i + 1), 5) + pad(fixed(s.moistWeight, 3), 11) +
                 pad(fixed(s.saturatedWeight, 3), 11) + pad(fixed(s.cohesion, 3), 11) +
                 pad(fixed(s.phi, 2), 7) + pad(fixed(s.ru, 3), 7) + pad(fixed(s.poreConstant, 3), 13) +
                 pad(std::to_string(s.piezometricSurface), 16) + "\n";
            for (const AnisotropyRow& a : s.anisotropy)
                o += "        anisotropic: up to " + fixed(a.ccwLimit, 2) +
                     " deg  c = " + fixed(a.cohesion, 3) + "  phi = " + fixed(a.phi, 2) + "\n";
        }
    }

    void water() {
        if (!p.waterOn) return;
        o += "\nWater: unit weight " + fixed(p.waterUnitWeight, 3) + " " + G + ", " +
             number(p.piezometricSurfaces.size()) + " piezometric surface(s)\n";
        for (size_t i = 0; i < p.piezometricSurfaces.size(); ++i) {
            o += "  Surface " + number(i + 1) + ":";
            for (const Point& q : p.piezometricSurfaces[i])
                o += " (" + fixed(q.x, 2) + ", " + fixed(q.y, 2) + ")";
            o += "\n";
        }
    }

    void loads() {
        if (p.loads.empty()) return;
        o += "\nSurcharge loads (x in " + L + ", intensity " + S + ", inclination deg CCW from vertical)\n";
        for (size_t i = 0; i < p.loads.size(); ++i) {
            const auto& l = p.loads[i];
            o += "  " + number(i + 1) + ": " + fixed(l.leftX, 3) + " to " + fixed(l.rightX, 3) +
                 ", intensity " + fixed(l.intensity, 3) + ", inclination " + fixed(l.inclination, 2) + "\n";
        }
    }

    void earthquake() {
        if (!p.equakeOn) return;
        o += "\nEarthquake: kh = " + fixed(p.kh, 3) + ", kv = " + fixed(p.kv, 3) + "; cavitation pressure " +
             fixed(p.cavitationPressure, 3) + " " + S + "\n";
    }

    void limits() {
        if (p.limits.empty()) return;
        o += "\nTrial-surface limit lines (" + L + ")\n";
        for (size_t i = 0; i < p.limits.size(); ++i)
            o += "  " + number(i + 1) + ": (" + fixed(p.limits[i].a.x, 3) + ", " + fixed(p.limits[i].a.y, 3) +
                 ") to (" + fixed(p.limits[i].b.x, 3) + ", " + fixed(p.limits[i].b.y, 3) + ")\n";
    }

    void tiebacks() {
        if (p.tiebacks.empty()) return;
        o += "\nTiebacks (coordinates and lengths " + L + ", load " + F +
             ", inclination deg below horizontal)\n";
        for (size_t i = 0; i < p.tiebacks.size(); ++i) {
            const auto& t = p.tiebacks[i];
            o += "  " + number(i + 1) + ": head (" + fixed(t.head.x, 3) + ", " + fixed(t.head.y, 3) +
                 "), load " + fixed(t.load, 3) + ", spacing " + fixed(t.spacing, 3) + ", inclination " +
                 fixed(t.inclination, 2) + ", free length " + fixed(t.freeLength, 3) + "\n";
        }
    }

    void reinforcement() {
        if (p.reinforcementSets.empty()) return;
        o += "\nReinforced-earth layers (coordinates " + L + ", force " + F + " per unit width)\n";
        for (size_t i = 0; i < p.reinforcementSets.size(); ++i)
            for (const auto& layer : p.reinforcementSets[i])
                o += "  set " + number(i + 1) + ": start (" + fixed(layer.start.x, 3) + ", " +
                     fixed(layer.start.y, 3) + "), force " + fixed(layer.force, 3) + ", inclination factor " +
                     fixed(layer.inclinationFactor, 2) + "\n";
    }

    void criticalSurface() {
        const EvaluatedSurface& e = r.best;
        o += "\nCRITICAL SURFACE\n\n";
        o += "Sliding mass from x = " + fixed(e.sliced.surface.front().x, 3) +
             " to x = " + fixed(e.sliced.surface.back().x, 3) + " " + L + ", " +
             number(e.sliced.slices.size()) + " slices\n";
        if (e.circle.exact)
            o += "Circle: centre (" + fixed(e.circle.centre.x, 3) + ", " + fixed(e.circle.centre.y, 3) +
                 "), radius " + fixed(e.circle.radius, 3) + "\n";
        o += "Surface points:";
        for (const Point& q : e.sliced.surface) o += " (" + fixed(q.x, 3) + ", " + fixed(q.y, 3) + ")";
        o += "\n";
    }

    void slices() {
        const EvaluatedSurface& e = r.best;
        // The forces of the method the heading names: the one that represents the surface.
        static const MethodResult kNone;
        const MethodResult* named = methodNamed(e, e.representedBy);
        const MethodResult& m = named ? *named : kNone;
        const double fs = methodFs(e, e.representedBy).value_or(0);
        o += "\nSlices (forces in " + F + " per unit width, angles in degrees; normal and shear forces by " +
             e.representedBy + ")\n";
        o += "    #          x      width    alpha        weight    pore force  total normal"
             "     eff. normal     available     mobilised\n";
        for (size_t i = 0; i < e.sliced.slices.size(); ++i) {
            const Slice& s = e.sliced.slices[i];
            const double n = i < m.normal.size() ? m.normal[i] : 0;
            const double avail = i < m.available.size() ? m.available[i] : 0;
            o += pad(number(i + 1), 5) + pad(fixed(s.base.x, 3), 11) + pad(fixed(s.width, 3), 11) +
                 pad(fixed(degrees(s.alpha()), 2), 9) + pad(fixed(s.weight, 2), 14) +
                 pad(fixed(s.poreForce, 2), 14) + pad(fixed(n, 2), 14) + pad(fixed(n - s.poreForce, 2), 16) +
                 pad(fixed(avail, 2), 14) + pad(fixed(fs > 0 ? avail / fs : 0, 2), 14) + "\n";
        }
    }

    void row(const std::string& name, const MethodResult& m, const std::string& note) {
        o += "  " + padRight(name, 36) + pad(m.ok ? fixed(m.fs, 3) : "  --  ", 8) + "   " +
             (m.ok ? note : m.message) + "\n";
    }

    void factors() {
        const EvaluatedSurface& e = r.best;
        const std::string approximate =
            e.circle.exact ? "" : "approximate: moments about the best-fitting circle";
        o += "\nFactors of safety on the critical surface\n";
        row("Ordinary (Fellenius)", e.ordinary, approximate);
        row("Bishop simplified", e.bishop, approximate);
        row("Janbu simplified", e.janbu, "");
        MethodResult corrected = e.janbu;
        corrected.fs = e.janbuCorrected;
        row("Janbu corrected", corrected, "f0 = " + fixed(e.janbuFactor, 3));
        row("Spencer", e.spencer,
            "interslice inclination " + fixed(degrees(std::atan(e.spencer.lambda)), 2) + " deg");
        row("Morgenstern-Price (" + p.options.interslice.name() + ")", e.morgensternPrice,
            "lambda = " + fixed(e.morgensternPrice.lambda, 4));
        o += "\nNegative effective normal forces on slice bases: " + std::string(kNegativeForcesTreatment) +
             "; " + std::to_string(e.negativeBases) + " of the " + number(e.sliced.slices.size()) +
             " bases carry one.\n";
        o += "\nFactor of safety of the critical surface (" + e.representedBy + "): " + fixed(e.fs, 3) + "\n";
    }

    void mostCritical() {
        if (r.critical.size() <= 1) return;
        o += "\nThe " + number(r.critical.size()) + " most critical surfaces (" + r.rankedBy + ")\n";
        o += "    #      FS      centre x    centre y      radius\n";
        for (size_t i = 0; i < r.critical.size(); ++i) {
            const TrialSurface& t = r.critical[i];
            o += pad(number(i + 1), 5) + pad(fixed(t.fs, 3), 8);
            if (t.circular)
                o += pad(fixed(t.circle.centre.x, 3), 14) + pad(fixed(t.circle.centre.y, 3), 12) +
                     pad(fixed(t.circle.radius, 3), 12);
            o += "\n";
        }
    }

    void mechanisms() {
        if (r.mechanisms.size() <= 1) return;
        o += "\nDistinct mechanisms (each shares less than half its length with those above it)\n";
        o += "    #      FS     from x       to x   lowest y\n";
        for (size_t i = 0; i < r.mechanisms.size(); ++i) {
            const TrialSurface& t = r.mechanisms[i];
            double lowest = t.points.front().y;
            for (const Point& q : t.points) lowest = std::min(lowest, q.y);
            o += pad(number(i + 1), 5) + pad(fixed(t.fs, 3), 8) + pad(fixed(t.points.front().x, 3), 11) +
                 pad(fixed(t.points.back().x, 3), 11) + pad(fixed(lowest, 3), 11) + "\n";
        }
    }

    void convergence() {
        if (r.convergence.empty()) return;
        o += "\nBest factor of safety after 1, 2, 4, ... trials:";
        for (const auto& [n, fs] : r.convergence)
            o += " " + number(static_cast<size_t>(n)) + ": " + (fs > 0 ? fixed(fs, 4) : "-") + ";";
        o.back() = '\n';
    }

    void warnings() {
        std::vector<std::string> all = r.warnings;
        if (r.found) all.insert(all.end(), r.best.warnings.begin(), r.best.warnings.end());
        o += "\nWARNINGS\n\n";
        if (all.empty()) o += "None.\n";
        for (const std::string& w : all) o += "* " + w + "\n";
    }

    const Problem& p;
    const AnalysisResult& r;
    const std::string L, F, S, G; // unit labels: length, force, stress, unit weight
    std::string o;
};

} // namespace

std::string reportText(const Problem& problem, const AnalysisResult& result, const RunFiles& files) {
    return Report(problem, result).text(files);
}

std::string failureReportText(const std::string& why, const RunFiles& files) {
    std::string out = heading();
    out += "Run: " + runTime() + "\n";
    if (!files.problem.empty()) out += "Problem file: " + files.problem + "\n";
    out += "\nCOMPUTATIONS WERE NOT PERFORMED\n\n" + why + "\n\n";
    out += "See error-message.txt beside the program for what this message means and what to do about it.\n";
    return out;
}

} // namespace velda

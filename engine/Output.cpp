#include "Output.h"

#include "format/NumberFormat.h"
#include "format/Release.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

namespace velda {
namespace {

std::string pad(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string unitsText(int system) {
    switch (system) {
    case 1:
        return "English units: lengths in ft, forces in lbs, unit weights in lbs/ft^3, stresses in lbs/ft^2";
    case 2: return "SI units: lengths in m, forces in kN, unit weights in kN/m^3, stresses in kPa";
    default: return "Other units: lengths in L, forces in F, unit weights in F/L^3, stresses in F/L^2";
    }
}

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

std::string methodCell(const MethodResult& m, int decimals = 3) {
    return m.ok ? fixed(m.fs, decimals) : "  --  ";
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double v) {
    return std::isfinite(v) ? general(v, 12) : "null";
}

std::string pointLine(const Point& p) {
    return general(p.x) + " " + general(p.y) + "\n";
}

// At most `limit` points, evenly chosen, both ends kept.
std::vector<Point> thinned(const std::vector<Point>& pts, size_t limit) {
    if (pts.size() <= limit) return pts;
    std::vector<Point> out;
    for (size_t i = 0; i < limit; ++i) out.push_back(pts[i * (pts.size() - 1) / (limit - 1)]);
    return out;
}

} // namespace

std::string fixed(double value, int decimals) {
    return std::isfinite(value) ? numfmt::fixed(value, decimals) : "n/a";
}

std::string general(double value, int digits) {
    return numfmt::general(value, digits);
}

std::string failureReportText(const std::string& why, const RunFiles& files) {
    std::string out =
        "DizirOvi slope-stability analysis (engine release " + std::string(release::kVersion) + ")\n";
    out += "Run: " + now() + "\n";
    if (!files.problem.empty()) out += "Problem file: " + files.problem + "\n";
    out += "\nCOMPUTATIONS WERE NOT PERFORMED\n\n" + why + "\n\n";
    out += "See error-message.txt beside the program for what this message means and what to do about it.\n";
    return out;
}

std::string reportText(const Problem& p, const Slope& slope, const AnalysisResult& r, const RunFiles& files) {
    const std::string L = unitLabel(p.unitSystem, "length"), F = unitLabel(p.unitSystem, "force"),
                      S = unitLabel(p.unitSystem, "stress"), G = unitLabel(p.unitSystem, "unit weight");
    std::string o;
    o += "DizirOvi slope-stability analysis (engine release " + std::string(release::kVersion) + ")\n";
    o += "Title: " + p.title + "\n";
    o += "Problem file: " + files.problem + "\n";
    o += "Run: " + now() + "\n";
    o += unitsText(p.unitSystem) + "\n\n";

    o += "INPUT\n\n";
    o += "Boundary lines: " + std::to_string(p.lines.size()) + ", the first " +
         std::to_string(p.surfaceLineCount) + " forming the ground surface (" + L + ")\n";
    o += "    #     Left X     Left Y    Right X    Right Y  Soil\n";
    for (size_t i = 0; i < p.lines.size(); ++i) {
        const auto& l = p.lines[i];
        o += pad(std::to_string(i + 1), 5) + pad(fixed(l.left.x, 3), 11) + pad(fixed(l.left.y, 3), 11) +
             pad(fixed(l.right.x, 3), 11) + pad(fixed(l.right.y, 3), 11) + pad(std::to_string(l.soil), 6) +
             "\n";
    }
    o += "\nSoils (unit weights " + G + ", cohesion and pore-pressure constant " + S +
         ", angles in degrees)\n";
    o += "    #      Moist  Saturated   Cohesion    Phi     ru  Pore const.  Piezo. surface\n";
    for (size_t i = 0; i < p.soils.size(); ++i) {
        const Soil& s = p.soils[i];
        o += pad(std::to_string(i + 1), 5) + pad(fixed(s.moistWeight, 3), 11) +
             pad(fixed(s.saturatedWeight, 3), 11) + pad(fixed(s.cohesion, 3), 11) + pad(fixed(s.phi, 2), 7) +
             pad(fixed(s.ru, 3), 7) + pad(fixed(s.poreConstant, 3), 13) +
             pad(std::to_string(s.piezometricSurface), 16) + "\n";
        for (const AnisotropyRow& a : s.anisotropy)
            o += "        anisotropic: up to " + fixed(a.ccwLimit, 2) + " deg  c = " + fixed(a.cohesion, 3) +
                 "  phi = " + fixed(a.phi, 2) + "\n";
    }
    if (p.waterOn) {
        o += "\nWater: unit weight " + fixed(p.waterUnitWeight, 3) + " " + G + ", " +
             std::to_string(p.piezometricSurfaces.size()) + " piezometric surface(s)\n";
        for (size_t i = 0; i < p.piezometricSurfaces.size(); ++i) {
            o += "  Surface " + std::to_string(i + 1) + ":";
            for (const Point& q : p.piezometricSurfaces[i])
                o += " (" + fixed(q.x, 2) + ", " + fixed(q.y, 2) + ")";
            o += "\n";
        }
    }
    if (!p.loads.empty()) {
        o += "\nSurcharge loads (x in " + L + ", intensity " + S + ", inclination deg CCW from vertical)\n";
        for (size_t i = 0; i < p.loads.size(); ++i) {
            const auto& l = p.loads[i];
            o += "  " + std::to_string(i + 1) + ": " + fixed(l.leftX, 3) + " to " + fixed(l.rightX, 3) +
                 ", intensity " + fixed(l.intensity, 3) + ", inclination " + fixed(l.inclination, 2) + "\n";
        }
    }
    if (p.equakeOn)
        o += "\nEarthquake: kh = " + fixed(p.kh, 3) + ", kv = " + fixed(p.kv, 3) + "; cavitation pressure " +
             fixed(p.cavitationPressure, 3) + " " + S + "\n";
    if (!p.limits.empty()) {
        o += "\nTrial-surface limit lines (" + L + ")\n";
        for (size_t i = 0; i < p.limits.size(); ++i)
            o += "  " + std::to_string(i + 1) + ": (" + fixed(p.limits[i].a.x, 3) + ", " +
                 fixed(p.limits[i].a.y, 3) + ") to (" + fixed(p.limits[i].b.x, 3) + ", " +
                 fixed(p.limits[i].b.y, 3) + ")\n";
    }
    if (!p.tiebacks.empty()) {
        o += "\nTiebacks (coordinates and lengths " + L + ", load " + F +
             ", inclination deg below horizontal)\n";
        for (size_t i = 0; i < p.tiebacks.size(); ++i) {
            const auto& t = p.tiebacks[i];
            o += "  " + std::to_string(i + 1) + ": head (" + fixed(t.head.x, 3) + ", " + fixed(t.head.y, 3) +
                 "), load " + fixed(t.load, 3) + ", spacing " + fixed(t.spacing, 3) + ", inclination " +
                 fixed(t.inclination, 2) + ", free length " + fixed(t.freeLength, 3) + "\n";
        }
    }
    if (!p.reinforcementSets.empty()) {
        o += "\nReinforced-earth layers (coordinates " + L + ", force " + F + " per unit width)\n";
        for (size_t i = 0; i < p.reinforcementSets.size(); ++i)
            for (const auto& layer : p.reinforcementSets[i])
                o += "  set " + std::to_string(i + 1) + ": start (" + fixed(layer.start.x, 3) + ", " +
                     fixed(layer.start.y, 3) + "), force " + fixed(layer.force, 3) + ", inclination factor " +
                     fixed(layer.inclinationFactor, 2) + "\n";
    }
    (void)slope;

    o += "\nCOMPUTATION\n\n" + r.kind + "\n";
    for (const std::string& n : r.notes) o += n + "\n";
    if (!r.found) {
        o += "\nNo admissible failure surface was found.\n";
    } else {
        const EvaluatedSurface& e = r.best;
        o += "\nCRITICAL SURFACE\n\n";
        o += "Sliding mass from x = " + fixed(e.sliced.surface.front().x, 3) +
             " to x = " + fixed(e.sliced.surface.back().x, 3) + " " + L + ", " +
             std::to_string(e.sliced.slices.size()) + " slices\n";
        if (e.circle.exact)
            o += "Circle: centre (" + fixed(e.circle.centre.x, 3) + ", " + fixed(e.circle.centre.y, 3) +
                 "), radius " + fixed(e.circle.radius, 3) + "\n";
        o += "Surface points:";
        for (const Point& q : e.sliced.surface) o += " (" + fixed(q.x, 3) + ", " + fixed(q.y, 3) + ")";
        o += "\n\nSlices (forces in " + F +
             " per unit width, angles in degrees; normal and shear forces by " + e.representedBy + ")\n";
        o += "    #          x      width    alpha        weight    pore force  total normal"
             "     eff. normal     available     mobilised\n";
        const MethodResult& m = e.spencer.ok ? e.spencer : (e.bishop.ok ? e.bishop : e.ordinary);
        for (size_t i = 0; i < e.sliced.slices.size(); ++i) {
            const Slice& s = e.sliced.slices[i];
            const double n = i < m.normal.size() ? m.normal[i] : 0;
            const double avail = i < m.available.size() ? m.available[i] : 0;
            o += pad(std::to_string(i + 1), 5) + pad(fixed(s.base.x, 3), 11) + pad(fixed(s.width, 3), 11) +
                 pad(fixed(s.alpha() * 180 / std::numbers::pi, 2), 9) + pad(fixed(s.weight, 2), 14) +
                 pad(fixed(s.poreForce, 2), 14) + pad(fixed(n, 2), 14) + pad(fixed(n - s.poreForce, 2), 16) +
                 pad(fixed(avail, 2), 14) + pad(fixed(m.ok && m.fs > 0 ? avail / m.fs : 0, 2), 14) + "\n";
        }
        o += "\nFactors of safety on the critical surface\n";
        auto row = [&](const std::string& name, const MethodResult& mr, const std::string& note) {
            o += "  " + padRight(name, 36) + pad(methodCell(mr), 8) + "   " + (mr.ok ? note : mr.message) +
                 "\n";
        };
        row("Ordinary (Fellenius)", e.ordinary,
            e.circle.exact ? "" : "approximate: moments about the best-fitting circle");
        row("Bishop simplified", e.bishop,
            e.circle.exact ? "" : "approximate: moments about the best-fitting circle");
        row("Janbu simplified", e.janbu, "");
        MethodResult corrected = e.janbu;
        corrected.fs = e.janbuCorrected;
        row("Janbu corrected", corrected, "f0 = " + fixed(e.janbuFactor, 3));
        row("Spencer", e.spencer,
            "interslice inclination " + fixed(std::atan(e.spencer.lambda) * 180 / std::numbers::pi, 2) +
                " deg");
        row("Morgenstern-Price (half-sine)", e.morgensternPrice,
            "lambda = " + fixed(e.morgensternPrice.lambda, 4));
        o += "\nFactor of safety of the critical surface (" + e.representedBy + "): " + fixed(e.fs, 3) + "\n";
        if (r.critical.size() > 1) {
            o += "\nThe " + std::to_string(r.critical.size()) + " most critical surfaces (" + r.rankedBy +
                 ")\n";
            o += "    #      FS      centre x    centre y      radius\n";
            for (size_t i = 0; i < r.critical.size(); ++i) {
                const TrialSurface& t = r.critical[i];
                o += pad(std::to_string(i + 1), 5) + pad(fixed(t.fs, 3), 8);
                if (t.circular)
                    o += pad(fixed(t.circle.centre.x, 3), 14) + pad(fixed(t.circle.centre.y, 3), 12) +
                         pad(fixed(t.circle.radius, 3), 12);
                o += "\n";
            }
        }
    }
    std::vector<std::string> warnings = r.warnings;
    if (r.found) warnings.insert(warnings.end(), r.best.warnings.begin(), r.best.warnings.end());
    o += "\nWARNINGS\n\n";
    if (warnings.empty()) o += "None.\n";
    for (const std::string& w : warnings) o += "* " + w + "\n";
    return o;
}

std::string plotText(const Problem& p, const Slope& slope, const AnalysisResult& r,
                     std::vector<std::string>& clipped) {
    std::string o;
    const double x0 = slope.xMin(), x1 = slope.xMax(), y0 = slope.yMin(), y1 = slope.yMax();
    for (double v :
         {x0, x1, y0, y1, (x1 - x0) / 10, (y1 - y0) / 10, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0})
        o += general(v) + "\n";

    const auto& ground = slope.ground();
    const int s = static_cast<int>(ground.size());
    const int t = s + static_cast<int>(p.lines.size()) - p.surfaceLineCount;
    o += "BND\n" + general(ground.front().x) + " " + general(ground.front().y) + " " + std::to_string(s) +
         " " + std::to_string(t) + "\n";
    for (const Point& q : ground) o += pointLine(q);
    for (size_t i = static_cast<size_t>(p.surfaceLineCount); i < p.lines.size(); ++i)
        o += pointLine(p.lines[i].left) + pointLine(p.lines[i].right);

    if (!p.limits.empty()) {
        const size_t n = std::min<size_t>(p.limits.size(), 140);
        o += "LMT\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) o += pointLine(p.limits[i].a) + pointLine(p.limits[i].b);
    }
    if (p.waterOn && !p.piezometricSurfaces.empty()) {
        const size_t n = std::min<size_t>(p.piezometricSurfaces.size(), 4);
        if (p.piezometricSurfaces.size() > 4)
            clipped.push_back("Only the first 4 of " + std::to_string(p.piezometricSurfaces.size()) +
                              " piezometric surfaces are drawn in the graph.");
        o += "WTR\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) {
            const auto& pts = p.piezometricSurfaces[i];
            if (pts.size() > 20)
                clipped.push_back("Piezometric surface " + std::to_string(i + 1) +
                                  " is drawn with 20 of its " + std::to_string(pts.size()) + " points.");
            const auto shown = thinned(pts, 20);
            o += std::to_string(shown.size()) + "\n";
            for (const Point& q : shown) o += pointLine(q);
        }
    }
    if (!p.loads.empty()) {
        const size_t n = std::min<size_t>(p.loads.size(), 35);
        double qmax = 0;
        for (const auto& l : p.loads) qmax = std::max(qmax, std::fabs(l.intensity));
        const double height = 0.08 * std::max(y1 - y0, (x1 - x0) / 4);
        o += "LDS\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) {
            const auto& l = p.loads[i];
            const double h = qmax > 0 ? height * std::fabs(l.intensity) / qmax : 0;
            const double gl = slope.groundY(l.leftX), gr = slope.groundY(l.rightX);
            o += pointLine({l.leftX, gl}) + pointLine({l.rightX, gr}) + pointLine({l.rightX, gr + h}) +
                 pointLine({l.leftX, gl + h});
        }
    }
    if (!p.tiebacks.empty()) {
        const size_t n = std::min<size_t>(p.tiebacks.size(), 20);
        o += "TIE\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) {
            const Tieback& tb = p.tiebacks[i];
            const double a = tb.inclination * std::numbers::pi / 180;
            const double bond = std::max(0.3 * tb.freeLength, 0.02 * (x1 - x0));
            const Point e1{tb.head.x + tb.freeLength * std::cos(a), tb.head.y - tb.freeLength * std::sin(a)};
            const Point e2{e1.x + bond * std::cos(a), e1.y - bond * std::sin(a)};
            o += pointLine(tb.head) + pointLine(e1) + pointLine(e2);
        }
    }
    if (!p.reinforcementSets.empty()) {
        std::vector<ReinforcementLayer> layers;
        for (const auto& set : p.reinforcementSets) layers.insert(layers.end(), set.begin(), set.end());
        const size_t n = std::min<size_t>(layers.size(), 50);
        if (layers.size() > 50)
            clipped.push_back("Only 50 of " + std::to_string(layers.size()) +
                              " reinforcement layers are drawn.");
        o += "RNF\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i)
            o += "2\n" + pointLine(layers[i].start) +
                 pointLine({std::max(x1, layers[i].start.x), layers[i].start.y});
    }
    for (const TrialSurface& ts : r.trials) {
        const auto pts = thinned(ts.points, 200);
        o += "SRF\n" + std::to_string(pts.size()) + " " + general(ts.fs) + "\n";
        for (const Point& q : pts) o += pointLine(q);
    }
    o += "TEN\n";
    for (size_t b = 0; b < 10; ++b) {
        if (b < r.critical.size()) {
            const TrialSurface& ts = r.critical[b];
            const auto pts = thinned(ts.points, 200);
            o += std::to_string(pts.size()) + "\n";
            if (ts.circular)
                o += general(ts.fs) + " " + general(ts.circle.centre.x) + " " + general(ts.circle.centre.y) +
                     " " + general(ts.circle.radius) + "\n";
            else
                o += general(ts.fs) + " 0 0 0\n";
            for (const Point& q : pts) o += pointLine(q);
        } else {
            o += "0\n0 0 0 0\n";
        }
    }
    if (r.found) {
        const EvaluatedSurface& e = r.best;
        const MethodResult& m = e.spencer.ok ? e.spencer : (e.bishop.ok ? e.bishop : e.ordinary);
        const size_t n = std::min<size_t>(e.sliced.slices.size(), 200);
        o += "INF\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) {
            const Slice& sl = e.sliced.slices[i];
            const double normal = i < m.normal.size() ? m.normal[i] : 0;
            const double avail = i < m.available.size() ? m.available[i] : 0;
            o += std::to_string(i + 1) + " " + general(sl.base.x) + " " + general(normal) + " " +
                 general(sl.baseLength) + " " + general(sl.poreForce) + " " + general(sl.weight) + " " +
                 general(sl.alpha() * 180 / std::numbers::pi) + " " + general(normal - sl.poreForce) + " " +
                 general(avail) + " " + general(m.ok && m.fs > 0 ? avail / m.fs : 0) + "\n";
        }
    }
    o += "END\n";
    return o;
}

std::string resultJson(const Problem* p, const AnalysisResult* r, const std::vector<std::string>& errors) {
    std::string o = "{\n  \"release\": \"" + std::string(release::kVersion) + "\",\n";
    o += "  \"status\": " + std::string(r ? "\"computed\"" : "\"not computed\"") + ",\n";
    if (p) {
        o += "  \"title\": " + jsonString(p->title) + ",\n";
        o += "  \"units\": {\"system\": " + std::to_string(p->unitSystem) +
             ", \"length\": " + jsonString(unitLabel(p->unitSystem, "length")) +
             ", \"force\": " + jsonString(unitLabel(p->unitSystem, "force")) + "},\n";
    }
    if (r) {
        o += "  \"method\": " + jsonString(r->rankedBy) + ",\n";
        o += "  \"analysis\": " + jsonString(r->kind) + ",\n";
        o += "  \"counts\": {\"generated\": " + std::to_string(r->generated) +
             ", \"admissible\": " + std::to_string(r->admissible) + ", \"rejected\": {";
        for (size_t i = 0; i < r->rejected.size(); ++i)
            o += (i ? ", " : "") + jsonString(r->rejected[i].first) + ": " +
                 std::to_string(r->rejected[i].second);
        o += "}},\n  \"surfaces\": [";
        for (size_t i = 0; i < r->critical.size(); ++i) {
            const TrialSurface& t = r->critical[i];
            o += std::string(i ? "," : "") + "\n    {\"rank\": " + std::to_string(i + 1) +
                 ", \"fs\": " + jsonNumber(t.fs);
            if (t.circular)
                o += ", \"centre\": [" + jsonNumber(t.circle.centre.x) + ", " +
                     jsonNumber(t.circle.centre.y) + "], \"radius\": " + jsonNumber(t.circle.radius);
            o += ", \"points\": [";
            for (size_t k = 0; k < t.points.size(); ++k)
                o += std::string(k ? ", " : "") + "[" + jsonNumber(t.points[k].x) + ", " +
                     jsonNumber(t.points[k].y) + "]";
            o += "]}";
        }
        o += r->critical.empty() ? "],\n" : "\n  ],\n";
        o += "  \"methods\": [";
        if (r->found) {
            const EvaluatedSurface& e = r->best;
            MethodResult corrected = e.janbu;
            corrected.fs = e.janbuCorrected;
            const std::pair<const char*, const MethodResult*> rows[] = {
                {"Ordinary", &e.ordinary},      {"Bishop simplified", &e.bishop},
                {"Janbu simplified", &e.janbu}, {"Janbu corrected", &corrected},
                {"Spencer", &e.spencer},        {"Morgenstern-Price", &e.morgensternPrice}};
            for (size_t i = 0; i < std::size(rows); ++i) {
                const MethodResult& m = *rows[i].second;
                o += std::string(i ? "," : "") + "\n    {\"name\": " + jsonString(rows[i].first) +
                     ", \"fs\": " + (m.ok ? jsonNumber(m.fs) : "null") +
                     (m.ok ? "" : ", \"message\": " + jsonString(m.message)) + "}";
            }
            o += "\n  ";
        }
        o += "],\n  \"warnings\": [";
        std::vector<std::string> warnings = r->warnings;
        if (r->found) warnings.insert(warnings.end(), r->best.warnings.begin(), r->best.warnings.end());
        for (size_t i = 0; i < warnings.size(); ++i)
            o += std::string(i ? ", " : "") + jsonString(warnings[i]);
        o += "],\n";
    }
    o += "  \"errors\": [";
    for (size_t i = 0; i < errors.size(); ++i) o += std::string(i ? ", " : "") + jsonString(errors[i]);
    o += "]\n}\n";
    return o;
}

} // namespace velda

// The result file (.sl4r): JSON for other programs, its keys listed in the README.
#include "Output.h"
#include "format/Release.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace velda {
namespace {

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

std::string list(const std::vector<std::string>& items) {
    std::string o = "[";
    for (size_t i = 0; i < items.size(); ++i) o += (i ? ", " : "") + jsonString(items[i]);
    return o + "]";
}

std::string counts(const AnalysisResult& r) {
    std::string o = "{\"generated\": " + std::to_string(r.generated) +
                    ", \"admissible\": " + std::to_string(r.admissible) + ", \"rejected\": {";
    for (size_t i = 0; i < r.rejected.size(); ++i)
        o += (i ? ", " : "") + jsonString(r.rejected[i].first) + ": " + std::to_string(r.rejected[i].second);
    return o + "}}";
}

std::string surfaceJson(const TrialSurface& t) {
    std::string o = "{\"fs\": " + jsonNumber(t.fs);
    if (t.circular)
        o += ", \"centre\": [" + jsonNumber(t.circle.centre.x) + ", " + jsonNumber(t.circle.centre.y) +
             "], \"radius\": " + jsonNumber(t.circle.radius);
    o += ", \"points\": [";
    for (size_t k = 0; k < t.points.size(); ++k)
        o += std::string(k ? ", " : "") + "[" + jsonNumber(t.points[k].x) + ", " + jsonNumber(t.points[k].y) +
             "]";
    return o + "]}";
}

std::string surfaces(const AnalysisResult& r) {
    std::string o = "[";
    for (size_t i = 0; i < r.critical.size(); ++i) {
        o += std::string(i ? "," : "") + "\n    {\"rank\": " + std::to_string(i + 1) + ", " +
             surfaceJson(r.critical[i]).substr(1);
    }
    return o + (r.critical.empty() ? "]" : "\n  ]");
}

// Every method's result on a surface, by the name the file gives it; Janbu's corrected factor
// is Janbu's forces with the corrected factor (in `corrected`).
std::array<std::pair<const char*, const MethodResult*>, 6> methodRows(const EvaluatedSurface& e,
                                                                      MethodResult& corrected) {
    corrected = e.janbu;
    corrected.fs = e.janbuCorrected;
    return {{{"Ordinary", &e.ordinary},
             {"Bishop simplified", &e.bishop},
             {"Janbu simplified", &e.janbu},
             {"Janbu corrected", &corrected},
             {"Spencer", &e.spencer},
             {"Morgenstern-Price", &e.morgensternPrice}}};
}

std::string methods(const AnalysisResult& r, const std::string& interslice) {
    if (!r.found) return "[]";
    const EvaluatedSurface& e = r.best;
    MethodResult corrected;
    const auto rows = methodRows(e, corrected);
    std::string o = "[";
    for (size_t i = 0; i < std::size(rows); ++i) {
        const MethodResult& m = *rows[i].second;
        // The rigorous methods name their interslice function and the lambda they found.
        const bool rigorous = &m == &e.spencer || &m == &e.morgensternPrice;
        std::string extra;
        if (rigorous)
            extra = ", \"interslice\": " + jsonString(&m == &e.spencer ? "constant" : interslice) +
                    (m.ok ? ", \"lambda\": " + jsonNumber(m.lambda) : "");
        o += std::string(i ? "," : "") + "\n    {\"name\": " + jsonString(rows[i].first) +
             ", \"fs\": " + (m.ok ? jsonNumber(m.fs) : "null") + extra +
             (m.ok ? "" : ", \"message\": " + jsonString(m.message)) + "}";
    }
    return o + "\n  ]";
}

std::string numbers(const std::vector<double>& values) {
    std::string o = "[";
    for (size_t i = 0; i < values.size(); ++i) o += (i ? ", " : "") + jsonNumber(values[i]);
    return o + "]";
}

template <class F> std::string column(const std::vector<Slice>& slices, F value) {
    std::vector<double> v;
    v.reserve(slices.size());
    for (const Slice& s : slices) v.push_back(value(s));
    return numbers(v);
}

// One surface's slices and, for each method, the forces on their bases (and sides).
std::string sliceTable(int rank, const EvaluatedSurface& e, const std::string& interslice) {
    const std::vector<Slice>& sl = e.sliced.slices;
    const double toDegrees = 180 / std::numbers::pi;
    std::string o = "\n    {\"rank\": " + std::to_string(rank) + ", \"fs\": " + jsonNumber(e.fs) +
                    ", \"count\": " + std::to_string(sl.size());
    const std::pair<const char*, std::function<double(const Slice&)>> columns[] = {
        {"xLeft", [](const Slice& s) { return s.xl; }},
        {"xRight", [](const Slice& s) { return s.xr; }},
        {"yBaseLeft", [](const Slice& s) { return s.baseLeft; }},
        {"yBaseRight", [](const Slice& s) { return s.baseRight; }},
        {"width", [](const Slice& s) { return s.width; }},
        {"weight", [](const Slice& s) { return s.weight; }},
        {"baseAngle", [toDegrees](const Slice& s) { return s.alpha() * toDegrees; }},
        {"baseLength", [](const Slice& s) { return s.baseLength; }},
        {"soil", [](const Slice& s) { return s.soil + 1.0; }},
        {"cohesion", [](const Slice& s) { return s.cohesion; }},
        {"frictionAngle", [toDegrees](const Slice& s) { return std::atan(s.tanPhi) * toDegrees; }},
        {"porePressure", [](const Slice& s) { return s.porePressure; }},
    };
    for (const auto& [key, value] : columns)
        o += ",\n     \"" + std::string(key) + "\": " + column(sl, value);
    MethodResult corrected;
    const auto rows = methodRows(e, corrected);
    o += ",\n     \"methods\": [";
    for (size_t k = 0; k < std::size(rows); ++k) {
        const MethodResult& m = *rows[k].second;
        o += std::string(k ? "," : "") + "\n      {\"name\": " + jsonString(rows[k].first);
        const bool rigorous = &m == &e.spencer || &m == &e.morgensternPrice;
        if (rigorous) o += ", \"interslice\": " + jsonString(&m == &e.spencer ? "constant" : interslice);
        if (!m.ok || m.normal.size() != sl.size()) {
            o += ", \"fs\": null, \"message\": " + jsonString(m.message) + "}";
            continue;
        }
        o += ", \"fs\": " + jsonNumber(m.fs);
        if (rigorous) o += ", \"lambda\": " + jsonNumber(m.lambda);
        std::vector<double> effective(sl.size()), shear(sl.size());
        for (size_t i = 0; i < sl.size(); ++i) {
            effective[i] = m.normal[i] - sl[i].poreForce;
            shear[i] = m.available[i] / m.fs;
        }
        o += ",\n       \"effectiveNormal\": " + numbers(effective) +
             ",\n       \"mobilisedShear\": " + numbers(shear);
        if (rigorous)
            o += ",\n       \"sideNormal\": " + numbers(m.sideNormal) +
                 ",\n       \"sideShear\": " + numbers(m.sideShear) +
                 ",\n       \"thrust\": " + numbers(lineOfThrust(sl, m));
        o += "}";
    }
    return o + "\n     ]}";
}

std::string sliceTables(const AnalysisResult& r, const std::string& interslice) {
    if (!r.found) return "[]";
    std::string o = "[" + sliceTable(1, r.best, interslice);
    for (size_t i = 0; i < r.others.size(); ++i)
        if (r.others[i].ok) o += "," + sliceTable(static_cast<int>(i) + 2, r.others[i], interslice);
    return o + "\n  ]";
}

std::string search(const AnalysisResult& r) {
    std::string o = "  \"stages\": [";
    for (size_t i = 0; i < r.stages.size(); ++i)
        o += std::string(i ? ", " : "") + "{\"name\": " + jsonString(r.stages[i].name) +
             ", \"fs\": " + jsonNumber(r.stages[i].fs) +
             ", \"evaluations\": " + std::to_string(r.stages[i].evaluations) + "}";
    o += "],\n  \"convergence\": [";
    for (size_t i = 0; i < r.convergence.size(); ++i)
        o += std::string(i ? ", " : "") + "[" + std::to_string(r.convergence[i].first) + ", " +
             (r.convergence[i].second > 0 ? jsonNumber(r.convergence[i].second) : "null") + "]";
    o += "],\n  \"mechanisms\": [";
    for (size_t i = 0; i < r.mechanisms.size(); ++i)
        o += std::string(i ? "," : "") + "\n    " + surfaceJson(r.mechanisms[i]);
    o += r.mechanisms.empty() ? "],\n" : "\n  ],\n";
    const AnalysisResult::CentreMap& m = r.centreMap;
    if (m.columns == 0) return o + "  \"centreMap\": null,\n";
    o += "  \"centreMap\": {\"columns\": " + std::to_string(m.columns) +
         ", \"rows\": " + std::to_string(m.rows) + ", \"x\": [" + jsonNumber(m.left) + ", " +
         jsonNumber(m.right) + "], \"y\": [" + jsonNumber(m.bottom) + ", " + jsonNumber(m.top) +
         "], \"outside\": " + std::to_string(m.outside) + ", \"fs\": [";
    for (int j = 0; j < m.rows; ++j) {
        o += std::string(j ? "," : "") + "\n    [";
        for (int i = 0; i < m.columns; ++i) {
            const double fs = m.fs[static_cast<size_t>(j * m.columns + i)];
            o += std::string(i ? ", " : "") + (fs > 0 ? jsonNumber(fs) : "null");
        }
        o += "]";
    }
    return o + "\n  ]},\n";
}

} // namespace

std::string resultJson(const Problem* p, const AnalysisResult* r, const std::vector<std::string>& errors) {
    std::string o = "{\n  \"release\": \"" + std::string(release::kVersion) + "\",\n";
    o += "  \"status\": " + std::string(r && r->found ? "\"computed\"" : "\"not computed\"") + ",\n";
    if (p) {
        o += "  \"title\": " + jsonString(p->title) + ",\n";
        o += "  \"units\": {\"system\": " + std::to_string(p->unitSystem) +
             ", \"length\": " + jsonString(unitLabel(p->unitSystem, "length")) +
             ", \"force\": " + jsonString(unitLabel(p->unitSystem, "force")) + "},\n";
    }
    if (r) {
        o += "  \"method\": " + jsonString(r->rankedBy) + ",\n";
        o += "  \"analysis\": " + jsonString(r->kind) + ",\n";
        o += "  \"counts\": " + counts(*r) + ",\n";
        o += "  \"surfaces\": " + surfaces(*r) + ",\n";
        o += search(*r);
        const std::string interslice = p ? p->options.interslice.name() : IntersliceFunction{}.name();
        o += "  \"methods\": " + methods(*r, interslice) + ",\n";
        o += "  \"slices\": " + sliceTables(*r, interslice) + ",\n";
        o += "  \"negativeEffectiveNormalForces\": {\"treatment\": " + jsonString(kNegativeForcesTreatment) +
             ", \"bases\": " + std::to_string(r->found ? r->best.negativeBases : 0) + "},\n";
        std::vector<std::string> warnings = r->warnings;
        if (r->found) warnings.insert(warnings.end(), r->best.warnings.begin(), r->best.warnings.end());
        o += "  \"warnings\": " + list(warnings) + ",\n";
    }
    o += "  \"errors\": " + list(errors) + "\n}\n";
    return o;
}

} // namespace velda

// The result file (.sl4r): JSON for other programs, its keys listed in the README.
#include "Output.h"
#include "format/Release.h"

#include <cmath>
#include <cstdio>

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

std::string surfaces(const AnalysisResult& r) {
    std::string o = "[";
    for (size_t i = 0; i < r.critical.size(); ++i) {
        const TrialSurface& t = r.critical[i];
        o += std::string(i ? "," : "") + "\n    {\"rank\": " + std::to_string(i + 1) +
             ", \"fs\": " + jsonNumber(t.fs);
        if (t.circular)
            o += ", \"centre\": [" + jsonNumber(t.circle.centre.x) + ", " + jsonNumber(t.circle.centre.y) +
                 "], \"radius\": " + jsonNumber(t.circle.radius);
        o += ", \"points\": [";
        for (size_t k = 0; k < t.points.size(); ++k)
            o += std::string(k ? ", " : "") + "[" + jsonNumber(t.points[k].x) + ", " +
                 jsonNumber(t.points[k].y) + "]";
        o += "]}";
    }
    return o + (r.critical.empty() ? "]" : "\n  ]");
}

std::string methods(const AnalysisResult& r, const std::string& interslice) {
    if (!r.found) return "[]";
    const EvaluatedSurface& e = r.best;
    MethodResult corrected = e.janbu;
    corrected.fs = e.janbuCorrected;
    const std::pair<const char*, const MethodResult*> rows[] = {
        {"Ordinary", &e.ordinary},      {"Bishop simplified", &e.bishop},
        {"Janbu simplified", &e.janbu}, {"Janbu corrected", &corrected},
        {"Spencer", &e.spencer},        {"Morgenstern-Price", &e.morgensternPrice}};
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
        o += "  \"methods\": " + methods(*r, p ? p->options.interslice.name() : IntersliceFunction{}.name()) +
             ",\n";
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

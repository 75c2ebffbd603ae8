#include "ProblemInput.h"

#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace velda {
namespace {

namespace kw = problemformat::keyword;

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Lines split into blank- or tab-separated items; numbers may run across line ends. Lines are
// taken from the text only as they are asked for, so what follows the last section costs nothing.
class Items {
public:
    explicit Items(std::string_view text) : m_text(text) { load(0); }

    bool atEnd() const { return !m_hasLine; }
    int lineNumber() const { return m_index + 1; }

    std::string line() {
        if (atEnd()) throw InputError("The file ends before the keyword \"EXECUT\": it is incomplete.");
        std::string t(m_lineText);
        nextLine();
        return t;
    }

    double real(const char* what) {
        auto [text, line, item] = next(what);
        auto v = numfmt::parseStorable(text);
        if (!v)
            fail(line, item,
                 std::string("a real number (") + what + ") was expected but found \"" + text + "\"");
        return static_cast<double>(*v);
    }

    int integer(const char* what) {
        auto [text, line, item] = next(what);
        auto v = numfmt::parseWholeInt32(text);
        if (!v)
            fail(line, item,
                 std::string("an integer (") + what + ") was expected but found \"" + text + "\"");
        return *v;
    }

    // A count of rows of `perRow` items each; it must be possible for the rest of the file.
    int count(const char* what, int perRow) {
        const int line = lineNumber();
        int n = integer(what);
        if (n < 0) fail(lineNumber(), m_lastItem, std::string(what) + " must not be negative");
        if (static_cast<size_t>(n) * static_cast<size_t>(perRow) > itemsLeftAtMost())
            fail(line, m_lastItem,
                 std::string(what) + " is " + std::to_string(n) +
                     ", but the file ends before that many rows");
        return n;
    }

    [[noreturn]] static void fail(int line, int item, const std::string& what) {
        throw InputError("Line " + std::to_string(line) + ", item " + std::to_string(item) + ": " + what +
                         ".");
    }

private:
    // Makes the line starting at `pos` current. An empty text is one empty line; a final line end
    // opens no further line.
    void load(size_t pos) {
        if (pos > m_text.size() || (pos == m_text.size() && m_index > 0)) {
            m_hasLine = false;
            return;
        }
        size_t end = pos;
        while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r') ++end;
        m_lineText = m_text.substr(pos, end - pos);
        m_next = end;
        if (end < m_text.size())
            m_next =
                end + (m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n' ? 2 : 1);
        m_itemsEnd = m_lineText.size();
        while (m_itemsEnd > 0 && low(m_lineText[m_itemsEnd - 1])) --m_itemsEnd;
        m_itemAt = skipLow(0);
        m_item = 0;
        m_hasLine = true;
    }
    void nextLine() {
        ++m_index;
        load(m_next);
    }
    // As the program's word reader splits, item by item as they are taken (a line of millions of
    // items costs no list): characters up to code 32 are stripped from both ends; an item ends at a
    // blank or a tab, after which such characters are stripped again. Other control characters
    // stay inside an item (which then is no number).
    static bool low(char c) { return static_cast<unsigned char>(c) <= 32; }
    size_t skipLow(size_t at) const {
        while (at < m_itemsEnd && low(m_lineText[at])) ++at;
        return at;
    }
    bool hasItem() const { return m_itemAt < m_itemsEnd; }

    // Items not yet taken, or more: every later item takes at least two characters of the text.
    size_t itemsLeftAtMost() const {
        if (atEnd()) return 0;
        return (m_itemsEnd - m_itemAt + 1) / 2 + (m_text.size() - m_next + 1) / 2;
    }

    std::tuple<std::string, int, int> next(const char* what) {
        // Like the application's reader: a blank line where a number is due is an error.
        if (!atEnd() && !hasItem()) {
            nextLine();
            if (!atEnd() && !hasItem())
                fail(lineNumber(), 1, std::string("the line is empty where ") + what + " was expected");
        }
        if (atEnd())
            throw InputError(std::string("The file ends where ") + what + " was expected: it is incomplete.");
        m_lastItem = static_cast<int>(++m_item);
        size_t end = m_itemAt;
        while (end < m_itemsEnd && m_lineText[end] != ' ' && m_lineText[end] != '\t') ++end;
        std::string item(m_lineText.substr(m_itemAt, end - m_itemAt));
        m_itemAt = skipLow(end + 1);
        return {std::move(item), lineNumber(), m_lastItem};
    }

    std::string_view m_text;
    std::string_view m_lineText;
    size_t m_itemAt = 0;   // where the line's next item starts
    size_t m_itemsEnd = 0; // where its last item ends
    size_t m_next = 0;     // where the line after the current one starts
    size_t m_item = 0;     // items taken from the line
    int m_index = 0;
    bool m_hasLine = false;
    int m_lastItem = 0;
};

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

Point point(Items& in, const char* what) {
    Point p;
    p.x = in.real(what);
    p.y = in.real(what);
    return p;
}

// The problem file, one function per section; sections after the profile may come in any order
// and end at "EXECUT".
std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.starts_with(problemformat::kByteOrderMark)) text.remove_prefix(3);
    return text;
}

class Parser {
public:
    explicit Parser(std::string_view text) : in(withoutByteOrderMark(text)) {}

    Problem parse() {
        const std::string first = trimmed(in.line());
        if (first != kw::kProfile && first != kw::kProfileLong)
            throw InputError(std::string("Line 1: the file must begin with the keyword \"") + kw::kProfile +
                             "\".");
        profile();
        bool executed = false;
        while (!in.atEnd()) {
            const int at = in.lineNumber();
            const std::string keyword = trimmed(in.line());
            if (keyword.empty()) continue;
            if (keyword == kw::kExecute) {
                executed = true;
                break;
            }
            section(keyword, at);
            in.line(); // the rest of the section's last line
        }
        if (!m_soilSeen) throw InputError(std::string("The problem has no \"") + kw::kSoil + "\" section.");
        if (!executed)
            throw InputError(std::string("The file ends before the keyword \"") + kw::kExecute +
                             "\": it is incomplete.");
        return p;
    }

private:
    void section(const std::string& keyword, int at) {
        static const std::pair<const char*, void (Parser::*)(const std::string&)> kSections[] = {
            {kw::kSoil, &Parser::soils},
            {kw::kAnisotropy, &Parser::anisotropy},
            {kw::kWater, &Parser::water},
            {kw::kLoads, &Parser::loads},
            {kw::kEarthquake, &Parser::earthquake},
            {kw::kLimits, &Parser::limits},
            {kw::kTiebacks, &Parser::tiebacks},
            {kw::kReinforcement, &Parser::reinforcement},
            {kw::kSurface, &Parser::surface},
            {kw::kSurfaceReinforced, &Parser::surface},
            {kw::kJanbuCircle, &Parser::circles},
            {kw::kBishopCircle, &Parser::circles},
            {kw::kIrregular, &Parser::circles},
            {kw::kSpencer, &Parser::spencer},
            {kw::kBlock, &Parser::block},
        };
        for (const auto& [name, read] : kSections)
            if (keyword == name) return (this->*read)(keyword);
        throw InputError("Line " + std::to_string(at) + ": \"" + keyword + "\" is not a section keyword.");
    }

    void profile() {
        p.title = in.line();
        const int lineCount = in.count("the number of boundary lines", 5);
        p.surfaceLineCount = in.integer("the number of ground-surface lines");
        p.unitSystem = in.integer("the unit system");
        if (p.unitSystem < 1 || p.unitSystem > 3)
            Items::fail(in.lineNumber(), 3, "the unit system must be 1, 2 or 3");
        for (int i = 0; i < lineCount; ++i) {
            BoundaryLine l;
            l.left = point(in, "a boundary-line coordinate");
            l.right = point(in, "a boundary-line coordinate");
            l.soil = in.integer("a soil number");
            p.lines.push_back(l);
        }
        in.line();
    }

    void soils(const std::string&) {
        m_soilSeen = true;
        const int n = in.count("the number of soils", 7);
        for (int i = 0; i < n; ++i) {
            Soil s;
            s.moistWeight = in.real("a moist unit weight");
            s.saturatedWeight = in.real("a saturated unit weight");
            s.cohesion = in.real("a cohesion intercept");
            s.phi = in.real("a friction angle");
            s.ru = in.real("a pore-pressure coefficient");
            // The constant is entered in lbs/in^2 in English units.
            s.poreConstant = in.real("a pore-pressure constant") * (p.unitSystem == 1 ? 144.0 : 1.0);
            s.piezometricSurface = in.integer("a piezometric surface number");
            p.soils.push_back(s);
        }
    }

    void anisotropy(const std::string&) {
        const int k = in.count("the number of anisotropic soils", 2);
        for (int i = 0; i < k; ++i) {
            const int soil = in.integer("a soil number");
            if (soil < 1 || soil > static_cast<int>(p.soils.size()))
                Items::fail(in.lineNumber(), 1,
                            "the anisotropic soil number must be between 1 and " +
                                std::to_string(p.soils.size()));
            const int m = in.count("the number of anisotropy rows", 3);
            auto& rows = p.soils[static_cast<size_t>(soil - 1)].anisotropy;
            rows.clear();
            for (int r = 0; r < m; ++r) {
                AnisotropyRow a;
                a.ccwLimit = in.real("a direction limit");
                a.cohesion = in.real("a strength intercept");
                a.phi = in.real("a friction angle");
                rows.push_back(a);
            }
        }
    }

    void water(const std::string&) {
        p.waterOn = true;
        const int n = in.count("the number of piezometric surfaces", 1);
        p.waterUnitWeight = in.real("the unit weight of water");
        for (int i = 0; i < n; ++i) {
            const int m = in.count("the number of points", 2);
            std::vector<Point> pts;
            for (int j = 0; j < m; ++j) pts.push_back(point(in, "a piezometric point"));
            p.piezometricSurfaces.push_back(pts);
        }
    }

    void loads(const std::string&) {
        const int n = in.count("the number of loads", 4);
        for (int i = 0; i < n; ++i) {
            SurchargeLoad l;
            l.leftX = in.real("a load's left x");
            l.rightX = in.real("a load's right x");
            l.intensity = in.real("a load intensity");
            l.inclination = in.real("a load inclination");
            p.loads.push_back(l);
        }
    }

    void earthquake(const std::string&) {
        p.equakeOn = true;
        p.kh = in.real("the horizontal earthquake coefficient");
        p.kv = in.real("the vertical earthquake coefficient");
        p.cavitationPressure = in.real("the cavitation pressure");
    }

    void limits(const std::string&) {
        const int n = in.count("the number of limit lines", 4);
        in.integer("the repeated number of limit lines");
        for (int i = 0; i < n; ++i) {
            LimitLine l;
            l.a = point(in, "a limit-line coordinate");
            l.b = point(in, "a limit-line coordinate");
            p.limits.push_back(l);
        }
    }

    void tiebacks(const std::string&) {
        const int n = in.count("the number of tiebacks", 7);
        for (int i = 0; i < n; ++i) {
            Tieback t;
            t.boundarySurface = in.integer("a boundary surface number");
            t.head = point(in, "a tieback coordinate");
            t.load = in.real("a tieback load");
            t.spacing = in.real("a tieback spacing");
            t.inclination = in.real("a tieback inclination");
            t.freeLength = in.real("a tieback free length");
            p.tiebacks.push_back(t);
        }
    }

    void reinforcement(const std::string&) {
        const int n = in.count("the number of reinforcement sets", 1);
        for (int i = 0; i < n; ++i) {
            const int m = in.count("the number of reinforcement layers", 4);
            std::vector<ReinforcementLayer> set;
            for (int j = 0; j < m; ++j) {
                ReinforcementLayer r;
                r.start = point(in, "a reinforcement coordinate");
                r.force = in.real("a reinforcement force");
                r.inclinationFactor = in.real("an inclination factor");
                set.push_back(r);
            }
            p.reinforcementSets.push_back(set);
        }
    }

    void surface(const std::string& keyword) {
        p.search = SearchKind::UserSurface;
        p.surfaceWithReinforcement = keyword == kw::kSurfaceReinforced;
        const int n = in.count("the number of surface points", 2);
        for (int i = 0; i < n; ++i) p.userSurface.push_back(point(in, "a surface point"));
    }

    void searchBlock() {
        SearchParameters& s = p.parameters;
        s.initiationPoints = in.integer("the number of initiation points");
        s.surfacesPerPoint = in.integer("the number of surfaces per point");
        s.initLeftX = in.real("the left x of the initiation range");
        s.initRightX = in.real("the right x of the initiation range");
        s.termLeftX = in.real("the left x of the termination range");
        s.termRightX = in.real("the right x of the termination range");
        s.minElevation = in.real("the minimum elevation");
        s.segmentLength = in.real("the segment length");
        s.ccwLimit = in.real("the counterclockwise direction limit");
        s.cwLimit = in.real("the clockwise direction limit");
    }

    void circles(const std::string& keyword) {
        p.search = keyword == kw::kJanbuCircle    ? SearchKind::JanbuCircle
                   : keyword == kw::kBishopCircle ? SearchKind::BishopCircle
                                                  : SearchKind::Irregular;
        searchBlock();
    }

    void spencer(const std::string&) {
        p.search = SearchKind::Spencer;
        p.parameters.interSliceAngle = in.real("the interslice force inclination");
        in.line();
        if (trimmed(in.line()) != kw::kBishopCircle)
            throw InputError("Line " + std::to_string(in.lineNumber() - 1) + ": the keyword \"" +
                             kw::kBishopCircle + "\" must follow the \"" + kw::kSpencer + "\" angle.");
        searchBlock();
    }

    void block(const std::string&) {
        p.search = SearchKind::Block;
        p.parameters.surfacesPerPoint = in.integer("the number of surfaces");
        const int n = in.count("the number of boxes", 5);
        p.parameters.blockSegmentLength = in.real("the block segment length");
        for (int i = 0; i < n; ++i) {
            Box b;
            b.left = point(in, "a box coordinate");
            b.right = point(in, "a box coordinate");
            b.height = in.real("a box side length");
            p.parameters.boxes.push_back(b);
        }
    }

    Items in;
    Problem p;
    bool m_soilSeen = false;
};

} // namespace

std::optional<Problem> readProblem(const std::string& text, std::string& error) {
    try {
        return Parser(text).parse();
    } catch (const InputError& e) {
        error = e.what();
    } catch (const std::exception& e) {
        error = std::string("The problem file could not be read: ") + e.what();
    }
    return std::nullopt;
}

std::string validateProblem(const Problem& p) {
    std::ostringstream why;
    const int n = static_cast<int>(p.lines.size());
    if (n == 0) return "The problem has no boundary lines.";
    if (p.surfaceLineCount < 1 || p.surfaceLineCount > n)
        return "The number of ground-surface lines must be between 1 and the number of boundary lines (" +
               std::to_string(n) + ").";
    if (p.soils.empty()) return "The problem has no soils.";
    for (int i = 0; i < n; ++i) {
        const BoundaryLine& l = p.lines[static_cast<size_t>(i)];
        const std::string name = "Boundary line " + std::to_string(i + 1);
        if (!(l.left.x < l.right.x)) return name + " does not run from left to right.";
        if (l.soil < 1 || l.soil > static_cast<int>(p.soils.size()))
            return name + " names soil " + std::to_string(l.soil) + ", but there are " +
                   std::to_string(p.soils.size()) + " soils.";
        if (i > 0 && i < p.surfaceLineCount) {
            const Point& a = p.lines[static_cast<size_t>(i - 1)].right;
            const double tol = 1e-6 * std::max({1.0, std::fabs(a.x), std::fabs(a.y)});
            if (std::fabs(a.x - l.left.x) > tol || std::fabs(a.y - l.left.y) > tol)
                return name + " does not start where ground-surface line " + std::to_string(i) +
                       " ends; the first " + std::to_string(p.surfaceLineCount) +
                       " lines must form the ground surface from left to right.";
        }
    }
    for (size_t i = 0; i < p.soils.size(); ++i) {
        const Soil& s = p.soils[i];
        const std::string name = "Soil " + std::to_string(i + 1);
        if (s.moistWeight < 0 || s.saturatedWeight < 0) return name + " has a negative unit weight.";
        if (s.cohesion < 0) return name + " has a negative cohesion.";
        if (s.phi < 0 || s.phi >= 90) return name + " has a friction angle outside 0 to 90 degrees.";
        if (s.piezometricSurface < 0 || s.piezometricSurface > static_cast<int>(p.piezometricSurfaces.size()))
            return name + " names piezometric surface " + std::to_string(s.piezometricSurface) +
                   ", but there " + (p.piezometricSurfaces.size() == 1 ? "is " : "are ") +
                   std::to_string(p.piezometricSurfaces.size()) + ".";
        for (const AnisotropyRow& a : s.anisotropy)
            if (a.cohesion < 0 || a.phi < 0 || a.phi >= 90)
                return name + " has anisotropic strength outside the valid range.";
    }
    for (size_t i = 0; i < p.piezometricSurfaces.size(); ++i) {
        const auto& pts = p.piezometricSurfaces[i];
        if (pts.empty()) {
            for (const Soil& s : p.soils)
                if (s.piezometricSurface == static_cast<int>(i) + 1)
                    return "Piezometric surface " + std::to_string(i + 1) + " is used but has no points.";
            continue;
        }
        for (size_t j = 1; j < pts.size(); ++j)
            if (!(pts[j].x > pts[j - 1].x))
                return "Piezometric surface " + std::to_string(i + 1) + " does not run from left to right.";
    }
    if (p.waterOn && p.waterUnitWeight < 0) return "The unit weight of water is negative.";
    // A load with its ends swapped used to be passed over without a word: the analysis then ran
    // without a load the user had entered. (A row of zeros carries nothing and stays harmless.)
    for (size_t i = 0; i < p.loads.size(); ++i) {
        const SurchargeLoad& l = p.loads[i];
        if (l.intensity != 0 && !(l.rightX > l.leftX))
            return "Surcharge load " + std::to_string(i + 1) +
                   " does not run from left to right: its left end must lie left of its right end.";
    }
    for (size_t i = 0; i < p.tiebacks.size(); ++i)
        if (!(p.tiebacks[i].spacing > 0))
            return "Tieback " + std::to_string(i + 1) + " has no positive spacing.";
    if (p.search == SearchKind::UserSurface) {
        if (p.userSurface.size() < 2) return "The failure surface needs at least two points.";
        for (size_t i = 1; i < p.userSurface.size(); ++i)
            if (p.userSurface[i].x < p.userSurface[i - 1].x)
                return "The failure surface turns back on itself at point " + std::to_string(i + 1) +
                       "; its points must run from left to right.";
    }
    if (p.cavitationPressure < 0) return "The cavitation pressure is negative.";
    return {};
}

const char* unitLabel(int unitSystem, const char* quantity) {
    const std::string q = quantity;
    if (unitSystem == 1) {
        if (q == "length") return "ft";
        if (q == "force") return "lbs";
        if (q == "stress") return "lbs/ft^2";
        if (q == "unit weight") return "lbs/ft^3";
    } else if (unitSystem == 2) {
        if (q == "length") return "m";
        if (q == "force") return "kN";
        if (q == "stress") return "kPa";
        if (q == "unit weight") return "kN/m^3";
    } else {
        if (q == "length") return "L";
        if (q == "force") return "F";
        if (q == "stress") return "F/L^2";
        if (q == "unit weight") return "F/L^3";
    }
    return "";
}

namespace {

constexpr std::pair<IntersliceFunction::Kind, const char*> kIntersliceNames[] = {
    {IntersliceFunction::Kind::Constant, "constant"},
    {IntersliceFunction::Kind::HalfSine, "half-sine"},
    {IntersliceFunction::Kind::ClippedSine, "clipped-sine"},
    {IntersliceFunction::Kind::Trapezoid, "trapezoid"},
};

// The clipped sine does not fall below this at the ends; the trapezoid rises over this share of
// the surface at each end.
constexpr double kClippedEnd = 0.5, kTrapezoidRamp = 0.25;

} // namespace

double IntersliceFunction::at(double x) const {
    x = std::clamp(x, 0.0, 1.0);
    switch (kind) {
    case Kind::Constant: return 1;
    case Kind::HalfSine: return std::sin(std::numbers::pi * x);
    case Kind::ClippedSine: return std::max(kClippedEnd, std::sin(std::numbers::pi * x));
    case Kind::Trapezoid: return std::min({1.0, x / kTrapezoidRamp, (1 - x) / kTrapezoidRamp});
    case Kind::Points: break;
    }
    if (points.empty()) return 1;
    if (x <= points.front().x) return points.front().y;
    for (size_t i = 1; i < points.size(); ++i)
        if (x <= points[i].x) {
            const Point &a = points[i - 1], &b = points[i];
            return b.x > a.x ? a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x) : b.y;
        }
    return points.back().y;
}

std::string IntersliceFunction::name() const {
    for (const auto& [k, n] : kIntersliceNames)
        if (k == kind) return n;
    // The shortest text that reads back as the same numbers, so the name is the function.
    std::string text = "points";
    for (size_t i = 0; i < points.size(); ++i) {
        char item[80];
        char* at = item;
        *at++ = i ? ',' : ' ';
        at = std::to_chars(at, item + sizeof item, points[i].x).ptr;
        *at++ = ':';
        at = std::to_chars(at, item + sizeof item, points[i].y).ptr;
        text.append(item, at);
    }
    return text;
}

std::optional<IntersliceFunction> parseInterslice(const std::string& text, std::string& error) {
    IntersliceFunction f;
    for (const auto& [k, n] : kIntersliceNames)
        if (text == n) {
            f.kind = k;
            return f;
        }
    f.kind = IntersliceFunction::Kind::Points;
    // The name a function goes by in the report and the result file reads back as the same function.
    size_t at = text.rfind("points ", 0) == 0 ? 7 : 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string pair = text.substr(at, comma - at);
        const size_t colon = pair.find(':');
        const auto x =
            colon == std::string::npos ? std::nullopt : numfmt::parseStorable(pair.substr(0, colon));
        const auto y =
            colon == std::string::npos ? std::nullopt : numfmt::parseStorable(pair.substr(colon + 1));
        // Compared as the numbers kept: two texts may differ beyond what a double holds.
        if (!x || !y || *x < 0 || *x > 1 || *y < 0 || *y > 1 ||
            (!f.points.empty() && static_cast<double>(*x) <= f.points.back().x)) {
            error = "The interslice function \"" + text +
                    "\" is none of constant, half-sine, clipped-sine and trapezoid, nor points x:f with x "
                    "increasing from 0 to 1 and f from 0 to 1 (as in 0:0,0.5:1,1:0).";
            return std::nullopt;
        }
        f.points.push_back({static_cast<double>(*x), static_cast<double>(*y)});
        at = comma + 1;
    }
    if (f.points.size() < 2) {
        error = "The interslice function \"" + text + "\" needs at least two points.";
        return std::nullopt;
    }
    return f;
}

std::optional<RunOptions> readRunOptions(const std::string& text, std::string& error) {
    RunOptions options;
    size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        const size_t eq = line.find('=');
        const std::string key = line.substr(0, eq),
                          value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (key == "interslice") {
            const auto f = parseInterslice(value, error);
            if (!f) return std::nullopt;
            options.interslice = *f;
        } else {
            error = "Line " + std::to_string(number) + " of the run's options names \"" + key +
                    "\", which is no option (known: interslice).";
            return std::nullopt;
        }
    }
    return options;
}

} // namespace velda

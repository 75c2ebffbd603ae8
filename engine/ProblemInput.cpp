#include "ProblemInput.h"

#include "Search.h"
#include "Slope.h"

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
#include <vector>

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

namespace {

// Collects what a check finds, in the order the checks run.
struct Findings {
    std::vector<Finding> all;
    void error(const std::string& section, int item, const std::string& message) {
        all.push_back({true, section, item, message});
    }
    void warning(const std::string& section, int item, const std::string& message) {
        all.push_back({false, section, item, message});
    }
};

std::string number(double v) {
    std::ostringstream o;
    o << v;
    return o.str();
}

// Values that the analysis takes but that hardly describe a real slope.
void implausible(const Problem& p, Findings& f) {
    std::vector<bool> used(p.soils.size(), false);
    for (const BoundaryLine& l : p.lines)
        if (l.soil >= 1 && l.soil <= static_cast<int>(p.soils.size()))
            used[static_cast<size_t>(l.soil - 1)] = true;
    for (size_t i = 0; i < p.soils.size(); ++i) {
        const Soil& s = p.soils[i];
        const int item = static_cast<int>(i) + 1;
        const std::string name = "Soil " + std::to_string(item);
        if (!used[i]) f.warning("soils", item, name + " is the soil of no boundary line.");
        if (s.moistWeight == 0 || s.saturatedWeight == 0)
            f.warning("soils", item, name + " has a unit weight of zero: it weighs nothing.");
        if (p.waterOn && s.piezometricSurface > 0 && s.saturatedWeight < s.moistWeight)
            f.warning("soils", item,
                      name + " is lighter saturated (" + number(s.saturatedWeight) + ") than moist (" +
                          number(s.moistWeight) + ") below its water surface.");
        if (s.ru < 0 || s.ru > 1)
            f.warning("soils", item,
                      name + " has a pore-pressure ratio ru of " + number(s.ru) +
                          ", outside 0 to 1: the pore pressure " +
                          (s.ru < 0 ? "pulls the soil together." : "exceeds the weight above."));
        for (size_t k = 1; k < s.anisotropy.size(); ++k)
            if (!(s.anisotropy[k].ccwLimit > s.anisotropy[k - 1].ccwLimit)) {
                f.warning("soils", item,
                          name + "'s anisotropy rows do not rise in angle: row " + std::to_string(k + 1) +
                              " is never used.");
                break;
            }
    }
    double left = p.lines.front().left.x, right = p.lines.front().right.x;
    for (int i = 0; i < p.surfaceLineCount && i < static_cast<int>(p.lines.size()); ++i) {
        left = std::min(left, p.lines[static_cast<size_t>(i)].left.x);
        right = std::max(right, p.lines[static_cast<size_t>(i)].right.x);
    }
    // Layer boundaries that cross leave the soil between them to whichever line is nearer above.
    const double tol = 1e-6 * std::max({1.0, right - left});
    auto crossAt = [tol](const Point& a, const Point& b, const Point& c, const Point& d, double& x) {
        const double d1x = b.x - a.x, d1y = b.y - a.y, d2x = d.x - c.x, d2y = d.y - c.y;
        const double den = d1x * d2y - d1y * d2x;
        if (den == 0) return false;
        const double t = ((c.x - a.x) * d2y - (c.y - a.y) * d2x) / den;
        const double u = ((c.x - a.x) * d1y - (c.y - a.y) * d1x) / den;
        const double lt = tol / std::max(std::hypot(d1x, d1y), tol),
                     lu = tol / std::max(std::hypot(d2x, d2y), tol);
        if (t <= lt || t >= 1 - lt || u <= lu || u >= 1 - lu) return false; // meeting at an end is joining
        x = a.x + t * d1x;
        return true;
    };
    for (size_t i = 0; i < p.lines.size(); ++i)
        for (size_t j = i + 1; j < p.lines.size(); ++j) {
            double x = 0;
            const BoundaryLine &a = p.lines[i], &b = p.lines[j];
            if (a.left.x < a.right.x && b.left.x < b.right.x && crossAt(a.left, a.right, b.left, b.right, x))
                f.warning("lines", static_cast<int>(j) + 1,
                          "Boundary lines " + std::to_string(i + 1) + " and " + std::to_string(j + 1) +
                              " cross at x " + number(x) + ".");
        }
    for (size_t i = 0; i < p.tiebacks.size(); ++i) {
        const int line = p.tiebacks[i].boundarySurface;
        if (line < 1 || line > static_cast<int>(p.lines.size()))
            f.warning("tiebacks", static_cast<int>(i) + 1,
                      "Tieback " + std::to_string(i + 1) + " names boundary line " + std::to_string(line) +
                          ", but there are " + std::to_string(p.lines.size()) +
                          "; its head is taken where its coordinates put it.");
    }
    for (size_t i = 0; i < p.limits.size(); ++i) {
        const LimitLine& l = p.limits[i];
        if (std::min(l.a.x, l.b.x) > right || std::max(l.a.x, l.b.x) < left)
            f.warning("limits", static_cast<int>(i) + 1,
                      "Trial surface limit line " + std::to_string(i + 1) +
                          " lies wholly beyond the ground surface (x " + number(left) + " to " +
                          number(right) + "): it limits nothing.");
    }
    for (size_t i = 0; i < p.loads.size(); ++i) {
        const SurchargeLoad& l = p.loads[i];
        if (l.intensity != 0 && l.rightX > l.leftX && (l.leftX < left || l.rightX > right))
            f.warning("loads", static_cast<int>(i) + 1,
                      "Surcharge load " + std::to_string(i + 1) +
                          " reaches beyond the ends of the ground surface (x " + number(left) + " to " +
                          number(right) + "); that part carries nothing.");
    }
    const bool searching =
        p.search != SearchKind::None && p.search != SearchKind::UserSurface && p.search != SearchKind::Block;
    if (searching) {
        const SearchParameters& s = p.parameters;
        for (const auto& [what, a, b] : {std::tuple{"initiation", s.initLeftX, s.initRightX},
                                         std::tuple{"termination", s.termLeftX, s.termRightX}})
            if (a < left || b > right || a > b)
                f.warning("search", 0,
                          std::string("The ") + what + " range (x " + number(a) + " to " + number(b) +
                              ") does not lie from left to right within the ground surface (x " +
                              number(left) + " to " + number(right) + ").");
    }
}

} // namespace

std::vector<Finding> checkProblem(const Problem& p) {
    Findings f;
    const int n = static_cast<int>(p.lines.size());
    if (n == 0) {
        f.error("lines", 0, "The problem has no boundary lines.");
        return f.all;
    }
    // A new problem's tables hold one row of zeros: say what is missing, not what the zeros break.
    if (std::all_of(p.lines.begin(), p.lines.end(),
                    [](const BoundaryLine& l) { return l.left.x == l.right.x && l.left.y == l.right.y; })) {
        f.error("lines", 0, "No slope boundary lines are entered yet (Data > Slope Boundary Lines).");
        return f.all;
    }
    if (p.surfaceLineCount < 1 || p.surfaceLineCount > n)
        f.error("lines", 0,
                "The number of ground-surface lines must be between 1 and the number of boundary lines (" +
                    std::to_string(n) + ").");
    if (p.soils.empty()) {
        f.error("soils", 0, "The problem has no soils.");
        return f.all;
    }
    for (int i = 0; i < n; ++i) {
        const BoundaryLine& l = p.lines[static_cast<size_t>(i)];
        const std::string name = "Boundary line " + std::to_string(i + 1);
        if (!(l.left.x < l.right.x)) f.error("lines", i + 1, name + " does not run from left to right.");
        if (l.soil < 1 || l.soil > static_cast<int>(p.soils.size()))
            f.error("lines", i + 1,
                    name + " names soil " + std::to_string(l.soil) + ", but there are " +
                        std::to_string(p.soils.size()) + " soils.");
        if (i > 0 && i < p.surfaceLineCount) {
            const Point& a = p.lines[static_cast<size_t>(i - 1)].right;
            const double tol = 1e-6 * std::max({1.0, std::fabs(a.x), std::fabs(a.y)});
            if (std::fabs(a.x - l.left.x) > tol || std::fabs(a.y - l.left.y) > tol)
                f.error("lines", i + 1,
                        name + " does not start where ground-surface line " + std::to_string(i) +
                            " ends; the first " + std::to_string(p.surfaceLineCount) +
                            " lines must form the ground surface from left to right.");
        }
    }
    for (size_t i = 0; i < p.soils.size(); ++i) {
        const Soil& s = p.soils[i];
        const int item = static_cast<int>(i) + 1;
        const std::string name = "Soil " + std::to_string(item);
        if (s.moistWeight < 0 || s.saturatedWeight < 0)
            f.error("soils", item, name + " has a negative unit weight.");
        if (s.cohesion < 0) f.error("soils", item, name + " has a negative cohesion.");
        if (s.phi < 0 || s.phi >= 90)
            f.error("soils", item, name + " has a friction angle outside 0 to 90 degrees.");
        if (s.piezometricSurface < 0 || s.piezometricSurface > static_cast<int>(p.piezometricSurfaces.size()))
            f.error("soils", item,
                    name + " names piezometric surface " + std::to_string(s.piezometricSurface) +
                        ", but there " + (p.piezometricSurfaces.size() == 1 ? "is " : "are ") +
                        std::to_string(p.piezometricSurfaces.size()) + ".");
        for (const AnisotropyRow& a : s.anisotropy)
            if (a.cohesion < 0 || a.phi < 0 || a.phi >= 90) {
                f.error("soils", item, name + " has anisotropic strength outside the valid range.");
                break;
            }
    }
    for (size_t i = 0; i < p.piezometricSurfaces.size(); ++i) {
        const auto& pts = p.piezometricSurfaces[i];
        const int item = static_cast<int>(i) + 1;
        if (pts.empty()) {
            for (const Soil& s : p.soils)
                if (s.piezometricSurface == item) {
                    f.error("water", item,
                            "Piezometric surface " + std::to_string(item) + " is used but has no points.");
                    break;
                }
            continue;
        }
        for (size_t j = 1; j < pts.size(); ++j)
            if (!(pts[j].x > pts[j - 1].x)) {
                f.error("water", item,
                        "Piezometric surface " + std::to_string(item) + " does not run from left to right.");
                break;
            }
    }
    if (p.waterOn && p.waterUnitWeight < 0) f.error("water", 0, "The unit weight of water is negative.");
    // A load with its ends swapped used to be passed over without a word: the analysis then ran
    // without a load the user had entered. (A row of zeros carries nothing and stays harmless.)
    for (size_t i = 0; i < p.loads.size(); ++i) {
        const SurchargeLoad& l = p.loads[i];
        if (l.intensity != 0 && !(l.rightX > l.leftX))
            f.error("loads", static_cast<int>(i) + 1,
                    "Surcharge load " + std::to_string(i + 1) +
                        " does not run from left to right: its left end must lie left of its right end.");
    }
    for (size_t i = 0; i < p.tiebacks.size(); ++i)
        if (!(p.tiebacks[i].spacing > 0))
            f.error("tiebacks", static_cast<int>(i) + 1,
                    "Tieback " + std::to_string(i + 1) + " has no positive spacing.");
    if (p.search == SearchKind::UserSurface) {
        if (p.userSurface.size() < 2) f.error("surface", 0, "The failure surface needs at least two points.");
        for (size_t i = 1; i < p.userSurface.size(); ++i)
            if (p.userSurface[i].x < p.userSurface[i - 1].x) {
                f.error("surface", static_cast<int>(i) + 1,
                        "The failure surface turns back on itself at point " + std::to_string(i + 1) +
                            "; its points must run from left to right.");
                break;
            }
    }
    if (p.cavitationPressure < 0) f.error("water", 0, "The cavitation pressure is negative.");
    if (p.search == SearchKind::None) f.error("search", 0, kNoSearch);
    const bool usable = std::none_of(f.all.begin(), f.all.end(), [](const Finding& x) { return x.error; });
    if (usable && p.search != SearchKind::None && p.search != SearchKind::UserSurface) {
        const Slope slope(p);
        if (const std::string why = searchRefusal(p, slope.xMax() - slope.xMin()); !why.empty())
            f.error("search", 0, why);
    }
    // A given surface must cut off a sliding mass; the run would find that out only after the check.
    if (usable && p.search == SearchKind::UserSurface) {
        const SlicedSurface s = Slope(p).slice(p.userSurface);
        if (!s.ok) f.error("surface", 0, "The failure surface cannot be analysed: " + s.reason);
    }
    implausible(p, f);
    return f.all;
}

std::string validateProblem(const Problem& p) {
    for (const Finding& f : checkProblem(p))
        if (f.error) return f.message;
    return {};
}

std::string findingsJson(const std::vector<Finding>& findings) {
    auto quoted = [](const std::string& s) {
        std::string o = "\"";
        for (const char c : s) {
            if (c == '"' || c == '\\') {
                o += '\\';
                o += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                o += buf;
            } else {
                o += c;
            }
        }
        return o + "\"";
    };
    std::string o = "{\n  \"findings\": [";
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        o += std::string(i ? "," : "") + "\n    {\"severity\": \"" + (f.error ? "error" : "warning") +
             "\", \"section\": " + quoted(f.section) + ", \"item\": " + std::to_string(f.item) +
             ", \"message\": " + quoted(f.message) + "}";
    }
    return o + "\n  ]\n}\n";
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

#include "PlotModel.h"
#include "base/BoundedRead.h"
#include "base/FileAccess.h"

#include "format/NumberFormat.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"

#include <QFile>
#include <algorithm>
#include <cmath>

QString layerCaption(Layer layer) {
    switch (layer) {
    case Layer::ColorSoilLayers: return QStringLiteral("Color Soil Layers");
    case Layer::AllTrialSurfaces: return QStringLiteral("All Trial Surfaces");
    case Layer::BoundaryLines: return QStringLiteral("Boundary Lines");
    case Layer::SearchLimits: return QStringLiteral("Search Limits");
    case Layer::PiezometricLine: return QStringLiteral("Piezometric Line");
    case Layer::TieBacks: return QStringLiteral("Tie Backs");
    case Layer::ReinfLines: return QStringLiteral("Reinf. Lines");
    case Layer::SurfacePressures: return QStringLiteral("Surface Pressures");
    case Layer::TotalStresses: return QStringLiteral("Total Stresses");
    case Layer::PoreWaterPressures: return QStringLiteral("Pore Water Pressures");
    case Layer::TenSlipSurfaces: return QStringLiteral("10 Slip Surfaces");
    case Layer::CriticalSlipSurface: return QStringLiteral("Critical Slip Surface");
    case Layer::SoilLayerNumbers: return QStringLiteral("Soil Layer Numbers");
    case Layer::BoundaryCoords: return QStringLiteral("Boundary Coords");
    case Layer::SolutionInformation: return QStringLiteral("Solution Information");
    case Layer::Scale: return QStringLiteral("Scale");
    case Layer::Count: break;
    }
    return {};
}

PlotModel::PlotModel()
    : TrialSurface(plotformat::kTrialSurfaces + 1), Slices(plotformat::kSlices),
      ZonePoints(plotformat::kZonePoints), SearchLimits(plotformat::kLimitLines),
      TieBacks(plotformat::kTiebacks), Boundary(plotformat::kBoundaryRows), Regions(plotformat::kRegions) {
    for (auto& t : TrialSurface) t.points.resize(plotformat::kSurfacePoints);
    for (auto& c : CriticalSurfaces) c.points.resize(plotformat::kSurfacePoints);
    for (auto& r : ReinfLines) r.points.resize(plotformat::kReinforcementPoints);
    for (auto& p : PiezoLines) p.points.resize(plotformat::kPiezometricPoints);
    for (auto& r : Regions) r.points.resize(plotformat::kRegionPoints);
}

void PlotModel::Clear() {
    SliceCount = ZoneCount = LimitCount = TieBackCount = PiezoCount = 0;
    for (auto& c : CriticalSurfaces) c.count = 0;
    for (auto& p : PiezoLines) p.count = 0;
    for (auto& r : Regions) r.count = 0;
    for (auto& b : Boundary) b = BoundaryRow{};
    BoundaryCount = 0;
    RegionCount = 0;
    RegionsBuilt = false;
    MethodFactors.fill(0);
    HasMethodFactors = false;
}

void PlotModel::CopyBoundary(const TGridTable& t) {
    const int rows = std::min(t.RowCount(), plotformat::kBoundaryRows);
    for (int r = 0; r < rows; ++r) {
        BoundaryRow& b = Boundary[static_cast<size_t>(r)];
        b = BoundaryRow{};
        namespace c = cols::boundary;
        b.x1 = static_cast<double>(t.Cell(c::kLeftX, r).GetFloat());
        b.y1 = static_cast<double>(t.Cell(c::kLeftY, r).GetFloat());
        b.x2 = static_cast<double>(t.Cell(c::kRightX, r).GetFloat());
        b.y2 = static_cast<double>(t.Cell(c::kRightY, r).GetFloat());
        b.soil = t.Cell(c::kSoil, r).GetInteger();
    }
    BoundaryCount = rows;
}

void PlotModel::BuildRegions() {
    const int n = BoundaryCount;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (i == j || j + 1 > 255) continue;
            BoundaryRow& a = Boundary[static_cast<size_t>(i)];
            const BoundaryRow& b = Boundary[static_cast<size_t>(j)];
            if (a.x2 == b.x1 && a.y2 == b.y1) a.next.set(static_cast<size_t>(j + 1));
            if (a.x1 == b.x2 && a.y1 == b.y2) a.prev.set(static_cast<size_t>(j + 1));
        }
    std::vector<bool> taken(static_cast<size_t>(n), false);
    RegionCount = 0;
    for (int i = 0; i < n && RegionCount < plotformat::kRegions; ++i) {
        const BoundaryRow& start = Boundary[static_cast<size_t>(i)];
        if (taken[static_cast<size_t>(i)] || start.soil <= 0) continue;
        Region& region = Regions[static_cast<size_t>(RegionCount++)];
        region.soil = start.soil;
        region.count = 0;
        auto add = [&region](double x, double y) {
            if (region.count < plotformat::kRegionPoints)
                region.points[static_cast<size_t>(region.count++)] = {x, y};
        };
        add(start.x1, start.y1);
        add(start.x2, start.y2);
        taken[static_cast<size_t>(i)] = true;
        int current = i;
        for (int j = i + 1; j < n; ++j) {
            const BoundaryRow& row = Boundary[static_cast<size_t>(j)];
            if (Boundary[static_cast<size_t>(current)].next.test(static_cast<size_t>(j + 1)) &&
                !taken[static_cast<size_t>(j)] && row.soil == Boundary[static_cast<size_t>(current)].soil) {
                add(row.x2, row.y2);
                taken[static_cast<size_t>(j)] = true;
                current = j;
            }
        }
    }
    RegionsBuilt = true;
}

namespace {

class Reader {
public:
    // The text is read in place, line by line: a hostile file costs no more than its own size.
    Reader(const QByteArray& text, PlotModel& m, PlotReadResult& r) : m_text(text), m_model(m), m_result(r) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    QByteArrayView line() {
        if (atEnd()) return {};
        qsizetype end = m_text.indexOf('\n', m_pos);
        if (end < 0) end = m_text.size();
        QByteArrayView l(m_text.constData() + m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_lineNumber;
        if (l.endsWith('\r')) l.chop(1);
        return l;
    }

    // Each message is a box the user must close: a badly damaged file must not bury them, and
    // collecting more than are shown would only cost memory.
    static constexpr qsizetype kShownErrors = 20;
    void note(const QString& message) {
        if (m_result.messages.size() < kShownErrors)
            m_result.messages << message;
        else
            m_moreErrors = true;
    }
    bool moreErrors() const { return m_moreErrors; }

    // The first `count` numbers of the next line; missing or bad fields read as 0 and set `bad`.
    bool numbers(int count, double* out, bool& bad) {
        bad = false;
        if (atEnd()) {
            std::fill(out, out + count, 0.0);
            bad = true;
            return false;
        }
        const QByteArrayView l = line();
        auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
        qsizetype i = 0;
        for (int k = 0; k < count; ++k) {
            while (i < l.size() && blank(l[i])) ++i;
            const qsizetype start = i;
            while (i < l.size() && !blank(l[i])) ++i;
            auto v =
                numfmt::parseStorable(std::string_view(l.data() + start, static_cast<size_t>(i - start)));
            out[k] = v ? static_cast<double>(*v) : 0.0;
            if (!v) bad = true;
        }
        return true;
    }
    // Numbers of a line outside the guarded places: a bad field reads as 0 and is noted once.
    bool plain(int count, double* out) {
        bool bad = false;
        const bool ok = numbers(count, out, bad);
        if (ok && bad && !m_notedBadField) {
            m_notedBadField = true;
            note(
                QStringLiteral("The plot file has a field that is not a number on line %1; it was read as 0.")
                    .arg(m_lineNumber));
        }
        return ok;
    }
    int count(const double v) const { return v > 0 && v < 2147483647.0 ? static_cast<int>(v) : 0; }
    PlotPoint scaled(const double* v) const {
        return {v[0] * m_model.ScaleFactor, v[1] * m_model.ScaleFactor};
    }
    bool point(PlotPoint& p) {
        double v[2];
        if (!plain(2, v)) return false;
        p = scaled(v);
        return true;
    }
    bool polyLine(PolyLine* target, int capacity) {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        if (target) target->count = std::min(n, capacity);
        for (int k = 0; k < n; ++k) {
            PlotPoint p;
            if (!point(p)) return false;
            if (target && k < capacity) target->points[static_cast<size_t>(k)] = p;
        }
        return true;
    }
    // The scale factor is header line 11; a header cut short by a bad line takes line 11 when it
    // was read, otherwise line 2.
    bool header() {
        constexpr int scale = plotformat::kScaleFactorLine - 1;
        double values[plotformat::kHeaderLines] = {};
        for (int i = 0; i < plotformat::kHeaderLines; ++i) {
            bool bad = false;
            numbers(1, &values[i], bad);
            if (bad) {
                note(plotmsg::kHeaderCorrupt);
                m_model.ScaleFactor = i > scale ? values[scale] : (i > 1 ? values[1] : m_model.ScaleFactor);
                return false;
            }
        }
        m_model.ScaleFactor = values[scale];
        return true;
    }

    // Records until END or the end of the file; after each record, whatever its word, the
    // piezometric switches follow what has been read.
    void run(const TGridTable& boundCood) {
        namespace rec = plotformat::record;
        const std::pair<const char*, bool (Reader::*)()> handlers[] = {
            {rec::kBlocks, &Reader::blocks},
            {rec::kBoundary, &Reader::boundary},
            {rec::kSlices, &Reader::slices},
            {rec::kLoads, &Reader::loads},
            {rec::kLimits, &Reader::limits},
            {rec::kNewHeader, &Reader::newHeader},
            {rec::kReinforcement, &Reader::reinforcement},
            {rec::kSurface, &Reader::surface},
            {rec::kTenCritical, &Reader::tenCritical},
            {rec::kTiebacks, &Reader::tiebacks},
            {rec::kWater, &Reader::water},
            {rec::kMethods, &Reader::methods},
        };
        m_boundCood = &boundCood;
        while (!atEnd()) {
            const QByteArrayView l = line();
            const QByteArrayView word = l.first(std::min<qsizetype>(3, l.size()));
            if (word == rec::kEnd) break;
            bool goOn = true;
            for (const auto& [name, read] : handlers)
                if (word == name) {
                    goOn = (this->*read)();
                    break;
                }
            if (!goOn) break;
            if (m_model.PiezoCount > 0)
                m_result.enabled.set(bit(Layer::PiezometricLine)).set(bit(Layer::PoreWaterPressures));
        }
    }

    // Each handler reads its record's data lines; false ends the reading (the file ended).

    bool blocks() {
        double v[1];
        if (!plain(1, v)) return false;
        PlotPoint p;
        for (qint64 k = 0; k < 5 * qint64(count(v[0])) && point(p); ++k) {
        }
        return true;
    }

    bool boundary() {
        double v[4];
        if (!plain(4, v)) return false;
        const int s = count(v[2]), t = count(v[3]);
        PlotPoint p;
        for (qint64 k = 0; k < s + 2 * std::max<qint64>(0, qint64(t) - s) && point(p); ++k) {
        }
        m_model.CopyBoundary(*m_boundCood);
        m_result.enabled.set(bit(Layer::BoundaryLines))
            .set(bit(Layer::ColorSoilLayers))
            .set(bit(Layer::BoundaryCoords));
        return true;
    }

    bool slices() {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        m_model.SliceCount = std::min(n, plotformat::kSlices);
        for (int k = 0; k < n; ++k) {
            double f[10];
            if (!plain(10, f)) break;
            if (k >= plotformat::kSlices) continue;
            SliceRecord& s = m_model.Slices[static_cast<size_t>(k)];
            s.x = f[1];
            s.totalForce = f[2];
            s.baseLength = f[3];
            s.poreForce = f[4];
            std::copy(f + 5, f + 10, s.unused.begin());
        }
        m_result.enabled.set(bit(Layer::TotalStresses)).set(bit(Layer::PoreWaterPressures));
        return true;
    }

    bool loads() {
        double v[1];
        bool bad = false;
        if (!numbers(1, v, bad)) return false;
        if (bad) note(plotmsg::kZoneCount);
        const int n = count(v[0]);
        m_model.ZoneCount = std::min(n, plotformat::kLoadZones);
        for (qint64 k = 0; k < 4 * qint64(n) && !atEnd(); ++k) {
            double f[2];
            numbers(2, f, bad);
            if (bad) note(plotmsg::zonePoint(k + 1));
            if (k < plotformat::kZonePoints) m_model.ZonePoints[static_cast<size_t>(k)] = scaled(f);
        }
        m_result.enabled.set(bit(Layer::SurfacePressures));
        return true;
    }

    bool limits() {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        m_model.LimitCount = std::min(n, plotformat::kLimitLines);
        for (int k = 0; k < n; ++k) {
            PlotPoint a, b;
            if (!point(a) || !point(b)) break;
            if (k < plotformat::kLimitLines) m_model.SearchLimits[static_cast<size_t>(k)] = {a, b};
        }
        m_result.enabled.set(bit(Layer::SearchLimits));
        return true;
    }

    bool newHeader() {
        header();
        return true;
    }

    bool reinforcement() {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        m_model.ReinfCount = std::min(n, plotformat::kReinforcementLines);
        for (int k = 0; k < n; ++k)
            if (!polyLine(k < plotformat::kReinforcementLines ? &m_model.ReinfLines[static_cast<size_t>(k)]
                                                              : nullptr,
                          plotformat::kReinforcementPoints))
                break;
        if (n > 0) m_result.enabled.set(bit(Layer::ReinfLines));
        return true;
    }

    bool surface() {
        PlotModel& m = m_model;
        const int k = ++m.TrialCount;
        double v[2];
        bool bad = false;
        if (!numbers(2, v, bad)) return false;
        if (bad) note(plotmsg::surfaceCount(k));
        const int n = count(v[0]);
        PolyLine* target =
            k <= plotformat::kTrialSurfaces ? &m.TrialSurface[static_cast<size_t>(k)] : nullptr;
        if (target) target->count = std::min(n, plotformat::kSurfacePoints);
        m.FactorOfSafety = v[1];
        for (int j = 0; j < n; ++j) {
            PlotPoint p;
            if (!point(p)) break;
            if (target && j < plotformat::kSurfacePoints) target->points[static_cast<size_t>(j)] = p;
        }
        m_result.enabled.set(bit(Layer::AllTrialSurfaces))
            .set(bit(Layer::SoilLayerNumbers))
            .set(bit(Layer::SolutionInformation));
        return true;
    }

    bool tenCritical() {
        PlotModel& m = m_model;
        for (int b = 0; b < plotformat::kCriticalSurfaces && !atEnd(); ++b) {
            PolyLine& c = m.CriticalSurfaces[static_cast<size_t>(b)];
            double v[1], s[4];
            if (!plain(1, v) || !plain(4, s)) break;
            const int n = count(v[0]);
            c.count = std::min(n, plotformat::kSurfacePoints);
            for (int j = 0; j < n; ++j) {
                PlotPoint p;
                if (!point(p)) break;
                if (j < plotformat::kSurfacePoints) c.points[static_cast<size_t>(j)] = p;
            }
            if (b == 0) solution(c, s);
        }
        m_result.enabled.set(bit(Layer::SolutionInformation))
            .set(bit(Layer::TenSlipSurfaces))
            .set(bit(Layer::CriticalSlipSurface));
        return true;
    }

    // The first of the ten: factor of safety, centre and radius; a centre not given falls back to the
    // middle of the surface's ends.
    void solution(const PolyLine& c, const double* s) {
        PlotModel& m = m_model;
        m.FactorOfSafety = s[0];
        m.CentreX = s[1];
        m.CentreY = s[2];
        m.Radius = s[3];
        if (c.count > 0) {
            const PlotPoint& first = c.points[0];
            const PlotPoint& last = c.points[static_cast<size_t>(c.count - 1)];
            if (m.CentreX < 0.0001) m.CentreX = (first.x + last.x) / 2;
            if (m.CentreY < 0.0001) m.CentreY = (first.y + last.y) / 2;
        }
    }

    bool tiebacks() {
        m_result.enabled.set(bit(Layer::TieBacks));
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        m_model.TieBackCount = std::min(n, plotformat::kTiebacks);
        for (int k = 0; k < n; ++k) {
            std::array<PlotPoint, 3> t;
            if (!point(t[0]) || !point(t[1]) || !point(t[2])) break;
            if (k < plotformat::kTiebacks) m_model.TieBacks[static_cast<size_t>(k)] = t;
        }
        return true;
    }

    bool methods() {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        for (int k = 0; k < n; ++k) {
            double f[2];
            if (!plain(2, f)) return false;
            // A code is a whole number from 1 to the last method's; anything else is skipped
            // before it is turned into an index.
            if (f[0] >= 1 && f[0] <= plotformat::method::kCount && f[0] == std::floor(f[0]))
                m_model.MethodFactors[static_cast<size_t>(f[0]) - 1] = f[1];
        }
        m_model.HasMethodFactors = true;
        return true;
    }

    bool water() {
        double v[1];
        if (!plain(1, v)) return false;
        const int n = count(v[0]);
        m_model.PiezoCount = std::min(n, plotformat::kPiezometricLines);
        for (int k = 0; k < n; ++k)
            if (!polyLine(k < plotformat::kPiezometricLines ? &m_model.PiezoLines[static_cast<size_t>(k)]
                                                            : nullptr,
                          plotformat::kPiezometricPoints))
                break;
        return true;
    }

private:
    const QByteArray& m_text;
    PlotModel& m_model;
    PlotReadResult& m_result;
    qsizetype m_pos = 0; // where the next line starts
    int m_lineNumber = 0;
    bool m_moreErrors = false;
    bool m_notedBadField = false;
    const TGridTable* m_boundCood = nullptr;
};

} // namespace

PlotReadResult ReadPlotText(const QByteArray& text, const TGridTable& boundCood, PlotModel& model) {
    PlotReadResult result;
    result.opened = true;
    model.Clear();
    Reader reader(text, model, result);
    result.noData = reader.atEnd();
    if (!reader.atEnd()) {
        // The first line up to its first line break of either kind.
        QByteArrayView first(text);
        if (const qsizetype end = first.indexOf('\n'); end >= 0) first = first.first(end);
        if (const qsizetype end = first.indexOf('\r'); end >= 0) first = first.first(end);
        if (first == plotformat::record::kEnd) {
            result.messages << plotmsg::kNoData;
            result.noData = true;
            return result;
        }
        reader.header();
        model.TrialCount = 1;
        reader.run(boundCood);
    }
    if (!model.RegionsBuilt) model.BuildRegions();
    if (reader.moreErrors()) result.messages << plotmsg::kMoreErrors;
    return result;
}

PlotReadResult ReadPlotFile(const QString& fileName, const TGridTable& boundCood, PlotModel& model) {
    QFile file;
    if (QString why; !fileaccess::openForReading(file, fileName, why)) {
        model.Clear();
        PlotReadResult r;
        r.failure = QStringLiteral("The plot file %1 could not be opened: %2").arg(fileName, why);
        return r;
    }
    QByteArray bytes;
    if (!readAtMost(file, plotformat::kMaxFileBytes, bytes)) {
        model.Clear();
        PlotReadResult r;
        r.failure = QStringLiteral("The plot file %1 is larger than %2; it was not read.")
                        .arg(fileName, QLatin1String(plotformat::kMaxFileText));
        return r;
    }
    return ReadPlotText(bytes, boundCood, model);
}

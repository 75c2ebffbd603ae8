// Writing the problem file: the application's save format and the engine's input.
#include "ProgramData.h"
#include "base/Errors.h"
#include "base/FileAccess.h"
#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"
#include "tables/ColumnTypes.h"

#include <cmath>

namespace kw = problemformat::keyword;

QString writemsg::notFinite(const QString& where) {
    return QStringLiteral("The %1 is not a finite number or too large for the file (a unit conversion may "
                          "have overflowed); the file "
                          "was not written.")
        .arg(where);
}

namespace {

QString integer(int32_t v) {
    return QString::number(v);
}
// Whole-number fields in the general format: ten digits keep every 32-bit value exact.
QString wholeGeneral(int32_t v) {
    return QString::fromStdString(numfmt::general(static_cast<long double>(v), 10));
}

// A soil whose anisotropy table is still the single row of zeros it was created with has no
// anisotropic strength; every other soil gets a block, so the count and the blocks agree.
bool hasAnisotropy(const TGridTable* nested) {
    if (!nested) return false;
    if (nested->RowCount() != 1) return true;
    for (int c = 0; c < nested->ColumnCount(); ++c)
        if (nested->Column(c)->GetFloat(0) != 0) return true;
    return false;
}

// The file, section by section, in the order the reader and the engine expect. Lines end in CR LF;
// items are separated by one blank. A value that is not finite, or beyond what a double holds,
// stops the writing: a text such as "INF." or "1.0E400" could never be read back by the engine.
class ProblemWriter {
public:
    ProblemWriter(const TProgramData& doc, const TableSet& tables) : d(doc), t(tables) {}

    QByteArray text() {
        profile();
        soils();
        anisotropy();
        if (d.WaterOn) water();
        if (d.LoadsOn) loads();
        if (d.EquakeOn) earthquake();
        if (d.LimitsOn) limits();
        if (d.TiesOn) tiebacks();
        if (d.ReinfOn) reinforcement();
        searchSection();
        add(kw::kExecute);
        return m_text.toUtf8();
    }

private:
    void add(const QString& line) { m_text += line + QStringLiteral("\r\n"); }
    void add(const char* line) { add(QString::fromLatin1(line)); }
    void add(const QStringList& items) { add(items.join(' ')); }

    static long double finite(long double v, const QString& where) {
        if (!numfmt::storable(v)) throw EInOutError(writemsg::notFinite(where));
        return v;
    }
    // A document field: general text with 8 digits, with a point, or with two decimals.
    static QString general(long double v, const char* field) {
        return QString::fromStdString(numfmt::general(finite(v, QLatin1String(field)), 8));
    }
    static QString point(long double v, const char* field) {
        return QString::fromStdString(numfmt::generalPoint(finite(v, QLatin1String(field))));
    }
    static QString fixed2(long double v, const char* field) {
        return QString::fromStdString(numfmt::fixed2(finite(v, QLatin1String(field))));
    }

    // One line per row: the listed columns, reals with a point and integers plain.
    void rows(const TGridTable& table, int firstColumn, int lastColumn) {
        for (int r = 0; r < table.RowCount(); ++r) {
            QStringList items;
            for (int c = firstColumn; c <= lastColumn; ++c) {
                const TColumn* column = table.Column(c);
                if (column->Kind() != ColumnKind::Float) {
                    items << column->GetText(r);
                    continue;
                }
                const long double v = column->GetFloat(r);
                if (!numfmt::storable(v))
                    throw EInOutError(
                        writemsg::notFinite(QStringLiteral("value in row %1, column \"%2\" of the "
                                                           "table \"%3\"")
                                                .arg(r + 1)
                                                .arg(column->Headers.join(' '))
                                                .arg(table.WindowTitle().simplified())));
                items << QString::fromStdString(numfmt::generalPoint(v));
            }
            add(items);
        }
    }

    void profile() {
        add(kw::kProfile);
        // A line break inside the title would end the title early and shift every later item.
        QString title = d.Title;
        title.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace('\r', ' ').replace('\n', ' ');
        add(title);
        add({integer(t.BoundCood->RowCount()), integer(d.SurfaceLineCount), integer(d.UnitSystem)});
        rows(*t.BoundCood, cols::boundary::kLeftX, cols::boundary::kSoil);
    }

    void soils() {
        add(kw::kSoil);
        add(integer(t.SoilData->RowCount()));
        rows(*t.SoilData, cols::soil::kMoistWeight, cols::soil::kPiezometricSurface);
    }

    void anisotropy() {
        int anisotropic = 0;
        for (int s = 0; s < t.SoilData->RowCount(); ++s)
            if (hasAnisotropy(t.SoilData->Cell(cols::soil::kAnisotropy, s).Table())) ++anisotropic;
        if (anisotropic == 0) return;
        add(kw::kAnisotropy);
        add(integer(anisotropic));
        for (int s = 0; s < t.SoilData->RowCount(); ++s) {
            const TGridTable* nested = t.SoilData->Cell(cols::soil::kAnisotropy, s).Table();
            if (!hasAnisotropy(nested)) continue;
            add({integer(s + 1), integer(nested->RowCount())});
            rows(*nested, cols::anisotropy::kDirectionLimit, cols::anisotropy::kFrictionAngle);
        }
    }

    // Nested point and layer tables: the count is written also for an empty table, so the next
    // count is not taken for it.
    void nested(const TGridTable& set, int lastColumn) {
        for (int i = 0; i < set.RowCount(); ++i) {
            const TGridTable* rowsOf = set.Cell(cols::kNested, i).Table();
            add(integer(rowsOf ? rowsOf->RowCount() : 0));
            if (rowsOf) rows(*rowsOf, 0, lastColumn);
        }
    }

    void water() {
        add(kw::kWater);
        add({integer(t.WaterSurfaceSet->RowCount()), general(d.WaterUnitWeight, "unit weight of water")});
        nested(*t.WaterSurfaceSet, cols::point::kY);
    }

    void loads() {
        add(kw::kLoads);
        add(integer(t.SurchargeLoad->RowCount()));
        rows(*t.SurchargeLoad, cols::surcharge::kLeftX, cols::surcharge::kInclination);
    }

    void earthquake() {
        add(kw::kEarthquake);
        add({fixed2(d.SeismicKh, "horizontal earthquake coefficient"),
             fixed2(d.SeismicKv, "vertical earthquake coefficient"),
             fixed2(d.CavitationPressure, "cavitation pressure")});
    }

    void limits() {
        add(kw::kLimits);
        add({integer(t.limit->RowCount()), integer(t.limit->RowCount())});
        rows(*t.limit, cols::limit::kLeftX, cols::limit::kRightY);
    }

    void tiebacks() {
        add(kw::kTiebacks);
        add(integer(t.TiebackCoord->RowCount()));
        rows(*t.TiebackCoord, cols::tieback::kSurface, cols::tieback::kFreeLength);
    }

    void reinforcement() {
        add(kw::kReinforcement);
        add(integer(t.ReinEarthLayerSet->RowCount()));
        nested(*t.ReinEarthLayerSet, cols::layer::kInclinationFactor);
    }

    QStringList counts() { return {wholeGeneral(d.InitiationPoints), wholeGeneral(d.SurfacesPerPoint)}; }
    QStringList ranges() {
        return {point(d.InitLeftX, "left initiation x"), point(d.InitRightX, "right initiation x"),
                point(d.TermLeftX, "left termination x"), point(d.TermRightX, "right termination x")};
    }
    QStringList limitsOfSurfaces() {
        return {point(d.MinElevation, "minimum elevation"), point(d.SegmentLength, "segment length"),
                point(d.CcwLimit, "counterclockwise direction limit"),
                point(d.CwLimit, "clockwise direction limit")};
    }

    void searchSection() {
        switch (d.SearchMethod) {
        case search::UserSurface:
            if (!d.UserSurfaceOn) break;
            add(d.ReinfLayersOn == 1 ? kw::kSurfaceReinforced : kw::kSurface);
            add(integer(t.FailSurface->RowCount()));
            rows(*t.FailSurface, cols::point::kX, cols::point::kY);
            break;
        case search::JanbuCircle:
        case search::BishopCircle:
        case search::Irregular:
            add(d.SearchMethod == search::JanbuCircle    ? kw::kJanbuCircle
                : d.SearchMethod == search::BishopCircle ? kw::kBishopCircle
                                                         : kw::kIrregular);
            add(counts());
            add(ranges());
            add(limitsOfSurfaces());
            break;
        case search::Spencer:
            add(kw::kSpencer);
            add(point(d.InterSliceAngle, "interslice force inclination"));
            add(kw::kBishopCircle);
            add(counts());
            add(ranges() + limitsOfSurfaces());
            break;
        case search::Block:
            add(kw::kBlock);
            add({wholeGeneral(d.SurfacesPerPoint), integer(t.BoxCoord->RowCount()),
                 point(d.BlockSegmentLength, "block segment length")});
            rows(*t.BoxCoord, cols::box::kLeftX, cols::box::kSideLength);
            break;
        default: break;
        }
    }

    const TProgramData& d;
    const TableSet& t;
    QString m_text;
};

} // namespace

QByteArray TProgramData::ProblemText() const {
    return ProblemWriter(*this, m_session.tables()).text();
}

void TProgramData::SaveToFile() {
    // The whole text first: a value that cannot be written leaves the file as it was.
    const QByteArray text = ProblemText();
    if (QString why; !fileaccess::writeWhole(FileName, text, why)) throw EInOutError(why);
    m_session.SetModified(false);
}

// Writing the problem file: the application's save format and the engine's input.
#include "ProgramData.h"
#include "base/Errors.h"
#include "format/NumberFormat.h"
#include "tables/ColumnTypes.h"

#include <QSaveFile>

namespace {

class Lines {
public:
    void add(const QString& line) { m_text += line + QStringLiteral("\r\n"); }
    void add(const char* line) { add(QString::fromLatin1(line)); }
    void add(const QStringList& items) { add(items.join(' ')); }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

QString point(long double v) {
    return QString::fromStdString(numfmt::generalPoint(v));
}
QString general(long double v) {
    return QString::fromStdString(numfmt::general(v, 8));
}
// Whole-number fields in the general format: ten digits keep every 32-bit value exact.
QString general(int32_t v) {
    return QString::fromStdString(numfmt::general(v, 10));
}
QString fixed2(long double v) {
    return QString::fromStdString(numfmt::fixed2(v));
}
QString integer(int32_t v) {
    return QString::number(v);
}

// One line per row: the listed columns, reals with a point and integers plain.
void rows(Lines& out, const TGridTable& table, int firstColumn, int lastColumn) {
    for (int r = 0; r < table.RowCount(); ++r) {
        QStringList items;
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const TColumn* column = table.Column(c);
            items << (column->KindCode() == 2 ? point(column->GetFloat(r)) : column->GetText(r));
        }
        out.add(items);
    }
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

void searchLines(Lines& out, const TProgramData& d) {
    out.add({general(d.InitiationPoints), general(d.SurfacesPerPoint)});
    out.add({point(d.InitLeftX), point(d.InitRightX), point(d.TermLeftX), point(d.TermRightX)});
    out.add({point(d.MinElevation), point(d.SegmentLength), point(d.CcwLimit), point(d.CwLimit)});
}

} // namespace

QByteArray TProgramData::ProblemText() const {
    const TableSet& t = m_session.tables();
    Lines out;
    out.add("PROFIL");
    // A line break inside the title would end the title early and shift every later item.
    QString title = Title;
    title.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace('\r', ' ').replace('\n', ' ');
    out.add(title);
    out.add({integer(t.BoundCood->RowCount()), integer(SurfaceLineCount), integer(UnitSystem)});
    rows(out, *t.BoundCood, 0, 4);

    out.add("SOIL");
    out.add(integer(t.SoilData->RowCount()));
    rows(out, *t.SoilData, 0, 6);

    int anisotropic = 0;
    for (int s = 0; s < t.SoilData->RowCount(); ++s)
        if (hasAnisotropy(t.SoilData->Cell(7, s).Table())) ++anisotropic;
    if (anisotropic > 0) {
        out.add("ANISO");
        out.add(integer(anisotropic));
        for (int s = 0; s < t.SoilData->RowCount(); ++s) {
            const TGridTable* nested = t.SoilData->Cell(7, s).Table();
            if (!hasAnisotropy(nested)) continue;
            out.add({integer(s + 1), integer(nested->RowCount())});
            rows(out, *nested, 0, 2);
        }
    }

    if (WaterOn) {
        out.add("WATER");
        out.add({integer(t.WaterSurfaceSet->RowCount()), general(WaterUnitWeight)});
        for (int i = 0; i < t.WaterSurfaceSet->RowCount(); ++i) {
            const TGridTable* points = t.WaterSurfaceSet->Cell(0, i).Table();
            // The count is written also for an empty surface, so the next count is not taken for it.
            out.add(integer(points ? points->RowCount() : 0));
            if (points) rows(out, *points, 0, 1);
        }
    }
    if (LoadsOn) {
        out.add("LOADS");
        out.add(integer(t.SurchargeLoad->RowCount()));
        rows(out, *t.SurchargeLoad, 0, 3);
    }
    if (EquakeOn) {
        out.add("EQUAKE");
        out.add({fixed2(SeismicKh), fixed2(SeismicKv), fixed2(CavitationPressure)});
    }
    if (LimitsOn) {
        out.add("LIMITS");
        out.add({integer(t.limit->RowCount()), integer(t.limit->RowCount())});
        rows(out, *t.limit, 0, 3);
    }
    if (TiesOn) {
        out.add("TIES");
        out.add(integer(t.TiebackCoord->RowCount()));
        rows(out, *t.TiebackCoord, 0, 6);
    }
    if (ReinfOn) {
        out.add("REINF");
        out.add(integer(t.ReinEarthLayerSet->RowCount()));
        for (int i = 0; i < t.ReinEarthLayerSet->RowCount(); ++i) {
            const TGridTable* layers = t.ReinEarthLayerSet->Cell(0, i).Table();
            out.add(integer(layers ? layers->RowCount() : 0));
            if (layers) rows(out, *layers, 0, 3);
        }
    }

    switch (SearchMethod) {
    case search::UserSurface:
        if (!UserSurfaceOn) break;
        out.add(ReinfLayersOn == 1 ? "SURBIS" : "SURFAC");
        out.add(integer(t.FailSurface->RowCount()));
        rows(out, *t.FailSurface, 0, 1);
        break;
    case search::JanbuCircle:
        out.add("CIRCLE");
        searchLines(out, *this);
        break;
    case search::BishopCircle:
        out.add("CIRCL2");
        searchLines(out, *this);
        break;
    case search::Irregular:
        out.add("RANDOM");
        searchLines(out, *this);
        break;
    case search::Spencer:
        out.add("SPENCR");
        out.add(point(InterSliceAngle));
        out.add("CIRCL2");
        out.add({general(InitiationPoints), general(SurfacesPerPoint)});
        out.add({point(InitLeftX), point(InitRightX), point(TermLeftX), point(TermRightX),
                 point(MinElevation), point(SegmentLength), point(CcwLimit), point(CwLimit)});
        break;
    case search::Block:
        out.add("BLOCK");
        out.add({general(SurfacesPerPoint), integer(t.BoxCoord->RowCount()), point(BlockSegmentLength)});
        rows(out, *t.BoxCoord, 0, 4);
        break;
    default: break;
    }
    out.add("EXECUT");
    return out.text().toUtf8();
}

void TProgramData::SaveToFile() {
    QSaveFile file(FileName);
    // Unbuffered, so a short write (disk full, file size limit) shows in write()'s count; a
    // buffered flush can lose it and let commit() replace the old file with a truncated one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) throw EInOutError(file.errorString());
    const QByteArray text = ProblemText();
    if (file.write(text) != text.size()) {
        const QString why = file.error() == QFileDevice::NoError
                                ? QStringLiteral("The file could not be written completely.")
                                : file.errorString();
        file.cancelWriting();
        throw EInOutError(why);
    }
    if (!file.commit()) throw EInOutError(file.errorString());
    m_session.SetModified(false);
}

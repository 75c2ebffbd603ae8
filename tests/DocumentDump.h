#pragma once
// A complete text picture of a document and its tables, for comparing two documents.
#include "model/ProgramData.h"
#include "tables/ColumnTypes.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace testing_support {

inline QString exact(long double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, static_cast<int>(r.ptr - buf));
}

inline void dumpTable(QString& out, const TGridTable& t, const QString& indent) {
    out += indent + QStringLiteral("%1 rows, units %2\n").arg(t.RowCount()).arg(t.Units());
    for (int r = 0; r < t.RowCount(); ++r) {
        out += indent + QString::number(r) + ':';
        for (int c = 0; c < t.ColumnCount(); ++c) {
            const TColumn* col = t.Column(c);
            if (col->Kind() == ColumnKind::Float)
                out += ' ' + exact(col->GetFloat(r));
            else if (col->Kind() != ColumnKind::Table)
                out += ' ' + col->GetText(r);
        }
        out += '\n';
        for (int c = 0; c < t.ColumnCount(); ++c)
            if (const TGridTable* nested =
                    t.Column(c)->Kind() == ColumnKind::Table ? t.Column(c)->GetTable(r) : nullptr)
                dumpTable(out, *nested, indent + QStringLiteral("    "));
    }
}

inline QString dumpDocument(const ProblemSession& session) {
    const TProgramData& d = session.document();
    QString out;
    auto field = [&](const char* name, const QString& value) {
        out += QStringLiteral("%1=%2\n").arg(name, value);
    };
    field("UnitSystem", QString::number(d.UnitSystem));
    field("Title", d.Title);
    field("SurfaceLineCount", QString::number(d.SurfaceLineCount));
    for (auto [name, v] : {std::pair{"SeismicKv", d.SeismicKv},
                           {"SeismicKh", d.SeismicKh},
                           {"CavitationPressure", d.CavitationPressure},
                           {"WaterUnitWeight", d.WaterUnitWeight},
                           {"InitLeftX", d.InitLeftX},
                           {"InitRightX", d.InitRightX},
                           {"TermLeftX", d.TermLeftX},
                           {"TermRightX", d.TermRightX},
                           {"MinElevation", d.MinElevation},
                           {"SegmentLength", d.SegmentLength},
                           {"CcwLimit", d.CcwLimit},
                           {"CwLimit", d.CwLimit},
                           {"InterSliceAngle", d.InterSliceAngle},
                           {"BlockSegmentLength", d.BlockSegmentLength}})
        field(name, exact(v));
    for (auto [name, v] : {std::pair{"WaterOn", d.WaterOn},
                           {"LoadsOn", d.LoadsOn},
                           {"EquakeOn", d.EquakeOn},
                           {"ReinfOn", d.ReinfOn},
                           {"LimitsOn", d.LimitsOn},
                           {"TiesOn", d.TiesOn},
                           {"UserSurfaceOn", d.UserSurfaceOn},
                           {"JanbuOn", d.JanbuOn},
                           {"BishopOn", d.BishopOn},
                           {"SpencerOn", d.SpencerOn},
                           {"BlockOn", d.BlockOn},
                           {"IrregularOn", d.IrregularOn}})
        field(name, v ? "1" : "0");
    for (auto [name, v] : {std::pair{"InitiationPoints", d.InitiationPoints},
                           {"SurfacesPerPoint", d.SurfacesPerPoint},
                           {"PiezoSpecified", d.PiezoSpecified},
                           {"ReinfLayersOn", d.ReinfLayersOn},
                           {"SearchMethod", d.SearchMethod}})
        field(name, QString::number(v));
    for (const TGridTable* t : session.tables().all()) {
        out += session.tables().nameOf(t) + '\n';
        dumpTable(out, *t, QStringLiteral("  "));
    }
    return out;
}

// The first line where two pictures differ, "before | after"; empty when they are the same.
inline std::string firstDifference(const QString& before, const QString& after) {
    if (before == after) return {};
    const QStringList a = before.split('\n'), b = after.split('\n');
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) return (a[i] + QStringLiteral(" | ") + b[i]).toStdString();
    return "one picture is longer";
}

} // namespace testing_support

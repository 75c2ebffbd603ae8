#include "ResultSurfaces.h"

#include "base/FileAccess.h"
#include "format/NumberFormat.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

// A result file holds every slice of the surfaces it keeps; far beyond this it is something else.
constexpr qint64 kMaxResultBytes = 256LL * 1024 * 1024;
// The engine slices a surface into a few hundred slices at most; a count far beyond is damage.
constexpr int kMaxSlices = 100000;

QJsonArray array(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toArray();
}

QString fixed(double v, int decimals) {
    return QString::fromStdString(numfmt::fixed(v, decimals));
}

// One surface's record: its numbers, every column one value a slice; nothing when it is not so.
std::optional<ResultSurface> surfaceOf(const QJsonObject& o, QString& why) {
    ResultSurface s;
    s.record = o;
    const QJsonValue rank = o.value(QLatin1String("rank")), count = o.value(QLatin1String("count"));
    if (!rank.isDouble() || !count.isDouble() || rank.toDouble() < 1 || rank.toDouble() > 1000 ||
        count.toDouble() < 0 || count.toDouble() > kMaxSlices ||
        rank.toDouble() != std::floor(rank.toDouble()) || count.toDouble() != std::floor(count.toDouble())) {
        why = QStringLiteral("a surface without its rank or number of slices");
        return std::nullopt;
    }
    s.rank = rank.toInt();
    s.count = count.toInt();
    s.fs = o.value(QLatin1String("fs")).toDouble();
    const char* geometry[] = {"xLeft", "xRight", "yBaseLeft", "yBaseRight"};
    std::vector<std::vector<double>> g;
    for (const char* key : geometry) {
        const QJsonArray a = array(o, key);
        if (a.size() != s.count) {
            why = QStringLiteral("surface %1's column \"%2\" does not hold one value per slice")
                      .arg(s.rank)
                      .arg(QLatin1String(key));
            return std::nullopt;
        }
        std::vector<double> values;
        for (const QJsonValue& v : a) {
            if (!v.isDouble() || !std::isfinite(v.toDouble())) {
                why = QStringLiteral("surface %1's column \"%2\" holds a value that is no number")
                          .arg(s.rank)
                          .arg(QLatin1String(key));
                return std::nullopt;
            }
            values.push_back(v.toDouble());
        }
        g.push_back(std::move(values));
    }
    s.xLeft = g[0];
    s.xRight = g[1];
    for (int i = 0; i < s.count; ++i)
        s.base.emplace_back(g[0][static_cast<size_t>(i)], g[2][static_cast<size_t>(i)]);
    if (s.count > 0) s.base.emplace_back(g[1].back(), g[3].back());
    for (const QJsonValue& v : array(o, "methods")) {
        const QJsonObject m = v.toObject();
        ResultSurface::Method method{m.value(QLatin1String("name")).toString(), std::nullopt, {}};
        if (m.value(QLatin1String("fs")).isDouble()) method.fs = m.value(QLatin1String("fs")).toDouble();
        if (m.value(QLatin1String("lambda")).isDouble())
            method.detail = QStringLiteral("lambda %1, %2 interslice function")
                                .arg(fixed(m.value(QLatin1String("lambda")).toDouble(), 3),
                                     m.value(QLatin1String("interslice")).toString());
        else if (!method.fs)
            method.detail = m.value(QLatin1String("message")).toString();
        if (!method.name.isEmpty()) s.methods << method;
    }
    return s;
}

} // namespace

int ResultSurface::sliceAt(double x) const {
    for (size_t i = 0; i < xLeft.size(); ++i)
        if (x >= std::min(xLeft[i], xRight[i]) && x <= std::max(xLeft[i], xRight[i]))
            return static_cast<int>(i);
    return -1;
}

const ResultSurface* ResultSurfaces::byRank(int rank) const {
    for (const ResultSurface& s : surfaces)
        if (s.rank == rank) return &s;
    return nullptr;
}

std::optional<ResultSurfaces> parseResultSurfaces(const QByteArray& json, const QString& name,
                                                  QString* error) {
    auto fail = [&](const QString& why) -> std::optional<ResultSurfaces> {
        if (error) *error = QStringLiteral("%1: the result file is damaged (%2).").arg(name, why);
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() || doc.object().isEmpty())
        return fail(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                 : QStringLiteral("no result"));
    const QJsonObject result = doc.object();
    ResultSurfaces r;
    r.method = result.value(QLatin1String("method")).toString();
    const QJsonObject units = result.value(QLatin1String("units")).toObject();
    r.lengthUnit = units.value(QLatin1String("length")).toString();
    r.forceUnit = units.value(QLatin1String("force")).toString();
    for (const QJsonValue& v : array(result, "slices")) {
        QString why;
        auto s = surfaceOf(v.toObject(), why);
        if (!s) return fail(why);
        r.surfaces << *s;
    }
    return r;
}

std::optional<ResultSurfaces> readResultSurfaces(const QString& resultFile, QString* error) {
    QFile file;
    QString why;
    if (!fileaccess::openForReading(file, resultFile, why)) {
        if (error) *error = why;
        return std::nullopt;
    }
    if (file.size() > kMaxResultBytes) {
        if (error) *error = QStringLiteral("The result file %1 is too large to be one.").arg(resultFile);
        return std::nullopt;
    }
    return parseResultSurfaces(file.readAll(), resultFile, error);
}

QString methodNamed(const ResultSurface& surface, const QString& wanted, QString& why) {
    QStringList names, matches;
    const QString key = QString(wanted).replace(QLatin1Char('-'), QLatin1Char(' ')).toLower();
    for (const ResultSurface::Method& m : surface.methods) {
        names << m.name;
        const QString plain = QString(m.name).replace(QLatin1Char('-'), QLatin1Char(' ')).toLower();
        if (plain == key) return m.name;
        if (plain.startsWith(key)) matches << m.name;
    }
    if (matches.size() == 1) return matches.first();
    why = QStringLiteral("--method '%1' is %2 of: %3")
              .arg(wanted, matches.isEmpty() ? QStringLiteral("none") : QStringLiteral("more than one"),
                   names.join(QStringLiteral(", ")));
    return {};
}

std::optional<SliceTable> sliceTable(const ResultSurfaces& results, const ResultSurface& surface,
                                     const QString& methodName, QString* why) {
    auto fail = [why](const QString& text) -> std::optional<SliceTable> {
        if (why) *why = text;
        return std::nullopt;
    };
    QJsonObject method;
    for (const QJsonValue& m : array(surface.record, "methods"))
        if (m.toObject().value(QLatin1String("name")).toString() == methodName) method = m.toObject();
    if (!method.value(QLatin1String("fs")).isDouble())
        return fail(QStringLiteral("%1 gives no factor of safety on surface %2: %3")
                        .arg(methodName)
                        .arg(surface.rank)
                        .arg(method.value(QLatin1String("message")).toString()));
    // The slice's own columns, then the method's base forces, then the side forces on the slice's
    // right face (the left face of the first slice carries none).
    struct Source {
        const char* heading;
        QJsonArray values;
        int decimals;
        int offset = 0; // side forces: the right face is one further
    };
    const QJsonObject& s = surface.record;
    std::vector<Source> sources = {
        {"x left", array(s, "xLeft"), 3},
        {"x right", array(s, "xRight"), 3},
        {"y base left", array(s, "yBaseLeft"), 3},
        {"y base right", array(s, "yBaseRight"), 3},
        {"width", array(s, "width"), 3},
        {"weight", array(s, "weight"), 2},
        {"base angle", array(s, "baseAngle"), 2},
        {"base length", array(s, "baseLength"), 3},
        {"soil", array(s, "soil"), 0},
        {"c", array(s, "cohesion"), 2},
        {"phi", array(s, "frictionAngle"), 2},
        {"u", array(s, "porePressure"), 2},
        {"N'", array(method, "effectiveNormal"), 2},
        {"S", array(method, "mobilisedShear"), 2},
    };
    if (method.contains(QLatin1String("sideNormal"))) {
        sources.push_back({"E right", array(method, "sideNormal"), 2, 1});
        sources.push_back({"X right", array(method, "sideShear"), 2, 1});
        sources.push_back({"thrust right", array(method, "thrust"), 3, 1});
    }
    for (const Source& c : sources)
        if (c.values.size() != surface.count + c.offset)
            return fail(
                QStringLiteral("the result file is damaged (the column \"%1\" does not hold one value "
                               "per slice).")
                    .arg(QLatin1String(c.heading)));
    SliceTable t;
    t.columns << SliceTable::Column{QStringLiteral("slice"), 0};
    for (const Source& c : sources) t.columns << SliceTable::Column{QLatin1String(c.heading), c.decimals};
    for (int i = 0; i < surface.count; ++i) {
        std::vector<std::optional<double>> row{double(i + 1)};
        for (const Source& c : sources) {
            const QJsonValue v = c.values.at(i + c.offset);
            row.push_back(v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt);
        }
        t.rows.push_back(std::move(row));
    }
    t.title = QStringLiteral("Surface %1 of %2, %3: factor of safety %4")
                  .arg(surface.rank)
                  .arg(results.surfaces.size())
                  .arg(methodName, fixed(method.value(QLatin1String("fs")).toDouble(), 3));
    if (method.contains(QLatin1String("lambda")))
        t.title += QStringLiteral(", interslice %1, lambda %2")
                       .arg(method.value(QLatin1String("interslice")).toString(),
                            fixed(method.value(QLatin1String("lambda")).toDouble(), 4));
    t.title += QStringLiteral("; %1 slices; lengths in %2, forces in %3, angles in degrees")
                   .arg(surface.count)
                   .arg(results.lengthUnit, results.forceUnit);
    return t;
}

QString SliceTable::delimited(QChar separator) const {
    QString out;
    QStringList cells;
    for (const Column& c : columns) cells << c.heading;
    out += cells.join(separator) + QLatin1Char('\n');
    for (const auto& row : rows) {
        cells.clear();
        for (const auto& v : row) cells << (v ? QString::number(*v, 'g', 12) : QString());
        out += cells.join(separator) + QLatin1Char('\n');
    }
    return out;
}

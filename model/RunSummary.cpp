#include "RunSummary.h"

#include "AnalysisRun.h"
#include "base/FileAccess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace {

// A result file holds every slice of the surfaces it keeps; far beyond this it is something else.
constexpr qint64 kMaxResultBytes = 256LL * 1024 * 1024;

std::optional<double> number(const QJsonValue& v) {
    if (!v.isDouble()) return std::nullopt;
    return v.toDouble();
}

// A count as the engine writes it (a whole number); -1 for anything else, never a conversion
// of a number that no integer holds.
long count(const QJsonValue& v) {
    if (!v.isDouble()) return -1;
    const double d = v.toDouble();
    if (!(d >= 0 && d <= 1e15) || d != std::floor(d)) return -1;
    return static_cast<long>(d);
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& item : v.toArray())
        if (item.isString()) out << item.toString();
    return out;
}

QString fixed3(double v) {
    return QString::number(v, 'f', 3);
}

QString escaped(const QString& s) {
    return s.toHtmlEscaped();
}

} // namespace

std::optional<RunSummary> readRunSummary(const QString& resultFile, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return std::nullopt;
    };
    QFile file;
    QString why;
    if (!fileaccess::openForReading(file, resultFile, why)) return fail(why);
    if (file.size() > kMaxResultBytes)
        return fail(QStringLiteral("The result file %1 is too large to be one.").arg(resultFile));
    return parseRunSummary(file.readAll(), resultFile, error);
}

std::optional<RunSummary> parseRunSummary(const QByteArray& text, const QString& name, QString* error) {
    QJsonParseError parse{};
    const QJsonDocument json = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError || !json.isObject() || !json.object().contains("status")) {
        if (error) *error = QStringLiteral("The file %1 is no result file of the engine.").arg(name);
        return std::nullopt;
    }
    const QJsonObject o = json.object();

    RunSummary s;
    s.computed = o.value("status").toString() == QLatin1String("computed");
    s.title = o.value("title").toString();
    const QJsonObject units = o.value("units").toObject();
    s.lengthUnit = units.value("length").toString();
    s.forceUnit = units.value("force").toString();
    s.method = o.value("method").toString();
    s.analysis = o.value("analysis").toString();
    const QJsonArray surfaces = o.value("surfaces").toArray();
    if (s.computed && !surfaces.isEmpty()) {
        const QJsonObject critical = surfaces.first().toObject();
        s.criticalFs = number(critical.value("fs"));
        const QJsonArray centre = critical.value("centre").toArray();
        const auto x = number(centre.at(0)), y = number(centre.at(1)), r = number(critical.value("radius"));
        if (x && y && r) s.criticalCircle = RunSummary::Circle{*x, *y, *r};
    }
    const QJsonObject counts = o.value("counts").toObject();
    s.generated = count(counts.value("generated"));
    s.admissible = count(counts.value("admissible"));
    if (s.admissible < 0) s.generated = -1; // the counts are shown together or not at all
    const QJsonObject rejected = counts.value("rejected").toObject();
    for (auto it = rejected.begin(); it != rejected.end(); ++it)
        if (const long n = count(it.value()); n >= 0) s.rejected.append({it.key(), n});
    for (const QJsonValue& m : o.value("methods").toArray()) {
        const QJsonObject method = m.toObject();
        RunSummary::Method row{method.value("name").toString(), number(method.value("fs")), {}};
        if (row.fs && method.contains("lambda")) {
            const double lambda = method.value("lambda").toDouble();
            row.detail = QStringLiteral("lambda %1, %2 interslice function")
                             .arg(QString::number(lambda, 'f', 3), method.value("interslice").toString());
            // Spencer's lambda is the tangent of the side forces' inclination, as the report gives it.
            if (method.value("interslice").toString() == QLatin1String("constant") && std::isfinite(lambda))
                row.detail +=
                    QStringLiteral(" (side forces inclined %1 degrees)")
                        .arg(QString::number(std::atan(lambda) * 180 / 3.14159265358979323846, 'f', 2));
        } else if (!row.fs)
            row.detail = method.value("message").toString();
        s.methods.append(row);
    }
    s.warnings = strings(o.value("warnings"));
    s.errors = strings(o.value("errors"));
    return s;
}

QString notComputedReason(const RunSummary& summary) {
    if (!summary.errors.isEmpty()) return summary.errors.first();
    // A search that found nothing admissible is no error; its first warning says so.
    if (!summary.computed && !summary.warnings.isEmpty()) return summary.warnings.first();
    return {};
}

QString runSummaryHtml(const RunSummary& s) {
    QString h;
    if (!s.title.isEmpty()) h += QStringLiteral("<h3>%1</h3>").arg(escaped(s.title));
    if (s.computed && s.criticalFs) {
        h += QStringLiteral("<p><b>Critical factor of safety %1</b> (%2)</p>")
                 .arg(fixed3(*s.criticalFs), escaped(s.method));
        if (s.criticalCircle)
            h += QStringLiteral("<p>Critical circle: centre (%1, %2), radius %3 %4</p>")
                     .arg(fixed3(s.criticalCircle->x), fixed3(s.criticalCircle->y),
                          fixed3(s.criticalCircle->radius), escaped(s.lengthUnit));
    } else {
        h += QStringLiteral("<p><b>%1</b></p>").arg(escaped(runmsg::kNotPerformed));
        if (!s.errors.isEmpty())
            for (const QString& e : s.errors)
                h += QStringLiteral("<p>%1</p>").arg(escaped(e).replace('\n', QStringLiteral("<br>")));
        else if (s.admissible == 0)
            h += QStringLiteral("<p>No surface of the search was admissible.</p>");
    }
    if (!s.analysis.isEmpty()) h += QStringLiteral("<p>%1</p>").arg(escaped(s.analysis));
    if (!s.methods.isEmpty()) {
        h += QStringLiteral("<p>Every method on the critical surface:</p><table cellspacing=\"0\" "
                            "cellpadding=\"2\">");
        for (const RunSummary::Method& m : s.methods)
            h += QStringLiteral(
                     "<tr><td>%1</td><td align=\"right\">&nbsp;&nbsp;%2</td><td>&nbsp;&nbsp;%3</td></tr>")
                     .arg(escaped(m.name), m.fs ? fixed3(*m.fs) : QStringLiteral("none"), escaped(m.detail));
        h += QStringLiteral("</table>");
    }
    if (s.generated >= 0) {
        const QLocale c = QLocale::c();
        h += QStringLiteral("<p>%1 surfaces generated, %2 admissible.</p>")
                 .arg(c.toString(static_cast<qlonglong>(s.generated)),
                      c.toString(static_cast<qlonglong>(s.admissible)));
        if (!s.rejected.isEmpty()) {
            h += QStringLiteral("<ul>");
            for (const RunSummary::Rejection& r : s.rejected)
                h += QStringLiteral("<li>%1 rejected: %2</li>")
                         .arg(c.toString(static_cast<qlonglong>(r.count)), escaped(r.reason));
            h += QStringLiteral("</ul>");
        }
    }
    if (!s.warnings.isEmpty()) {
        h += QStringLiteral("<p><b>Warnings</b></p><ul>");
        for (const QString& w : s.warnings) h += QStringLiteral("<li>%1</li>").arg(escaped(w));
        h += QStringLiteral("</ul>");
    }
    if (s.computed && !s.errors.isEmpty()) {
        h += QStringLiteral("<p><b>Errors</b></p><ul>");
        for (const QString& e : s.errors) h += QStringLiteral("<li>%1</li>").arg(escaped(e));
        h += QStringLiteral("</ul>");
    }
    return h;
}

#include "StudyFile.h"

#include "base/FileAccess.h"
#include "engine/Methods.h"
#include "engine/ProblemInput.h"
#include "format/ProblemFormat.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

constexpr qint64 kMaxStudyBytes = 4 * 1024 * 1024;
constexpr uint64_t kMaxSamples = 100000000; // a hundred million: beyond, a typing error

using K = velda::StudyTarget::Kind;
using D = velda::Distribution::Kind;

const std::pair<const char*, K> kProperties[] = {{"moist-weight", K::MoistWeight},
                                                 {"saturated-weight", K::SaturatedWeight},
                                                 {"cohesion", K::Cohesion},
                                                 {"phi", K::FrictionAngle},
                                                 {"tan-phi", K::TanFriction},
                                                 {"offset", K::WaterOffset},
                                                 {"kh", K::Kh},
                                                 {"kv", K::Kv},
                                                 {"intensity", K::Surcharge},
                                                 {"force", K::Tieback}};
const std::pair<const char*, D> kDistributions[] = {{"normal", D::Normal},
                                                    {"lognormal", D::Lognormal},
                                                    {"uniform", D::Uniform},
                                                    {"triangular", D::Triangular}};

// What a study file may hold: a key that is not here is a typing error, not something to skip.
class Reader {
public:
    explicit Reader(QString& error) : m_error(error) {}
    bool fail(const QString& where, const QString& why) {
        if (m_error.isEmpty()) m_error = where.isEmpty() ? why : where + QStringLiteral(": ") + why;
        return false;
    }
    bool keys(const QJsonObject& o, const QString& where, const QStringList& allowed) {
        for (const QString& k : o.keys())
            if (!allowed.contains(k))
                return fail(
                    where.isEmpty() ? k : where + '.' + k,
                    QStringLiteral("unknown key (allowed: %1)").arg(allowed.join(QStringLiteral(", "))));
        return true;
    }
    bool number(const QJsonObject& o, const char* key, const QString& where, double& out,
                bool required = true) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) return !required || fail(path(where, key), QStringLiteral("missing"));
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return fail(path(where, key), QStringLiteral("not a number"));
        out = v.toDouble();
        return true;
    }
    bool whole(const QJsonObject& o, const char* key, const QString& where, uint64_t& out, uint64_t max,
               bool required = true) {
        double d = 0;
        if (o.value(QLatin1String(key)).isUndefined() && !required) return true;
        if (!number(o, key, where, d)) return false;
        if (!(d >= 0 && d <= static_cast<double>(max)) || d != std::floor(d))
            return fail(path(where, key), QStringLiteral("a whole number from 0 to %1").arg(max));
        out = static_cast<uint64_t>(d);
        return true;
    }
    static QString path(const QString& where, const char* key) {
        return where.isEmpty() ? QLatin1String(key) : where + '.' + QLatin1String(key);
    }

private:
    QString& m_error;
};

bool readVariable(Reader& r, const QJsonObject& o, const QString& where, velda::StudyVariable& v) {
    if (!r.keys(o, where,
                {"soil", "water", "load", "tieback", "property", "distribution", "mean", "sd", "min", "mode",
                 "max", "lower", "upper"}))
        return false;
    const QString property = o.value(QLatin1String("property")).toString();
    bool found = false;
    for (const auto& [name, kind] : kProperties)
        if (property == QLatin1String(name)) {
            v.target.kind = kind;
            found = true;
        }
    if (!found)
        return r.fail(where + QStringLiteral(".property"),
                      QStringLiteral("unknown property \"%1\"").arg(property));
    // The owner of the property, by its number.
    const char* owner = nullptr;
    switch (v.target.kind) {
    case K::MoistWeight:
    case K::SaturatedWeight:
    case K::Cohesion:
    case K::FrictionAngle:
    case K::TanFriction: owner = "soil"; break;
    case K::WaterOffset: owner = "water"; break;
    case K::Surcharge: owner = "load"; break;
    case K::Tieback: owner = "tieback"; break;
    case K::Kh:
    case K::Kv: break;
    }
    for (const char* key : {"soil", "water", "load", "tieback"})
        if (o.contains(QLatin1String(key)) && (!owner || qstrcmp(key, owner) != 0))
            return r.fail(Reader::path(where, key),
                          QStringLiteral("\"%1\" has no %2").arg(property, QLatin1String(key)));
    if (owner) {
        uint64_t i = 0;
        if (!r.whole(o, owner, where, i, 100000)) return false;
        v.target.index = static_cast<int>(i);
    }
    const QString distribution = o.value(QLatin1String("distribution")).toString();
    found = false;
    for (const auto& [name, kind] : kDistributions)
        if (distribution == QLatin1String(name)) {
            v.distribution.kind = kind;
            found = true;
        }
    if (!found)
        return r.fail(where + QStringLiteral(".distribution"),
                      QStringLiteral("unknown distribution \"%1\" (normal, lognormal, uniform, triangular)")
                          .arg(distribution));
    velda::Distribution& d = v.distribution;
    const bool spread = d.kind == D::Normal || d.kind == D::Lognormal;
    static const QStringList kBounded{QStringLiteral("min"), QStringLiteral("mode"), QStringLiteral("max")};
    static const QStringList kSpread{QStringLiteral("mean"), QStringLiteral("sd")};
    for (const QString& key : spread ? kBounded : kSpread)
        if (o.contains(key))
            return r.fail(where + '.' + key,
                          QStringLiteral("a %1 distribution has no %2").arg(distribution, key));
    if (spread) {
        if (!r.number(o, "mean", where, d.mean) || !r.number(o, "sd", where, d.sd)) return false;
    } else {
        if (!r.number(o, "min", where, d.min) || !r.number(o, "max", where, d.max)) return false;
        if (d.kind == D::Triangular && !r.number(o, "mode", where, d.mode)) return false;
        if (d.kind == D::Uniform && o.contains(QLatin1String("mode")))
            return r.fail(where + QStringLiteral(".mode"),
                          QStringLiteral("a uniform distribution has no mode"));
    }
    double bound = 0;
    if (o.contains(QLatin1String("lower"))) {
        if (!r.number(o, "lower", where, bound)) return false;
        d.lower = bound;
    }
    if (o.contains(QLatin1String("upper"))) {
        if (!r.number(o, "upper", where, bound)) return false;
        d.upper = bound;
    }
    return true;
}

QString targetName(const velda::StudyTarget& t) {
    for (const auto& [name, kind] : kProperties)
        if (kind == t.kind) {
            switch (kind) {
            case K::Kh:
            case K::Kv: return QLatin1String(name);
            case K::WaterOffset: return QStringLiteral("water %1 offset").arg(t.index);
            case K::Surcharge: return QStringLiteral("load %1 intensity").arg(t.index);
            case K::Tieback: return QStringLiteral("tieback %1 force").arg(t.index);
            default: return QStringLiteral("soil %1 %2").arg(t.index).arg(QLatin1String(name));
            }
        }
    return {};
}

QJsonValue maybe(const std::optional<double>& v) {
    return v ? QJsonValue(*v) : QJsonValue();
}

} // namespace

QStringList variableNames(const velda::Study& study) {
    QStringList names;
    for (const velda::StudyVariable& v : study.variables) names << targetName(v.target);
    return names;
}

std::optional<velda::Problem> readStudyProblem(const StudyFile& file, QString& error) {
    QFile f;
    QString why;
    if (!fileaccess::openForReading(f, file.problemPath, why)) {
        error = QStringLiteral("problem: %1").arg(why);
        return std::nullopt;
    }
    if (f.size() > static_cast<qint64>(problemformat::kMaxFileBytes)) {
        error = QStringLiteral("problem: %1 is too large to be a problem file").arg(file.problemPath);
        return std::nullopt;
    }
    std::string readError;
    auto problem = velda::readProblem(f.readAll().toStdString(), readError);
    if (!problem) {
        error = QStringLiteral("problem: %1 is not valid: %2")
                    .arg(file.problemPath, QString::fromStdString(readError));
        return std::nullopt;
    }
    if (const std::string invalid = velda::validateProblem(*problem); !invalid.empty()) {
        error = QStringLiteral("problem: %1: %2").arg(file.problemPath, QString::fromStdString(invalid));
        return std::nullopt;
    }
    return problem;
}

std::optional<StudyFile> readStudyFile(const QString& path, QString& error) {
    QFile f;
    QString why;
    if (!fileaccess::openForReading(f, path, why)) {
        error = why;
        return std::nullopt;
    }
    if (f.size() > kMaxStudyBytes) {
        error = QStringLiteral("%1 is too large to be a study file").arg(path);
        return std::nullopt;
    }
    auto s = parseStudyText(f.readAll(), path, error);
    if (!s) return std::nullopt;
    const auto problemRead = readStudyProblem(*s, error);
    if (!problemRead) return std::nullopt;
    std::optional<velda::StudyRefusal> refusal;
    try {
        refusal = velda::checkStudy(s->study, *problemRead);
    } catch (const std::exception& e) {
        refusal = velda::StudyRefusal{"variables", e.what()};
    }
    if (refusal) {
        error = QStringLiteral("%1: %2").arg(QString::fromStdString(refusal->where),
                                             QString::fromStdString(refusal->why));
        return std::nullopt;
    }
    // The parts of one study carry this: its file and its problem's, as they were when it ran.
    QFile problemFile(s->problemPath);
    problemFile.open(QIODevice::ReadOnly);
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(s->fingerprint);
    h.addData(problemFile.readAll());
    s->fingerprint = h.result().toHex();
    return s;
}

std::optional<StudyFile> parseStudyText(const QByteArray& text, const QString& path, QString& error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        error = QStringLiteral("not a study file: %1")
                    .arg(parse.error != QJsonParseError::NoError ? parse.errorString()
                                                                 : QStringLiteral("no object"));
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    Reader r(error);
    StudyFile s;
    s.path = QFileInfo(path).absoluteFilePath();
    if (!r.keys(o, {},
                {"problem", "analysis", "variables", "correlations", "sampling", "samples", "seed", "mode",
                 "method", "sensitivity", "back"}))
        return std::nullopt;
    const QString problem = o.value(QLatin1String("problem")).toString();
    if (problem.isEmpty()) return r.fail(QStringLiteral("problem"), QStringLiteral("missing")), std::nullopt;
    s.problemPath = QFileInfo(QFileInfo(path).absoluteDir(), problem).absoluteFilePath();

    const QString analysis = o.value(QLatin1String("analysis")).toString(QStringLiteral("probabilistic"));
    if (analysis == QLatin1String("probabilistic"))
        s.analysis = StudyFile::Analysis::Probabilistic;
    else if (analysis == QLatin1String("sensitivity"))
        s.analysis = StudyFile::Analysis::Sensitivity;
    else if (analysis == QLatin1String("back"))
        s.analysis = StudyFile::Analysis::Back;
    else
        return r.fail(QStringLiteral("analysis"), QStringLiteral("probabilistic, sensitivity or back")),
               std::nullopt;

    const QJsonArray variables = o.value(QLatin1String("variables")).toArray();
    if (variables.isEmpty())
        return r.fail(QStringLiteral("variables"), QStringLiteral("no variable")), std::nullopt;
    for (qsizetype i = 0; i < variables.size(); ++i) {
        velda::StudyVariable v;
        const QString where = QStringLiteral("variables[%1]").arg(i);
        if (!variables[i].isObject()) return r.fail(where, QStringLiteral("not an object")), std::nullopt;
        if (!readVariable(r, variables[i].toObject(), where, v)) return std::nullopt;
        v.name = targetName(v.target).toStdString();
        s.study.variables.push_back(v);
    }
    const size_t n = s.study.variables.size();
    const QJsonArray correlations = o.value(QLatin1String("correlations")).toArray();
    if (!correlations.isEmpty()) {
        s.study.correlation.assign(n, std::vector<double>(n, 0.0));
        for (size_t i = 0; i < n; ++i) s.study.correlation[i][i] = 1;
    }
    for (qsizetype c = 0; c < correlations.size(); ++c) {
        const QString where = QStringLiteral("correlations[%1]").arg(c);
        const QJsonObject pair = correlations[c].toObject();
        if (!r.keys(pair, where, {"between", "coefficient"})) return std::nullopt;
        const QJsonArray between = pair.value(QLatin1String("between")).toArray();
        double coefficient = 0;
        if (!r.number(pair, "coefficient", where, coefficient)) return std::nullopt;
        if (between.size() != 2 || !between[0].isDouble() || !between[1].isDouble())
            return r.fail(where + QStringLiteral(".between"),
                          QStringLiteral("two variable numbers (from 0)")),
                   std::nullopt;
        const double a = between[0].toDouble(), b = between[1].toDouble();
        if (!(a >= 0 && b >= 0 && a < static_cast<double>(n) && b < static_cast<double>(n)) || a == b ||
            a != std::floor(a) || b != std::floor(b))
            return r.fail(where + QStringLiteral(".between"),
                          QStringLiteral("two different variable numbers from 0 to %1").arg(n - 1)),
                   std::nullopt;
        if (!(coefficient >= -1 && coefficient <= 1))
            return r.fail(where + QStringLiteral(".coefficient"), QStringLiteral("from -1 to 1")),
                   std::nullopt;
        s.study.correlation[static_cast<size_t>(a)][static_cast<size_t>(b)] = coefficient;
        s.study.correlation[static_cast<size_t>(b)][static_cast<size_t>(a)] = coefficient;
    }
    const QString sampling = o.value(QLatin1String("sampling")).toString(QStringLiteral("monte-carlo"));
    if (sampling == QLatin1String("latin-hypercube"))
        s.study.sampling = velda::Study::Sampling::LatinHypercube;
    else if (sampling != QLatin1String("monte-carlo"))
        return r.fail(QStringLiteral("sampling"), QStringLiteral("monte-carlo or latin-hypercube")),
               std::nullopt;
    s.study.samples = 1000;
    if (!r.whole(o, "samples", {}, s.study.samples, kMaxSamples, false) ||
        !r.whole(o, "seed", {}, s.study.seed, uint64_t{1} << 53, false))
        return std::nullopt;
    if (s.study.samples < 1)
        return r.fail(QStringLiteral("samples"), QStringLiteral("at least 1")), std::nullopt;
    const QString mode = o.value(QLatin1String("mode")).toString(QStringLiteral("search"));
    if (mode == QLatin1String("surface"))
        s.study.mode = velda::Study::Mode::Surface;
    else if (mode != QLatin1String("search"))
        return r.fail(QStringLiteral("mode"), QStringLiteral("search or surface")), std::nullopt;
    s.study.method = o.value(QLatin1String("method")).toString().toStdString();
    if (o.contains(QLatin1String("sensitivity"))) {
        const QJsonObject sw = o.value(QLatin1String("sensitivity")).toObject();
        uint64_t points = 7;
        if (!r.keys(sw, QStringLiteral("sensitivity"), {"points", "k"}) ||
            !r.whole(sw, "points", QStringLiteral("sensitivity"), points, 1000, false) ||
            !r.number(sw, "k", QStringLiteral("sensitivity"), s.sweepK, false))
            return std::nullopt;
        if (points < 2)
            return r.fail(QStringLiteral("sensitivity.points"), QStringLiteral("at least 2")), std::nullopt;
        if (!(s.sweepK > 0))
            return r.fail(QStringLiteral("sensitivity.k"), QStringLiteral("above 0")), std::nullopt;
        s.sweepPoints = static_cast<int>(points);
    }
    if (s.analysis == StudyFile::Analysis::Back) {
        const QJsonObject b = o.value(QLatin1String("back")).toObject();
        uint64_t variable = 0;
        if (!r.keys(b, QStringLiteral("back"), {"variable", "low", "high", "target"}) ||
            !r.whole(b, "variable", QStringLiteral("back"), variable, n - 1) ||
            !r.number(b, "low", QStringLiteral("back"), s.backLow) ||
            !r.number(b, "high", QStringLiteral("back"), s.backHigh) ||
            !r.number(b, "target", QStringLiteral("back"), s.backTarget, false))
            return std::nullopt;
        if (!(s.backHigh > s.backLow))
            return r.fail(QStringLiteral("back.high"), QStringLiteral("above low")), std::nullopt;
        if (!(s.backTarget > 0))
            return r.fail(QStringLiteral("back.target"), QStringLiteral("above 0")), std::nullopt;
        s.backVariable = static_cast<size_t>(variable);
    }
    s.fingerprint = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return s;
}

QString studyOutput(const QString& studyPath, const QString& suffix) {
    QString base = studyPath;
    if (base.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)) base.chop(5);
    return base + suffix;
}

QByteArray partJson(const StudyFile& file, uint64_t from, uint64_t to,
                    const std::vector<velda::SampleRow>& rows) {
    QJsonArray table;
    for (const velda::SampleRow& row : rows) {
        QJsonArray r{static_cast<double>(row.index)};
        for (double x : row.inputs) r.append(x);
        r.append(maybe(row.fs));
        table.append(r);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("part"), QString::fromLatin1(file.fingerprint)},
                                     {QStringLiteral("from"), static_cast<double>(from)},
                                     {QStringLiteral("to"), static_cast<double>(to)},
                                     {QStringLiteral("samples"), table}})
        .toJson(QJsonDocument::Compact);
}

std::optional<std::vector<velda::SampleRow>> mergeParts(const StudyFile& file, const QList<QByteArray>& parts,
                                                        const QStringList& names, QString& error) {
    std::vector<velda::SampleRow> rows;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    const size_t n = file.study.variables.size();
    for (qsizetype p = 0; p < parts.size(); ++p) {
        const QJsonObject o = QJsonDocument::fromJson(parts[p]).object();
        if (o.value(QLatin1String("part")).toString().toLatin1() != file.fingerprint) {
            error =
                QStringLiteral("%1: not a part of this study (another study file, or its problem changed)")
                    .arg(names.value(p));
            return std::nullopt;
        }
        const auto from = static_cast<uint64_t>(o.value(QLatin1String("from")).toDouble());
        const auto to = static_cast<uint64_t>(o.value(QLatin1String("to")).toDouble());
        ranges.emplace_back(from, to);
        const QJsonArray table = o.value(QLatin1String("samples")).toArray();
        if (static_cast<uint64_t>(table.size()) != to - from) {
            error = QStringLiteral("%1: holds %2 samples for the range %3:%4")
                        .arg(names.value(p))
                        .arg(table.size())
                        .arg(from)
                        .arg(to);
            return std::nullopt;
        }
        for (const QJsonValue& v : table) {
            const QJsonArray a = v.toArray();
            if (static_cast<size_t>(a.size()) != n + 2) {
                error = QStringLiteral("%1: a sample without all its values").arg(names.value(p));
                return std::nullopt;
            }
            velda::SampleRow row;
            row.index = static_cast<uint64_t>(a[0].toDouble());
            for (size_t k = 0; k < n; ++k) row.inputs.push_back(a[static_cast<qsizetype>(k + 1)].toDouble());
            if (a.last().isDouble()) row.fs = a.last().toDouble();
            rows.push_back(std::move(row));
        }
    }
    std::sort(ranges.begin(), ranges.end());
    uint64_t next = 0;
    for (const auto& [from, to] : ranges) {
        if (from != next) {
            error = from > next ? QStringLiteral("samples %1 to %2 are in no part").arg(next).arg(from - 1)
                                : QStringLiteral("the parts overlap at sample %1").arg(from);
            return std::nullopt;
        }
        next = to;
    }
    if (next != file.study.samples) {
        error = QStringLiteral("samples %1 to %2 are in no part").arg(next).arg(file.study.samples - 1);
        return std::nullopt;
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
    return rows;
}

QByteArray probabilisticJson(const StudyFile& file, const std::vector<velda::SampleRow>& rows,
                             const velda::TaylorEstimate& taylor, const std::string& method,
                             const std::vector<velda::Point>& lowestSurface) {
    const velda::StudySummary s = velda::summarise(rows);
    QJsonArray convergence;
    for (const auto& c : s.convergence)
        convergence.append(QJsonObject{{QStringLiteral("samples"), static_cast<double>(c.samples)},
                                       {QStringLiteral("mean"), c.mean},
                                       {QStringLiteral("pf"), c.pf}});
    QJsonObject summary{{QStringLiteral("samples"), static_cast<double>(s.samples)},
                        {QStringLiteral("withoutFactor"), static_cast<double>(s.failed)},
                        {QStringLiteral("mean"), s.mean},
                        {QStringLiteral("sd"), s.sd},
                        {QStringLiteral("pf"), s.pf},
                        {QStringLiteral("pf95"), QJsonArray{s.pfLow, s.pfHigh}},
                        {QStringLiteral("betaNormal"), s.betaNormal},
                        {QStringLiteral("betaLognormal"), s.betaLognormal}};
    QJsonObject result{{QStringLiteral("study"), QFileInfo(file.path).fileName()},
                       {QStringLiteral("problem"), QFileInfo(file.problemPath).fileName()},
                       {QStringLiteral("analysis"), QStringLiteral("probabilistic")},
                       {QStringLiteral("method"), QString::fromStdString(method)},
                       {QStringLiteral("variables"), QJsonArray::fromStringList(variableNames(file.study))},
                       {QStringLiteral("summary"), summary},
                       {QStringLiteral("convergence"), convergence}};
    result.insert(QStringLiteral("taylor"),
                  taylor.why.empty()
                      ? QJsonObject{{QStringLiteral("fsAtMeans"), taylor.fsAtMeans},
                                    {QStringLiteral("sd"), taylor.sd},
                                    {QStringLiteral("betaNormal"), taylor.betaNormal},
                                    {QStringLiteral("betaLognormal"), taylor.betaLognormal},
                                    {QStringLiteral("pfNormal"), taylor.pfNormal}}
                      : QJsonObject{{QStringLiteral("why"), QString::fromStdString(taylor.why)}});
    if (s.samples > s.failed) {
        QJsonArray inputs, surface;
        for (const velda::SampleRow& row : rows)
            if (row.index == s.lowestIndex)
                for (double x : row.inputs) inputs.append(x);
        for (const velda::Point& p : lowestSurface) surface.append(QJsonArray{p.x, p.y});
        QJsonObject lowest{{QStringLiteral("sample"), static_cast<double>(s.lowestIndex)},
                           {QStringLiteral("fs"), s.lowest},
                           {QStringLiteral("inputs"), inputs},
                           {QStringLiteral("surface"), surface}};
        // A circular surface also gives its circle, as the plot file does for the critical surface.
        if (const velda::Circle c = velda::fitCircle(lowestSurface); c.exact) {
            lowest.insert(QStringLiteral("centre"), QJsonArray{c.centre.x, c.centre.y});
            lowest.insert(QStringLiteral("radius"), c.radius);
        }
        result.insert(QStringLiteral("lowest"), lowest);
    }
    return QJsonDocument(result).toJson();
}

QByteArray samplesCsv(const StudyFile& file, const std::vector<velda::SampleRow>& rows) {
    QByteArray out = "sample," + variableNames(file.study).join(',').toUtf8() + ",fs\n";
    for (const velda::SampleRow& row : rows) {
        out += QByteArray::number(static_cast<qulonglong>(row.index));
        for (double x : row.inputs) out += ',' + QByteArray::number(x, 'g', 17);
        out += ',' + (row.fs ? QByteArray::number(*row.fs, 'g', 17) : QByteArray()) + '\n';
    }
    return out;
}

QByteArray sensitivityJson(const StudyFile& file, const velda::Sensitivity& sweep,
                           const std::string& method) {
    const std::vector<velda::SweepLine>& lines = sweep.lines;
    QJsonArray sweeps;
    const QStringList names = variableNames(file.study);
    for (size_t v = 0; v < lines.size(); ++v) {
        QJsonArray values, fs;
        for (double x : lines[v].values) values.append(x);
        for (const auto& f : lines[v].fs) fs.append(maybe(f));
        sweeps.append(QJsonObject{{QStringLiteral("variable"), names.value(static_cast<qsizetype>(v))},
                                  {QStringLiteral("values"), values},
                                  {QStringLiteral("fs"), fs},
                                  {QStringLiteral("swing"), lines[v].swing}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("study"), QFileInfo(file.path).fileName()},
                                     {QStringLiteral("analysis"), QStringLiteral("sensitivity")},
                                     {QStringLiteral("method"), QString::fromStdString(method)},
                                     {QStringLiteral("atMeans"), maybe(sweep.atMeans)},
                                     {QStringLiteral("sweeps"), sweeps}})
        .toJson();
}

QByteArray backJson(const StudyFile& file, const velda::BackAnalysis& back, const std::string& method) {
    QJsonObject o{{QStringLiteral("study"), QFileInfo(file.path).fileName()},
                  {QStringLiteral("analysis"), QStringLiteral("back")},
                  {QStringLiteral("method"), QString::fromStdString(method)},
                  {QStringLiteral("variable"),
                   variableNames(file.study).value(static_cast<qsizetype>(file.backVariable))},
                  {QStringLiteral("target"), file.backTarget},
                  {QStringLiteral("bracketed"), back.bracketed},
                  {QStringLiteral("fsLow"), back.fsLow},
                  {QStringLiteral("fsHigh"), back.fsHigh}};
    QJsonArray steps;
    for (const auto& [x, fs] : back.steps) steps.append(QJsonArray{x, fs});
    o.insert(QStringLiteral("steps"), steps);
    if (back.bracketed) {
        o.insert(QStringLiteral("value"), back.value);
        o.insert(QStringLiteral("fs"), back.fs);
        o.insert(QStringLiteral("iterations"), back.iterations);
    } else {
        o.insert(QStringLiteral("message"), QString::fromStdString(back.message));
    }
    return QJsonDocument(o).toJson();
}

// Runs the engine on every published problem of the verification set and writes the technical
// manual's verification chapter from what this build computes, so the chapter can never be out of
// date: per case its geometry with the critical surface (the model view's own drawing), the published
// factors, ours per method, the difference and the band each must lie in.
//
// Each case is NAME.sl4d (the problem) with NAME.json beside it:
//   {"title", "source", "where", "features": [...], "published": {METHOD: FS}, "band": {METHOD: [LO, HI]},
//    "why", "known": {METHOD: WHY}}
// "known" names a method whose difference from the source is understood and explained (WHY): it does
// not fail the check while it lies outside its band, and fails it once it lies inside (the mark is
// then stale and goes).
// METHOD as the result file names it ("Ordinary", "Bishop simplified", "Janbu simplified",
// "Janbu corrected", "Spencer", "Morgenstern-Price").
//
// CASES-FOLDER/probabilistic holds published probabilistic analyses the same way: NAME.json names its
// study ("study": "NAME.study.json") and gives published and band per quantity of the study's results
// ("fsAtMeans", "mean", "sd", "pf", "betaNormal", "betaLognormal").
//
// Usage: manual_verification CASES-FOLDER OUTPUT-FOLDER [--check]
// Writes OUTPUT-FOLDER/verification.txt (Markdown) and verify-NAME.png. Exits 1 when a case cannot be
// read or run; with --check also when a factor lies outside its band (the test of the build).
#include "format/Release.h"
#include "graph/ModelScene.h"
#include "graph/PlotModel.h"
#include "model/AnalysisRun.h"
#include "model/ProgramData.h"
#include "model/ResultSurfaces.h"
#include "model/TableSet.h"
#include "study/StudyFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace {

struct MethodRow {
    QString method;
    std::optional<double> published;
    std::optional<double> ours;
    std::optional<std::pair<double, double>> band;
    QString known; // why the difference is understood; empty: none is
    bool inBand() const { return !band || (ours && *ours >= band->first && *ours <= band->second); }
    // What the check accepts: within the band, or outside it with the reason known.
    bool accepted() const { return known.isEmpty() ? inBand() : !inBand() || !band; }
};

struct CaseResult {
    QString name, title, source, where, why;
    QStringList features;
    QList<MethodRow> rows;
    QString figure;  // the picture's file name
    QString failure; // why the case did not run; empty when it ran
    bool inBand() const {
        if (!failure.isEmpty()) return false;
        for (const MethodRow& r : rows)
            if (!r.inBand()) return false;
        return true;
    }
};

QString inBandText(const MethodRow& r) {
    if (!r.band) return QStringLiteral("(not checked)");
    if (r.inBand())
        return r.known.isEmpty() ? QStringLiteral("yes") : QStringLiteral("yes (marked known: stale)");
    return r.known.isEmpty() ? QStringLiteral("**no**") : QStringLiteral("no, explained below");
}

QString fixed(const std::optional<double>& v, int decimals = 3) {
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("—");
}

QJsonObject readJson(const QString& path, QString& why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        why = f.errorString();
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (!doc.isObject()) why = error.errorString();
    return doc.object();
}

// Runs one case in a folder of its own and draws it with its critical surface.
CaseResult runCase(const QDir& cases, const QString& name, const QDir& output) {
    CaseResult c;
    c.name = name;
    QString why;
    const QJsonObject side = readJson(cases.filePath(name + QStringLiteral(".json")), why);
    if (side.isEmpty()) {
        c.failure = QStringLiteral("%1.json does not read: %2").arg(name, why);
        return c;
    }
    c.title = side.value(QLatin1String("title")).toString(name);
    c.source = side.value(QLatin1String("source")).toString();
    c.where = side.value(QLatin1String("where")).toString();
    c.why = side.value(QLatin1String("why")).toString();
    for (const QJsonValue& f : side.value(QLatin1String("features")).toArray()) c.features << f.toString();
    const QJsonObject published = side.value(QLatin1String("published")).toObject();
    const QJsonObject bands = side.value(QLatin1String("band")).toObject();
    const QJsonObject known = side.value(QLatin1String("known")).toObject();
    QStringList methods = published.keys();
    for (const QString& m : bands.keys())
        if (!methods.contains(m)) methods << m;
    static const QStringList kOrder{QStringLiteral("Ordinary"),         QStringLiteral("Bishop simplified"),
                                    QStringLiteral("Janbu simplified"), QStringLiteral("Janbu corrected"),
                                    QStringLiteral("Spencer"),          QStringLiteral("Morgenstern-Price")};
    for (const QString& m : methods)
        if (!kOrder.contains(m)) {
            c.failure = QStringLiteral("%1.json names no method of the engine: \"%2\"").arg(name, m);
            return c;
        }
    std::sort(methods.begin(), methods.end(),
              [](const QString& a, const QString& b) { return kOrder.indexOf(a) < kOrder.indexOf(b); });

    QTemporaryDir work;
    const QString problem = QDir(work.path()).filePath(name + QStringLiteral(".sl4d"));
    if (!work.isValid() || !QFile::copy(cases.filePath(name + QStringLiteral(".sl4d")), problem)) {
        c.failure = QStringLiteral("%1.sl4d could not be copied to a working folder").arg(name);
        return c;
    }
    const std::unique_ptr<QTemporaryDir> folder = engine::PrivateFolder();
    engine::RunRequest request;
    request.problem = problem;
    request.resultsFor = problem;
    request.programFolder = QCoreApplication::applicationDirPath();
    request.workingFolder = folder->path();
    const engine::RunOutcome outcome = engine::Run(request);
    if (outcome.kind != engine::RunOutcome::Kind::Computed) {
        c.failure = QStringLiteral("%1 did not run: %2 %3").arg(name, outcome.message, outcome.reason);
        return c;
    }
    const auto surfaces = readResultSurfaces(engine::resultFile(problem), &why);
    const ResultSurface* critical = surfaces ? surfaces->byRank(1) : nullptr;
    if (!critical) {
        c.failure = QStringLiteral("%1 found no critical surface %2").arg(name, why);
        return c;
    }
    for (const QString& m : methods) {
        MethodRow row;
        row.method = m;
        if (published.value(m).isDouble()) row.published = published.value(m).toDouble();
        const QJsonArray band = bands.value(m).toArray();
        if (band.size() == 2) row.band = std::make_pair(band.at(0).toDouble(), band.at(1).toDouble());
        row.known = known.value(m).toString();
        for (const ResultSurface::Method& found : critical->methods)
            if (found.name == m) row.ours = found.fs;
        c.rows << row;
    }

    // The geometry as the model view draws it, with the critical surface of this run.
    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, problem, true, nullptr, &error));
    if (!error.isEmpty()) {
        c.failure = QStringLiteral("%1.sl4d does not read: %2").arg(name, error);
        return c;
    }
    PlotModel model;
    const PlotReadResult read = ReadPlotFile(engine::plotFile(problem), *session.tables().BoundCood, model);
    model.Loaded = read.failure.isEmpty() && !read.noData;
    const ModelScene scene = BuildModelScene(session.document(), session.tables(), &model);
    c.figure = QStringLiteral("verify-%1.png").arg(name);
    // Laid out as a window of 900 x 500 shows it, drawn twice as fine for print.
    if (!ModelPicture::Render(scene, 1.0, 900, 500, 2).save(output.filePath(c.figure))) {
        c.failure = QStringLiteral("%1: the picture could not be written to %2").arg(name, output.path());
        c.figure.clear();
    }
    return c;
}

// A published probabilistic analysis: its study run in memory, the quantities compared as rows.
CaseResult runStudyCase(const QDir& folder, const QString& name) {
    CaseResult c;
    c.name = QStringLiteral("probabilistic/") + name;
    QString why;
    const QJsonObject side = readJson(folder.filePath(name + QStringLiteral(".json")), why);
    c.title = side.value(QLatin1String("title")).toString(name);
    c.source = side.value(QLatin1String("source")).toString();
    c.where = side.value(QLatin1String("where")).toString();
    c.why = side.value(QLatin1String("why")).toString();
    c.features << QStringLiteral("probabilistic analysis");
    const auto file = readStudyFile(folder.filePath(side.value(QLatin1String("study")).toString()), why);
    const auto problem = file ? readStudyProblem(*file, why) : std::nullopt;
    if (!problem) {
        c.failure = QStringLiteral("%1: %2").arg(name, why);
        return c;
    }
    const velda::StudyRunner runner(*problem, file->study);
    const velda::StudySummary s =
        velda::summarise(velda::runSamples(runner, file->study, 0, file->study.samples, 0));
    const velda::TaylorEstimate t = velda::taylorEstimate(runner, file->study);
    const std::map<QString, double> ours{{QStringLiteral("fsAtMeans"), t.fsAtMeans},
                                         {QStringLiteral("mean"), s.mean},
                                         {QStringLiteral("sd"), s.sd},
                                         {QStringLiteral("pf"), s.pf},
                                         {QStringLiteral("betaNormal"), s.betaNormal},
                                         {QStringLiteral("betaLognormal"), s.betaLognormal}};
    const QJsonObject published = side.value(QLatin1String("published")).toObject();
    const QJsonObject bands = side.value(QLatin1String("band")).toObject();
    for (const QString& q : published.keys()) {
        MethodRow row;
        row.method = q;
        row.published = published.value(q).toDouble();
        if (const auto found = ours.find(q); found != ours.end()) row.ours = found->second;
        const QJsonArray band = bands.value(q).toArray();
        if (band.size() == 2) row.band = std::make_pair(band.at(0).toDouble(), band.at(1).toDouble());
        c.rows << row;
    }
    c.why += QStringLiteral(
                 " This build: %1 samples, probability of failure %2 with Wilson's 95 % interval %3 to %4.")
                 .arg(s.samples)
                 .arg(s.pf, 0, 'f', 4)
                 .arg(s.pfLow, 0, 'f', 4)
                 .arg(s.pfHigh, 0, 'f', 4);
    return c;
}

QString bandText(const MethodRow& r, int decimals = 3) {
    return r.band ? QStringLiteral("%1 – %2").arg(fixed(r.band->first, decimals),
                                                  fixed(r.band->second, decimals))
                  : QStringLiteral("—");
}

QString difference(const MethodRow& r) {
    if (!r.published || !r.ours || *r.published == 0) return QStringLiteral("—");
    return QStringLiteral("%1 %").arg((*r.ours - *r.published) / *r.published * 100, 0, 'f', 1);
}

// The chapter: a summary over every case, then each case with its figure and table.
QString chapter(const QList<CaseResult>& results) {
    int passed = 0, explained = 0;
    for (const CaseResult& c : results) {
        passed += c.inBand() ? 1 : 0;
        for (const MethodRow& r : c.rows) explained += !r.known.isEmpty() && !r.inBand() ? 1 : 0;
    }
    QString md;
    md += QStringLiteral("## Published problems computed by this build\n\n");
    md += QStringLiteral(
              "The %1 problems below are run by the engine of this very build (DizirOvi %2) while the "
              "manuals are built; every number in this section is that run's. A test of the build fails "
              "when any factor leaves its band. Each band comes from the source's own precision (charts "
              "read by eye, the slice counts and search resolution of the programs it reports) and is "
              "stated with its reason; none was widened to fit our result. %3 of %1 problems lie within "
              "their bands; %4 factors outside theirs are understood differences, each explained with its "
              "problem (the test accepts these while they stay outside, and only these).\n\n")
              .arg(results.size())
              .arg(QLatin1String(release::kVersion))
              .arg(passed)
              .arg(explained);
    md += QStringLiteral("| No. | Problem | Features | Methods in band |\n|---|---|---|---|\n");
    for (qsizetype i = 0; i < results.size(); ++i) {
        const CaseResult& c = results[i];
        int in = 0, checked = 0;
        for (const MethodRow& r : c.rows)
            if (r.band) {
                ++checked;
                in += r.inBand() ? 1 : 0;
            }
        md += QStringLiteral("| V%1 | %2 | %3 | %4 |\n")
                  .arg(i + 1)
                  .arg(c.title, c.features.join(QStringLiteral(", ")),
                       c.failure.isEmpty() ? QStringLiteral("%1 of %2").arg(in).arg(checked)
                                           : QStringLiteral("did not run"));
    }
    md += '\n';
    for (qsizetype i = 0; i < results.size(); ++i) {
        const CaseResult& c = results[i];
        md += QStringLiteral("### V%1 %2\n\n").arg(i + 1).arg(c.title);
        md += QStringLiteral("Source: %1").arg(c.source);
        if (!c.where.isEmpty()) md += QStringLiteral(", %1").arg(c.where);
        md += QStringLiteral(". Features: %1. Problem file: `resources/verification/%2.sl4d`.\n\n")
                  .arg(c.features.join(QStringLiteral(", ")), c.name);
        if (!c.failure.isEmpty()) {
            md += QStringLiteral("**This build could not compute the problem:** %1\n\n").arg(c.failure);
            continue;
        }
        if (!c.figure.isEmpty())
            md +=
                QStringLiteral("![V%1](pictures/%2)\n\n*Figure V%1 — the model and the critical surface this "
                               "build found.*\n\n")
                    .arg(i + 1)
                    .arg(c.figure);
        // A probabilistic analysis compares quantities of the factor's distribution, to four places.
        const bool study = c.name.startsWith(QLatin1String("probabilistic/"));
        const int places = study ? 4 : 3;
        md += QStringLiteral(
                  "| %1 | Published | DizirOvi | Difference | Band | In band |\n|---|---|---|---|---|---|\n")
                  .arg(study ? QStringLiteral("Quantity") : QStringLiteral("Method"));
        for (const MethodRow& r : c.rows)
            md += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                      .arg(r.method, fixed(r.published, places), fixed(r.ours, places), difference(r),
                           bandText(r, places), inBandText(r));
        md += QStringLiteral("\nThe band: %1\n\n").arg(c.why);
        for (const MethodRow& r : c.rows)
            if (!r.known.isEmpty())
                md += QStringLiteral("Known difference (%1): %2\n\n").arg(r.method, r.known);
    }
    return md;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool check = args.contains(QStringLiteral("--check"));
    const QStringList paths = QStringList(args).filter(QRegularExpression(QStringLiteral("^[^-]")));
    if (paths.size() != 2) {
        std::fputs("usage: manual_verification CASES-FOLDER OUTPUT-FOLDER [--check]\n", stderr);
        return 2;
    }
    const QDir cases(paths[0]);
    const QDir output(paths[1]);
    QDir().mkpath(output.path());
    QStringList names;
    for (const QString& f : cases.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        names << QFileInfo(f).completeBaseName();
    if (names.isEmpty()) {
        std::fprintf(stderr, "manual_verification: no case in %s\n", qPrintable(cases.path()));
        return 1;
    }
    QList<CaseResult> results;
    bool ran = true, inBand = true;
    // Each case's rows on standard output as it is done; `places` decimals.
    auto report = [&](const CaseResult& c, int places) {
        if (!c.failure.isEmpty()) {
            ran = false;
            std::fprintf(stderr, "manual_verification: %s\n", qPrintable(c.failure));
            return;
        }
        for (const MethodRow& r : c.rows) {
            std::printf("%-36s %-18s published %-7s ours %-7s band %-15s %s\n", qPrintable(c.name),
                        qPrintable(r.method), qPrintable(fixed(r.published, places)),
                        qPrintable(fixed(r.ours, places)), qPrintable(bandText(r, places)),
                        qPrintable(inBandText(r)));
            inBand = inBand && r.accepted();
        }
    };
    for (const QString& name : names) {
        results << runCase(cases, name, output);
        report(results.last(), 3);
    }
    const QDir probabilistic(cases.filePath(QStringLiteral("probabilistic")));
    for (const QString& f : probabilistic.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        if (f.endsWith(QLatin1String(".study.json"))) continue;
        results << runStudyCase(probabilistic, QFileInfo(f).completeBaseName());
        report(results.last(), 4);
    }
    QFile md(output.filePath(QStringLiteral("verification.txt")));
    if (!md.open(QIODevice::WriteOnly) || md.write(chapter(results).toUtf8()) < 0) {
        std::fprintf(stderr, "manual_verification: cannot write %s\n", qPrintable(md.fileName()));
        return 1;
    }
    return ran && (!check || inBand) ? 0 : 1;
}

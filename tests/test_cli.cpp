// dizirovi-cli as a user runs it: exit codes, messages, files.
#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList& args, qint64 fileSizeLimit = 0) {
    QProcess p;
    if (fileSizeLimit > 0)
        p.setChildProcessModifier([fileSizeLimit] {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit r {};
            getrlimit(RLIMIT_FSIZE, &r);
            r.rlim_cur = static_cast<rlim_t>(fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &r);
        });
    p.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kExample = QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Spencer.sl4d");
const QByteArray kOlderLayout =
    "PROFIL\r\nOld\r\n3 3\r\n20 25 30 25 1\r\n30 25 50 35 1\r\n50 35 70 35 1\r\nSOIL\r\n1\r\n20 20 3 "
    "19.6 0 0 0\r\nCIRCL2\r\n5 10\r\n22 30 45 60\r\n20 1 0 -45\r\nEXECUT\r\n";

TEST(Cli, ConvertCopiesAndConvertsUnits) {
    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.sl4d");
    CliRun r = cli({"convert", kExample, copy});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty()) << "success is silent";
    EXPECT_EQ(contents(copy), contents(kExample));

    const QString si = dir.filePath("si.sl4d");
    EXPECT_EQ(cli({"convert", kExample, si, "--units", "si"}).exitCode, 0);
    const QByteArray text = contents(si);
    EXPECT_TRUE(text.contains("\r\n3 3 2\r\n")) << "unit system 2 on the header line";
    EXPECT_TRUE(text.contains("\r\n0. 6.096 12.192 6.096 1\r\n")) << "lengths in metres";
    EXPECT_TRUE(text.contains("\r\n18.850497 18.850497 28.728158 20. 0. 0. 0\r\n")) << text.toStdString();

    const QString back = dir.filePath("back.sl4d");
    EXPECT_EQ(cli({"convert", si, back, "--units", "english"}).exitCode, 0);
    EXPECT_TRUE(contents(back).contains("\r\n0. 20. 40. 20. 1\r\n"));
}

// Help for the tool and each command on standard output with exit code 0; the version alone.
TEST(Cli, HelpAndVersion) {
    const struct {
        QStringList args;
        const char* shows;
    } cases[] = {
        {{"--help"}, "Usage: dizirovi-cli [--help] [--version] COMMAND"},
        {{"-h"}, "dizirovi-cli COMMAND --help"},
        {{"run", "--help"}, "Usage: dizirovi-cli [options] run PROBLEM"},
        {{"convert", "-h"}, "--units <system>"},
        {{"render", "--help"}, "--layers <LIST>"},
        {{"examples", "--help"}, "Usage: dizirovi-cli [options] examples"},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.contains(c.shows)) << r.out.toStdString();
    }
    const CliRun v = cli({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, "2015.4.2\n");
    const CliRun u = cli({"run", "--fast", "x.sl4d"});
    EXPECT_EQ(u.exitCode, 2);
    EXPECT_TRUE(u.err.contains("Unknown option 'fast'")) << u.err.toStdString();
    EXPECT_TRUE(u.err.contains("Usage: dizirovi-cli [options] run PROBLEM"));
}

TEST(Cli, ReaderErrorsAndUsage) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.sl4d");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("PROFIL\r\nT\r\n1 1 1\r\n0 0 1 x 1\r\n");
    f.close();
    const QString out = dir.filePath("out.sl4d");
    CliRun r = cli({"convert", bad, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Error on Line 4 Item 4\nA floating point number was expected but not found."))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << "nothing written after a reader error";

    for (const QStringList& args :
         {QStringList{}, QStringList{"convert", bad}, QStringList{"convert", bad, out, "--units"},
          QStringList{"convert", bad, out, "--units", "metric"}, QStringList{"convert", bad, out, "--fast"},
          QStringList{"frobnicate"}}) {
        CliRun u = cli(args);
        EXPECT_EQ(u.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(u.err.contains("Usage:"));
    }

    // The older layout is read only when asked for.
    const QString older = dir.filePath("older.sld");
    QFile o(older);
    ASSERT_TRUE(o.open(QIODevice::WriteOnly));
    o.write("PROFIL\r\nOld\r\n1 1\r\n0 0 1 0 1\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n");
    o.close();
    EXPECT_EQ(cli({"convert", older, out, "--older"}).exitCode, 0);
    EXPECT_TRUE(contents(out).startsWith("PROFIL\r\nOld\r\n1 1 1\r\n0. 0. 1. 0. 1\r\n"));
}

// convert never writes a file that holds less than the input, or that could not be read back.
TEST(Cli, ConvertRefusesWhatItCannotCarryOver) {
    QTemporaryDir dir;
    const QString head = "PROFIL\r\nT\r\n1 1 1\r\n0 0 1 0 1\r\nSOIL\r\n1\r\n1 2 3 4 0 1E308 0\r\n";
    const struct {
        QString text;
        QStringList options;
        const char* message;
    } cases[] = {
        {head + "LAODS\r\n1\r\n1 2 3 4\r\nEXECUT\r\n", {}, "Line 8 holds \"LAODS\""},
        {"Dear engineer,\r\nplease check the dam.\r\nRegards\r\n", {}, "No section of a slope problem"},
        {head + "EXECUT\r\n", {"--units", "si"}, "is not a finite number"},
    };
    for (const auto& c : cases) {
        const QString in = dir.filePath("in.sl4d"), out = dir.filePath("out.sl4d");
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.text.toLatin1());
        f.close();
        CliRun r = cli(QStringList{"convert", in, out} + c.options);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.message;
    }
}

TEST(Cli, FailingWriteKeepsTheOldOutput) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out.sl4d");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old contents");
    f.close();
    CliRun r = cli({"convert", kExample, out}, 64);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_EQ(contents(out), "old contents");
}

} // namespace

namespace {

TEST(CliRun, EveryExampleInParallel) {
    QTemporaryDir dir;
    const QStringList names = {"Bishop", "Block", "Irregular", "Janbu", "Spencer", "UserSurface"};
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& n : names) {
        const QString problem = dir.filePath(n + ".sl4d");
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/") + n + ".sl4d", problem));
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), {"run", problem});
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE(names[static_cast<qsizetype>(i)].toStdString());
        ASSERT_TRUE(runs[i]->waitForFinished(60000));
        EXPECT_EQ(runs[i]->exitCode(), 0) << runs[i]->readAllStandardError().toStdString();
        const QString out = QString::fromLocal8Bit(runs[i]->readAllStandardOutput());
        EXPECT_TRUE(out.contains("Computations are completed.")) << out.toStdString();
        EXPECT_TRUE(out.contains(QRegularExpression("Critical factor of safety: \\d+\\.\\d{3}")))
            << out.toStdString();
        for (const char* ext : {".sl4o", ".sl4p", ".sl4r"})
            EXPECT_TRUE(QFile::exists(dir.filePath(names[static_cast<qsizetype>(i)] + ext)));
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("names.dat")));
}

TEST(CliRun, MissingEngineAndRejectedFiles) {
    QTemporaryDir dir;
    // A copy of the front end in a folder without the engine library.
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), dir.filePath("dizirovi-cli")));
    QFile(dir.filePath("dizirovi-cli")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(kExample, problem));
    QProcess p;
    p.start(dir.filePath("dizirovi-cli"), {"run", problem});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    // The specified sentence, then the loader's reason on a line of its own.
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              "Attempt to initialize DLL failed\nLibrary could not be located (" +
                  dir.filePath("VELDA2015_DLL.so") + ")\n");

    QFile bad(dir.filePath("bad.sl4d"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("PROFIL\r\nT\r\nx\r\n");
    bad.close();
    CliRun r = cli({"run", bad.fileName()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Error on Line 3 Item 1\nAn integer was expected but not found."))
        << r.err.toStdString();
    EXPECT_EQ(cli({"run"}).exitCode, 2);

    // An older-layout file is analysed too; its results sit beside it.
    const QString older = dir.filePath("older.sld");
    QFile o(older);
    ASSERT_TRUE(o.open(QIODevice::WriteOnly));
    o.write(kOlderLayout);
    o.close();
    r = cli({"run", older, "--older"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("older.sl4o")));
}

// --interslice reaches the engine; a function it cannot take is a usage error before anything runs.
TEST(CliRun, IntersliceFunction) {
    QTemporaryDir dir;
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(kExample, problem));
    CliRun r = cli({"run", problem, "--interslice", "0:0,0.5:1,1:0.5"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(contents(dir.filePath("dam.sl4r")).contains("\"interslice\": \"points 0:0,0.5:1,1:0.5\""));
    EXPECT_TRUE(contents(dir.filePath("dam.sl4o")).contains("Morgenstern-Price (points 0:0,0.5:1,1:0.5)"));
    r = cli({"run", problem, "--interslice", "wave"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--interslice: The interslice function \"wave\"")) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4) << "nothing new was written";
}

double groundOfTheExample(double x) { // Spencer.sl4d: 0,20 - 40,20 - 120,60 - 180,60
    return x <= 40 ? 20 : x >= 120 ? 60 : 20 + (x - 40) / 2;
}

// Every listed surface's slices are in the result file: they tile the surface, weigh what the
// mass between ground and surface weighs, and each slice of a rigorous method is in force
// equilibrium with the forces the file gives it. `slices` prints them as a table or CSV.
TEST(CliSlices, EverySurfacesSlices) {
    QTemporaryDir dir;
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(kExample, problem));
    EXPECT_EQ(cli({"slices", problem}).exitCode, 1) << "no result file yet";
    ASSERT_EQ(cli({"run", problem}).exitCode, 0);
    const QJsonObject result = QJsonDocument::fromJson(contents(dir.filePath("dam.sl4r"))).object();
    const QJsonArray surfaces = result.value("surfaces").toArray(), tables = result.value("slices").toArray();
    ASSERT_EQ(tables.size(), 10);
    ASSERT_EQ(surfaces.size(), 10);
    auto values = [](const QJsonObject& o, const char* key) {
        std::vector<double> v;
        for (const QJsonValue& x : o.value(QLatin1String(key)).toArray()) v.push_back(x.toDouble());
        return v;
    };
    for (qsizetype k = 0; k < tables.size(); ++k) {
        SCOPED_TRACE(k + 1);
        const QJsonObject t = tables[k].toObject();
        EXPECT_EQ(t.value("rank").toInt(), k + 1);
        EXPECT_EQ(t.value("fs").toDouble(), surfaces[k].toObject().value("fs").toDouble());
        const QJsonArray points = surfaces[k].toObject().value("points").toArray();
        const auto xl = values(t, "xLeft"), xr = values(t, "xRight"), w = values(t, "weight"),
                   a = values(t, "baseAngle"), yl = values(t, "yBaseLeft");
        const size_t n = static_cast<size_t>(t.value("count").toInt());
        ASSERT_EQ(xl.size(), n);
        EXPECT_NEAR(xl.front(), points.first().toArray()[0].toDouble(), 1e-6);
        EXPECT_NEAR(xr.back(), points.last().toArray()[0].toDouble(), 1e-6);
        for (size_t i = 0; i + 1 < n; ++i) EXPECT_NEAR(xr[i], xl[i + 1], 1e-9) << i;
        // The mass's weight by the trapezoidal rule between the surface's points.
        double area = 0;
        for (qsizetype i = 0; i + 1 < points.size(); ++i) {
            const double x0 = points[i].toArray()[0].toDouble(), x1 = points[i + 1].toArray()[0].toDouble();
            const double y0 = points[i].toArray()[1].toDouble(), y1 = points[i + 1].toArray()[1].toDouble();
            for (int j = 0; j < 50; ++j) {
                const double u0 = x0 + (x1 - x0) * j / 50, u1 = x0 + (x1 - x0) * (j + 1) / 50;
                const double b0 = y0 + (y1 - y0) * j / 50, b1 = y0 + (y1 - y0) * (j + 1) / 50;
                area += (u1 - u0) * (groundOfTheExample(u0) - b0 + groundOfTheExample(u1) - b1) / 2;
            }
        }
        const double total = std::accumulate(w.begin(), w.end(), 0.0);
        EXPECT_NEAR(total, 120 * area, 2e-3 * total);
        EXPECT_NEAR(yl.front(), points.first().toArray()[1].toDouble(), 1e-6);
        int rigorous = 0;
        for (const QJsonValue& mv : t.value("methods").toArray()) {
            const QJsonObject m = mv.toObject();
            if (!m.contains("sideNormal")) continue;
            SCOPED_TRACE(m.value("name").toString().toStdString());
            ++rigorous;
            const auto nEff = values(m, "effectiveNormal"), s = values(m, "mobilisedShear"),
                       e = values(m, "sideNormal"), x = values(m, "sideShear"), thrust = values(m, "thrust");
            ASSERT_EQ(e.size(), n + 1);
            ASSERT_EQ(thrust.size(), n + 1);
            EXPECT_EQ(e.front(), 0);
            for (size_t i = 0; i < n; ++i) {
                const double alpha = a[i] * M_PI / 180; // dry: N' is the whole normal force
                EXPECT_NEAR(nEff[i] * std::cos(alpha) + s[i] * std::sin(alpha) - w[i] + x[i] - x[i + 1], 0,
                            1e-6 * total)
                    << "vertical, slice " << i + 1;
                EXPECT_NEAR(-nEff[i] * std::sin(alpha) + s[i] * std::cos(alpha) + e[i] - e[i + 1], 0,
                            1e-6 * total)
                    << "horizontal, slice " << i + 1;
            }
            EXPECT_NEAR(e.back(), 0, 1e-6 * total) << "the side forces close at the crest";
        }
        EXPECT_EQ(rigorous, 2);
    }

    CliRun r = cli({"slices", problem, "--rank", "2", "--csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    const QJsonObject second = tables[1].toObject();
    ASSERT_EQ(lines.size(), second.value("count").toInt() + 1);
    EXPECT_TRUE(lines[0].startsWith("slice,x left,x right,")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(",N',S,E right,X right,thrust right")) << "ranked by Spencer";
    EXPECT_NEAR(lines[1].split(',')[1].toDouble(), second.value("xLeft").toArray()[0].toDouble(), 1e-9);
    EXPECT_NEAR(lines.last().split(',')[6].toDouble(), second.value("weight").toArray().last().toDouble(),
                1e-6);

    r = cli({"slices", problem, "--method", "bishop"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Surface 1 of 10, Bishop simplified: factor of safety "))
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("thrust"));
    const struct {
        QStringList args;
        int exitCode;
        const char* message;
    } refused[] = {
        {{"--rank", "11"}, 2, "--rank needs a number from 1 to 10"},
        {{"--rank", "x"}, 2, "--rank needs a number from 1 to 10"},
        {{"--method", "janbu"}, 2, "--method 'janbu' is more than one of"},
        {{"--method", "sarma"}, 2, "--method 'sarma' is none of"},
    };
    for (const auto& c : refused) {
        r = cli(QStringList{"slices", problem} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    QFile damaged(dir.filePath("dam.sl4r"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("{\"slices\": [");
    damaged.close();
    r = cli({"slices", problem});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("the result file is damaged")) << r.err.toStdString();
}
} // namespace

namespace {

// The run never destroys the file it was given, also when it is converted from the older layout
// first, and a search the engine refuses is a failure.
TEST(CliRun, RefusedProblems) {
    QTemporaryDir dir;
    const QString older = dir.filePath("layout.sld");
    QFile o(older);
    ASSERT_TRUE(o.open(QIODevice::WriteOnly));
    o.write(kOlderLayout);
    o.close();
    for (const char* name : {"prob.sl4p", "prob.sl4o", "prob.sl4r"})
        for (const bool isOlder : {false, true}) {
            SCOPED_TRACE(std::string(name) + (isOlder ? " --older" : ""));
            const QString problem = dir.filePath(name);
            ASSERT_TRUE(QFile::copy(isOlder ? older : kExample, problem));
            const QByteArray before = contents(problem);
            CliRun r = cli(isOlder ? QStringList{"run", problem, "--older"} : QStringList{"run", problem});
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.err.contains("bears the name of one of its own result files"))
                << r.err.toStdString();
            EXPECT_EQ(contents(problem), before);
            QFile::remove(problem);
        }
    QByteArray text = contents(kExample);
    const qsizetype at = text.indexOf("CIRCL2\r\n") + 8;
    text.replace(at, text.indexOf("\r\n", at) - at, "0 10");
    const QString noSurfaces = dir.filePath("none.sl4d");
    QFile f(noSurfaces);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    CliRun r = cli({"run", noSurfaces});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("Computations can not be performed.")) << r.err.toStdString();
    EXPECT_TRUE(contents(dir.filePath("none.sl4r")).contains("\"status\": \"not computed\""));

    // Ranges wholly beside the slope: every trial is rejected, nothing is computed.
    text = contents(kExample);
    text.replace("10. 40. 110. 170.", "200. 210. 300. 310.");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    r = cli({"run", noSurfaces});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(contents(dir.filePath("none.sl4r")).contains("\"status\": \"not computed\""));
}

// A pipe named as input or output is refused at once: nothing waits for a writer, nothing replaces
// the pipe with a file.
// The check prints every finding with where it is, as the window lists them; 1 with errors.
TEST(CliCheck, FindingsAndExitStatus) {
    QTemporaryDir dir;
    QByteArray bad = contents(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"));
    bad.replace("20. 20. 3. 19.6 0. 0. 0", "-20. 20. -3. 19.6 5. 0. 0");
    const QString badFile = dir.filePath("bad.sl4d");
    QFile f(badFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bad);
    f.close();
    const struct {
        QStringList args;
        int exit;
        QStringList lines;
    } cases[] = {
        {{"check", kExample}, 0, {"The check finds nothing wrong with the model."}},
        {{"check", badFile},
         1,
         {"error: Soil Properties, row 1: Soil 1 has a negative unit weight.",
          "error: Soil Properties, row 1: Soil 1 has a negative cohesion.",
          "warning: Soil Properties, row 1: Soil 1 has a pore-pressure ratio ru of 5, outside 0 to 1"}},
        {{"check", badFile, "--json"},
         1,
         {R"({"severity": "error", "section": "soils", "item": 1, "message": "Soil 1 has a negative cohesion."})"}},
        {{"check", dir.filePath("missing.sl4d")}, 1, {"error: the problem file: "}},
        {{"check", dir.path()}, 1, {"error: the problem file: "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << r.err.toStdString();
        for (const QString& line : c.lines) EXPECT_TRUE(r.out.contains(line)) << r.out.toStdString();
    }
}

TEST(Cli, PipesAreNoFiles) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.sl4d");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(kExample, problem));
    const QString plotPipe = dir.filePath("dam.sl4p");
    ASSERT_EQ(::mkfifo(QFile::encodeName(plotPipe).constData(), 0600), 0);
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"convert", pipe, dir.filePath("out.sl4d")}, "is not a file"},
        {{"convert", problem, pipe}, "is not a file"},
        {{"run", pipe}, "is not a file"},
        {{"render", problem, dir.filePath("dam.png")}, "is not a file"},
        {{"run", problem}, "could not be removed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
        EXPECT_TRUE(QFileInfo(plotPipe).exists() && !QFileInfo(plotPipe).isFile());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.sl4d")));
    EXPECT_FALSE(QFile::exists(dir.filePath("dam.png")));
}

// The private folders of runs that were killed are removed by the next run; those of live
// processes and those holding anything else stay.
TEST(CliRun, FoldersOfKilledRunsAreRemoved) {
    QTemporaryDir tmp;
    QTemporaryDir dir;
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(kExample, problem));
    const QString dead = tmp.filePath("dizirovi-run-2147483646-AbC123");
    const QString alive = tmp.filePath(QStringLiteral("dizirovi-run-%1-AbC123").arg(::getpid()));
    const QString other = tmp.filePath("dizirovi-run-2147483645-XyZ789");
    for (const QString& f : {dead, alive, other}) {
        ASSERT_TRUE(QDir().mkpath(f));
        QFile names(QDir(f).filePath("names.dat"));
        ASSERT_TRUE(names.open(QIODevice::WriteOnly));
    }
    QFile(QDir(other).filePath("keep")).open(QIODevice::WriteOnly);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmp.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), {"run", problem});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dead));
    EXPECT_TRUE(QFileInfo::exists(alive));
    EXPECT_TRUE(QFileInfo::exists(QDir(other).filePath("keep")));
    EXPECT_EQ(QDir(tmp.path()).entryList({"dizirovi-run-*"}, QDir::Dirs).size(), 2)
        << "its own folder is gone";
}

} // namespace

namespace {

// render draws results or fails; it never writes a picture of nothing.
TEST(CliRender, PicturesOnlyOfResultsOrOfTheModel) {
    QTemporaryDir dir;
    const QString problem = dir.filePath("dam.sl4d");
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), problem));
    const QString png = dir.filePath("dam.png");
    // No run yet: the model itself; its options are checked like the others.
    CliRun r = cli({"render", problem, png, "--width", "300", "--height", "200"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(300, 200));
    QFile::remove(png);
    for (const char* wrong : {"0", "21", "x"}) {
        r = cli({"render", problem, png, "--exaggeration", wrong});
        EXPECT_EQ(r.exitCode, 2) << wrong;
        EXPECT_TRUE(r.err.contains("--exaggeration")) << r.err.toStdString();
    }
    r = cli({"render", problem, png, "--layers", "Scale"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(QFile::exists(png));

    QFile plot(dir.filePath("dam.sl4p"));
    ASSERT_TRUE(plot.open(QIODevice::WriteOnly));
    plot.close();
    r = cli({"render", problem, png});
    EXPECT_EQ(r.exitCode, 1) << "an empty plot file";
    EXPECT_TRUE(r.err.contains("Graphics file does not contain any data.")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(png));

    // A plot file of only a header, of junk or of NUL bytes holds nothing to draw.
    const QByteArray header = "1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\n1\nEND\n";
    for (const QByteArray& text : {header,
                                   QByteArray("\x7f"
                                              "ELF\x02\x01\x01 junk \xff\xfe"),
                                   QByteArray(4096, '\0')}) {
        ASSERT_TRUE(plot.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plot.write(text);
        plot.close();
        r = cli({"render", problem, png});
        EXPECT_EQ(r.exitCode, 1) << text.left(8).toHex().toStdString();
        EXPECT_TRUE(r.err.contains("Graphics file does not contain any data.")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(png));
    }

    ASSERT_EQ(cli({"run", problem}).exitCode, 0);
    r = cli({"render", problem, png, "--width", "400", "--height", "300"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(400, 300));
}

// A name that is not valid UTF-8 is refused, not taken for another file.
TEST(Cli, NamesThatAreNotUtf8) {
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start("/bin/sh", {"-c",
                        "cp \"$1\" \"$(printf 'caf\\351.sl4d')\" && exec \"$0\" convert \"$(printf "
                        "'caf\\351.sl4d')\" out.sl4d",
                        QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), kExample});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("is not valid UTF-8"));
    // Qt cannot list such a name either: count and clear with the standard library.
    std::vector<std::filesystem::path> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path().toStdString()))
        left.push_back(e.path());
    EXPECT_EQ(left.size(), 1u) << "nothing written under any name";
    for (const auto& path : left) std::filesystem::remove(path);
}

} // namespace

namespace {

// The examples reach the user as copies of their own, made once, never overwritten.
TEST(CliExamples, CopiedOnceIntoTheDocumentsFolder) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.remove("XDG_DOCUMENTS_DIR");
    auto examples = [&env] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), {"examples"});
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    };
    const QString folder = examples();
    EXPECT_EQ(folder, home.filePath("Documents/DizirOvi Examples"));
    const QStringList copied = QDir(folder).entryList({"*.sl4d"}, QDir::Files);
    EXPECT_EQ(
        copied,
        QDir(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples")).entryList({"*.sl4d"}, QDir::Files));
    EXPECT_TRUE(QFileInfo(QDir(folder).filePath("Bishop.sl4d")).isWritable());
    QFile mine(QDir(folder).filePath("Bishop.sl4d"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("my changes");
    mine.close();
    QFile::remove(QDir(folder).filePath("Janbu.sl4d"));
    EXPECT_EQ(examples(), folder);
    EXPECT_EQ(contents(QDir(folder).filePath("Bishop.sl4d")), "my changes") << "never overwritten";
    EXPECT_FALSE(QFile::exists(QDir(folder).filePath("Janbu.sl4d"))) << "an existing folder is left as it is";

    // The folder's name taken by a file: said, not passed off as the examples' folder.
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), {"examples"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("is taken by a file that is not a folder"));
}

} // namespace

// A study split into four ranges and run through GNU parallel merges into exactly the files of one
// run; a wrong range or a refused study file says why.
TEST(CliStudy, FourRangesThroughGnuParallelMergeIntoOneRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"),
                            dir.filePath("Bishop.sl4d")));
    const QString study = dir.filePath("slope.study.json");
    QFile f(study);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"problem": "Bishop.sl4d", "samples": 40, "seed": 3, "sampling": "latin-hypercube",
               "variables": [{"soil": 1, "property": "cohesion", "distribution": "normal", "mean": 3, "sd": 0.6},
                             {"soil": 1, "property": "phi", "distribution": "uniform", "min": 17, "max": 22}]})");
    f.close();
    CliRun r = cli({"study", study});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Probability of failure")) << r.out.toStdString();
    const QByteArray results = contents(dir.filePath("slope.study.results.json"));
    const QByteArray samples = contents(dir.filePath("slope.study.samples.csv"));
    ASSERT_FALSE(results.isEmpty());
    EXPECT_EQ(samples.count('\n'), 41);
    QFile::remove(dir.filePath("slope.study.results.json"));
    QFile::remove(dir.filePath("slope.study.samples.csv"));

    QProcess parallel;
    parallel.start(QStringLiteral("parallel"),
                   {QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), "study", study, "--threads", "1",
                    "--samples", "{}", ":::", "0:10", "10:20", "20:30", "30:40"});
    ASSERT_TRUE(parallel.waitForStarted()) << "GNU parallel (Debian package parallel) is needed";
    ASSERT_TRUE(parallel.waitForFinished(120000));
    ASSERT_EQ(parallel.exitCode(), 0) << parallel.readAllStandardError().toStdString();
    QStringList merge{"study", "merge", study};
    for (const char* range : {"30-40", "0-10", "20-30", "10-20"})
        merge << dir.filePath(QStringLiteral("slope.study.part-%1.json").arg(QLatin1String(range)));
    r = cli(merge);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(contents(dir.filePath("slope.study.results.json")), results);
    EXPECT_EQ(contents(dir.filePath("slope.study.samples.csv")), samples);

    merge.removeLast();
    r = cli(merge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("samples 10 to 19 are in no part")) << r.err.toStdString();
    r = cli({"study", study, "--samples", "30:41"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("--samples needs FROM:TO")) << r.err.toStdString();

    // The Slurm job array's tasks and its merge, as the cluster would start them.
    QFile::remove(dir.filePath("slope.study.results.json"));
    auto slurm = [&](const QString& mode, const QString& task) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DIZIROVI_CLI", DIZIROVI_BIN_DIR "/dizirovi-cli");
        if (!task.isEmpty()) env.insert("SLURM_ARRAY_TASK_ID", task);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(DIZIROVI_SOURCE_DIR "/tools/slurm-study.sh"), {mode, study, "3"});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    for (const char* task : {"0", "1", "2"}) slurm("task", QLatin1String(task));
    slurm("merge", {});
    EXPECT_EQ(contents(dir.filePath("slope.study.results.json")), results);
}

// dizirovi-cli: the command-line front end for batch work without the window.
#include "base/Errors.h"
#include "base/FileAccess.h"
#include "engine/Engine.h"
#include "engine/ProblemInput.h"
#include "engine/Slope.h"
#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"
#include "format/Release.h"
#include "graph/GraphView.h"
#include "graph/ModelScene.h"
#include "model/AnalysisRun.h"
#include "model/ModelCheck.h"
#include "model/ProgramData.h"
#include "model/ResultSurfaces.h"
#include "model/RunSummary.h"
#include "model/UserExamples.h"
#include "study/StudyFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <QUtf8StringView>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kCancelled = 3; // a run stopped by Ctrl+C or SIGTERM

// The tool's commands: each has its own arguments, options and help.
struct Command {
    const char* name;
    const char* arguments; // as the usage line shows them
    const char* description;
};
constexpr Command kCommands[] = {
    {"convert", "INPUT OUTPUT",
     "Reads the problem file INPUT (written by an earlier release with --older), optionally converts it to "
     "another unit system, and writes it to OUTPUT in the current layout."},
    {"run", "PROBLEM",
     "Analyses the problem with the engine beside this program; the output report, plot file and result file "
     "appear beside PROBLEM. Exits 0 when the engine ran, 1 when it did not."},
    {"slices", "PROBLEM",
     "Prints the slices of one of the ten most critical surfaces from PROBLEM's result file: geometry, "
     "soil, pore pressure and the base forces of one method (and the side forces and line of thrust of "
     "Spencer's and the Morgenstern-Price method)."},
    {"check", "PROBLEM",
     "Checks PROBLEM as the engine does before a run and lists every finding at once: errors (the analysis "
     "cannot run) and warnings (legal but implausible values), each with where it is. Exits 0 without "
     "errors, 1 with errors or when PROBLEM cannot be read."},
    {"study", "STUDY",
     "Runs the probabilistic, sensitivity or back analysis the study file STUDY describes (JSON; see README) "
     "on "
     "its problem, every sample in memory on all cores. The results go beside STUDY (STUDY.results.json, and "
     "for a probabilistic analysis STUDY.samples.csv); a summary is printed. With --samples FROM:TO only "
     "those "
     "samples run and a part file is written; \"dizirovi-cli study merge PART...\" joins the parts of one "
     "study into exactly the files one run writes."},
    {"examples", "",
     "Prints the folder of the user's copies of the example problems, copying them there first when the "
     "folder "
     "does not exist yet."},
    {"render", "PROBLEM OUTPUT",
     "Draws the results of PROBLEM (its .sl4p plot file) into OUTPUT: .png (W x H pixels, default 1280 x "
     "800) or "
     ".pdf (a landscape page). LIST names layers by their captions, separated by commas, e.g. \"Boundary "
     "Lines,Critical Slip Surface,Scale\". Without a plot file (no run yet), or with --model, draws the "
     "model as the window's model view does: soils with their legend, water, loads, tiebacks, the "
     "search's ranges, and the last run's critical surface when there is one."},
};

void printError(const QString& text) {
    // Messages use a carriage return as line break; a terminal wants a line feed.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
    std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
}

QString toolHelp() {
    QString text = QStringLiteral("Usage: dizirovi-cli [--help] [--version] COMMAND [ARGUMENTS]\n\n"
                                  "Slope-stability problems without the window.\n\nCommands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(c.name), QLatin1String(c.arguments), QLatin1String(c.description));
    return text + QStringLiteral("\n\"dizirovi-cli COMMAND --help\" shows a command's options.\n");
}

int usage(const QString& why, const QString& help = toolHelp()) {
    if (!why.isEmpty()) printError(QStringLiteral("dizirovi-cli: ") + why);
    std::fputs(help.toLocal8Bit().constData(), stderr);
    return kUsage;
}

QString argumentText(const QString& argument) {
    if (argument == QLatin1String("INPUT")) return QStringLiteral("The problem file to read.");
    if (argument == QLatin1String("OUTPUT")) return QStringLiteral("The file to write.");
    return QStringLiteral("The problem file.");
}

// A command's parser: its help, its arguments and the options `extra` adds.
class CommandLine {
public:
    CommandLine(const Command& command, const QList<QCommandLineOption>& options) : m_command(command) {
        m_parser.setApplicationDescription(QLatin1String(command.description));
        m_parser.addHelpOption();
        m_parser.addPositionalArgument(QLatin1String(command.name), QStringLiteral("The command."),
                                       QLatin1String(command.name));
        for (const QString& a : QString::fromLatin1(command.arguments).split(' ', Qt::SkipEmptyParts))
            m_parser.addPositionalArgument(a, argumentText(a));
        m_parser.addOptions(options);
    }
    // Parses the arguments after the command. Returns -1 to go on, else the exit code (help
    // printed, or a usage error reported).
    int parse(const QStringList& args) {
        if (!m_parser.parse(QStringList{QStringLiteral("dizirovi-cli"), QLatin1String(m_command.name)} +
                            args))
            return usage(m_parser.errorText(), help());
        if (m_parser.isSet(QStringLiteral("help"))) {
            std::fputs(help().toLocal8Bit().constData(), stdout);
            return kOk;
        }
        const int wanted =
            static_cast<int>(QString::fromLatin1(m_command.arguments).split(' ', Qt::SkipEmptyParts).size());
        if (positional().size() != wanted)
            return usage(QStringLiteral("%1 takes %2")
                             .arg(QLatin1String(m_command.name), wanted == 0
                                                                     ? QStringLiteral("no arguments")
                                                                     : QLatin1String(m_command.arguments)),
                         help());
        return -1;
    }
    QStringList positional() const { return m_parser.positionalArguments().mid(1); }
    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QString help() const {
        // The usage line names the tool, not the path it was started by.
        QString text = m_parser.helpText();
        return text.replace(QCoreApplication::arguments().value(0), QStringLiteral("dizirovi-cli"));
    }

private:
    const Command& m_command;
    QCommandLineParser m_parser;
};

const Command& command(const char* name) {
    for (const Command& c : kCommands)
        if (qstrcmp(c.name, name) == 0) return c;
    return kCommands[0];
}

struct ConvertOptions {
    QString input;
    QString output;
    bool older = false;
    int units = 0; // 0: keep
};

int convert(const QStringList& args) {
    CommandLine line(
        command("convert"),
        {{QStringLiteral("older"), QStringLiteral("INPUT was written by release 2.0.")},
         {QStringLiteral("units"), QStringLiteral("Convert to the unit system english, si or other."),
          QStringLiteral("system")}});
    if (const int done = line.parse(args); done >= 0) return done;
    ConvertOptions o;
    o.input = line.positional()[0];
    o.output = line.positional()[1];
    o.older = line.isSet(QStringLiteral("older"));
    if (line.isSet(QStringLiteral("units"))) {
        const QString u = line.value(QStringLiteral("units")).toLower();
        const QStringList systems = {QStringLiteral("english"), QStringLiteral("si"),
                                     QStringLiteral("other")};
        o.units = static_cast<int>(systems.indexOf(u)) + 1;
        if (o.units == 0)
            return usage(QStringLiteral("unknown unit system '%1'").arg(line.value(QStringLiteral("units"))),
                         line.help());
    }

    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, o.input, !o.older, nullptr, &error));
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(o.input, error));
        return kFailed;
    }
    TProgramData& doc = session.document();
    if (o.units != 0) doc.SetUnitSystem(o.units);
    doc.FileName = QFileInfo(o.output).absoluteFilePath();
    try {
        doc.SaveToFile();
    } catch (const EDiziOvi& e) {
        printError(QStringLiteral("%1: %2").arg(o.output, e.message()));
        return kFailed;
    }
    return kOk;
}

// The critical factor of safety from the result file, when there is one.
QString criticalFactor(const QString& resultFile) {
    const auto summary = readRunSummary(resultFile);
    if (!summary || !summary->criticalFs) return {};
    return QString::fromStdString(numfmt::fixed(*summary->criticalFs, 3));
}

// Ctrl+C (SIGINT) or SIGTERM during a run: the engine stops at its next report and writes nothing; a
// second one ends the program at once.
volatile std::sig_atomic_t g_cancelRun = 0;
extern "C" void cancelRun(int) {
    if (g_cancelRun) _exit(kCancelled);
    g_cancelRun = 1;
}

// What a run or a study shows while it goes: nothing, a bar on the terminal's standard error, or lines
// for a program that watches it. At most ten reports a second. `unit` names what is counted.
class RunWatch {
public:
    enum Mode { Quiet, Bar, Lines };
    explicit RunWatch(Mode mode, const char* unit = "trials") : m_mode(mode), m_unit(unit) {
        struct sigaction a {};
        a.sa_handler = cancelRun;
        sigemptyset(&a.sa_mask);
        sigaction(SIGINT, &a, &m_int);
        sigaction(SIGTERM, &a, &m_term);
        m_clock.start();
    }
    ~RunWatch() {
        sigaction(SIGINT, &m_int, nullptr);
        sigaction(SIGTERM, &m_term, nullptr);
    }
    bool report(qint64 done, qint64 total, double best) {
        if (g_cancelRun) return false;
        if (m_mode == Quiet || (m_shown >= 0 && m_clock.elapsed() - m_shown < 100 && done < total))
            return true;
        m_shown = m_clock.elapsed();
        if (m_mode == Lines) {
            std::printf("progress %lld %lld %.6g\n", static_cast<long long>(done),
                        static_cast<long long>(total), best);
            std::fflush(stdout);
            return true;
        }
        const int width = 30;
        const int filled = total > 0 ? static_cast<int>(width * std::min(done, total) / total) : 0;
        std::fprintf(
            stderr, "\r[%s%s] %3d%%  %lld of %lld %s%s",
            std::string(static_cast<size_t>(filled), '#').c_str(),
            std::string(static_cast<size_t>(width - filled), '.').c_str(),
            total > 0 ? static_cast<int>(100 * std::min(done, total) / total) : 0,
            static_cast<long long>(done), static_cast<long long>(total), m_unit,
            best > 0
                ? QStringLiteral(", best factor of safety %1").arg(best, 0, 'f', 3).toLocal8Bit().constData()
                : "");
        m_bar = true;
        return true;
    }
    void finish() {
        if (m_bar) std::fprintf(stderr, "\n");
        m_bar = false;
    }

private:
    Mode m_mode;
    const char* m_unit;
    QElapsedTimer m_clock;
    qint64 m_shown = -1;
    bool m_bar = false;
    struct sigaction m_int {
    }, m_term{};
};

int run(const QStringList& args) {
    CommandLine line(
        command("run"),
        {{QStringLiteral("older"), QStringLiteral("PROBLEM was written by release 2.0.")},
         {QStringLiteral("interslice"),
          QStringLiteral("The Morgenstern-Price method's interslice function: half-sine (the default), "
                         "constant, clipped-sine, trapezoid, or points x:f,x:f,... with x from 0 to 1."),
          QStringLiteral("FUNCTION")},
         {QStringLiteral("progress-lines"),
          QStringLiteral(
              "For a program that runs this one: \"progress DONE TOTAL BEST\" lines on standard output "
              "while the engine runs, and at the end one line \"outcome\" followed by the outcome as "
              "JSON.")}});
    if (const int done = line.parse(args); done >= 0) return done;
    QString options;
    if (line.isSet(QStringLiteral("interslice"))) {
        std::string why;
        const std::string function = line.value(QStringLiteral("interslice")).toStdString();
        if (!velda::parseInterslice(function, why))
            return usage(QStringLiteral("--interslice: ") + QString::fromStdString(why), line.help());
        options = QStringLiteral("interslice=%1\n").arg(QString::fromStdString(function));
    }
    const QStringList positional = line.positional();
    const bool older = line.isSet(QStringLiteral("older"));
    const QString problem = QFileInfo(positional.first()).absoluteFilePath();

    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, problem, !older, nullptr, &error));
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(positional.first(), error));
        return kFailed;
    }
    // Each run hands over in a folder of its own, so runs on several problems can go in parallel.
    const std::unique_ptr<QTemporaryDir> folder = engine::PrivateFolder();
    const QTemporaryDir& working = *folder;
    if (!working.isValid()) {
        printError(QStringLiteral("dizirovi-cli: no private working folder: %1").arg(working.errorString()));
        return kFailed;
    }
    engine::RunRequest request;
    request.problem = problem;
    request.resultsFor = problem;
    request.programFolder = QCoreApplication::applicationDirPath();
    request.workingFolder = working.path();
    request.options = options;
    if (older) {
        // The engine reads the current layout only.
        request.problem =
            QDir(working.path()).filePath(QFileInfo(problem).completeBaseName() + QStringLiteral(".sl4d"));
        session.document().FileName = request.problem;
        try {
            session.document().SaveToFile();
        } catch (const EDiziOvi& e) {
            printError(e.message());
            return kFailed;
        }
    }
    const bool lines = line.isSet(QStringLiteral("progress-lines"));
    RunWatch watch(lines ? RunWatch::Lines : (::isatty(STDERR_FILENO) ? RunWatch::Bar : RunWatch::Quiet));
    request.progress = [&watch](qint64 done, qint64 total, double best) {
        return watch.report(done, total, best);
    };
    const engine::RunOutcome outcome = engine::Run(request);
    watch.finish();
    if (lines) {
        static const char* const kinds[] = {"computed",       "not-performed", "refused",
                                            "library-failed", "busy",          "cancelled"};
        const QJsonObject o{{QStringLiteral("kind"), QLatin1String(kinds[static_cast<int>(outcome.kind)])},
                            {QStringLiteral("engineResult"), outcome.engineResult},
                            {QStringLiteral("message"), outcome.message},
                            {QStringLiteral("reason"), outcome.reason},
                            {QStringLiteral("plotFile"), outcome.plotFile}};
        std::printf("outcome %s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    }
    if (outcome.kind == engine::RunOutcome::Kind::Cancelled) {
        printError(outcome.message);
        return kCancelled;
    }
    if (outcome.kind != engine::RunOutcome::Kind::Computed) {
        printError(outcome.message);
        if (!outcome.reason.isEmpty()) printError(outcome.reason);
        return kFailed;
    }
    if (lines) return kOk;
    std::printf("%s\n", runmsg::kCompleted.toLocal8Bit().constData());
    const QString fs = criticalFactor(engine::resultFile(problem));
    if (!fs.isEmpty())
        std::printf("Critical factor of safety: %s\n", fs.toLocal8Bit().constData());
    else
        std::printf("No critical surface was found; see %s.\n",
                    engine::outputFile(problem).toLocal8Bit().constData());
    return kOk;
}

// The layers named by their captions, separated by commas; the usual ones when none are named.
bool layerSwitches(const QString& captions, LayerSet& switches) {
    if (captions.isEmpty()) {
        for (Layer l : {Layer::ColorSoilLayers, Layer::BoundaryLines, Layer::PiezometricLine,
                        Layer::AllTrialSurfaces, Layer::CriticalSlipSurface, Layer::Scale})
            switches.set(bit(l));
        return true;
    }
    for (QString caption : captions.split(',')) {
        caption = caption.trimmed();
        bool found = false;
        for (int l = 0; l < static_cast<int>(Layer::Count); ++l)
            if (layerCaption(static_cast<Layer>(l)).compare(caption, Qt::CaseInsensitive) == 0) {
                switches.set(static_cast<size_t>(l));
                found = true;
            }
        if (!found) {
            usage(QStringLiteral("unknown layer '%1'").arg(caption));
            return false;
        }
    }
    return true;
}

int render(const QStringList& args) {
    CommandLine line(
        command("render"),
        {{QStringLiteral("width"), QStringLiteral("Width of a .png in pixels (50 to 20000)."),
          QStringLiteral("W"), QStringLiteral("1280")},
         {QStringLiteral("height"), QStringLiteral("Height of a .png in pixels (50 to 20000)."),
          QStringLiteral("H"), QStringLiteral("800")},
         {QStringLiteral("layers"), QStringLiteral("The layers to draw, by their captions."),
          QStringLiteral("LIST")},
         {QStringLiteral("model"), QStringLiteral("Draw the model, not the results graph.")},
         {QStringLiteral("exaggeration"), QStringLiteral("The model's vertical exaggeration (0.1 to 20)."),
          QStringLiteral("E"), QStringLiteral("1")}});
    if (const int done = line.parse(args); done >= 0) return done;
    const QStringList positional = line.positional();
    int size[2] = {0, 0};
    const char* names[2] = {"width", "height"};
    for (int k = 0; k < 2; ++k) {
        bool ok = false;
        size[k] = line.value(QLatin1String(names[k])).toInt(&ok);
        if (!ok || size[k] < 50 || size[k] > 20000)
            return usage(
                QStringLiteral("--%1 needs a number of pixels from 50 to 20000").arg(QLatin1String(names[k])),
                line.help());
    }
    const int width = size[0], height = size[1];
    const QString layers = line.value(QStringLiteral("layers"));
    const QString output = positional[1];
    const bool pdf = output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (!pdf && !output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return usage(QStringLiteral("the output must end in .png or .pdf"), line.help());

    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, positional[0], true, nullptr, &error));
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(positional[0], error));
        return kFailed;
    }
    const TProgramData& doc = session.document();
    PlotModel model;
    const bool results = QFileInfo::exists(engine::plotFile(doc.FileName));
    if (line.isSet(QStringLiteral("model")) || !results) {
        bool ok = false;
        const double exaggeration = line.value(QStringLiteral("exaggeration")).toDouble(&ok);
        if (!ok || !(exaggeration >= 0.1 && exaggeration <= 20))
            return usage(QStringLiteral("--exaggeration needs a number from 0.1 to 20"), line.help());
        if (!layers.isEmpty())
            return usage(QStringLiteral("--layers chooses among the results graph's layers; the model is "
                                        "drawn whole"),
                         line.help());
        // The last run's surface, when its plot file reads; the model is drawn without it otherwise.
        if (results) {
            const PlotReadResult read =
                ReadPlotFile(engine::plotFile(doc.FileName), *session.tables().BoundCood, model);
            model.Loaded = read.failure.isEmpty() && !read.noData;
        }
        const ModelScene scene = BuildModelScene(doc, session.tables(), &model);
        if (QString why; !ModelPicture::Write(output, scene, exaggeration, width, height, why)) {
            printError(QStringLiteral("%1: the picture could not be written: %2").arg(output, why));
            return kFailed;
        }
        return kOk;
    }
    const PlotReadResult read =
        ReadPlotFile(engine::plotFile(doc.FileName), *session.tables().BoundCood, model);
    for (const QString& m : read.messages) printError(m);
    if (!read.failure.isEmpty()) {
        printError(read.failure);
        return kFailed;
    }
    // A picture of nothing (a file of only a header, or of junk) would pass for a result.
    if (read.noData || read.enabled.none()) {
        if (!read.messages.contains(plotmsg::kNoData)) printError(plotmsg::kNoData);
        return kFailed;
    }
    GraphView view;
    view.BlockOrIrregular = doc.BlockOn || doc.IrregularOn;
    if (!layerSwitches(layers, view.Switches)) return kUsage;
    // A layer the file has no data for draws nothing, as the window keeps its switch disabled.
    view.Switches &= read.enabled | LayerSet().set(bit(Layer::Scale));
    view.FitToView(model, width, height);
    if (QString why; !GraphView::WritePicture(output, model, view, width, height, why)) {
        printError(QStringLiteral("%1: the picture could not be written: %2").arg(output, why));
        return kFailed;
    }
    return kOk;
}

int slices(const QStringList& args) {
    CommandLine line(
        command("slices"),
        {{QStringLiteral("rank"), QStringLiteral("The surface's rank, 1 (the critical surface) to 10."),
          QStringLiteral("N"), QStringLiteral("1")},
         {QStringLiteral("method"),
          QStringLiteral("The method whose base forces are shown (default: the one the surfaces were ranked "
                         "by): ordinary, bishop, janbu-simplified, janbu-corrected, spencer, "
                         "morgenstern-price."),
          QStringLiteral("NAME")},
         {QStringLiteral("csv"),
          QStringLiteral("Comma-separated values with one header line, full precision.")}});
    if (const int done = line.parse(args); done >= 0) return done;
    bool ok = false;
    const int rank = line.value(QStringLiteral("rank")).toInt(&ok);
    if (!ok || rank < 1 || rank > 10)
        return usage(QStringLiteral("--rank needs a number from 1 to 10"), line.help());
    const QString problem = QFileInfo(line.positional().first()).absoluteFilePath();
    const QString resultPath = engine::resultFile(problem);
    if (!QFile::exists(resultPath)) {
        printError(QStringLiteral("%1: there is no result file; run the analysis first.").arg(resultPath));
        return kFailed;
    }
    QString why;
    const auto results = readResultSurfaces(resultPath, &why);
    if (!results) {
        printError(why);
        return kFailed;
    }
    const ResultSurface* surface = results->byRank(rank);
    if (!surface) {
        printError(
            results->surfaces.isEmpty()
                ? QStringLiteral("%1 holds no slices: it is from an analysis that computed nothing, or "
                                 "from an earlier release; run the analysis again.")
                      .arg(resultPath)
                : QStringLiteral("%1 holds %2 surfaces; there is no surface of rank %3.")
                      .arg(resultPath)
                      .arg(results->surfaces.size())
                      .arg(rank));
        return kFailed;
    }
    const QString name = methodNamed(
        *surface,
        line.isSet(QStringLiteral("method")) ? line.value(QStringLiteral("method")) : results->method, why);
    if (name.isEmpty()) return usage(why, line.help());
    const auto table = sliceTable(*results, *surface, name, &why);
    if (!table) {
        printError(why.startsWith(QLatin1String("the result file"))
                       ? QStringLiteral("%1: %2").arg(resultPath, why)
                       : why);
        return kFailed;
    }
    if (line.isSet(QStringLiteral("csv"))) {
        std::fputs(table->delimited(QLatin1Char(',')).toLocal8Bit().constData(), stdout);
        return kOk;
    }
    QString out = table->title + QLatin1Char('\n');
    QStringList cells;
    for (const auto& c : table->columns) cells << c.heading.rightJustified(13);
    out += cells.join(QString()) + QLatin1Char('\n');
    for (const auto& row : table->rows) {
        cells.clear();
        for (size_t k = 0; k < row.size(); ++k)
            cells << (row[k] ? QString::fromStdString(
                                   numfmt::fixed(*row[k], table->columns[static_cast<qsizetype>(k)].decimals))
                             : QString())
                         .rightJustified(13);
        out += cells.join(QString()) + QLatin1Char('\n');
    }
    std::fputs(out.toLocal8Bit().constData(), stdout);
    return kOk;
}

// ---- studies ----

bool writeStudyOutput(const QString& path, const QByteArray& bytes) {
    QString why;
    if (fileaccess::writeWhole(path, bytes, why)) return true;
    printError(QStringLiteral("%1: %2").arg(path, why));
    return false;
}

// The probabilistic results of all samples: the files and the summary on standard output.
int finishProbabilistic(const StudyFile& file, const velda::StudyRunner& runner,
                        const std::vector<velda::SampleRow>& rows, bool json) {
    const velda::StudySummary s = velda::summarise(rows);
    // The lowest sample's critical surface, for the graph.
    std::vector<velda::Point> lowest;
    for (const velda::SampleRow& row : rows)
        if (row.index == s.lowestIndex && row.fs) {
            const velda::Problem p = velda::applyInputs(runner.problem(), file.study, row.inputs);
            const velda::Slope slope(p);
            if (file.study.mode == velda::Study::Mode::Surface)
                lowest = runner.surface();
            else if (const velda::AnalysisResult r = velda::analyse(p, slope); r.found)
                lowest = r.best.sliced.surface;
        }
    const auto taylor = velda::taylorEstimate(runner, file.study);
    const QByteArray results = probabilisticJson(file, rows, taylor, runner.method(), lowest);
    if (!writeStudyOutput(studyOutput(file.path, QStringLiteral(".results.json")), results) ||
        !writeStudyOutput(studyOutput(file.path, QStringLiteral(".samples.csv")), samplesCsv(file, rows)))
        return kFailed;
    if (json) {
        std::fputs(results.constData(), stdout);
        return kOk;
    }
    std::printf("%llu samples (%llu without a factor of safety), %s\n",
                static_cast<unsigned long long>(s.samples), static_cast<unsigned long long>(s.failed),
                runner.method().c_str());
    std::printf("Mean factor of safety %.4f, standard deviation %.4f\n", s.mean, s.sd);
    std::printf("Probability of failure %.5f (95 %% interval %.5f to %.5f)\n", s.pf, s.pfLow, s.pfHigh);
    std::printf("Reliability index %.3f (normal), %.3f (lognormal)\n", s.betaNormal, s.betaLognormal);
    if (taylor.why.empty())
        std::printf(
            "First-order estimate: factor %.4f at the means, standard deviation %.4f, reliability index "
            "%.3f\n",
            taylor.fsAtMeans, taylor.sd, taylor.betaNormal);
    else
        std::printf("No first-order estimate: %s\n", taylor.why.c_str());
    return kOk;
}

int studyMerge(const QStringList& args) {
    if (args.size() < 2 || args.contains(QStringLiteral("--help")))
        return usage(
            QStringLiteral("study merge takes the study file and its parts: study merge STUDY PART..."));
    QString error;
    const auto file = readStudyFile(args[0], error);
    if (!file) {
        printError(QStringLiteral("%1: %2").arg(args[0], error));
        return kFailed;
    }
    QList<QByteArray> parts;
    for (const QString& name : args.mid(1)) {
        QFile f;
        QString why;
        if (!fileaccess::openForReading(f, name, why)) {
            printError(QStringLiteral("%1: %2").arg(name, why));
            return kFailed;
        }
        parts << f.readAll();
    }
    const auto rows = mergeParts(*file, parts, args.mid(1), error);
    if (!rows) {
        printError(error);
        return kFailed;
    }
    const auto problem = readStudyProblem(*file, error);
    if (!problem) {
        printError(error);
        return kFailed;
    }
    try {
        const velda::StudyRunner runner(*problem, file->study);
        return finishProbabilistic(*file, runner, *rows, false);
    } catch (const std::exception& e) {
        printError(QStringLiteral("%1: %2").arg(args[0], QString::fromStdString(e.what())));
        return kFailed;
    }
}

int study(const QStringList& args) {
    if (!args.isEmpty() && args.first() == QLatin1String("merge")) return studyMerge(args.mid(1));
    CommandLine line(
        command("study"),
        {{QStringLiteral("json"), QStringLiteral("Print the results as JSON.")},
         {QStringLiteral("samples"), QStringLiteral("Run only samples FROM to TO - 1 and write a part file."),
          QStringLiteral("FROM:TO")},
         {QStringLiteral("threads"), QStringLiteral("Threads to use (default: every core)."),
          QStringLiteral("N"), QStringLiteral("0")},
         {QStringLiteral("progress-lines"),
          QStringLiteral("For a program that runs this one: \"progress DONE TOTAL 0\" lines on standard "
                         "output while the samples run.")}});
    if (const int done = line.parse(args); done >= 0) return done;
    bool ok = false;
    const unsigned threads = line.value(QStringLiteral("threads")).toUInt(&ok);
    if (!ok || threads > 256)
        return usage(QStringLiteral("--threads needs a number from 1 to 256"), line.help());
    QString error;
    const QString path = line.positional().first();
    const auto file = readStudyFile(path, error);
    if (!file) {
        printError(QStringLiteral("%1: %2").arg(path, error));
        return kFailed;
    }
    uint64_t from = 0, to = file->study.samples;
    const bool part = line.isSet(QStringLiteral("samples"));
    if (part) {
        const QStringList range = line.value(QStringLiteral("samples")).split(QLatin1Char(':'));
        bool a = false, b = false;
        if (range.size() == 2) {
            from = range[0].toULongLong(&a);
            to = range[1].toULongLong(&b);
        }
        if (!a || !b || from >= to || to > file->study.samples)
            return usage(
                QStringLiteral("--samples needs FROM:TO with 0 <= FROM < TO <= %1").arg(file->study.samples),
                line.help());
    }
    const auto problem = readStudyProblem(*file, error);
    if (!problem) {
        printError(error);
        return kFailed;
    }
    // Ctrl+C stops the study as it stops a run.
    RunWatch watch(line.isSet(QStringLiteral("progress-lines")) ? RunWatch::Lines
                   : ::isatty(STDERR_FILENO)                    ? RunWatch::Bar
                                                                : RunWatch::Quiet,
                   "samples");
    try {
        const velda::StudyRunner runner(*problem, file->study);
        const bool json = line.isSet(QStringLiteral("json"));
        switch (file->analysis) {
        case StudyFile::Analysis::Sensitivity: {
            const velda::Sensitivity sweep =
                velda::sensitivity(runner, file->study, file->sweepPoints, file->sweepK);
            const auto& lines = sweep.lines;
            const QByteArray out = sensitivityJson(*file, sweep, runner.method());
            if (!writeStudyOutput(studyOutput(file->path, QStringLiteral(".results.json")), out))
                return kFailed;
            if (json) {
                std::fputs(out.constData(), stdout);
            } else {
                const QStringList names = variableNames(file->study);
                for (size_t v = 0; v < lines.size(); ++v)
                    std::printf("%-28s swing %.4f\n",
                                names.value(static_cast<qsizetype>(v)).toLocal8Bit().constData(),
                                lines[v].swing);
            }
            return kOk;
        }
        case StudyFile::Analysis::Back: {
            const velda::BackAnalysis b = velda::backAnalyse(runner, file->study, file->backVariable,
                                                             file->backLow, file->backHigh, file->backTarget);
            const QByteArray out = backJson(*file, b, runner.method());
            if (!writeStudyOutput(studyOutput(file->path, QStringLiteral(".results.json")), out))
                return kFailed;
            if (json)
                std::fputs(out.constData(), stdout);
            else if (b.bracketed)
                std::printf("%s = %.6g gives a factor of safety of %.4f (%d iterations)\n",
                            variableNames(file->study)
                                .value(static_cast<qsizetype>(file->backVariable))
                                .toLocal8Bit()
                                .constData(),
                            b.value, b.fs, b.iterations);
            if (!b.bracketed) printError(QString::fromStdString(b.message));
            return b.bracketed ? kOk : kFailed;
        }
        case StudyFile::Analysis::Probabilistic: break;
        }
        const auto rows =
            velda::runSamples(runner, file->study, from, to, threads, [&watch](const velda::RunProgress& p) {
                return watch.report(static_cast<qint64>(p.done), static_cast<qint64>(p.total), 0);
            });
        watch.finish();
        if (part) {
            const QString name =
                studyOutput(file->path, QStringLiteral(".part-%1-%2.json").arg(from).arg(to));
            if (!writeStudyOutput(name, partJson(*file, from, to, rows))) return kFailed;
            std::printf("%s\n", name.toLocal8Bit().constData());
            return kOk;
        }
        return finishProbabilistic(*file, runner, rows, json);
    } catch (const velda::RunCancelled&) {
        printError(QStringLiteral("The study was stopped; nothing was written."));
        return kCancelled;
    } catch (const std::exception& e) {
        printError(QStringLiteral("%1: %2").arg(path, QString::fromStdString(e.what())));
        return kFailed;
    }
}

int check(const QStringList& args) {
    CommandLine line(
        command("check"),
        {{QStringLiteral("json"), QStringLiteral("The findings as JSON, as the engine writes them.")}});
    if (const int done = line.parse(args); done >= 0) return done;
    const QString path = line.positional().first();
    std::vector<velda::Finding> findings;
    QFile file;
    if (QString why; !fileaccess::openForReading(file, path, why)) {
        findings.push_back({true, "problem", 0, QStringLiteral("%1: %2").arg(path, why).toStdString()});
    } else if (file.size() > static_cast<qint64>(problemformat::kMaxFileBytes)) {
        findings.push_back({true, "problem", 0,
                            QStringLiteral("%1 is larger than %2; it is no problem file.")
                                .arg(path, QLatin1String(problemformat::kMaxFileText))
                                .toStdString()});
    } else {
        std::string error;
        const QByteArray text = file.readAll();
        if (const auto problem = velda::readProblem(text.toStdString(), error))
            findings = velda::checkProblem(*problem);
        else
            findings.push_back({true, "problem", 0, "The problem file is not valid.\n" + error});
    }
    const std::string json = velda::findingsJson(findings);
    bool errors = false;
    if (line.isSet(QStringLiteral("json"))) {
        std::fputs(json.c_str(), stdout);
        for (const velda::Finding& f : findings) errors = errors || f.error;
    } else {
        // The program's words for where each finding is, as its Model Check window shows them.
        for (const ModelFinding& f :
             parseFindings(QByteArray::fromStdString(json)).value_or(QList<ModelFinding>{})) {
            QString message = f.message;
            message.replace('\n', QLatin1String(" "));
            std::printf("%s: %s: %s\n", f.error ? "error" : "warning", qPrintable(findingPlace(f)),
                        message.toLocal8Bit().constData());
            errors = errors || f.error;
        }
        if (findings.empty()) std::printf("%s\n", qPrintable(checkmsg::kNone));
    }
    return errors ? kFailed : kOk;
}

int examplesFolder(const QStringList& args) {
    CommandLine line(command("examples"), {});
    if (const int done = line.parse(args); done >= 0) return done;
    const QString folder = examples::DefaultUserFolder();
    QString why;
    if (!examples::InstallForUser(examples::BundledFolder(QCoreApplication::applicationDirPath()), folder,
                                  &why)) {
        printError(QStringLiteral("dizirovi-cli: ") + why);
        return kFailed;
    }
    std::printf("%s\n", qPrintable(folder));
    return kOk;
}

} // namespace

int main(int argc, char* argv[]) {
    // File names reach Qt as UTF-8 text: a name that is not valid UTF-8 would be read as another
    // (missing) file and written under another name, so it is refused.
    for (int i = 1; i < argc; ++i)
        if (!QUtf8StringView(argv[i]).isValidUtf8()) {
            std::fputs("dizirovi-cli: the argument \"", stderr);
            std::fputs(argv[i], stderr);
            std::fputs("\" is not valid UTF-8 text; this program can only work with files whose names are "
                       "UTF-8. Rename the file.\n",
                       stderr);
            return kFailed;
        }
    // Drawing needs fonts, so rendering runs a (windowless) GUI application.
    const bool drawing = argc > 1 && QByteArray(argv[1]) == "render";
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = drawing ? std::make_unique<QGuiApplication>(argc, argv)
                                                    : std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) return usage(QString());
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        std::fputs(toolHelp().toLocal8Bit().constData(), stdout);
        return kOk;
    }
    if (name == QLatin1String("--version")) {
        std::printf("%s\n", release::kVersion);
        return kOk;
    }
    if (name == QLatin1String("convert")) return convert(args);
    if (name == QLatin1String("run")) return run(args);
    if (name == QLatin1String("render")) return render(args);
    if (name == QLatin1String("slices")) return slices(args);
    if (name == QLatin1String("examples")) return examplesFolder(args);
    if (name == QLatin1String("check")) return check(args);
    if (name == QLatin1String("study")) return study(args);
    return usage(QStringLiteral("unknown command '%1'").arg(name));
}

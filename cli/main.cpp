// dizirovi-cli: the command-line front end for batch work without the window.
#include "base/Errors.h"
#include "format/NumberFormat.h"
#include "graph/GraphView.h"
#include "model/AnalysisRun.h"
#include "model/ProgramData.h"
#include "model/UserExamples.h"

#include <QCoreApplication>
#include <QDir>
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

#include <cstdio>
#include <memory>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "Usage:\n"
    "  dizirovi-cli convert INPUT OUTPUT [--older] [--units english|si|other]\n"
    "      Reads the problem file INPUT (written by an earlier release with --older), optionally\n"
    "      converts it to another unit system, and writes it to OUTPUT in the current layout.\n"
    "  dizirovi-cli run PROBLEM [--older]\n"
    "      Analyses the problem with the engine beside this program; the output report, plot file\n"
    "      and result file appear beside PROBLEM. Exits 0 when the engine ran, 1 when it did not.\n"
    "  dizirovi-cli examples\n"
    "      Prints the folder of the user's copies of the example problems, copying them there first\n"
    "      when the folder does not exist yet.\n"
    "  dizirovi-cli render PROBLEM OUTPUT [--width W] [--height H] [--layers LIST]\n"
    "      Draws the results of PROBLEM (its .sl4p plot file) into OUTPUT: .png (W x H pixels,\n"
    "      default 1280 x 800) or .pdf (a landscape page). LIST names layers by their captions,\n"
    "      separated by commas, e.g. \"Boundary Lines,Critical Slip Surface,Scale\".\n";

void printError(const QString& text) {
    // Messages use a carriage return as line break; a terminal wants a line feed.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
    std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
}

int usage(const QString& why) {
    if (!why.isEmpty()) printError(QStringLiteral("dizirovi-cli: ") + why);
    std::fputs(kUsageText, stderr);
    return kUsage;
}

struct ConvertOptions {
    QString input;
    QString output;
    bool older = false;
    int units = 0; // 0: keep
};

int convert(const QStringList& args) {
    ConvertOptions o;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--older")) {
            o.older = true;
        } else if (a == QLatin1String("--units")) {
            if (++i >= args.size()) return usage(QStringLiteral("--units needs english, si or other"));
            const QString u = args[i].toLower();
            if (u == QLatin1String("english"))
                o.units = 1;
            else if (u == QLatin1String("si"))
                o.units = 2;
            else if (u == QLatin1String("other"))
                o.units = 3;
            else
                return usage(QStringLiteral("unknown unit system '%1'").arg(args[i]));
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("unknown option '%1'").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2) return usage(QStringLiteral("convert takes an input and an output file"));
    o.input = positional[0];
    o.output = positional[1];

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
    QFile f(resultFile);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QJsonArray surfaces = QJsonDocument::fromJson(f.readAll()).object().value("surfaces").toArray();
    if (surfaces.isEmpty()) return {};
    return QString::fromStdString(numfmt::fixed(surfaces.first().toObject().value("fs").toDouble(), 3));
}

int run(const QStringList& args) {
    QStringList positional;
    bool older = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--older"))
            older = true;
        else if (a.startsWith(QLatin1String("--")))
            return usage(QStringLiteral("unknown option '%1'").arg(a));
        else
            positional << a;
    }
    if (positional.size() != 1) return usage(QStringLiteral("run takes one problem file"));
    const QString problem = QFileInfo(positional.first()).absoluteFilePath();

    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, problem, !older, nullptr, &error));
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(positional.first(), error));
        return kFailed;
    }
    // Each run hands over in a folder of its own, so runs on several problems can go in parallel.
    QTemporaryDir working;
    if (!working.isValid()) {
        printError(QStringLiteral("dizirovi-cli: no private working folder: %1").arg(working.errorString()));
        return kFailed;
    }
    engine::RunRequest request;
    request.problem = problem;
    request.resultsFor = problem;
    request.programFolder = QCoreApplication::applicationDirPath();
    request.workingFolder = working.path();
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
    const engine::RunOutcome outcome = engine::Run(request);
    if (outcome.kind != engine::RunOutcome::Kind::Computed) {
        printError(outcome.message);
        if (!outcome.reason.isEmpty()) printError(outcome.reason);
        return kFailed;
    }
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

// A landscape Letter page for .pdf, else a picture of width x height pixels.
bool writePicture(const QString& output, const PlotModel& model, const GraphView& view, int width,
                  int height) {
    if (output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return GraphView::WritePdfPage(output, model, view);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    view.DrawGraph(p, model, Qt::white, image.rect());
    p.end();
    return image.save(output);
}

int render(const QStringList& args) {
    QStringList positional;
    int width = 1280, height = 800;
    QString layers;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto number = [&](int& target) {
            bool ok = false;
            if (++i < args.size()) target = args[i].toInt(&ok);
            return ok && target >= 50 && target <= 20000;
        };
        if (a == QLatin1String("--width")) {
            if (!number(width))
                return usage(QStringLiteral("--width needs a number of pixels from 50 to 20000"));
        } else if (a == QLatin1String("--height")) {
            if (!number(height))
                return usage(QStringLiteral("--height needs a number of pixels from 50 to 20000"));
        } else if (a == QLatin1String("--layers")) {
            if (++i >= args.size()) return usage(QStringLiteral("--layers needs a list of layer captions"));
            layers = args[i];
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("unknown option '%1'").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2)
        return usage(QStringLiteral("render takes a problem file and an output file"));
    const QString output = positional[1];
    const bool pdf = output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (!pdf && !output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return usage(QStringLiteral("the output must end in .png or .pdf"));

    ProblemSession session;
    QString error;
    session.adopt(TProgramData::CreateFromFile(session, positional[0], true, nullptr, &error));
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(positional[0], error));
        return kFailed;
    }
    const TProgramData& doc = session.document();
    PlotModel model;
    const PlotReadResult read =
        ReadPlotFile(engine::plotFile(doc.FileName), *session.tables().BoundCood, model);
    for (const QString& m : read.messages) printError(m);
    if (!read.failure.isEmpty()) {
        printError(read.failure);
        return kFailed;
    }
    if (read.noData) {
        // A picture of nothing would pass for a result.
        if (read.messages.isEmpty()) printError(plotmsg::kNoData);
        return kFailed;
    }
    GraphView view;
    view.BlockOrIrregular = doc.BlockOn || doc.IrregularOn;
    if (!layerSwitches(layers, view.Switches)) return kUsage;
    // A layer the file has no data for draws nothing, as the window keeps its switch disabled.
    view.Switches &= read.enabled | LayerSet().set(bit(Layer::Scale));
    view.FitToView(model, width, height);
    if (!writePicture(output, model, view, width, height)) {
        printError(QStringLiteral("%1: the picture could not be written").arg(output));
        return kFailed;
    }
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
    const QString command = args.takeFirst();
    if (command == QLatin1String("convert")) return convert(args);
    if (command == QLatin1String("run")) return run(args);
    if (command == QLatin1String("render")) return render(args);
    if (command == QLatin1String("examples")) {
        if (!args.isEmpty()) return usage(QStringLiteral("examples takes no arguments"));
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
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    return usage(QStringLiteral("unknown command '%1'").arg(command));
}

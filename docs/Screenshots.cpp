// Takes the user's manual's screenshots at build time: the tutorial's problem is opened in the real
// main window (offscreen), its dialogs and tables are shown, the analysis is run with the engine
// beside this tool, and each window is saved as a PNG. It also writes the tutorial's factor of
// safety, so the manual states the number the program shows.
// Usage: manual_screenshots TUTORIAL-PROBLEM OUTPUT-FOLDER
#include "app/Application.h"
#include "app/MainForm.h"
#include "dialogs/DlgSlopeBoundary.h"
#include "model/AnalysisRun.h"
#include "model/RunSummary.h"
#include "model/TableSet.h"
#include "tables/TableFormController.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

namespace {

// The manual shows windows, not message boxes: messages go to standard error.
class QuietMessages : public MessageSink {
public:
    void information(const QString& text) override { note(text); }
    void warning(const QString& text) override { note(text); }
    void error(const QString& text) override { note(text); }
    void message(const QString& text) override { note(text); }
    Answer question(const QString& text) override {
        note(text);
        return Answer::No;
    }

private:
    static void note(const QString& text) {
        std::fprintf(stderr, "manual_screenshots: %s\n", qPrintable(text));
    }
};

class NoFiles : public FileChooser {
public:
    std::optional<Choice> open(const QString&, const QList<FileFilter>&, int, const QString&,
                               const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> save(const QString&, const QString&, const QList<FileFilter>&,
                                const QString&) override {
        return std::nullopt;
    }
};

class NoLauncher : public Launcher {
public:
    bool startDetached(const QString&, const QStringList&) override { return false; }
    std::optional<int> execute(const QString&, const QStringList&) override { return std::nullopt; }
    bool openUrl(const QUrl&) override { return false; }
};

bool save(QWidget* w, const QString& folder, const char* name) {
    QApplication::processEvents();
    // A subwindow shows the whole of what it holds.
    if (qobject_cast<QMdiSubWindow*>(w)) w->resize(w->sizeHint().expandedTo(w->size()));
    QApplication::processEvents();
    const bool ok = w->grab().save(QDir(folder).filePath(QLatin1String(name)));
    if (!ok) std::fprintf(stderr, "manual_screenshots: %s could not be written\n", name);
    return ok;
}

QMdiSubWindow* frameOf(QWidget* w) {
    return qobject_cast<QMdiSubWindow*>(w->parentWidget());
}

// The critical factor of safety from the result file, three decimals as the graph shows it.
QString criticalFactor(const QString& resultFile) {
    const auto summary = readRunSummary(resultFile);
    return summary && summary->criticalFs ? QString::number(*summary->criticalFs, 'f', 3) : QString();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    QApplication::setWindowIcon(DiziroviIcon());
    if (argc != 3) {
        std::fputs("usage: manual_screenshots TUTORIAL-PROBLEM OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);
    QTemporaryDir work;
    const QString problem = work.filePath(QStringLiteral("Tutorial.sl4d"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), problem)) {
        std::fputs("manual_screenshots: the tutorial problem cannot be read\n", stderr);
        return 1;
    }
    QSettings settings(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QuietMessages messages;
    NoFiles files;
    NoLauncher launcher;
    ProblemSession session;
    TMainForm form(session, {messages, files, launcher, settings}, {problem});
    form.resize(1000, 720);
    form.show();
    form.FormShow();

    bool ok = true;
    form.SlopeBoundaryClick();
    ok = save(&form, folder, "main-window.png") && ok;
    session.tables().BoundCood->ShowWindow();
    ok = save(frameOf(dynamic_cast<QWidget*>(session.tables().BoundCood->Window())), folder,
              "boundary-table.png") &&
         ok;
    session.tables().SoilData->ShowWindow();
    ok = save(frameOf(dynamic_cast<QWidget*>(session.tables().SoilData->Window())), folder,
              "soil-properties.png") &&
         ok;
    form.SearchItemClick(3);
    ok = save(form.mdiArea()->activeSubWindow(), folder, "bishop-dialog.png") && ok;
    form.CloseChildWindows();

    form.RunAnalysisClick();
    const QString fs = criticalFactor(engine::resultFile(problem));
    if (form.resultsWindow())
        ok = save(frameOf(form.resultsWindow()), folder, "results.png") && ok;
    else
        ok = false;
    form.ViewGraphicsClick();
    TfrmGraph* graph = form.graphWindow();
    if (!graph || fs.isEmpty()) {
        std::fputs("manual_screenshots: the tutorial did not analyse\n", stderr);
        return 1;
    }
    for (Layer l : {Layer::CriticalSlipSurface, Layer::SolutionInformation, Layer::AllTrialSurfaces})
        if (!graph->checkBox(l)->isChecked()) graph->checkBox(l)->click();
    ok = save(frameOf(graph), folder, "graph.png") && ok;
    form.CloseChildWindows();

    // The model view with the run's critical surface, and the check of a mistyped cohesion.
    form.ViewModelClick();
    if (TModelWindow* model = form.modelWindow()) {
        frameOf(model)->resize(900, 560);
        QCoreApplication::processEvents();
        model->Reload();
        ok = save(frameOf(model), folder, "model-view.png") && ok;
        // The critical surface picked, with a slice marked.
        form.surfaceSelection().select(1);
        form.surfaceSelection().mark(12);
        if (form.surfaceWindow())
            ok = save(frameOf(form.surfaceWindow()), folder, "surface-slices.png") && ok;
        else
            ok = false;
    } else {
        ok = false;
    }
    form.CloseChildWindows();
    session.tables().SoilData->Cell(2, 0).SetFloat(-5);
    form.CheckModelClick();
    if (form.checkWindow())
        ok = save(frameOf(form.checkWindow()), folder, "model-check.png") && ok;
    else
        ok = false;

    QFile number(QDir(folder).filePath(QStringLiteral("tutorial-fs.txt")));
    ok = number.open(QIODevice::WriteOnly) && number.write(fs.toLatin1()) > 0 && ok;
    return ok ? 0 : 1;
}

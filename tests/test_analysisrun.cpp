// Run Analysis and the Computation menu, with the real engine and with stand-ins.
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "base/FileAccess.h"
#include "base/TextEditor.h"
#include "format/FolderLock.h"
#include "model/AnalysisRun.h"
#include "model/RunSummary.h"
#include "tables/TableFormController.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

using Answer = MessageSink::Answer;

class AnalysisRun : public MainWindowFixture {
protected:
    QTemporaryDir program; // the program's folder

    void SetUp() override {
        MainWindowFixture::SetUp();
        start({}, program.path());
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        engine::libraryObject().reset();
    }
    void installEngine(const QString& library = QStringLiteral(DIZIROVI_BIN_DIR "/VELDA2015_DLL.so")) {
        ASSERT_TRUE(QFile::copy(library, program.filePath("VELDA2015_DLL.so")));
    }
    QString example(const char* name) {
        const QString path = dir.filePath(name);
        QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/") + name, path);
        return path;
    }
    bool namesLeft() const { return QFile::exists(program.filePath("names.dat")); }
};

TEST_F(AnalysisRun, NeverSavedDocumentWithSaveAsCancelledStartsNothing) {
    installEngine();
    // A model the check passes, never saved under a name of its own.
    form->OpenFileName(example("Bishop.sl4d"));
    form->document().FileName = kNewFileName;
    files.saves.push_back(std::nullopt);
    form->RunAnalysisClick();
    ASSERT_FALSE(files.asked.empty());
    EXPECT_EQ(files.asked.back().kind, "save");
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(namesLeft());

    // An empty new problem is stopped by the check before any Save As: the list says why.
    files.asked.clear();
    form->FileNewClick();
    form->RunAnalysisClick();
    EXPECT_TRUE(files.asked.empty());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().startsWith("warning: The model has"))
        << messages.shown.first().toStdString();
}

TEST_F(AnalysisRun, RealEngineOnAnExample) {
    installEngine();
    const QString problem = example("Bishop.sl4d");
    form->OpenFileName(problem);
    QFile::copy(problem, dir.filePath("Bishop.sl4p")); // an old plot file is deleted before the call
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.first(), "information: " + runmsg::kCompleted);
    for (const char* ext : {".sl4o", ".sl4p", ".sl4r"})
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Bishop") + ext)));
    EXPECT_EQ(form->document().PlotFileName, dir.filePath("Bishop.sl4p"));
    QFile plot(dir.filePath("Bishop.sl4p"));
    ASSERT_TRUE(plot.open(QIODevice::ReadOnly));
    EXPECT_TRUE(plot.readAll().contains("TEN")) << "the engine wrote a new plot file";
    EXPECT_FALSE(namesLeft());
    EXPECT_FALSE(engine::libraryObject()) << "no library object survives a run";
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath()) << "the working directory is put back";

    // The menu now offers the output and the notes.
    form->ComputationMenuClick();
    EXPECT_TRUE(form->action("EditInputText")->isEnabled());
    EXPECT_TRUE(form->action("EditOutputText")->isEnabled());
    EXPECT_TRUE(form->action("ErrorMessageNotes")->isEnabled());

    // The outcome is in the window at once, as the result file says it.
    ASSERT_TRUE(form->resultsWindow());
    const QString summary = form->resultsWindow()->text();
    EXPECT_TRUE(summary.contains("Critical factor of safety 0.985 (Bishop simplified)"))
        << summary.toStdString();
    for (const char* method :
         {"Ordinary", "Janbu simplified", "Janbu corrected", "Spencer", "Morgenstern-Price",
          "200 surfaces generated", "(side forces inclined 23.37 degrees)"})
        EXPECT_TRUE(summary.contains(method)) << method;
    EXPECT_TRUE(summary.contains("rejected: does not rise through the ground")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Critical circle: centre (29.667, 53.367), radius 28.367 m"))
        << summary.toStdString();
    EXPECT_EQ(form->mdiArea()->activeSubWindow()->widget(), form->resultsWindow());

    // The report, searchable, in the window too.
    form->ViewMenuClick();
    EXPECT_TRUE(form->action("ViewResults")->isEnabled());
    ASSERT_TRUE(form->action("ViewReport")->isEnabled());
    form->action("ViewReport")->trigger();
    TReportWindow* report = form->reportWindow();
    ASSERT_TRUE(report);
    // Opened to look something up: what the user types goes to Find.
    EXPECT_EQ(report->focusProxy(), report->findField());
    if (QApplication::activeWindow() == form.get()) {
        EXPECT_EQ(QApplication::focusWidget(), report->findField());
    }
    QFile written(dir.filePath("Bishop.sl4o"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(report->text().toUtf8(), written.readAll());
    ASSERT_TRUE(report->findNext("morgenstern"));
    EXPECT_EQ(report->selectedText(), "Morgenstern");
    EXPECT_FALSE(report->findNext("no such words in a report"));
    form->action("ViewReport")->trigger();
    EXPECT_EQ(form->reportWindow(), report) << "one report window, brought forward";

    // The next run's files replace what the windows show; the graph of results that are gone goes.
    form->ViewGraphicsClick();
    ASSERT_TRUE(form->graphWindow());
    EXPECT_NEAR(form->graphState().model.FactorOfSafety, 0.985, 5e-4);
    form->document().MinElevation = 100; // every circle goes below it
    form->SetModified(true);
    messages.shown.clear();
    form->RunAnalysisClick();
    ASSERT_EQ(form->reportWindow(), report);
    EXPECT_TRUE(report->text().contains("No admissible failure surface")) << report->text().toStdString();
    EXPECT_TRUE(form->resultsWindow()->text().contains("No admissible failure surface"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form->GraphOpen) << "no plot file, no graph of the last one";
    form->ViewMenuClick();
    EXPECT_FALSE(form->action("ViewGraphics")->isEnabled());

    // A run that computes again: the graph opened on it follows the next.
    form->document().MinElevation = 20;
    form->document().InitiationPoints = 12;
    form->SetModified(true);
    form->RunAnalysisClick();
    form->ViewGraphicsClick();
    const double first = form->graphState().model.FactorOfSafety;
    form->document().TermLeftX = 58; // exits far up the crest: another critical circle
    form->SetModified(true);
    form->RunAnalysisClick();
    ASSERT_TRUE(form->GraphOpen);
    QFile result(dir.filePath("Bishop.sl4r"));
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const auto latest = parseRunSummary(result.readAll(), "r");
    ASSERT_TRUE(latest && latest->criticalFs);
    EXPECT_GT(std::fabs(*latest->criticalFs - first), 0.01) << "the two runs differ";
    EXPECT_NEAR(form->graphState().model.FactorOfSafety, *latest->criticalFs, 5e-4) << first;
}

// An engine that computes nothing says why in its message and in the results window.
TEST_F(AnalysisRun, TheEnginesReasonIsShown) {
    installEngine();
    form->OpenFileName(example("Bishop.sl4d"));
    form->document().MinElevation = 100; // legal, but every circle goes below it
    form->SetModified(true);
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    const QString reason = "No admissible failure surface was found";
    EXPECT_TRUE(messages.shown.first().startsWith("warning: " + runmsg::kNotPerformed))
        << messages.shown.first().toStdString();
    EXPECT_TRUE(messages.shown.first().contains(reason)) << messages.shown.first().toStdString();
    EXPECT_TRUE(messages.shown.first().contains("Bishop.sl4o says the same"));
    ASSERT_TRUE(form->resultsWindow());
    EXPECT_TRUE(form->resultsWindow()->text().contains(runmsg::kNotPerformed));
    EXPECT_TRUE(form->resultsWindow()->text().contains(reason))
        << form->resultsWindow()->text().toStdString();
    EXPECT_FALSE(form->resultsWindow()->text().contains("Critical factor"));
}

TEST_F(AnalysisRun, EngineThatPerformsNothing) {
    installEngine(QStringLiteral(DIZIROVI_RETURNS_ONE_LIBRARY));
    form->OpenFileName(example("Janbu.sl4d"));
    form->document().PlotFileName = "previous.sl4p";
    // The previous run's report says it completed; the stand-in engine writes no new one.
    QFile old(dir.filePath("Janbu.sl4o"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("Factor of safety of the critical surface: 1.234");
    old.close();
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.first(), "warning: " + runmsg::notWritten(dir.path()));
    EXPECT_FALSE(messages.shown.first().contains("Janbu.sl4o")) << "never points at a stale report";
    EXPECT_FALSE(QFile::exists(dir.filePath("Janbu.sl4o")));
    EXPECT_EQ(form->document().PlotFileName, "previous.sl4p") << "kept when the engine did not compute";
    EXPECT_FALSE(namesLeft());
}

TEST_F(AnalysisRun, LibraryMissingOrWithoutEntryPoint) {
    form->OpenFileName(example("Janbu.sl4d"));
    form->RunAnalysisClick();
    // The specified sentence first, then the loader's reason, so a missing and a broken library
    // can be told apart.
    const QString library = QDir(program.path()).filePath("VELDA2015_DLL.so");
    EXPECT_EQ(messages.shown, QStringList{"warning: Attempt to initialize DLL failed\r\r"
                                          "Library could not be located (" +
                                          library + ")"});
    EXPECT_FALSE(engine::libraryObject());
    EXPECT_FALSE(namesLeft());
    messages.shown.clear();
    installEngine(QStringLiteral(DIZIROVI_NOENTRY_LIBRARY));
    form->RunAnalysisClick();
    EXPECT_EQ(messages.shown, QStringList{"warning: Attempt to initialize DLL failed\r\r"
                                          "The library " +
                                          library + " does not export _IVELDA."});
    EXPECT_FALSE(engine::libraryObject());
    messages.shown.clear();
    QFile::remove(library);
    QFile notLibrary(library);
    ASSERT_TRUE(notLibrary.open(QIODevice::WriteOnly));
    notLibrary.write("not a library");
    notLibrary.close();
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("warning: Attempt to initialize DLL failed\r\r"
                                             "Library failed to properly initialize: "))
        << messages.shown[0].toStdString();
}

// A problem saved under one of its own result names, or under a name with a line break, is never
// handed to the engine: nothing is deleted, nothing written.
TEST_F(AnalysisRun, NamesThatWouldLoseFilesAreRefused) {
    installEngine();
    for (const char* name : {"dam.sl4p", "dam.sl4o", "dam.sl4r", "da\nm.sl4d", "dam\r.sl4d"}) {
        SCOPED_TRACE(name);
        messages.shown.clear();
        const QString problem = dir.filePath(name);
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), problem));
        form->OpenFileName(problem);
        form->RunAnalysisClick();
        ASSERT_EQ(messages.shown.size(), 1);
        const bool lineBreak = QString(name).contains('\n') || QString(name).contains('\r');
        EXPECT_EQ(messages.shown[0], "warning: " + (lineBreak ? runmsg::lineBreakInName(problem)
                                                              : runmsg::resultNameIsProblem(problem)));
        QFile kept(problem);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << "the problem file is still there";
        EXPECT_TRUE(kept.readAll().startsWith("PROFIL\r\n"));
        EXPECT_FALSE(namesLeft());
        EXPECT_EQ(QDir(dir.path()).entryList({"*.sl4o", "*.sl4r"}, QDir::Files).size(),
                  QString(name).endsWith(".sl4o") || QString(name).endsWith(".sl4r") ? 1 : 0);
        QFile::remove(problem);
    }
}

// The old results are removed only while the folder is locked as the engine locks it to publish:
// a run still publishing its set finishes first, and a run killed while waiting removes nothing.
TEST_F(AnalysisRun, OldResultsAreRemovedUnderTheFolderLock) {
    installEngine();
    const QString problem = example("UserSurface.sl4d");
    for (const char* ext : {".sl4o", ".sl4p", ".sl4r"}) {
        QFile old(dir.filePath(QStringLiteral("UserSurface") + ext));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("older set");
    }
    engine::RunRequest request;
    request.problem = problem;
    request.programFolder = program.path();
    request.workingFolder = program.path();
    std::optional<engine::RunOutcome> outcome;
    std::thread runner;
    {
        const runfiles::FolderLocks held({QFile::encodeName(dir.path()).toStdString()});
        runner = std::thread([&] { outcome = engine::Run(request); });
        QThread::msleep(300);
        for (const char* ext : {".sl4o", ".sl4p", ".sl4r"})
            EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("UserSurface") + ext))) << ext;
    }
    runner.join();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, engine::RunOutcome::Kind::Computed);
    QFile report(dir.filePath("UserSurface.sl4o"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_NE(report.readAll(), "older set");
}

// Old results that cannot be removed stop the run before the engine could be mistaken for them.
TEST_F(AnalysisRun, OldResultsThatStay) {
    installEngine();
    form->OpenFileName(example("Janbu.sl4d"));
    QDir(dir.path()).mkpath("Janbu.sl4o/in the way");
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("warning: The results of the last analysis could not be "
                                             "removed:\r" +
                                             dir.filePath("Janbu.sl4o")))
        << messages.shown[0].toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("Janbu.sl4r"))) << "the engine was not called";
    EXPECT_FALSE(namesLeft());
}

// Started as ./run.sh starts it, with a relative problem path: the name stays good after the
// working directory moves (Error-Message Notes moves it to the program's folder).
TEST_F(AnalysisRun, StartedWithARelativePath) {
    installEngine();
    example("Bishop.sl4d");
    QDir::setCurrent(dir.path());
    start({"Bishop.sl4d"}, program.path());
    EXPECT_EQ(form->document().FileName, dir.filePath("Bishop.sl4d"));
    form->ErrorMessageNotesClick();
    for (int run = 0; run < 2; ++run) {
        messages.shown.clear();
        form->RunAnalysisClick();
        EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCompleted}) << "run " << run;
    }
    form->ViewGraphicsClick();
    ASSERT_TRUE(form->graphWindow());
    EXPECT_TRUE(form->graphWindow()->loaded());
    form->SetModified(true);
    EXPECT_EQ(form->FileSaveClick(), SaveOutcome::Saved);
    EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCompleted}) << "no error on the way";
}

TEST_F(AnalysisRun, SecondRunWhileALibraryObjectExists) {
    installEngine();
    form->OpenFileName(example("Janbu.sl4d"));
    engine::libraryObject() = std::make_unique<TDynamicLibrary>(QStringLiteral("busy"));
    form->RunAnalysisClick();
    EXPECT_EQ(messages.shown, QStringList{"warning: Attempt to reinitialize DLL"});
    EXPECT_FALSE(QFile::exists(dir.filePath("Janbu.sl4o")));
    EXPECT_FALSE(namesLeft());
}

// A run saves the problem: afterwards nothing is unsaved, and Open asks no question.
TEST_F(AnalysisRun, AfterARunNothingIsUnsaved) {
    installEngine();
    form->OpenFileName(example("Bishop.sl4d"));
    // A table window with a cell in hand, as it is after typing in it.
    TGridTable& boundary = *form->session().tables().BoundCood;
    boundary.ShowWindow();
    auto* table = dynamic_cast<TTableForm*>(boundary.Window());
    ASSERT_TRUE(table);
    table->grid()->setCurrentCell(0, 2);
    form->document().Title = "Changed";
    form->SetModified(true);
    form->RunAnalysisClick();
    EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCompleted});
    EXPECT_FALSE(form->IsModified());
    // Opening a menu commits the window again; an entry left as shown is no change.
    form->FileMenuClick();
    form->ComputationMenuClick();
    EXPECT_FALSE(form->IsModified());
    files.opens.push_back(std::nullopt);
    form->FileOpenClick();
    EXPECT_EQ(messages.shown.size(), 1) << "no question: " << messages.shown.last().toStdString();
}

// A failed save stops the run: the engine would analyse the older file on disk and report results
// for data the window no longer shows.
TEST_F(AnalysisRun, SaveErrorStopsTheRun) {
    installEngine();
    const QString problem = example("Janbu.sl4d");
    form->OpenFileName(problem);
    form->SetModified(true);
    // The problem file is replaced by something that is no file: the save refuses to write over it.
    QFile::remove(problem);
    QDir(dir.path()).mkdir("Janbu.sl4d");
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0],
              "message: An error occured during saving\r\r" + fileaccess::notAFile(problem));
    EXPECT_FALSE(QFile::exists(dir.filePath("Janbu.sl4o"))) << "the engine was not called";
    EXPECT_TRUE(form->IsModified());
}

TEST_F(AnalysisRun, MenuEnablingAndTheTextEditor) {
    form->ComputationMenuClick();
    EXPECT_FALSE(form->action("EditInputText")->isEnabled()) << "a never-saved problem has no file";
    EXPECT_FALSE(form->action("EditOutputText")->isEnabled());
    EXPECT_FALSE(form->action("ErrorMessageNotes")->isEnabled());
    const QString problem = example("Janbu.sl4d");
    form->OpenFileName(problem);
    form->ComputationMenuClick();
    EXPECT_TRUE(form->action("EditInputText")->isEnabled());
    EXPECT_FALSE(form->action("EditOutputText")->isEnabled());

    form->EditorPath = "/usr/bin/my editor --new-window";
    form->EditInputTextClick();
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].first, "/usr/bin/my");
    EXPECT_EQ(launcher.started[0].second, QStringList({"editor", "--new-window", problem}));
    form->EditorPath = "\"/opt/My Editor/edit\"";
    form->EditOutputTextClick();
    EXPECT_EQ(launcher.started[1].first, "/opt/My Editor/edit");
    EXPECT_EQ(launcher.started[1].second, QStringList({dir.filePath("Janbu.sl4o")}));
    form->ErrorMessageNotesClick();
    EXPECT_EQ(launcher.started[2].second.last(), QDir(program.path()).filePath("error-message.txt"));
    // A program whose path holds a blank, stored bare (as Browse chose it in earlier releases).
    const QString blank = dir.filePath("My Editor");
    QFile editor(blank);
    ASSERT_TRUE(editor.open(QIODevice::WriteOnly));
    editor.close();
    editor.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    form->EditorPath = blank;
    form->EditInputTextClick();
    EXPECT_EQ(launcher.started[3].first, blank);
    EXPECT_EQ(launcher.started[3].second, QStringList{problem});
    EXPECT_TRUE(messages.shown.isEmpty());

    launcher.canStart = false;
    form->EditInputTextClick();
    EXPECT_EQ(messages.shown, QStringList{"warning: " + editormsg::failed(blank)});
}

// The model check lists every error at once, stops the run before the engine touches a file, and
// a finding opens the table it is in.
TEST_F(AnalysisRun, TheCheckListsEveryErrorAndStopsTheRun) {
    installEngine();
    const QString problem = example("Bishop.sl4d");
    form->OpenFileName(problem);
    form->CheckModelClick();
    ASSERT_TRUE(form->checkWindow());
    EXPECT_EQ(form->checkWindow()->summary(), checkmsg::kNone);
    EXPECT_TRUE(messages.shown.isEmpty());

    QFile::copy(problem, dir.filePath("Bishop.sl4o")); // stands for the last run's report
    QFile original(problem);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray saved = original.readAll();
    original.close();
    TGridTable& soils = *session->tables().SoilData;
    soils.Cell(2, 0).SetFloat(-3); // cohesion
    form->document().SearchMethod = search::None;
    form->SetModified(true);
    form->RunAnalysisClick();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.first(), "warning: " + checkmsg::runStopped(2));
    const QList<ModelFinding>& found = form->checkWindow()->findings();
    ASSERT_EQ(errorCount(found), 2);
    EXPECT_TRUE(form->checkWindow()->summary().startsWith(
        "2 errors (the analysis will not run until they are mended), 0 warnings."))
        << form->checkWindow()->summary().toStdString();
    EXPECT_EQ(found.first().message, "Soil 1 has a negative cohesion.");
    EXPECT_EQ(findingPlace(found.first()), "Soil Properties, row 1");
    EXPECT_EQ(form->checkWindow()->list()->topLevelItem(0)->text(1), "Soil Properties, row 1");
    QFile old(dir.filePath("Bishop.sl4o"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.readAll().startsWith("PROFIL")) << "the engine never ran: the last report stays";
    EXPECT_FALSE(namesLeft());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), saved) << "the stopped run saved nothing over the problem file";
    EXPECT_TRUE(form->IsModified());

    Q_EMIT form->checkWindow()->list()->itemActivated(form->checkWindow()->list()->topLevelItem(0), 0);
    EXPECT_TRUE(soils.HasWindow()) << "the finding opened the Soil Properties table";
}

// The summary reads what the engine writes, and says why for anything else.
TEST(RunSummary, ReadsResultFilesAndRefusesTheRest) {
    for (const char* name : {"Bishop", "Block", "Irregular", "Janbu", "Spencer"}) {
        SCOPED_TRACE(name);
        const QString file = QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/golden/%1.sl4r").arg(name);
        QString why;
        const auto s = readRunSummary(file, &why);
        ASSERT_TRUE(s) << why.toStdString();
        EXPECT_TRUE(s->computed);
        ASSERT_TRUE(s->criticalFs);
        EXPECT_GT(*s->criticalFs, 0.3);
        EXPECT_EQ(s->methods.size(), 6);
        EXPECT_GT(s->generated, 0);
        EXPECT_TRUE(runSummaryHtml(*s).contains(QString::number(*s->criticalFs, 'f', 3)));
    }
    QTemporaryDir dir;
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"", false},
        {"not json at all", false},
        {"[1, 2, 3]", false},
        {R"({"release": "2015.4.2"})", false},
        {R"({"status": "not computed", "errors": ["The problem is not valid.\nLine 3."]})", true},
        {R"({"status": "computed", "methods": [{"name": "Spencer", "fs": null, "message": "no crossing"}],
             "surfaces": []})",
         true},
        {R"({"status": "computed", "counts": {"generated": 1e300, "admissible": 2.5, "rejected": {"x": -1}}})",
         true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString file = dir.filePath("r.sl4r");
        QString why;
        ASSERT_TRUE(fileaccess::writeWhole(file, c.text, why));
        const auto s = readRunSummary(file, &why);
        EXPECT_EQ(s.has_value(), c.ok) << why.toStdString();
        if (!s) {
            EXPECT_TRUE(why.contains("no result file")) << why.toStdString();
        }
        if (s && !s->computed) {
            EXPECT_EQ(notComputedReason(*s), "The problem is not valid.\nLine 3.");
            EXPECT_TRUE(runSummaryHtml(*s).contains("Line 3."));
        }
        if (s && s->computed && !s->methods.isEmpty()) {
            EXPECT_FALSE(s->criticalFs) << "no surface, no factor";
            ASSERT_EQ(s->methods.size(), 1);
            EXPECT_EQ(s->methods.first().detail, "no crossing");
        }
    }
    // Counts no whole number holds are not shown, never converted.
    const auto odd =
        parseRunSummary(R"({"status": "computed", "counts": {"generated": 1e300, "admissible": 3}})", "r");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->generated, -1);
    EXPECT_FALSE(runSummaryHtml(*odd).contains("generated"));
    QString why;
    EXPECT_FALSE(readRunSummary(dir.path(), &why)) << "a folder";
    EXPECT_FALSE(why.isEmpty());
}

TEST(DynamicLibrary, LoadingAndItsErrors) {
    TDynamicLibrary missing(QStringLiteral("/no/such/VELDA2015_DLL.so"));
    try {
        missing.Load();
        ADD_FAILURE();
    } catch (const EFileNotFoundError& e) {
        EXPECT_EQ(e.message(), "Library could not be located");
    }
    QTemporaryDir dir;
    QFile notLibrary(dir.filePath("text.so"));
    ASSERT_TRUE(notLibrary.open(QIODevice::WriteOnly));
    notLibrary.write("not a library");
    notLibrary.close();
    TDynamicLibrary bad(notLibrary.fileName());
    try {
        bad.Load();
        ADD_FAILURE();
    } catch (const EInitError& e) {
        EXPECT_EQ(e.message(), "Library failed to properly initialize");
        EXPECT_FALSE(bad.IsLoaded());
    }
    try {
        bad.GetProcedure("_IVELDA");
        ADD_FAILURE();
    } catch (const EDLLNotOpenError& e) {
        EXPECT_EQ(e.message(), "Library is not open");
    }
    TDynamicLibrary good(QStringLiteral(DIZIROVI_BIN_DIR "/VELDA2015_DLL.so"));
    good.Load();
    EXPECT_TRUE(good.IsLoaded());
    auto entry = reinterpret_cast<int32_t (*)(int32_t)>(good.GetProcedure("_IVELDA"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(7), 1) << "any argument but 2 does nothing";
    EXPECT_EQ(good.GetProcedure("nothing"), nullptr);
    good.SetLibraryName("other");
    EXPECT_FALSE(good.IsLoaded()) << "a new name unloads";
}

TEST(NamesFile, LayoutAndAbsoluteNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(engine::writeNamesFile(dir.path(), "/data/dam.sl4d"));
    QFile f(dir.filePath("names.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "2015.4.2\r\n/data/dam.sl4d\r\n/data/dam.sl4o\r\n/data/dam.sl4p\r\n/data/dam.sl4r\r\n");
}

} // namespace

namespace {

// An installed program's folder cannot be written: the hand-over goes to a private folder and the
// library still comes from the program's folder. A read-only bind mount stands for it.
TEST_F(AnalysisRun, ReadOnlyProgramFolder) {
    installEngine();
    QTemporaryDir mountPoint;
    QProcess mount;
    mount.start("mount", {"--bind", program.path(), mountPoint.path()});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0) GTEST_SKIP() << "no bind mounts here";
    QProcess::execute("mount", {"-o", "remount,ro,bind", mountPoint.path()});
    struct Unmount {
        QString path;
        ~Unmount() {
            QProcess u;
            u.start("umount", {path});
            u.waitForFinished(10000);
            if (u.exitCode() != 0) ADD_FAILURE() << u.readAllStandardError().toStdString();
        }
    } unmount{mountPoint.path()};
    if (QFileInfo(mountPoint.path()).isWritable()) GTEST_SKIP() << "the mount stayed writable";

    start({}, mountPoint.path());
    form->OpenFileName(example("UserSurface.sl4d"));
    form->RunAnalysisClick();
    EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCompleted});
    EXPECT_TRUE(QFile::exists(dir.filePath("UserSurface.sl4p")));
    EXPECT_FALSE(QFile::exists(QDir(mountPoint.path()).filePath("names.dat")));
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath()) << "the working directory is put back";
    form.reset();
    QDir::setCurrent(previousDir);
}

} // namespace

namespace {

// A read-only problem folder: the run says so and names the folder, instead of pointing at the
// previous run's report.
TEST_F(AnalysisRun, ReadOnlyProblemFolder) {
    installEngine();
    const QString problem = example("UserSurface.sl4d");
    QFile old(dir.filePath("UserSurface.sl4o"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("Factor of safety of the critical surface: 1.234");
    old.close();
    QTemporaryDir mountPoint;
    QProcess mount;
    mount.start("mount", {"--bind", dir.path(), mountPoint.path()});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0) GTEST_SKIP() << "no bind mounts here";
    QProcess::execute("mount", {"-o", "remount,ro,bind", mountPoint.path()});
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute("umount", {path}); }
    } unmount{mountPoint.path()};
    if (QFileInfo(mountPoint.path()).isWritable()) GTEST_SKIP() << "the mount stayed writable";

    form->OpenFileName(QDir(mountPoint.path()).filePath("UserSurface.sl4d"));
    // Unchanged, the problem is not written again; the run says the folder takes no results.
    form->RunAnalysisClick();
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_EQ(messages.shown.last(), "warning: " + runmsg::folderNotWritable(mountPoint.path()));
    // Changed, the save itself fails and says so.
    form->SetModified(true);
    form->RunAnalysisClick();
    EXPECT_TRUE(messages.shown.last().startsWith("message: " + runmsg::kSaveError + "\r\r"))
        << messages.shown.last().toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("UserSurface.sl4o"))) << "untouched";
    form.reset();
    QDir::setCurrent(previousDir);
}

} // namespace

// ---- a run in a process of its own ----

namespace {

// The Bishop example with a million circles: a run long enough to be watched and stopped.
QByteArray millionCircles() {
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"));
    f.open(QIODevice::ReadOnly);
    QByteArray text = f.readAll();
    text.replace("CIRCL2\r\n10 20\r\n", "CIRCL2\r\n1000 1000\r\n");
    return text;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

class WatchedRun : public AnalysisRun {
protected:
    void installRunner() {
        installEngine();
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), program.filePath("dizirovi-cli")));
        QFile(program.filePath("dizirovi-cli"))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // A problem with old results of its own beside it, opened in the window.
    QString openWithOldResults(const QByteArray& text) {
        const QString path = dir.filePath("dam.sl4d");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.close();
        for (const char* ext : {"sl4o", "sl4p", "sl4r"}) {
            QFile old(dir.filePath(QStringLiteral("dam.%1").arg(QLatin1String(ext))));
            old.open(QIODevice::WriteOnly);
            old.write(QByteArray("old results ") + ext);
        }
        form->OpenFileName(path);
        return path;
    }
    QStringList folderEntries() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll(QStringLiteral("settings.ini"));
        return names;
    }
};

// Cancelled at any moment, the run leaves the last results exactly as they were and no temporary
// file; the window goes on processing events all the while.
TEST_F(WatchedRun, CancelledAtAnyMomentLeavesTheOldResults) {
    installRunner();
    const QString path = openWithOldResults(millionCircles());
    const QStringList entries = folderEntries();
    // Unchanged, the problem is not written again before each run: it never looks newer than its
    // results.
    const QDateTime written = QFileInfo(path).lastModified();
    for (int delay : {50, 400, 1200}) {
        SCOPED_TRACE(delay);
        messages.shown.clear();
        int ticks = 0;
        QString label;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (form->runProgress()) ++ticks;
        });
        tick.start(10);
        QTimer::singleShot(delay, form.get(), [&] {
            ASSERT_TRUE(form->runProgress());
            label = form->runProgress()->labelText();
            form->runProgress()->cancel();
        });
        form->RunAnalysisClick();
        tick.stop();
        EXPECT_FALSE(form->runProgress());
        EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCancelled});
        EXPECT_GT(ticks, 2) << "the window processed events while the engine ran";
        if (delay >= 1200) {
            EXPECT_TRUE(label.contains("Trials:")) << label.toStdString();
        }
        for (const char* ext : {"sl4o", "sl4p", "sl4r"})
            EXPECT_EQ(contents(dir.filePath(QStringLiteral("dam.%1").arg(QLatin1String(ext)))),
                      QByteArray("old results ") + ext);
        EXPECT_EQ(folderEntries(), entries);
    }
    EXPECT_EQ(form->document().FileName, path);
    EXPECT_EQ(QFileInfo(path).lastModified(), written);
}

TEST_F(WatchedRun, AWatchedRunThatFinishesShowsItsResults) {
    installRunner();
    openWithOldResults(contents(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d")));
    form->RunAnalysisClick();
    EXPECT_EQ(messages.shown, QStringList{"information: " + runmsg::kCompleted});
    const auto summary = readRunSummary(dir.filePath("dam.sl4r"));
    ASSERT_TRUE(summary);
    EXPECT_NEAR(*summary->criticalFs, 0.985, 0.001);
    EXPECT_TRUE(form->resultsWindow());
    EXPECT_FALSE(contents(dir.filePath("dam.sl4o")).startsWith("old results"));
}

// The command line's run stops on SIGTERM (or Ctrl+C) as the window's Cancel does.
TEST_F(WatchedRun, TheCommandLineStopsOnATerminationSignal) {
    const QString path = dir.filePath("dam.sl4d");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(millionCircles());
    f.close();
    QProcess cli;
    cli.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"), {"run", path, "--progress-lines"});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray out;
    while (!out.contains("progress ") && cli.waitForReadyRead(30000)) out += cli.readAllStandardOutput();
    ASSERT_TRUE(out.contains("progress ")) << out.toStdString();
    const QList<QByteArray> first = out.mid(out.indexOf("progress ")).split('\n').first().split(' ');
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[2], "1000000");
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(30000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 3);
    EXPECT_TRUE(out.contains("outcome {\"engineResult\":2,") || out.contains("\"kind\":\"cancelled\""))
        << out.toStdString();
    for (const char* ext : {"sl4o", "sl4p", "sl4r"})
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("dam.%1").arg(QLatin1String(ext)))));
}

// The main window driven as a user would, offscreen, with scripted dialogs and answers.
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "app/Application.h"
#include "base/Errors.h"
#include "model/Recovery.h"
#include "model/UserExamples.h"
#include "tables/ColumnTypes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Answer = MessageSink::Answer;

class MainWindow : public MainWindowFixture {
protected:
    // A problem file in the temporary folder.
    QString problem(const QString& name, const char* title = "T") {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("PROFIL\r\n") + title +
                "\r\n1 1 1\r\n0 0 10 0 1\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n");
        return path;
    }
    QString caption() const { return form->windowTitle(); }
    QString stored(const QString& key) const { return settings->value("2015.4.2/" + key).toString(); }
    void modify() { form->SetModified(true); }
    bool closeForm() { return form->close(); }
};

TEST_F(MainWindow, FirstStartWithoutSettings) {
    start();
    EXPECT_FALSE(form->EditorPath.isEmpty());
    EXPECT_EQ(form->EditorPath, TMainForm::DefaultEditorPath());
    EXPECT_EQ(form->RecentCount, 0);
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - NewSlope.sl4d");
    form->FileMenuClick();
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(form->recentAction(i)->isVisible());
    EXPECT_FALSE(form->action("N14") ? form->action("N14")->isVisible() : false);
    EXPECT_TRUE(closeForm());
    QSettings written(dir.filePath("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(written.value("2015.4.2/Word Processor").toString(), form->EditorPath);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_TRUE(written.contains(QStringLiteral("2015.4.2/File%1").arg(i)));
        EXPECT_EQ(written.value(QStringLiteral("2015.4.2/File%1").arg(i)).toString(), QString());
    }
}

TEST_F(MainWindow, StoredSettingsAreRead) {
    settings->setValue("2015.4.2/Word Processor", "");
    settings->setValue("2015.4.2/File1", "");
    settings->setValue("2015.4.2/File2", "/x/second.sl4d");
    start();
    EXPECT_EQ(form->EditorPath, TMainForm::DefaultEditorPath()) << "an empty stored editor keeps the default";
    EXPECT_EQ(form->RecentCount, 1) << "slots are counted wherever they are";
    settings->setValue("2015.4.2/Word Processor", "/usr/bin/myeditor");
    start();
    EXPECT_EQ(form->EditorPath, "/usr/bin/myeditor");
}

TEST_F(MainWindow, NewOpenSaveAndSaveAs) {
    start();
    const QString dam = problem("dam.sl4d", "Dam title");
    files.opens.push_back(FileChooser::Choice{dam, 1});
    form->FileOpenClick();
    EXPECT_EQ(files.asked.back().title, "Open");
    ASSERT_EQ(files.lastFilters.size(), 4);
    EXPECT_EQ(files.lastFilters[2].description, "ZovadeVoz 2.0 (*.sld)");
    EXPECT_EQ(form->document().Title, "Dam title");
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - Dam.sl4d");
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath());
    EXPECT_EQ(form->RecentFiles[0], dam);

    form->document().Title = "Changed";
    modify();
    form->FileSaveClick();
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - Dam.sl4d");
    EXPECT_FALSE(form->IsModified());
    EXPECT_TRUE(files.saves.empty() && files.asked.size() == 1) << "a named file is saved in place";

    const QString copy = dir.filePath("copy.sl4d");
    files.saves.push_back(copy);
    QFile(dir.filePath("copy.sl4p")).open(QIODevice::WriteOnly);
    form->document().PlotFileName = "something";
    form->FileSaveAsClick();
    EXPECT_EQ(files.asked.back().title, "Save Dam.sl4d As");
    EXPECT_EQ(files.asked.back().proposed, dam);
    EXPECT_EQ(form->document().FileName, copy);
    EXPECT_TRUE(form->document().PlotFileName.isEmpty());
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - Copy.sl4d");
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_EQ(form->RecentFiles[0], dam) << "Save As leaves the recent list alone";

    form->FileNewClick();
    EXPECT_EQ(form->document().FileName, "NewSlope.sl4d");
    EXPECT_EQ(form->document().Title, "New Slope");
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - NewSlope.sl4d");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, OpenAdoptsThePlotFileBesideTheProblem) {
    start();
    const QString dam = problem("dam.sl4d");
    QFile(dir.filePath("dam.sl4p")).open(QIODevice::WriteOnly);
    form->OpenFileName(dam);
    EXPECT_EQ(form->document().PlotFileName, dir.filePath("dam.sl4p"));
}

TEST_F(MainWindow, SaveChangesQuestion) {
    start();
    // Cancel: nothing happens.
    form->document().Title = "Mine";
    modify();
    messages.answers = {Answer::Cancel};
    form->FileNewClick();
    EXPECT_EQ(form->document().Title, "Mine");
    EXPECT_EQ(messages.shown.last(), "question: Do you want to save any changes?");
    // Yes on a never-saved document: Save As, cancelled, stops the command.
    messages.answers = {Answer::Yes};
    files.saves.push_back(std::nullopt);
    form->FileNewClick();
    EXPECT_EQ(files.asked.back().proposed, QDir(examples::DefaultUserFolder()).filePath("NewSlope.sl4d"));
    EXPECT_EQ(form->document().Title, "Mine");
    // Yes with a name chosen: saved, then the new document.
    messages.answers = {Answer::Yes};
    files.saves.push_back(dir.filePath("mine.sl4d"));
    form->FileNewClick();
    EXPECT_TRUE(QFile::exists(dir.filePath("mine.sl4d")));
    EXPECT_EQ(form->document().Title, "New Slope");
    // No: the changes are dropped.
    form->document().Title = "Dropped";
    modify();
    messages.answers = {Answer::No};
    form->FileNewClick();
    EXPECT_EQ(form->document().Title, "New Slope");
    // Unchanged: no question.
    const qsizetype asked = messages.shown.size();
    form->FileNewClick();
    EXPECT_EQ(messages.shown.size(), asked);
    // A change only in a nested table counts.
    form->session().tables().SoilData->Cell(7, 0).Table()->SetChanged(true);
    messages.answers = {Answer::Cancel};
    EXPECT_FALSE(form->QuerySaveChanges());
    // Closing asks too; Cancel keeps the window.
    messages.answers = {Answer::Cancel};
    EXPECT_FALSE(closeForm());
    messages.answers = {Answer::No};
    EXPECT_TRUE(closeForm());
}

// The file dialogs start in the current problem's folder, or in the user's examples for a problem
// never saved; the main window comes back with the size and state it was left in.
TEST_F(MainWindow, DialogsStartBesideTheProblemAndTheWindowKeepsItsSize) {
    start();
    files.opens.push_back(std::nullopt);
    form->FileOpenClick();
    EXPECT_EQ(files.asked.back().proposed, examples::DefaultUserFolder());
    files.saves.push_back(std::nullopt);
    form->FileSaveAsClick();
    EXPECT_EQ(files.asked.back().proposed, QDir(examples::DefaultUserFolder()).filePath("NewSlope.sl4d"));
    form->OpenFileName(problem("dam.sl4d"));
    QDir::setCurrent(QDir::rootPath()); // wherever the program was started
    files.opens.push_back(std::nullopt);
    form->FileOpenClick();
    EXPECT_EQ(files.asked.back().proposed, dir.path());

    form->resize(900, 650);
    EXPECT_TRUE(closeForm());
    start();
    EXPECT_EQ(form->size(), QSize(900, 650));
    form->showMaximized();
    EXPECT_TRUE(closeForm());
    start();
    form->show();
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
}

// Cancel at the question leaves every window as it was; only a command that goes on closes them.
TEST_F(MainWindow, CancelKeepsTheWindows) {
    start();
    const QString dam = problem("dam.sl4d");
    const struct {
        const char* command;
        std::function<void(TMainForm*)> run;
    } commands[] = {
        {"New", [](TMainForm* f) { f->FileNewClick(); }},
        {"Open", [](TMainForm* f) { f->FileOpenClick(); }},
        {"recent file", [](TMainForm* f) { f->MyFilePopupHandler(0); }},
        {"drop", [&dam](TMainForm* f) { f->HandleDroppedFiles({dam}); }},
        {"Exit", [](TMainForm* f) { f->close(); }},
    };
    form->UpdatePrevFile(dam);
    for (const auto& c : commands) {
        SCOPED_TRACE(c.command);
        form->TitleClick();
        form->session().tables().SoilData->ShowWindow();
        const qsizetype open = form->mdiArea()->subWindowList().size();
        ASSERT_EQ(open, 2);
        form->document().Title = "Mine";
        modify();
        messages.answers = {Answer::Cancel};
        c.run(form.get());
        EXPECT_EQ(form->mdiArea()->subWindowList().size(), open) << "the windows stay";
        EXPECT_EQ(form->document().Title, "Mine");
        EXPECT_TRUE(form->IsModified());
    }
    // The open dialog cancelled after No: the windows stay too, and so does the document.
    messages.answers = {Answer::No};
    files.opens.push_back(std::nullopt);
    form->FileOpenClick();
    EXPECT_EQ(form->mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(form->document().Title, "Mine");
    // No, and the command goes on: the windows close.
    messages.answers = {Answer::No};
    form->FileNewClick();
    EXPECT_TRUE(form->mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(form->document().Title, "New Slope");
}

// Choosing a search method changes the problem: the question comes before it is dropped.
TEST_F(MainWindow, ChoosingASearchMethodIsAChange) {
    start();
    for (int code = 1; code <= 6; ++code) {
        SCOPED_TRACE(code);
        form->CloseChildWindows();
        form->SetModified(false);
        form->SearchItemClick(code);
        EXPECT_TRUE(form->IsModified());
        EXPECT_EQ(form->document().SearchMethod, code);
        // The same method again, only to see its settings, changes nothing.
        form->CloseChildWindows();
        form->SetModified(false);
        form->SearchItemClick(code);
        EXPECT_FALSE(form->IsModified());
    }
    messages.answers = {Answer::Cancel};
    form->SearchItemClick(3);
    form->FileNewClick();
    EXPECT_EQ(messages.shown.last(), "question: Do you want to save any changes?");
    EXPECT_EQ(form->document().SearchMethod, 3);
}

TEST_F(MainWindow, OlderLayoutNamesGoThroughSaveAs) {
    start();
    for (const char* name : {"dam.sld", "dam.SLD"}) {
        SCOPED_TRACE(name);
        form->OpenFileName(problem(name));
        files.saves.push_back(std::nullopt);
        form->FileSaveClick();
        EXPECT_EQ(files.asked.back().kind, "save");
        EXPECT_EQ(files.asked.back().proposed, dir.filePath("dam.sl4d"));
        EXPECT_EQ(files.asked.back().title, "Save Dam As")
            << "the older extension is cut from the shown name";
        EXPECT_EQ(files.asked.back().defaultSuffix, "sl4d");
    }
    form->OpenFileName(problem("dam.txt"));
    const size_t asked = files.asked.size();
    form->FileSaveClick();
    EXPECT_EQ(files.asked.size(), asked) << "dam.txt is saved in place";
}

// A file read only in part is never written over with what was read: its first save, and the
// save before a run, go through Save As; a failed save stops the command that asked for it.
TEST_F(MainWindow, IncompleteDocumentsAreNotSavedOverTheirFile) {
    start();
    const QString damaged = dir.filePath("damaged.sl4d");
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray text =
        "PROFIL\r\nT\r\n1 1 1\r\n0 0 10 0 1\r\nSOIL\r\n1\r\n1 2 3 x 0 0 0\r\nLOADS\r\n1\r\n"
        "1 2 3 4\r\nEXECUT\r\n";
    f.write(text);
    f.close();
    form->OpenFileName(damaged);
    ASSERT_EQ(messages.shown.size(), 1) << "the reader's message";
    modify();
    files.saves.push_back(std::nullopt);
    EXPECT_EQ(form->FileSaveClick(), SaveOutcome::Cancelled);
    EXPECT_EQ(files.asked.back().kind, "save");
    EXPECT_EQ(files.asked.back().proposed, damaged) << "its own name is proposed";
    // Run Analysis checks the model first: this one's errors stop it before any save.
    const size_t before = files.asked.size();
    messages.shown.clear();
    form->RunAnalysisClick();
    EXPECT_EQ(files.asked.size(), before);
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_TRUE(messages.shown.last().startsWith("warning: The model has"))
        << messages.shown.last().toStdString();
    QFile kept(damaged);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), text);
    // Saved under another name, the document is complete and later saves go in place.
    files.saves.push_back(dir.filePath("repaired.sl4d"));
    EXPECT_EQ(form->FileSaveClick(), SaveOutcome::Saved);
    const size_t asked = files.asked.size();
    EXPECT_EQ(form->FileSaveClick(), SaveOutcome::Saved);
    EXPECT_EQ(files.asked.size(), asked);

    // Yes to "save changes" with a save that fails keeps the changes on screen.
    modify();
    QFile::remove(dir.filePath("repaired.sl4d"));
    QDir(dir.path()).mkdir("repaired.sl4d");
    messages.answers = {Answer::Yes};
    form->document().Title = "Mine";
    form->FileNewClick();
    EXPECT_EQ(form->document().Title, "Mine");
}

TEST_F(MainWindow, RecentFiles) {
    start();
    QStringList paths;
    for (int i = 0; i < 11; ++i) paths << problem(QStringLiteral("p%1.sl4d").arg(i));
    for (int i = 0; i < 6; ++i) form->OpenFileName(paths[i]);
    EXPECT_EQ(form->RecentCount, 6);
    EXPECT_EQ(form->RecentFiles[0], paths[5]);
    EXPECT_EQ(stored("File1"), paths[5]);

    // Reopening slot 0 writes nothing.
    settings->setValue("2015.4.2/File1", "sentinel");
    form->MyFilePopupHandler(0);
    EXPECT_EQ(stored("File1"), "sentinel");

    // Slot 5 moves to the top, the others shift down.
    form->MyFilePopupHandler(5);
    EXPECT_EQ(form->RecentFiles[0], paths[0]);
    EXPECT_EQ(form->RecentFiles[1], paths[5]);
    EXPECT_EQ(form->RecentFiles[5], paths[1]);
    EXPECT_EQ(stored("File1"), paths[0]);
    for (const QString& p : paths.mid(0, 6))
        EXPECT_EQ(std::count(form->RecentFiles.begin(), form->RecentFiles.end(), p), 1) << "no slot twice";
    EXPECT_EQ(form->RecentCount, 6);

    for (int i = 6; i < 11; ++i) form->OpenFileName(paths[i]);
    EXPECT_EQ(form->RecentCount, 10);
    EXPECT_FALSE(std::count(form->RecentFiles.begin(), form->RecentFiles.end(), paths[1]))
        << "the oldest dropped";

    // Shown names are relative to the working directory.
    QDir(dir.path()).mkdir("b");
    const QString nested = problem("b/x.sl4d");
    form->OpenFileName(nested);
    QDir::setCurrent(dir.path());
    form->FileMenuClick();
    EXPECT_EQ(form->recentAction(0)->text(), "&1 b/x.sl4d");
    EXPECT_EQ(form->recentAction(1)->text(), "&2 p10.sl4d");
    EXPECT_TRUE(form->action("N14")->isVisible());
    EXPECT_EQ(form->RecentShownName("/elsewhere/y.sl4d"), "/elsewhere/y.sl4d");
}

// A recent file that is gone opens nothing: the open problem stays, and the entry leaves the list.
TEST_F(MainWindow, AMissingRecentFileOpensNothing) {
    start();
    const QString kept = problem("kept.sl4d", "Kept"), gone = problem("gone.sl4d", "Gone");
    form->OpenFileName(gone);
    form->OpenFileName(kept);
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_EQ(form->RecentFiles[1], gone);
    form->document().Title = "Edited";
    modify();
    form->MyFilePopupHandler(1);
    ASSERT_EQ(messages.shown.size(), 1) << "no question about saving: nothing would replace the problem";
    EXPECT_TRUE(messages.shown.first().startsWith("warning: The problem file " + gone + " cannot be opened"))
        << messages.shown.first().toStdString();
    EXPECT_EQ(form->document().FileName, kept);
    EXPECT_EQ(form->document().Title, "Edited");
    EXPECT_EQ(form->RecentCount, 1);
    EXPECT_EQ(stored("File2"), "");
    form->HandleDroppedFiles({dir.filePath("none.sl4d")});
    EXPECT_EQ(form->document().FileName, kept);
}

TEST_F(MainWindow, OlderLayoutFilterAppliesToRecentEntries) {
    start();
    const QString old = dir.filePath("old.sld");
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("PROFIL\r\nOld\r\n1 1\r\n0 0 1 0 1\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n");
    f.close();
    files.opens.push_back(FileChooser::Choice{old, 3});
    form->FileOpenClick();
    EXPECT_EQ(form->session().tables().BoundCood->Cell(2, 0).GetFloat(), 1.0L);
    form->FileNewClick();
    form->MyFilePopupHandler(0);
    EXPECT_EQ(form->session().tables().BoundCood->Cell(2, 0).GetFloat(), 1.0L)
        << "read in the older layout again";
    EXPECT_TRUE(messages.shown.isEmpty());
}

// An exception that leaves an event handler is the last-resort handler's: it is said, and the program
// goes on with the document as it was.
TEST_F(MainWindow, AnExceptionOutOfAnEventHandlerIsSaidAndTheDocumentStays) {
    start();
    auto* app = dynamic_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(app) << "the tests run on the program's application object";
    app->setMessages(&messages);
    form->document().Title = "Unsaved work";
    modify();
    QTimer::singleShot(0, form.get(),
                       [] { throw ETableError(QStringLiteral("Grid.Row not in valid range")); });
    QTimer::singleShot(0, form.get(), [] { throw std::runtime_error("a library failed"); });
    QCoreApplication::processEvents();
    app->setMessages(nullptr);
    EXPECT_EQ(messages.shown, (QStringList{"error: " + appmsg::unexpected("Grid.Row not in valid range"),
                                           "error: " + appmsg::unexpected("a library failed")}));
    EXPECT_EQ(form->document().Title, "Unsaved work");
    EXPECT_TRUE(form->IsModified());
}

TEST_F(MainWindow, CommandLineFile) {
    const QString dam = problem("dam.sl4d", "From the command line");
    start({dir.filePath("dam")});
    EXPECT_EQ(form->document().Title, "From the command line") << "a name without a dot gains .sl4d";
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - Dam.sl4d");
    EXPECT_EQ(form->RecentCount, 0) << "not added to the recent list";
    start({dir.filePath("missing.sl4d")});
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - NewSlope.sl4d");
    EXPECT_TRUE(messages.shown.isEmpty());
    // A damaged file: what was read is open, and once the window is up a warning names the file.
    QFile bad(dir.filePath("bad.sl4d"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("PROFIL\r\nDamaged\r\nx\r\n");
    bad.close();
    start({bad.fileName()});
    EXPECT_TRUE(messages.shown.isEmpty()) << "not before the window is shown";
    EXPECT_EQ(form->document().Title, "Damaged");
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("warning: " + bad.fileName() + " was not read completely:\r\r"))
        << messages.shown[0].toStdString();
    EXPECT_TRUE(form->document().Incomplete);
}

TEST_F(MainWindow, DroppedFilesOpenOnlyTheFirst) {
    start();
    const QString a = problem("a.sl4d", "First"), b = problem("b.sl4d", "Second"), c = problem("c.sl4d");
    form->HandleDroppedFiles({a, b, c});
    EXPECT_EQ(form->document().Title, "First");
    EXPECT_EQ(caption(), "DizirOvi 2015.4.2 - A.sl4d");
    EXPECT_EQ(form->RecentCount, 0);
}

TEST_F(MainWindow, UnitsMenuFollowsTheDocument) {
    start();
    form->session().tables().BoundCood->Cell(2, 0).SetFloat(100);
    form->UnitsClick(2);
    form->OptionsUnitsClick();
    EXPECT_TRUE(form->unitsAction(2)->isChecked());
    EXPECT_FALSE(form->unitsAction(1)->isChecked());
    EXPECT_NEAR(static_cast<double>(form->session().tables().BoundCood->Cell(2, 0).GetFloat()), 30.48, 1e-9);
    EXPECT_TRUE(form->IsModified()) << "converted values are a change worth saving";
    form->SetModified(false);
    form->UnitsClick(2);
    EXPECT_FALSE(form->IsModified()) << "choosing the current system changes nothing";
    EXPECT_EQ(form->unitsAction(3)->text(), "&Other Units (F, L)");
}

struct StoringChild : QWidget, CommittingChild {
    ProblemSession* session = nullptr;
    QString title;
    bool storeToDocument() override {
        session->document().Title = title;
        return true;
    }
};

TEST_F(MainWindow, ChildWindowsCommitAndAreListed) {
    start();
    auto* child = new StoringChild;
    child->session = session.get();
    child->title = "From the dialog";
    child->setWindowTitle("Title");
    QMdiSubWindow* sub = form->mdiArea()->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    form->mdiArea()->setActiveSubWindow(sub);
    form->menu("Data1")->aboutToShow();
    EXPECT_EQ(form->document().Title, "From the dialog");

    for (int i = 0; i < 50; ++i) {
        auto* w = new QWidget;
        w->setWindowTitle(QStringLiteral("W%1").arg(i));
        form->mdiArea()->addSubWindow(w)->show();
    }
    form->ArrangeMenuClick();
    EXPECT_TRUE(form->action("N15")->isVisible());
    EXPECT_EQ(form->windowAction(0)->text(), "Title");
    EXPECT_EQ(form->windowAction(49)->text(), "W48") << "the first 50 of 51 children";
    EXPECT_TRUE(form->windowAction(49)->isVisible());
    form->ActivateMenuClick(3);
    EXPECT_EQ(form->mdiArea()->currentSubWindow()->windowTitle(), "W2");

    // A new document closes every child while the old document is still current.
    child->title = "Stored on close";
    form->FileNewClick();
    EXPECT_TRUE(form->mdiArea()->subWindowList().isEmpty());
    form->ArrangeMenuClick();
    EXPECT_FALSE(form->action("N15")->isVisible());
}

// Before there is anything to edit the window says how to begin; it steps aside for any window and
// for a problem with a name or a change, and comes back for a new problem.
TEST_F(MainWindow, StartPageUntilThereIsSomethingToEdit) {
    const QString recent = problem("recent.sl4d");
    settings->setValue("2015.4.2/File1", recent);
    start();
    QCoreApplication::processEvents();
    TStartPage* page = form->startPage();
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isVisibleTo(form.get()));
    ASSERT_EQ(page->recent()->count(), 1);
    EXPECT_EQ(page->recent()->item(0)->text(), "recent.sl4d");

    // Any window hides it; closing the last brings it back.
    auto* child = new QWidget;
    QMdiSubWindow* sub = form->mdiArea()->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    form->mdiArea()->setActiveSubWindow(sub);
    QCoreApplication::processEvents();
    EXPECT_FALSE(page->isVisibleTo(form.get()));
    sub->close();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(page->isVisibleTo(form.get()));

    // A recent file opens from it as from the File menu.
    Q_EMIT page->recent()->itemActivated(page->recent()->item(0));
    EXPECT_EQ(form->document().FileName, recent);
    EXPECT_FALSE(page->isVisibleTo(form.get()));
    form->FileNewClick();
    EXPECT_TRUE(page->isVisibleTo(form.get()));
    modify();
    form->UpdateCaption();
    EXPECT_FALSE(page->isVisibleTo(form.get())) << "a changed new problem is something to edit";

    // Started on a problem, there is none.
    start({recent});
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->startPage()->isVisibleTo(form.get()));
}

TEST(StartPage, ListsTheExampleProblemsByName) {
    QTemporaryDir folder;
    for (const char* name : {"b.sl4d", "a.sl4d", "notes.txt", "a.sl4o"})
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
    QDir(folder.path()).mkdir("c.sl4d");
    QStringList opened;
    TStartPage page({[] {}, [] {}, [&opened](const QString& path) { opened << path; }});
    page.setFiles(folder.path(), {QString(), "/x/y.sl4d", QString()});
    ASSERT_EQ(page.examples()->count(), 2);
    EXPECT_EQ(page.examples()->item(0)->text(), "a.sl4d");
    EXPECT_EQ(page.examples()->item(1)->text(), "b.sl4d");
    EXPECT_EQ(page.recent()->count(), 1) << "empty slots are left out";
    Q_EMIT page.examples()->itemActivated(page.examples()->item(1));
    EXPECT_EQ(opened, QStringList{folder.filePath("b.sl4d")});
    page.setFiles(folder.filePath("missing"), {});
    EXPECT_EQ(page.examples()->count(), 0);
    ASSERT_EQ(page.recent()->count(), 1) << "a line that says why the list is empty";
    Q_EMIT page.recent()->itemActivated(page.recent()->item(0));
    EXPECT_EQ(opened.size(), 1) << "which opens nothing";
}

// ---- recovery ----

// A recovery that cannot be written is said once, not every 30 seconds, and the work goes on.
TEST_F(MainWindow, RecoveryThatCannotBeWrittenIsSaidOnce) {
    const QString blocker = problem("not-a-folder.sl4d");
    recoveryFolder = blocker + "/recovery";
    start({problem("p.sl4d")});
    modify();
    form->WriteRecovery();
    form->WriteRecovery();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().startsWith("warning: Unsaved changes cannot be kept against a crash"))
        << messages.shown.first().toStdString();
    EXPECT_TRUE(form->IsModified());
}

// The child of RecoveryAfterAKill: edits, keeps the recovery, says so, and waits to be killed.
TEST_F(MainWindow, RecoveryChildEditsAndWaits) {
    recoveryFolder = qEnvironmentVariable("DIZIROVI_RECOVERY_CHILD");
    if (recoveryFolder.isEmpty()) GTEST_SKIP() << "started by RecoveryAfterAKill";
    start({qEnvironmentVariable("DIZIROVI_RECOVERY_PROBLEM")});
    form->document().Title = "Edited before the crash";
    modify();
    form->WriteRecovery();
    std::puts("ready");
    std::fflush(stdout);
    QThread::sleep(60);
}

TEST_F(MainWindow, RecoveryAfterAKill) {
    QTemporaryDir state;
    const QString folder = state.filePath("recovery");
    const QString path = problem("edited.sl4d", "Before");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DIZIROVI_RECOVERY_CHILD", folder);
    env.insert("DIZIROVI_RECOVERY_PROBLEM", path);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=MainWindow.RecoveryChildEditsAndWaits"});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray said;
    for (int i = 0; i < 300 && !said.contains("ready"); ++i)
        if (child.waitForReadyRead(100)) said += child.readAllStandardOutput();
    ASSERT_TRUE(said.contains("ready")) << said.toStdString();
    child.kill(); // SIGKILL: nothing of the program runs after it
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_EQ(recovery::Orphans(folder).size(), 1);

    recoveryFolder = folder;
    messages.answers.push_back(Answer::Yes); // Restore
    start();
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains("edited.sl4d")) << messages.shown.first().toStdString();
    EXPECT_EQ(form->document().Title, "Edited before the crash");
    EXPECT_EQ(form->document().FileName, path);
    EXPECT_TRUE(form->IsModified());
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_TRUE(original.readAll().contains("Before")) << "the user's file is written only by a save";
    EXPECT_TRUE(recovery::Orphans(folder).isEmpty());
    ASSERT_TRUE(form->recoveryStore());
    EXPECT_TRUE(QFile::exists(form->recoveryStore()->problemFile())) << "kept again, by this instance";

    // A normal close, the changes dropped by the user, leaves nothing behind.
    messages.answers.push_back(Answer::No);
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(MainWindow, RecoveryFollowsTheChangesAndTheAnswers) {
    QTemporaryDir state;
    recoveryFolder = state.filePath("recovery");
    const QString path = problem("p.sl4d");
    start({path});
    const recovery::Store* store = form->recoveryStore();
    ASSERT_TRUE(store);
    form->WriteRecovery();
    EXPECT_FALSE(QFile::exists(store->problemFile())) << "nothing unsaved, nothing kept";
    form->document().Title = "Changed";
    modify();
    form->WriteRecovery();
    QFile kept(store->problemFile());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), form->document().ProblemText());
    kept.close();
    EXPECT_TRUE(QFile::exists(store->noteFile()));
    ASSERT_EQ(form->FileSaveClick(), SaveOutcome::Saved);
    EXPECT_FALSE(QFile::exists(store->problemFile())) << "saved: nothing to recover";

    // Two instances never share a file.
    const recovery::Store other(recoveryFolder);
    EXPECT_NE(other.problemFile(), store->problemFile());

    // Recoveries of a program that is gone, answered Discard and Decide Later; this instance's
    // own file is never offered.
    modify();
    form->WriteRecovery();
    QProcess gone;
    gone.start("true");
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    // A program killed and not yet collected by its parent is gone too.
    const pid_t zombie = ::fork();
    if (zombie == 0) ::_exit(0);
    ASSERT_GT(zombie, 0);
    QThread::msleep(100);
    const struct {
        Answer answer;
        bool stays;
        QString pid; // as the note says it
    } cases[] = {{Answer::No, false, QString::number(pid)},
                 {Answer::Cancel, true, QString::number(pid)},
                 {Answer::No, false, QString::number(zombie)},
                 {Answer::No, false, "1e300"}}; // a note damaged by hand
    for (const auto& c : cases) {
        const QString base = QDir(recoveryFolder).filePath(QStringLiteral("%1-x").arg(c.pid));
        QFile::copy(path, base + ".sl4d");
        QFile note(base + ".json");
        ASSERT_TRUE(note.open(QIODevice::WriteOnly));
        note.write(QStringLiteral(R"({"original": "%1", "saved": "2026-12-08T10:00:00Z", "pid": %2})")
                       .arg(path)
                       .arg(c.pid)
                       .toUtf8());
        note.close();
        messages.shown.clear();
        messages.answers.push_back(c.answer);
        form->OfferRecoveries();
        ASSERT_EQ(messages.shown.size(), 1) << "only the other program's recovery is offered";
        EXPECT_EQ(QFile::exists(base + ".json"), c.stays);
        EXPECT_EQ(QFile::exists(base + ".sl4d"), c.stays);
        EXPECT_EQ(form->document().Title, "Changed") << "the document stays";
        if (c.stays) recovery::Discard(recovery::Orphans(recoveryFolder).first());
    }
    ::waitpid(zombie, nullptr, 0);
}

TEST_F(MainWindow, ActivationSetsTheBoundaryInstructions) {
    start();
    form->FormActivate();
    EXPECT_TRUE(
        session->tables().BoundCood->Comments.startsWith("Up to 100 boundary lines can be defined.\r"));
    EXPECT_TRUE(
        session->tables().BoundCood->Comments.endsWith("slide from the right side to the left side."));
}

TEST_F(MainWindow, MenuCaptionsAndShortcuts) {
    start();
    QStringList titles;
    for (QAction* a : form->menuBar()->actions()) titles << a->text();
    // The menus of old with Edit (undo and redo) added between File and Data.
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "Da&ta", "&Options", "&Computation", "&View", "&Window",
                                   "&Help"}));
    EXPECT_EQ(form->action("EditUndo")->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(form->action("EditRedo")->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    EXPECT_EQ(form->action("FileNew")->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(form->action("FileOpen")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(form->action("FileSave")->shortcut(), QKeySequence("Ctrl+S"));
    QStringList file;
    for (QAction* a : form->menu("File1")->actions())
        if (!a->isSeparator() && !a->objectName().startsWith("Recent")) file << a->text();
    EXPECT_EQ(file, QStringList({"&New", "&Open...", "&Save", "Save &As...", "E&xit"}));
}

} // namespace

namespace {

// The window manager shows top-level captions with the application's display name appended when
// one is set; the main window's caption must read exactly as the program writes it.
TEST(Application, NoDisplayNameIsAppendedToCaptions) {
    ConfigureApplication();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_EQ(QCoreApplication::applicationName(), "DizirOvi");
    EXPECT_EQ(QCoreApplication::organizationName(), "Orvane");
    EXPECT_EQ(kApplicationTitle, "DizirOvi 2015") << "message boxes keep their title";
}

} // namespace

namespace {

// Without one of the known editors, Edit Input/Output Text hands the file to the desktop: the
// problem and report types must be declared as text for its text editor to take them.
TEST(Desktop, ProblemAndReportTypesAreText) {
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/dizirovi-mime.xml"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&f);
    QMap<QString, QStringList> parentsOfGlob;
    QStringList globs, parents;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("mime-type")) globs.clear(), parents.clear();
        if (xml.isStartElement() && xml.name() == QLatin1String("glob"))
            globs << xml.attributes().value("pattern").toString();
        if (xml.isStartElement() && xml.name() == QLatin1String("sub-class-of"))
            parents << xml.attributes().value("type").toString();
        if (xml.isEndElement() && xml.name() == QLatin1String("mime-type"))
            for (const QString& g : globs) parentsOfGlob[g] = parents;
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    for (const char* glob : {"*.sl4d", "*.sld", "*.sl4o"})
        EXPECT_TRUE(parentsOfGlob.value(glob).contains("text/plain")) << glob;
}

} // namespace

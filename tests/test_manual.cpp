// The manuals keep up with the program: every menu item, window caption and graph switch appears in
// the user's manual, the built documents are where the Help menu looks for them, and the tutorial's
// factor of safety is the one the engine computes today.
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "engine/Engine.h"
#include "engine/ProblemInput.h"
#include "graph/PlotModel.h"
#include "model/TableSet.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString plain(QString caption) {
    return caption.remove('&');
}

class Manual : public MainWindowFixture {
protected:
    const QString manual = readAll(QStringLiteral(DIZIROVI_SOURCE_DIR "/docs/manual/UsersManual.md"));
    void expectMentioned(const QString& what, const char* kind) {
        EXPECT_TRUE(manual.contains(what))
            << kind << " \"" << what.toStdString() << "\" is not in the user's manual";
    }
};

TEST_F(Manual, NamesEveryMenuItemWindowAndSwitch) {
    ASSERT_FALSE(manual.isEmpty());
    start();
    for (QAction* a : form->findChildren<QAction*>()) {
        const bool listed = a->objectName().startsWith("Recent") || a->objectName().startsWith("Window");
        if (!a->isSeparator() && !a->text().isEmpty() && !listed)
            expectMentioned(plain(a->text()), "menu item");
    }
    for (QMenu* m : form->findChildren<QMenu*>())
        if (!m->title().isEmpty()) expectMentioned(plain(m->title()), "menu");
    // Every window a menu item opens, by its caption.
    const char* opening[] = {"DataTitle",      "DataBoundary",     "DataWater",     "DataSurcharge",
                             "DataEarthquake", "DataLimits",       "DataTiebacks",  "DataReinforcement",
                             "DataJanbu",      "DataBishop",       "DataIrregular", "DataBlock",
                             "DataSpencer",    "OptionsTextEditor"};
    for (const char* name : opening) {
        form->action(QLatin1String(name))->trigger();
        expectMentioned(form->mdiArea()->activeSubWindow()->widget()->windowTitle(), "dialog");
    }
    expectMentioned(QStringLiteral("About DizirOvi"), "dialog");
    expectMentioned(QStringLiteral("DizirOvi Graphics"), "window");
    for (const TGridTable* t : session->tables().all())
        if (t->Caption != QLatin1String("Piezometric data for each surface")) // no window shows it
            expectMentioned(t->Caption, "table");
    for (int l = 0; l < static_cast<int>(Layer::Count); ++l)
        expectMentioned(layerCaption(static_cast<Layer>(l)), "graph switch");
}

TEST(ManualBuild, DocumentsBesideTheProgramAndTheTutorialsResult) {
    const QString html = readAll(QStringLiteral(DIZIROVI_BIN_DIR "/DIZIROVI2015.html"));
    ASSERT_FALSE(html.isEmpty()) << "the help is built beside the program";
    for (const char* name :
         {"DIZIROVI2015UsersManual.pdf", "DIZIROVI2015TechnicalManual.pdf", "Technical.sh"})
        EXPECT_GT(QFileInfo(QStringLiteral(DIZIROVI_BIN_DIR "/") + QLatin1String(name)).size(), 0) << name;
    EXPECT_TRUE(QFileInfo(QStringLiteral(DIZIROVI_BIN_DIR "/Technical.sh")).isExecutable());
    // Without any viewer on the path the script ends at once and says so by its status.
    QProcess script;
    QProcessEnvironment env;
    env.insert("PATH", QStringLiteral(DIZIROVI_BIN_DIR "/no-such-folder"));
    script.setProcessEnvironment(env);
    script.start("/bin/sh", {QStringLiteral(DIZIROVI_BIN_DIR "/Technical.sh")});
    ASSERT_TRUE(script.waitForFinished(10000));
    EXPECT_EQ(script.exitCode(), 1);
    EXPECT_FALSE(html.contains("{{")) << "every value put in";
    EXPECT_FALSE(html.contains("<!-- include")) << "every file included";
    EXPECT_TRUE(html.contains("data:image/png;base64,")) << "the pictures travel inside the help";
    // The tutorial's factor of safety, as the engine computes it now.
    std::string error;
    auto problem = velda::readProblem(
        readAll(QStringLiteral(DIZIROVI_SOURCE_DIR "/docs/manual/Tutorial.sl4d")).toStdString(), error);
    ASSERT_TRUE(problem) << error;
    const velda::AnalysisResult r = velda::analyse(*problem, velda::Slope(*problem));
    ASSERT_TRUE(r.found);
    const QString fs = QString::number(r.critical.front().fs, 'f', 3);
    EXPECT_TRUE(html.contains(QStringLiteral("Factor of Safety = ") + fs)) << fs.toStdString();
    // The manual pages, from the same source.
    for (const char* page : {"dizirovi.1", "dizirovi-cli.1"}) {
        const QString roff = readAll(QStringLiteral(DIZIROVI_BUILD_DIR "/") + QLatin1String(page));
        EXPECT_TRUE(roff.startsWith(".TH DIZIROVI")) << page;
        EXPECT_TRUE(roff.contains(".SH SYNOPSIS")) << page;
        EXPECT_FALSE(roff.contains("**")) << page;
    }
}

} // namespace

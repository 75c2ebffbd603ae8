// The manuals keep up with the program: every menu item, window caption and graph switch appears in
// the user's manual, the built documents are where the Help menu looks for them, and the tutorial's
// factor of safety is the one the engine computes today.
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "docs/ManualDocument.h"
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

// ---- the documents' form: equations, contents, bookmarks, links ----

TEST(ManualDocument, TakesTheTeXOutOfTheMarkdown) {
    const struct {
        const char* markdown;
        const char* left; // with "#N" for equation N's token
        QStringList tex;
        QList<bool> display;
    } cases[] = {
        {"a $x_i$ and $\\alpha$.", "a #0 and #1.", {"x_i", "\\alpha"}, {false, false}},
        {"$$F = \\frac{a}{b}$$", "#0", {"F = \\frac{a}{b}"}, {true}},
        {"before\n$$\nF = 1\n\\qquad (3.1)\n$$\nafter",
         "before\n#0\nafter",
         {"F = 1\n\\qquad (3.1)"},
         {true}},
        {"`$HOME` and ``a $b$``", "`$HOME` and ``a $b$``", {}, {}},
        {"```\n$x$\n```\n$y$", "```\n$x$\n```\n#0", {"y"}, {false}},
        {"costs \\$5 or 5 $ each, $ not $", "costs \\$5 or 5 $ each, $ not $", {}, {}},
        {"$a$$b$", "#0#1", {"a", "b"}, {false, false}},
        {"price $p = 5\\$$ here", "price #0 here", {"p = 5\\$"}, {false}}, // an escaped dollar inside
        {"$$never closed", "$$never closed", {}, {}},
    };
    for (const auto& c : cases) {
        QList<Equation> equations;
        QString expected = QString::fromUtf8(c.left);
        for (int i = 0; i < 4; ++i) expected.replace(QStringLiteral("#%1").arg(i), equationToken(i));
        EXPECT_EQ(takeEquations(QString::fromUtf8(c.markdown), equations), expected) << c.markdown;
        ASSERT_EQ(equations.size(), c.tex.size()) << c.markdown;
        for (qsizetype i = 0; i < equations.size(); ++i) {
            EXPECT_EQ(equations[i].tex, c.tex[i]) << c.markdown;
            EXPECT_EQ(equations[i].display, c.display[i]) << c.markdown;
        }
    }
}

// What poppler reads of a PDF: its text, page by page, and its bookmarks with their pages.
struct PdfRead {
    QStringList pages;
    QList<std::pair<QString, int>> bookmarks; // title, 1-based page
};
PdfRead readPdf(const QString& path) {
    PdfRead r;
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    text.waitForFinished(60000);
    // The PDF sets "fi" and "fl" as ligatures; the text compares letters.
    r.pages = QString::fromUtf8(text.readAllStandardOutput())
                  .replace(QChar(0xFB01), QLatin1String("fi"))
                  .replace(QChar(0xFB02), QLatin1String("fl"))
                  .split(QChar('\f'));
    QProcess xml;
    xml.start(QStringLiteral("pdftohtml"),
              {QStringLiteral("-xml"), QStringLiteral("-i"), QStringLiteral("-q"), QStringLiteral("-stdout"),
               QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"), path});
    xml.waitForFinished(60000);
    static const QRegularExpression item(QStringLiteral("<item page=\"(\\d+)\">([^<]*)</item>"));
    for (auto it = item.globalMatch(QString::fromUtf8(xml.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        r.bookmarks << std::pair{m.captured(2)
                                     .replace(QLatin1String("&amp;"), QLatin1String("&"))
                                     .replace(QLatin1String("&#39;"), QLatin1String("'")),
                                 m.captured(1).toInt()};
    }
    return r;
}

// The technical manual as printed: long enough to cite, a bookmark for every chapter and section
// leading to the page where it starts, contents whose page numbers are those pages, no TeX left as
// text, the verification chapter this build computed, and every figure drawn.
TEST(ManualBuild, TheTechnicalManualIsTypesetWithContentsAndBookmarks) {
    const QString source = readAll(QStringLiteral(DIZIROVI_SOURCE_DIR "/docs/manual/TechnicalManual.md"));
    const PdfRead pdf = readPdf(QStringLiteral(DIZIROVI_BIN_DIR "/DIZIROVI2015TechnicalManual.pdf"));
    ASSERT_GE(pdf.pages.size(), 25);
    QStringList headings;
    static const QRegularExpression heading(QStringLiteral("^(#{1,2}) (.+)$"),
                                            QRegularExpression::MultilineOption);
    for (auto it = heading.globalMatch(source); it.hasNext();) headings << it.next().captured(2).trimmed();
    headings.removeFirst(); // the title
    ASSERT_GE(headings.size(), 30);
    // The contents: from the second page to the first chapter's.
    const auto chapter = std::find_if(pdf.bookmarks.begin(), pdf.bookmarks.end(),
                                      [&](const auto& b) { return b.first == headings.first(); });
    ASSERT_NE(chapter, pdf.bookmarks.end());
    const QString contents = pdf.pages.mid(1, chapter->second - 2).join(QChar('\n'));
    for (const QString& h : headings) {
        auto mark = std::find_if(pdf.bookmarks.begin(), pdf.bookmarks.end(),
                                 [&](const auto& b) { return b.first == h; });
        ASSERT_NE(mark, pdf.bookmarks.end()) << "no bookmark for " << h.toStdString();
        const int page = mark->second;
        EXPECT_TRUE(pdf.pages.value(page - 1).contains(h.left(20))) << h.toStdString() << " on page " << page;
        EXPECT_TRUE(contents.contains(h)) << "not in the contents: " << h.toStdString();
    }
    // The contents' numbers are the bookmarks' pages (the first chapter's, say).
    const auto first = std::find_if(pdf.bookmarks.begin(), pdf.bookmarks.end(),
                                    [&](const auto& b) { return b.first == headings.first(); });
    EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(headings.first()) + QStringLiteral("\\s+") +
                                   QString::number(first->second) + QStringLiteral("\\b"))
                    .match(contents)
                    .hasMatch())
        << contents.left(400).toStdString();
    const QString all = pdf.pages.join(QChar('\n'));
    for (const char* tex : {"\\frac", "\\alpha", "$$", "\\qquad", "\\sum"})
        EXPECT_FALSE(all.contains(QLatin1String(tex))) << tex << " left as text";
    EXPECT_FALSE(all.contains(equationToken(0).left(1))) << "an equation's token left in";
    EXPECT_TRUE(all.contains("Published problems computed by this build"));
    static const QRegularExpression picture(QStringLiteral("\\(pictures/(fig-[a-z-]+\\.png)\\)"));
    int figures = 0;
    for (auto it = picture.globalMatch(source); it.hasNext(); ++figures)
        EXPECT_TRUE(
            QFileInfo(QStringLiteral(DIZIROVI_BUILD_DIR "/docs/pictures/") + it.next().captured(1)).size() >
            10000);
    EXPECT_GE(figures, 9);
}

// The help links every section from its contents and carries the equations as SVG.
TEST(ManualBuild, TheHelpLinksEverySectionAndShowsTheEquations) {
    const QString html = readAll(QStringLiteral(DIZIROVI_BIN_DIR "/DIZIROVI2015.html"));
    static const QRegularExpression anchor(QStringLiteral("<h[1-6] id=\"(section-\\d+)\""));
    int sections = 0;
    for (auto it = anchor.globalMatch(html); it.hasNext(); ++sections)
        EXPECT_TRUE(html.contains(QStringLiteral("href=\"#%1\"").arg(it.next().captured(1))));
    EXPECT_GE(sections, 60);
    EXPECT_GE(html.count(QLatin1String("<svg")), 100);
    EXPECT_FALSE(html.contains(equationToken(0).left(1)));
    EXPECT_FALSE(html.contains(QLatin1String("$$")));
}

} // namespace

// The studies' windows: set up in a dialog from the open problem, run with the command-line tool,
// read back when reopened, and charted (histogram, spider, tornado, the root finder's steps).
#include "FakeServices.h"
#include "MainWindowFixture.h"
#include "RecordingMessages.h"
#include "app/StudyWindows.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <numeric>

namespace {

QJsonObject readJson(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

QStringList tabNames(const QTabWidget* tabs) {
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i) names << tabs->tabText(i);
    return names;
}

class StudyWindows : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        studies = OpenStudyWindow;
        ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"),
                                dir.filePath("Bishop.sl4d")));
        start({dir.filePath("Bishop.sl4d")});
    }
    TStudyDialog* open(StudyKind kind) {
        form->StudyClick(kind);
        TStudyDialog* found = nullptr;
        for (TStudyDialog* d : form->findChildren<TStudyDialog*>())
            if (d->kind() == kind) found = d;
        return found;
    }
    // The results window the last run showed, then closed so the next run's is the only one.
    TStudyResults* lastResults() {
        const auto all = form->findChildren<TStudyResults*>();
        return all.isEmpty() ? nullptr : all.last();
    }
    void exportsEveryChart(TStudyResults* results) {
        for (int tab = 0; tab < results->tabs()->count(); ++tab) {
            results->tabs()->setCurrentIndex(tab);
            if (results->tabs()->tabText(tab) == QLatin1String("Iterations")) continue; // a table
            for (const char* kind : {"png", "pdf"}) {
                const QString out =
                    dir.filePath(QStringLiteral("chart%1.%2").arg(tab).arg(QLatin1String(kind)));
                files.saves.push_back(out);
                results->ExportClick();
                const std::string what = results->tabs()->tabText(tab).toStdString() + " " + kind;
                EXPECT_GT(QFileInfo(out).size(), 1000) << what;
                if (QLatin1String(kind) != QLatin1String("png")) continue;
                // At print size whatever the window's (a chart at its export size, the lowest sample's
                // drawing as the model view's, twice as fine), and drawn: a good share is not white.
                const QImage image(out);
                const bool model = results->tabs()->tabText(tab) == QLatin1String("Lowest Sample");
                EXPECT_EQ(image.size(), model ? QSize(1800, 1000) : QSize(2000, 1250)) << what;
                int inked = 0;
                for (int y = 0; y < image.height(); y += 5)
                    for (int x = 0; x < image.width(); x += 5)
                        inked += image.pixel(x, y) != qRgb(255, 255, 255);
                EXPECT_GT(inked, image.width() * image.height() / 25 / 50) << what;
            }
        }
    }
};

} // namespace

TEST(StudyCharts, HistogramBinsEverySample) {
    EXPECT_TRUE(histogram({}).counts.empty());
    std::vector<double> v;
    for (int i = 0; i < 400; ++i) v.push_back(0.8 + 0.001 * i);
    const Histogram h = histogram(v);
    ASSERT_EQ(h.counts.size(), 20u); // the square root of 400
    EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0), 400);
    EXPECT_DOUBLE_EQ(h.edges.front(), 0.8);
    EXPECT_NEAR(h.edges.back(), 1.199, 1e-12);
    EXPECT_EQ(histogram({1.0, 1.0, 1.0}).counts.front(), 3) << "one value: one bin holds them";
}

TEST(StudyCharts, TornadoRowsAreChangesFromTheMeansSmallestSwingFirst) {
    const QJsonObject sweeps = QJsonDocument::fromJson(R"({"atMeans": 1.5, "sweeps": [
        {"variable": "a", "fs": [1.0, 1.5, 2.2], "swing": 1.2},
        {"variable": "b", "fs": [1.6, 1.5, 1.45], "swing": 0.15},
        {"variable": "c", "fs": [null, 1.5, 1.7], "swing": 0.2},
        {"variable": "d", "fs": [1.3, 1.5, 1.8], "swing": 0.5}]})")
                                   .object();
    const std::vector<TornadoRow> rows = tornadoRows(sweeps);
    ASSERT_EQ(rows.size(), 3u) << "a sweep without a factor at an end has no bar";
    const struct {
        const char* variable;
        double low, high;
    } expected[] = {{"b", 0.1, -0.05}, {"d", -0.2, 0.3}, {"a", -0.5, 0.7}};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].variable, QLatin1String(expected[i].variable)) << i;
        EXPECT_NEAR(rows[i].low, expected[i].low, 1e-12) << i;
        EXPECT_NEAR(rows[i].high, expected[i].high, 1e-12) << i;
    }
    EXPECT_TRUE(tornadoRows(QJsonDocument::fromJson(R"({"atMeans": null, "sweeps": []})").object()).empty());
}

TEST_F(StudyWindows, TheMenuOffersStudiesOnlyWhenTheProgramHandsThemIn) {
    for (const char* name : {"ProbabilisticAnalysis", "SensitivityAnalysis", "BackAnalysis"})
        EXPECT_TRUE(form->findChild<QAction*>(QLatin1String(name))) << name;
    studies = nullptr;
    start({dir.filePath("Bishop.sl4d")});
    EXPECT_FALSE(form->findChild<QAction*>(QStringLiteral("ProbabilisticAnalysis")));
}

TEST_F(StudyWindows, AProbabilisticStudySetUpRunChartedAndReadBack) {
    TStudyDialog* dialog = open(StudyKind::Probabilistic);
    ASSERT_TRUE(dialog);
    // The first soil's cohesion and friction angle, from the document's values.
    ASSERT_EQ(dialog->variables()->rowCount(), 2);
    EXPECT_EQ(qobject_cast<QComboBox*>(dialog->variables()->cellWidget(0, 0))->currentText(),
              "soil 1 cohesion");
    EXPECT_EQ(dialog->variables()->item(0, 2)->text(), "3");
    EXPECT_EQ(dialog->variables()->item(1, 2)->text(), "19.6");

    // Shown at its size, the variable's column holds the longest name a soil's variable has.
    form->show();
    QCoreApplication::processEvents();
    const QFontMetrics metrics(dialog->variables()->font());
    EXPECT_GE(dialog->variables()->columnWidth(0), metrics.horizontalAdvance("soil 1 saturated-weight") + 24)
        << dialog->width();
    dialog->variables()->item(1, 3)->setText("x");
    EXPECT_FALSE(dialog->RunClick());
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_TRUE(messages.shown.last().contains("is no number for sd")) << messages.shown.last().toStdString();
    messages.shown.clear();
    dialog->variables()->item(1, 3)->setText("2");
    dialog->samples()->setValue(40);
    dialog->seed()->setValue(9);
    ASSERT_TRUE(dialog->RunClick()) << messages.shown.join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("Bishop.study.json")));
    TStudyResults* results = lastResults();
    ASSERT_TRUE(results);
    EXPECT_EQ(tabNames(results->tabs()),
              QStringList({"Histogram", "Cumulative", "Convergence", "Lowest Sample"}));
    // The lowest sample's surface, drawn over the model, and which sample it is.
    const QJsonObject computed = readJson(dir.filePath("Bishop.study.results.json"));
    const QString caption = results->tabs()->widget(3)->findChild<QLabel*>()->text();
    EXPECT_TRUE(caption.startsWith(QStringLiteral("Sample %1 (soil 1 cohesion ")
                                       .arg(computed.value("lowest").toObject().value("sample").toInt())))
        << caption.toStdString();
    // A circle search's lowest surface comes with its circle.
    EXPECT_GT(computed.value("lowest").toObject().value("radius").toDouble(), 0);
    results->tabs()->setCurrentIndex(3);
    EXPECT_TRUE(results->findChild<QPushButton*>()->isEnabled()) << "the drawing exports too";
    EXPECT_TRUE(results->summary()->text().startsWith("40 samples, Bishop simplified."))
        << results->summary()->text().toStdString();
    exportsEveryChart(results);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();

    // Bounds read back into their columns; correlations, which the dialog does not edit, survive a run
    // from it while the variables stay.
    QJsonObject study = readJson(dir.filePath("Bishop.study.json"));
    QJsonArray variables = study.value("variables").toArray();
    QJsonObject first = variables.at(0).toObject();
    first.insert("lower", 0.5);
    variables.replace(0, first);
    study.insert("variables", variables);
    study.insert("correlations",
                 QJsonArray{QJsonObject{{"between", QJsonArray{0, 1}}, {"coefficient", -0.4}}});
    QFile f(dir.filePath("Bishop.study.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QJsonDocument(study).toJson());
    f.close();
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    dialog = open(StudyKind::Probabilistic);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->samples()->value(), 40);
    EXPECT_EQ(dialog->seed()->value(), 9);
    ASSERT_EQ(dialog->variables()->rowCount(), 2);
    EXPECT_EQ(dialog->variables()->item(1, 3)->text(), "2");
    QString why;
    EXPECT_EQ(dialog->variables()->item(0, 5)->text(), "0.5");
    EXPECT_EQ(dialog->variables()->item(0, 6)->text(), "");
    auto written = dialog->studyJson(why);
    ASSERT_TRUE(written) << why.toStdString();
    QJsonObject cohesion = written->value("variables").toArray().at(0).toObject();
    EXPECT_EQ(cohesion.value("lower").toDouble(), 0.5);
    EXPECT_FALSE(cohesion.contains("upper")) << "an empty bound is none";
    EXPECT_EQ(written->value("correlations"), study.value("correlations"));
    // A bound typed in, and one that is no number.
    dialog->variables()->item(0, 6)->setText("5");
    written = dialog->studyJson(why);
    ASSERT_TRUE(written) << why.toStdString();
    EXPECT_EQ(written->value("variables").toArray().at(0).toObject().value("upper").toDouble(), 5);
    dialog->variables()->item(0, 5)->setText("low");
    EXPECT_FALSE(dialog->studyJson(why));
    EXPECT_EQ(why, "Row 1: \"low\" is no number for lower.");
    dialog->variables()->item(0, 5)->setText("");
    // Another variable in the first row: the correlations, which name variables by place, no longer apply.
    qobject_cast<QComboBox*>(dialog->variables()->cellWidget(0, 0))->setCurrentIndex(2);
    written = dialog->studyJson(why);
    ASSERT_TRUE(written) << why.toStdString();
    EXPECT_FALSE(written->contains("correlations"));
}

TEST_F(StudyWindows, ASensitivityStudyDrawsASpiderAndATornado) {
    // A first sensitivity study starts from the probabilistic study's variables.
    QFile probabilistic(dir.filePath("Bishop.study.json"));
    ASSERT_TRUE(probabilistic.open(QIODevice::WriteOnly));
    probabilistic.write(R"({"problem": "Bishop.sl4d", "variables": [
        {"soil": 1, "property": "phi", "distribution": "normal", "mean": 19.6, "sd": 1.5},
        {"soil": 1, "property": "moist-weight", "distribution": "uniform", "min": 18, "max": 21}]})");
    probabilistic.close();
    TStudyDialog* dialog = open(StudyKind::Sensitivity);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->samples());
    ASSERT_EQ(dialog->variables()->rowCount(), 2);
    EXPECT_EQ(qobject_cast<QComboBox*>(dialog->variables()->cellWidget(1, 0))->currentText(),
              "soil 1 moist-weight");
    EXPECT_EQ(dialog->variables()->item(1, 4)->text(), "21");
    dialog->points()->setValue(3);
    dialog->spread()->setValue(1);
    ASSERT_TRUE(dialog->RunClick()) << messages.shown.join('\n').toStdString();
    const QJsonObject study = readJson(dir.filePath("Bishop.sensitivity.json"));
    EXPECT_EQ(study.value("analysis").toString(), "sensitivity");
    EXPECT_EQ(study.value("sensitivity").toObject().value("points").toInt(), 3);
    EXPECT_EQ(study.value("variables").toArray().size(), 2);
    EXPECT_FALSE(readJson(dir.filePath("Bishop.study.json")).contains("analysis"))
        << "each kind of study has a file of its own";
    TStudyResults* results = lastResults();
    ASSERT_TRUE(results);
    EXPECT_EQ(results->windowTitle(), "Sensitivity Analysis Results");
    EXPECT_EQ(tabNames(results->tabs()), QStringList({"Spider", "Tornado"}));
    EXPECT_TRUE(results->summary()->text().contains("swings most with soil 1 phi"))
        << results->summary()->text().toStdString();
    const QJsonObject written = readJson(dir.filePath("Bishop.sensitivity.results.json"));
    EXPECT_EQ(tornadoRows(written).size(), 2u);
    exportsEveryChart(results);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();
}

TEST_F(StudyWindows, ABackAnalysisFindsTheValueOrSaysItIsNotInTheRange) {
    TStudyDialog* dialog = open(StudyKind::Back);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->variables());
    EXPECT_EQ(dialog->solveFor()->currentText(), "soil 1 cohesion");
    EXPECT_EQ(dialog->target()->text(), "1");
    dialog->low()->setText("0.5");
    dialog->high()->setText("ten");
    EXPECT_FALSE(dialog->RunClick());
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_EQ(messages.shown.last(), "warning: \"ten\" is no number for the high end.");
    messages.shown.clear();
    dialog->high()->setText("10");
    ASSERT_TRUE(dialog->RunClick()) << messages.shown.join('\n').toStdString();
    TStudyResults* results = lastResults();
    ASSERT_TRUE(results);
    EXPECT_EQ(tabNames(results->tabs()), QStringList({"Root Finder", "Iterations"}));
    EXPECT_TRUE(results->summary()->text().contains("gives a factor of safety of 1 "))
        << results->summary()->text().toStdString();
    const auto* steps = qobject_cast<QTableWidget*>(results->tabs()->widget(1));
    ASSERT_TRUE(steps);
    EXPECT_GE(steps->rowCount(), 3);
    EXPECT_EQ(steps->item(0, 1)->text(), "0.5");
    EXPECT_EQ(steps->item(1, 1)->text(), "10");
    exportsEveryChart(results);

    // A range that does not hold the target: the window says so (and what the ends gave).
    dialog->low()->setText("50");
    dialog->high()->setText("100");
    ASSERT_TRUE(dialog->RunClick()) << messages.shown.join('\n').toStdString();
    results = lastResults();
    EXPECT_TRUE(results->summary()->text().contains("is not between them"))
        << results->summary()->text().toStdString();
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();

    // A study the command-line tool refuses: its reason, and the last results are not shown for it.
    dialog->high()->setText("50");
    const auto windows = form->findChildren<TStudyResults*>().size();
    EXPECT_FALSE(dialog->RunClick());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().startsWith("warning: The study did not run."));
    EXPECT_TRUE(messages.shown.first().contains("back.high")) << messages.shown.first().toStdString();
    EXPECT_EQ(form->findChildren<TStudyResults*>().size(), windows);
    messages.shown.clear();

    // Reopened, the dialog holds what was last run.
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialog = open(StudyKind::Back);
    EXPECT_EQ(dialog->low()->text(), "50");
    EXPECT_EQ(dialog->high()->text(), "50");
}

TEST_F(StudyWindows, AStudyFileItCannotReadIsReplacedOnlyWhenTheUserSaysSo) {
    const QString path = dir.filePath("Bishop.study.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ written by hand, not finished");
    f.close();
    TStudyDialog* dialog = open(StudyKind::Probabilistic);
    ASSERT_TRUE(dialog);
    dialog->samples()->setValue(20);
    messages.answers.push_back(MessageSink::Answer::No);
    EXPECT_FALSE(dialog->RunClick());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().startsWith("question: ")) << messages.shown.first().toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "{ written by hand, not finished");
    f.close();
    messages.answers.push_back(MessageSink::Answer::Yes);
    EXPECT_TRUE(dialog->RunClick()) << messages.shown.join('\n').toStdString();
    EXPECT_EQ(readJson(path).value("samples").toInt(), 20);
}

// Probabilistic, sensitivity and back analysis: study files and their refusals, sampling that
// depends on the seed and the index alone, parts that merge into one run, and exact checks.
#include "engine/Study.h"
#include "study/StudyFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace {

class StudyTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    void SetUp() override {
        QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"),
                    dir.filePath("Bishop.sl4d"));
    }
    // The Bishop example with cohesion and friction angle of its soil uncertain.
    static QJsonObject base() {
        return QJsonObject{{"problem", "Bishop.sl4d"},
                           {"variables", QJsonArray{QJsonObject{{"soil", 1},
                                                                {"property", "cohesion"},
                                                                {"distribution", "normal"},
                                                                {"mean", 3},
                                                                {"sd", 0.6}},
                                                    QJsonObject{{"soil", 1},
                                                                {"property", "phi"},
                                                                {"distribution", "normal"},
                                                                {"mean", 19.6},
                                                                {"sd", 2}}}},
                           {"samples", 100},
                           {"seed", 11}};
    }
    QString write(const QJsonObject& o, const QString& name = QStringLiteral("s.study.json")) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(QJsonDocument(o).toJson());
        return f.fileName();
    }
    StudyFile read(const QJsonObject& o) {
        QString error;
        auto s = readStudyFile(write(o), error);
        EXPECT_TRUE(s) << error.toStdString();
        return s ? *s : StudyFile{};
    }
};

QJsonObject with(QJsonObject o, const QString& key, const QJsonValue& v) {
    o.insert(key, v);
    return o;
}

QJsonObject withVariable(QJsonObject o, int i, const QString& key, const QJsonValue& v) {
    QJsonArray vars = o.value("variables").toArray();
    QJsonObject var = vars[i].toObject();
    if (v.isUndefined())
        var.remove(key);
    else
        var.insert(key, v);
    vars[i] = var;
    o.insert("variables", vars);
    return o;
}

} // namespace

TEST_F(StudyTest, StudyFilesThatAreRefusedSayWhere) {
    const QJsonObject b = base();
    QJsonArray three = b.value("variables").toArray();
    three.append(QJsonObject{
        {"soil", 1}, {"property", "moist-weight"}, {"distribution", "uniform"}, {"min", 18}, {"max", 22}});
    const QJsonObject threeVars = with(b, "variables", three);
    QJsonArray shaking = b.value("variables").toArray();
    shaking.append(QJsonObject{{"property", "kh"}, {"distribution", "uniform"}, {"min", 0}, {"max", 0.2}});
    struct Case {
        QJsonObject study;
        const char* says;
    };
    const Case cases[] = {
        {with(b, "samplez", 3), "samplez: unknown key"},
        {withVariable(b, 0, "colour", "red"), "variables[0].colour: unknown key"},
        {withVariable(b, 0, "sd", -1), "variables[0].sd: a standard deviation below 0"},
        {withVariable(withVariable(b, 0, "lower", 4), 0, "upper", 6),
         "variables[0].lower: the bounds exclude the mean"},
        {withVariable(b, 1, "soil", 9), "variables[1].soil: there is no soil 9"},
        {with(b, "variables", shaking), "variables[2].property: kh: the problem has no earthquake loading"},
        {withVariable(b, 1, "distribution", "cauchy"), "variables[1].distribution: unknown distribution"},
        {withVariable(b, 1, "property", "colour"), "variables[1].property: unknown property"},
        {withVariable(b, 0, "min", 1), "variables[0].min: a normal distribution has no min"},
        {with(threeVars, "correlations",
              QJsonArray{QJsonObject{{"between", QJsonArray{0, 1}}, {"coefficient", 0.9}},
                         QJsonObject{{"between", QJsonArray{1, 2}}, {"coefficient", 0.9}},
                         QJsonObject{{"between", QJsonArray{0, 2}}, {"coefficient", -0.9}}}),
         "correlations: the correlation matrix is not positive definite"},
        {with(b, "correlations",
              QJsonArray{QJsonObject{{"between", QJsonArray{0, 0}}, {"coefficient", 0.5}}}),
         "correlations[0].between: two different variable numbers"},
        {with(b, "sampling", "sobol"), "sampling: monte-carlo or latin-hypercube"},
        {with(b, "problem", "missing.sl4d"), "problem:"},
        {with(with(b, "analysis", "back"), "back", QJsonObject{{"variable", 5}, {"low", 0}, {"high", 1}}),
         "back.variable: a whole number from 0 to 1"},
        {with(b, "method", "Fellenius"), "method: unknown method"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(readStudyFile(write(c.study), error)) << c.says;
        EXPECT_TRUE(error.startsWith(QLatin1String(c.says))) << c.says << " / " << error.toStdString();
    }
}

TEST_F(StudyTest, SamplesDependOnTheSeedAndTheirIndexAlone) {
    StudyFile f = read(with(base(), "samples", 64));
    for (auto sampling : {velda::Study::Sampling::MonteCarlo, velda::Study::Sampling::LatinHypercube}) {
        f.study.sampling = sampling;
        const std::vector<double> alone = velda::sampleInputs(f.study, 17);
        for (uint64_t i = 0; i < 64; ++i) (void)velda::sampleInputs(f.study, i);
        EXPECT_EQ(velda::sampleInputs(f.study, 17), alone);
        f.study.seed = 12;
        EXPECT_NE(velda::sampleInputs(f.study, 17), alone);
        f.study.seed = 11;
    }
    // Latin hypercube: each variable takes each of the N strata exactly once.
    f.study.sampling = velda::Study::Sampling::LatinHypercube;
    for (size_t k = 0; k < 2; ++k) {
        std::set<int> strata;
        for (uint64_t i = 0; i < 64; ++i)
            strata.insert(static_cast<int>(
                64 * f.study.variables[k].distribution.cdf(velda::sampleInputs(f.study, i)[k])));
        EXPECT_EQ(strata.size(), 64u) << k;
    }
    // A standard deviation of 0 is a constant (with bounds too); the fuzzer found that it threw.
    velda::Study constant = f.study;
    constant.variables[1].distribution.sd = 0;
    constant.variables[1].distribution.lower = 10;
    constant.variables[1].distribution.upper = 30;
    EXPECT_FALSE(velda::checkStudy(constant, velda::Problem{{}, 1, 0, {}, {velda::Soil{}}}));
    EXPECT_EQ(velda::sampleInputs(constant, 5)[1], 19.6);
    // Truncation keeps every sample within its bounds.
    f.study.variables[0].distribution.lower = 2.5;
    f.study.variables[0].distribution.upper = 3.2;
    for (uint64_t i = 0; i < 64; ++i) {
        const double c = velda::sampleInputs(f.study, i)[0];
        EXPECT_TRUE(c >= 2.5 && c <= 3.2) << c;
    }
}

TEST_F(StudyTest, PartsMergeIntoExactlyOneRun) {
    const StudyFile f = read(base());
    QString error;
    const auto problem = readStudyProblem(f, error);
    ASSERT_TRUE(problem) << error.toStdString();
    const velda::StudyRunner runner(*problem, f.study);
    const auto all = velda::runSamples(runner, f.study, 0, 100, 2);
    const auto oneThread = velda::runSamples(runner, f.study, 0, 100, 1);
    ASSERT_EQ(all.size(), oneThread.size());
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].fs, oneThread[i].fs) << "any number of threads";
    const QByteArray single = probabilisticJson(f, all, {}, runner.method(), {});
    const QByteArray a = partJson(f, 37, 100, velda::runSamples(runner, f.study, 37, 100, 2));
    const QByteArray b = partJson(f, 0, 37, velda::runSamples(runner, f.study, 0, 37, 1));
    const auto merged = mergeParts(f, {a, b}, {"a", "b"}, error);
    ASSERT_TRUE(merged) << error.toStdString();
    EXPECT_EQ(probabilisticJson(f, *merged, {}, runner.method(), {}), single);
    EXPECT_EQ(samplesCsv(f, *merged), samplesCsv(f, all));

    struct Bad {
        QList<QByteArray> parts;
        const char* says;
    };
    const QByteArray overlap = partJson(f, 30, 100, velda::runSamples(runner, f.study, 30, 100, 2));
    StudyFile other = f;
    other.fingerprint = "another";
    const Bad bad[] = {{{a}, "samples 0 to 36 are in no part"},
                       {{b, overlap}, "the parts overlap at sample 30"},
                       {{b, partJson(other, 37, 100, {})}, "not a part of this study"}};
    for (const Bad& c : bad) {
        EXPECT_FALSE(mergeParts(f, c.parts, {"a", "b"}, error)) << c.says;
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
    }
}

// On a fixed surface the ordinary method's factor is linear in c and tan(phi): with both normal and
// independent, the factor is normal and the probability of failure is known in closed form.
TEST_F(StudyTest, ExactCheckOfALinearFactor) {
    QJsonObject o = base();
    o.insert(
        "variables",
        QJsonArray{
            QJsonObject{
                {"soil", 1}, {"property", "cohesion"}, {"distribution", "normal"}, {"mean", 3}, {"sd", 0.8}},
            QJsonObject{{"soil", 1},
                        {"property", "tan-phi"},
                        {"distribution", "normal"},
                        {"mean", 0.33},
                        {"sd", 0.05}}});
    o.insert("mode", "surface");
    o.insert("method", "Ordinary");
    o.insert("samples", 4000);
    StudyFile f = read(o);
    QString error;
    const auto problem = readStudyProblem(f, error);
    ASSERT_TRUE(problem);
    const velda::StudyRunner runner(*problem, f.study);
    // F = a + b c + d t, from three evaluations; a fourth shows it is linear.
    const double f0 = *runner.factor({3, 0.33}), fc = *runner.factor({4, 0.33}),
                 ft = *runner.factor({3, 0.43});
    const double b = fc - f0, d = (ft - f0) / 0.1;
    EXPECT_NEAR(*runner.factor({1, 0.2}), f0 + b * (1 - 3) + d * (0.2 - 0.33), 1e-9);
    const double mean = f0, sd = std::hypot(b * 0.8, d * 0.05);
    const double exact = boost::math::cdf(boost::math::normal_distribution<double>(mean, sd), 1.0);
    ASSERT_GT(exact, 0.05);
    ASSERT_LT(exact, 0.95);

    const velda::StudySummary mc =
        velda::summarise(velda::runSamples(runner, f.study, 0, f.study.samples, 2));
    EXPECT_LE(mc.pfLow, exact);
    EXPECT_GE(mc.pfHigh, exact);
    f.study.sampling = velda::Study::Sampling::LatinHypercube;
    const velda::StudySummary lhs =
        velda::summarise(velda::runSamples(runner, f.study, 0, f.study.samples, 2));
    EXPECT_LE(std::fabs(lhs.pf - exact), (mc.pfHigh - mc.pfLow) / 3);
    const velda::TaylorEstimate taylor = velda::taylorEstimate(runner, f.study);
    ASSERT_EQ(taylor.why, "");
    EXPECT_NEAR(taylor.sd, sd, 0.01 * sd);
    EXPECT_NEAR(taylor.pfNormal, exact, 0.01 * exact);
    // A bound inside one standard deviation (the cohesion not below 2.5, the mean 3 and sd 0.8): the
    // difference steps inside it, then one-sided at the bound; still exact for a linear factor.
    for (const double lower : {2.5, 3.0}) {
        StudyFile bounded = f;
        bounded.study.variables[0].distribution.lower = lower;
        const velda::TaylorEstimate inside = velda::taylorEstimate(runner, bounded.study);
        ASSERT_EQ(inside.why, "") << lower;
        ASSERT_EQ(inside.dF.size(), 2u);
        EXPECT_NEAR(inside.dF[0], b * 0.8, 1e-9 * b) << lower;
    }
}

TEST_F(StudyTest, BackAnalysisAndSensitivity) {
    QJsonObject o = with(base(), "analysis", "back");
    o.insert("back", QJsonObject{{"variable", 0}, {"low", 0.5}, {"high", 10}});
    const StudyFile f = read(o);
    QString error;
    const auto problem = readStudyProblem(f, error);
    ASSERT_TRUE(problem);
    const velda::StudyRunner runner(*problem, f.study);
    const velda::BackAnalysis back = velda::backAnalyse(runner, f.study, 0, 0.5, 10, 1.0);
    ASSERT_TRUE(back.bracketed) << back.message;
    EXPECT_NEAR(*runner.factor({back.value, 19.6}), 1.0, 1e-6);
    EXPECT_GT(back.iterations, 0);
    // The steps are the root finder's own: both ends first, the answer among them.
    ASSERT_GE(back.steps.size(), 3u);
    EXPECT_EQ(back.steps[0].first, 0.5);
    EXPECT_EQ(back.steps[1].first, 10);
    EXPECT_EQ(back.steps.back().second, back.fs);
    const velda::BackAnalysis none = velda::backAnalyse(runner, f.study, 0, 50, 100, 1.0);
    EXPECT_FALSE(none.bracketed);
    EXPECT_NE(none.message.find("is not between them"), std::string::npos) << none.message;

    const velda::Sensitivity sweep = velda::sensitivity(runner, f.study, 5, 2);
    const auto& lines = sweep.lines;
    ASSERT_EQ(lines.size(), 2u);
    // Five points over mean +- 2 sd: the middle one is every variable at its mean.
    ASSERT_TRUE(sweep.atMeans && lines[0].fs[2]);
    EXPECT_DOUBLE_EQ(*lines[0].fs[2], *sweep.atMeans);
    EXPECT_DOUBLE_EQ(lines[0].values.front(), 3 - 2 * 0.6);
    EXPECT_DOUBLE_EQ(lines[0].values.back(), 3 + 2 * 0.6);
    EXPECT_GT(*lines[0].fs.back(), *lines[0].fs.front()) << "more cohesion, more safety";
    EXPECT_GT(lines[1].swing, 0);
}

// A back analysis of the cohesion for FS = 1 of a vertical cut in a soil without friction reproduces
// Taylor's stability number c / (gamma H) = 0.261 (critical height 3.83 c / gamma) within 0.5 %.
TEST_F(StudyTest, BackAnalysisReproducesTaylorsStabilityNumber) {
    QFile problem(dir.filePath("cut.sl4d"));
    ASSERT_TRUE(problem.open(QIODevice::WriteOnly));
    // A 10 m cut (its face leans by 1 mm), unit weight 20, circles through and around the toe.
    problem.write("PROFIL\r\nVertical cut\r\n3 3 2\r\n0. 0. 20. 0. 1\r\n20. 0. 20.001 10. 1\r\n"
                  "20.001 10. 60. 10. 1\r\nSOIL\r\n1\r\n20. 20. 50. 0. 0. 0. 0\r\nCIRCL2\r\n20 50\r\n"
                  "18. 20. 20.5 40.\r\n-20. 0.5 80. -45.\r\nEXECUT\r\n");
    problem.close();
    QJsonObject o{
        {"problem", "cut.sl4d"},
        {"analysis", "back"},
        {"variables",
         QJsonArray{QJsonObject{
             {"soil", 1}, {"property", "cohesion"}, {"distribution", "normal"}, {"mean", 50}, {"sd", 5}}}},
        {"back", QJsonObject{{"variable", 0}, {"low", 10}, {"high", 100}}}};
    const StudyFile f = read(o);
    QString error;
    const auto p = readStudyProblem(f, error);
    ASSERT_TRUE(p) << error.toStdString();
    const velda::StudyRunner runner(*p, f.study);
    const velda::BackAnalysis back = velda::backAnalyse(runner, f.study, 0, 10, 100, 1.0);
    ASSERT_TRUE(back.bracketed) << back.message;
    EXPECT_NEAR(back.value / (20 * 10), 0.261, 0.005 * 0.261);
}

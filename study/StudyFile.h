#pragma once
// The study file (JSON, beside its problem file) and what a study writes: the results (JSON), the
// sample table (CSV) and, for a range of samples run on its own, a part file that `merge` joins with
// the others into exactly the results of one run.
#include "engine/Study.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct StudyFile {
    QString path;        // the study file
    QString problemPath; // absolute; relative names in the file are relative to the study file
    enum class Analysis { Probabilistic, Sensitivity, Back } analysis = Analysis::Probabilistic;
    velda::Study study;
    int sweepPoints = 7;     // sensitivity
    double sweepK = 2;       // sensitivity: mean +- k standard deviations
    size_t backVariable = 0; // back analysis
    double backLow = 0, backHigh = 0, backTarget = 1;
    QByteArray fingerprint; // of the study file and the problem file: parts of one study carry the same
};

// Reads and checks a study file and its problem; nothing and why (with the key's path, e.g.
// "variables[1].sd: a standard deviation below 0") otherwise.
std::optional<StudyFile> readStudyFile(const QString& path, QString& error);
// The study file's text alone, as if it were at `path` (its problem neither read nor checked).
std::optional<StudyFile> parseStudyText(const QByteArray& text, const QString& path, QString& error);

// The problem file the study names, as the engine reads it.
std::optional<velda::Problem> readStudyProblem(const StudyFile& file, QString& error);

// The variables' names as the results name them ("soil 1 cohesion").
QStringList variableNames(const velda::Study& study);

// A part: the rows of samples from..to-1, with the study's fingerprint.
QByteArray partJson(const StudyFile& file, uint64_t from, uint64_t to,
                    const std::vector<velda::SampleRow>& rows);
// The rows of parts that together hold every sample of one study exactly once; nothing and why otherwise.
std::optional<std::vector<velda::SampleRow>> mergeParts(const StudyFile& file, const QList<QByteArray>& parts,
                                                        const QStringList& names, QString& error);

// The probabilistic results: the summary, the first-order estimate, the convergence, the lowest sample
// (with its critical surface when given) as JSON; the sample table as CSV.
QByteArray probabilisticJson(const StudyFile& file, const std::vector<velda::SampleRow>& rows,
                             const velda::TaylorEstimate& taylor, const std::string& method,
                             const std::vector<velda::Point>& lowestSurface);
QByteArray samplesCsv(const StudyFile& file, const std::vector<velda::SampleRow>& rows);
QByteArray sensitivityJson(const StudyFile& file, const velda::Sensitivity& sweep, const std::string& method);
QByteArray backJson(const StudyFile& file, const velda::BackAnalysis& back, const std::string& method);

// Where a study's outputs go: beside the study file, "slope.study.json" giving "slope.study.results.json".
QString studyOutput(const QString& studyPath, const QString& suffix);

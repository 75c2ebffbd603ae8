#pragma once
// What a run found, as its result file says it: the outcome a window shows after the run without
// the report's full text.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct RunSummary {
    bool computed = false; // the engine found a critical surface
    QString title;
    QString lengthUnit, forceUnit;
    QString method;   // the method that ranked the surfaces
    QString analysis; // what was analysed, in the engine's words
    std::optional<double> criticalFs;
    struct Circle {
        double x = 0, y = 0, radius = 0;
    };
    std::optional<Circle> criticalCircle; // when the critical surface is a circle
    long generated = -1, admissible = -1; // -1: not said (no analysis)
    struct Rejection {
        QString reason;
        long count = 0;
    };
    QList<Rejection> rejected;
    struct Method {
        QString name;
        std::optional<double> fs; // none: no factor by this method on the critical surface
        QString detail;           // lambda and interslice function, or why there is no factor
    };
    QList<Method> methods;
    QStringList warnings, errors;
};

// Reads a result file; nothing, and why in `error`, when it cannot be read or is no result file.
std::optional<RunSummary> readRunSummary(const QString& resultFile, QString* error = nullptr);
// The same from the file's text (`name` for the message).
std::optional<RunSummary> parseRunSummary(const QByteArray& json, const QString& name,
                                          QString* error = nullptr);

// The summary as rich text for a window: the outcome first (critical factor and method, or why
// nothing was computed), then every method's factor, the counts, warnings and errors.
QString runSummaryHtml(const RunSummary& summary);

// The engine's first reason for computing nothing (its first error, or for a search that found
// nothing admissible its first warning); empty when it gave none.
QString notComputedReason(const RunSummary& summary);

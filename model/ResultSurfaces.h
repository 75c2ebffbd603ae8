#pragma once
// The ranked surfaces a result file keeps with their slices: what a click on a drawn surface shows
// and what `dizirovi-cli slices` prints. One reading and one table of columns for both.
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct ResultSurface {
    int rank = 0;  // 1: the critical surface
    double fs = 0; // by the method the surfaces were ranked by
    int count = 0; // slices
    std::vector<double> xLeft, xRight;
    std::vector<QPointF> base; // the slices' base corners, left to right
    struct Method {
        QString name;
        std::optional<double> fs; // none: the method gave no factor on this surface
        QString detail;           // lambda and interslice function, or why there is no factor
    };
    QList<Method> methods;
    QJsonObject record; // the surface's record as the file holds it

    // The slice whose width holds x (0-based); -1 outside the surface.
    int sliceAt(double x) const;
};

struct ResultSurfaces {
    QString method; // the one the surfaces were ranked by
    QString lengthUnit, forceUnit;
    QList<ResultSurface> surfaces; // by rank
    const ResultSurface* byRank(int rank) const;
};

// Reads the surfaces of a result file (`name` for the messages); nothing, and why, when it is no
// result file or its slices are damaged. A file of an analysis that computed nothing has none.
std::optional<ResultSurfaces> parseResultSurfaces(const QByteArray& json, const QString& name,
                                                  QString* error = nullptr);
std::optional<ResultSurfaces> readResultSurfaces(const QString& resultFile, QString* error = nullptr);

// A method of a surface by its name as the file spells it, with hyphens for blanks, or by a unique
// beginning ("bishop", "morgenstern"); empty and why when none or more than one matches.
QString methodNamed(const ResultSurface& surface, const QString& wanted, QString& why);

// The slices of a surface with one method's base forces (and, for the rigorous methods, the side
// forces on each slice's right face).
struct SliceTable {
    struct Column {
        QString heading;
        int decimals = 2;
    };
    QList<Column> columns; // the first is the slice's number
    std::vector<std::vector<std::optional<double>>> rows;
    QString title; // "Surface 1 of 10, Bishop simplified: factor of safety 0.985"

    // Tab- or comma-separated text with a header line, full precision (what a spreadsheet takes).
    QString delimited(QChar separator) const;
};
// Nothing, and why, when the method gave no factor on the surface or the file's columns are damaged.
std::optional<SliceTable> sliceTable(const ResultSurfaces& results, const ResultSurface& surface,
                                     const QString& method, QString* why = nullptr);

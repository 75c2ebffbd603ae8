#pragma once
// What the boundary-line window computes without widgets: numbers taken from pasted or read text
// into a table, and the geometry of its two previews. The window draws and the tests check these.
#include <QLine>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TGridTable;
class TGridTableChart;

namespace chartdata {

inline const QString kNoClipboardText = QStringLiteral("There is no text on the Clipboard");
constexpr int kMaxNumbersPerLine = 15;
constexpr int kImportDigits = 15; // significant digits of an imported value's text

// The numbers at the start of a line, separated by blanks, tabs, commas or carriage returns; at
// most 15, up to the first piece that is not a decimal number.
std::vector<long double> lineNumbers(const QString& line);

// Pasted text cut into lines at CR LF, CR or LF. A last line without a line end counts too (text
// copied from an editor often has none; dropping it would lose the user's last row).
QStringList clipboardLines(const QString& text);

// A text file's lines, read as problem files are read (UTF-8, else Latin-1; any line end).
// Throws EInOutError when the file cannot be read.
QStringList fileLines(const QString& fileName);

// The window's row buttons, so an import adds and deletes rows as the user would.
struct RowActions {
    std::function<void()> addRow;
    std::function<void(int row)> deleteRow;
};

// Fills the table's rows from the lines that hold exactly one number per visible column, each
// value through its column's text entry (so the column's checks apply), up to MaxRows lines;
// then deletes the rows left below them. A rejected value throws the column's EAssignError; the
// rows filled so far stay.
struct Imported {
    int taken = 0;   // lines that became rows
    int skipped = 0; // lines with text that did not hold one number per column (empty ones are not counted)
};
Imported importLines(TGridTable& table, const QStringList& lines, const RowActions& actions);
// Why lines were skipped: "3 lines skipped: each must hold 5 numbers".
QString skippedLines(int skipped, int columns);

// Segment preview: one line per row and its number at the line's midpoint, each axis scaled on
// its own into the area less a 20-pixel border. Empty when the table has no rows or either
// extent is a single value.
struct SegmentPreview {
    std::vector<QLine> lines;
    std::vector<std::pair<QPoint, QString>> labels; // the midpoint and the row's number
};
SegmentPreview segmentPreview(const TGridTableChart& table, QSize area);

// Line-chart preview: the points of one or two series and how the axes are set.
struct LineChart {
    std::vector<QPointF> first, second;
    bool hasSecond = false; // a third visible column with the x in column 0 and y in column 1
    QString firstTitle, secondTitle, xTitle, yTitle;
    QString xFormat, yFormat; // label formats of the axes
    bool fixedY = false;      // constant values: the vertical range is set, not automatic
    double yMin = 0, yMax = 0;
};
LineChart lineChart(const TGridTableChart& table);
// The label format for an axis running from `low` to `high`.
QString axisFormat(double low, double high);

} // namespace chartdata

#include "ChartData.h"

#include "ColumnTypes.h"
#include "base/WordRead.h"
#include "format/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace chartdata {
namespace {

bool separator(QChar c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

long double value(const TGridTable& t, int column, int row) {
    return t.Column(column)->GetFloat(row);
}

struct Extent {
    long double low = 0, high = 0;
    void widen(long double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    bool empty() const { return !(low < high); }
};

} // namespace

std::vector<long double> lineNumbers(const QString& line) {
    std::vector<long double> numbers;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (numbers.size() < static_cast<size_t>(kMaxNumbersPerLine)) {
        while (i < n && separator(line[i])) ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && !separator(line[i])) ++i;
        const auto v = numfmt::parseStorable(line.mid(start, i - start).toStdString());
        if (!v) break;
        numbers.push_back(*v);
    }
    return numbers;
}

QStringList clipboardLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines << text.mid(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

QStringList fileLines(const QString& fileName) {
    TWordReader reader(fileName);
    QStringList lines;
    while (!reader.AtEnd()) lines << reader.ReadLine();
    return lines;
}

QString skippedLines(int skipped, int columns) {
    return QStringLiteral("%1 %2 skipped: each must hold %3 numbers")
        .arg(skipped)
        .arg(skipped == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(columns);
}

Imported importLines(TGridTable& table, const QStringList& lines, const RowActions& actions) {
    const int columns = table.VisibleColumnCount();
    const int limit = table.MaxRows > 0 ? table.MaxRows : INT32_MAX;
    int accepted = 0, skipped = 0;
    for (const QString& line : lines) {
        if (accepted >= limit) break;
        const std::vector<long double> numbers = lineNumbers(line);
        if (static_cast<int>(numbers.size()) != columns) {
            if (!line.trimmed().isEmpty()) ++skipped;
            continue;
        }
        if (table.RowCount() <= accepted) actions.addRow();
        for (int i = 0; i < columns; ++i)
            table.Column(i)->SetText(accepted, QString::fromStdString(numfmt::general(
                                                   numbers[static_cast<size_t>(i)], kImportDigits)));
        ++accepted;
    }
    if (accepted > 0)
        while (table.RowCount() > accepted && table.RowCount() > table.MinRows()) {
            const int before = table.RowCount();
            actions.deleteRow(accepted);
            if (table.RowCount() >= before) break; // the window refused: never loop for ever
        }
    return {accepted, skipped};
}

SegmentPreview segmentPreview(const TGridTableChart& t, QSize area) {
    SegmentPreview p;
    if (t.RowCount() == 0) return p;
    Extent x{value(t, t.XColumn, 0), value(t, t.XColumn, 0)},
        y{value(t, t.YColumn, 0), value(t, t.YColumn, 0)};
    for (int r = 0; r < t.RowCount(); ++r) {
        x.widen(value(t, t.XColumn, r));
        x.widen(value(t, t.X2Column, r));
        y.widen(value(t, t.YColumn, r));
        y.widen(value(t, t.Y2Column, r));
    }
    if (x.empty() || y.empty()) return p;
    auto px = [&](long double v) {
        return static_cast<int>(std::lround((v - x.low) / (x.high - x.low) * (area.width() - 40))) + 20;
    };
    auto py = [&](long double v) {
        return static_cast<int>(std::lround((v - y.high) / (y.low - y.high) * (area.height() - 40))) + 20;
    };
    for (int r = 0; r < t.RowCount(); ++r) {
        const QPoint mid(px((value(t, t.XColumn, r) + value(t, t.X2Column, r)) / 2),
                         py((value(t, t.YColumn, r) + value(t, t.Y2Column, r)) / 2));
        p.labels.emplace_back(mid, QString::number(r + 1));
    }
    for (int r = 0; r < t.RowCount(); ++r)
        p.lines.emplace_back(QPoint(px(value(t, 0, r)), py(value(t, 1, r))),
                             QPoint(px(value(t, 2, r)), py(value(t, 3, r))));
    return p;
}

QString axisFormat(double low, double high) {
    if (low == 0 && high == 0) return QStringLiteral("%.7g");
    const double a = std::fabs(low), b = std::fabs(high);
    if (a > 100000 || b > 100000 || (a < 0.001 && b < 0.001)) return QStringLiteral("%.3E");
    return QStringLiteral("%.7g");
}

LineChart lineChart(const TGridTableChart& t) {
    LineChart c;
    const int rows = t.RowCount();
    c.hasSecond = t.VisibleColumnCount() == 3 && t.XColumn == 0 && t.YColumn == 1;
    auto title = [&](int column) {
        const TColumn* col = t.Column(column);
        return col->HeaderLineCount() > 0 ? col->HeaderLine(0) : QString();
    };
    if (c.hasSecond) {
        c.firstTitle = title(1);
        c.secondTitle = title(2);
    }
    bool constant = rows > 1;
    const long double y0 = rows > 0 ? value(t, t.YColumn, 0) : 0;
    for (int r = 0; r < rows && constant; ++r)
        constant = value(t, t.YColumn, r) == y0 && (!c.hasSecond || value(t, 2, r) == y0);
    Extent x, y;
    for (int r = 0; r < rows; ++r) {
        const double xv = static_cast<double>(value(t, t.XColumn, r));
        double yv = static_cast<double>(value(t, t.YColumn, r));
        if (constant && r == 1) yv *= 1.001;
        c.first.emplace_back(xv, yv);
        if (c.hasSecond) c.second.emplace_back(xv, static_cast<double>(value(t, 2, r)));
        if (r == 0) x = {xv, xv}, y = {yv, yv};
        x.widen(xv);
        y.widen(yv);
        if (c.hasSecond) y.widen(c.second.back().y());
    }
    c.xTitle = title(t.XColumn);
    c.yTitle = title(t.YColumn);
    c.fixedY = constant;
    if (constant) {
        // 0.9 to 1.1 times the value; a constant zero gets -1 to 1 instead of a range of nothing.
        const double v = static_cast<double>(y0);
        c.yMin = v == 0 ? -1 : std::min(0.9 * v, 1.1 * v);
        c.yMax = v == 0 ? 1 : std::max(0.9 * v, 1.1 * v);
        y = {c.yMin, c.yMax};
    }
    c.xFormat = axisFormat(static_cast<double>(x.low), static_cast<double>(x.high));
    c.yFormat = axisFormat(static_cast<double>(y.low), static_cast<double>(y.high));
    return c;
}

} // namespace chartdata

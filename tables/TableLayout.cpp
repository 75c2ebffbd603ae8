#include "TableLayout.h"

#include "base/Errors.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tablelayout {
namespace {

int columnsWidth(const Metrics& m, int first, int count) {
    int w = 0;
    for (int c = first; c < first + count && c < static_cast<int>(m.columnWidths.size()); ++c)
        w += m.columnWidths[static_cast<size_t>(c)];
    return w;
}

// Columns for a dragged client width: from the first shown column to the right while they fit,
// then to the left; the button row's width always counts as fitting.
void fitColumns(const Metrics& m, int width, bool verticalBar, View& v) {
    const int n = static_cast<int>(m.columnWidths.size());
    const int room = std::max(width, m.minimumClientWidth);
    auto fits = [&](int first, int count) {
        View trial = v;
        trial.firstColumn = first;
        trial.columns = count;
        return clientSize(m, trial, verticalBar, true).width() <= room;
    };
    v.firstColumn = std::clamp(v.firstColumn, 0, n - 1);
    v.columns = 1;
    while (v.firstColumn + v.columns < n && fits(v.firstColumn, v.columns + 1)) ++v.columns;
    while (v.firstColumn > 0 && fits(v.firstColumn - 1, v.columns + 1)) {
        --v.firstColumn;
        ++v.columns;
    }
}

// Whole rows for a dragged client height, at least one; the first row moves up rather than past
// the end of the table.
void fitRows(const Metrics& m, int height, bool horizontalBar, View& v) {
    const int bar = horizontalBar ? m.horizontalScrollBar : 0;
    const int room = height - m.topOfGrid - m.fixedHeight - bar - m.heightBelowGrid;
    v.rows = std::clamp(m.rowHeight > 0 ? room / m.rowHeight : 1, 1, std::max(1, m.rowCount));
    v.firstRow = std::clamp(v.firstRow, 0, std::max(0, m.rowCount - v.rows));
}

long long mismatch(QSize candidate, QSize dragged) {
    const long long w = std::max(candidate.width(), dragged.width());
    const long long h = std::max(candidate.height(), dragged.height());
    return w * h - static_cast<long long>(dragged.width()) * dragged.height();
}

} // namespace

QSize gridSize(const Metrics& m, const View& v, bool verticalBar, bool horizontalBar) {
    return {m.fixedWidth + columnsWidth(m, v.firstColumn, v.columns) +
                (verticalBar ? m.verticalScrollBar : 0),
            m.fixedHeight + v.rows * m.rowHeight + (horizontalBar ? m.horizontalScrollBar : 0)};
}

QSize clientSize(const Metrics& m, const View& v, bool verticalBar, bool horizontalBar) {
    const QSize grid = gridSize(m, v, verticalBar, horizontalBar);
    return {std::max(m.margin + grid.width() + m.margin, m.minimumClientWidth),
            m.topOfGrid + grid.height() + m.heightBelowGrid};
}

Snap snapToWholeCells(const Metrics& m, const View& current, const QRect& dragged, int edges) {
    if (m.columnWidths.empty()) throw ETableError(QStringLiteral("There must be at least 2 columns in grid"));
    const int n = static_cast<int>(m.columnWidths.size());
    const QSize client = dragged.size() - m.frame;
    const bool sideOnly = (edges & (Top | Bottom)) == 0;
    const bool topOrBottomOnly = (edges & (Left | Right)) == 0;

    Snap best;
    long long bestMismatch = std::numeric_limits<long long>::max();
    QSize bestSize;
    const std::array<std::pair<bool, bool>, 4> candidates = {
        {{false, false}, {true, false}, {false, true}, {true, true}}};
    for (const auto& [vertical, horizontal] : candidates) {
        View v = current;
        if (!vertical) {
            v.firstRow = 0;
            v.rows = m.rowCount;
        } else if (!sideOnly) {
            fitRows(m, client.height(), horizontal, v);
        }
        if (!horizontal) {
            v.firstColumn = 0;
            v.columns = n;
        } else if (!topOrBottomOnly) {
            fitColumns(m, client.width(), vertical, v);
        }
        const QSize size = clientSize(m, v, vertical, horizontal) + m.frame;
        const long long miss = mismatch(size, dragged.size());
        if (miss < bestMismatch) {
            bestMismatch = miss;
            best.view = v;
            bestSize = size;
        }
    }
    QRect r(dragged.topLeft(), bestSize);
    if (edges & Left) r.moveRight(dragged.right());
    if (edges & Top) r.moveBottom(dragged.bottom());
    best.window = r;
    return best;
}

} // namespace tablelayout

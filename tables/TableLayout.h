#pragma once
// The geometry of a table window: how large the window must be to show a given block of whole
// columns and rows, and which block to show when the user drags the window's border. Pure
// arithmetic on pixel sizes, so the window and the tests share it.
#include <QRect>
#include <QSize>
#include <vector>

namespace tablelayout {

// Sizes of everything the window holds, in pixels.
struct Metrics {
    int margin = 0;                // around and between the parts
    int fixedWidth = 0;            // the grid's frame and row-label column
    int fixedHeight = 0;           // the grid's frame and header rows
    std::vector<int> columnWidths; // the data columns, left to right
    int rowHeight = 0;             // one data row
    int rowCount = 0;              // data rows
    int verticalScrollBar = 0;     // width
    int horizontalScrollBar = 0;   // height
    int minimumClientWidth = 0;    // the button row and whatever else must fit across, margins included
    int heightBelowGrid = 0;       // from the grid's bottom edge to the client's bottom edge
    int topOfGrid = 0;             // from the client's top edge to the grid (a preview may sit above)
    QSize frame;                   // the window's border: window size = client size + frame
};

// The block of cells shown: the first column and row scrolled in, and how many of each.
struct View {
    int firstColumn = 0;
    int columns = 0;
    int firstRow = 0;
    int rows = 0;
    bool operator==(const View&) const = default;
};

// The grid's size showing `view`, with or without scroll bars.
QSize gridSize(const Metrics& m, const View& view, bool verticalBar, bool horizontalBar);
// The client size for that grid: the grid, the parts below it, the margins.
QSize clientSize(const Metrics& m, const View& view, bool verticalBar, bool horizontalBar);

// Which edges of the window the user drags.
enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };

struct Snap {
    View view;
    QRect window; // the window rectangle to use instead of the dragged one
};

// The layout among four candidates (no scroll bar, vertical, horizontal, both) that shows whole
// columns and rows and sticks out least from the dragged rectangle; the edge opposite to the
// dragged one stays where it is. Throws ETableError for a metrics with no data column.
Snap snapToWholeCells(const Metrics& m, const View& current, const QRect& dragged, int edges);

} // namespace tablelayout

#pragma once
// The window in which the user edits one table: a grid with a row per table row and a column per
// visible table column, the row buttons, the table's comments and help picture. Entries are
// committed to the table when the user leaves a cell; a rejected entry keeps the user in the cell.
#include "Table.h"
#include "TableLayout.h"
#include "base/UserInteraction.h"

#include <QHeaderView>
#include <QPointer>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class TTableForm;

namespace tableformmsg {
inline const QString kAddRow = QStringLiteral("&Add Row");
inline const QString kInsertRow = QStringLiteral("&Insert Row");
inline const QString kDeleteRow = QStringLiteral("&Delete Row");
} // namespace tableformmsg

// What a table window needs of the program around it.
struct TableWindowServices {
    MessageSink& messages;
    FileChooser& files;
    Launcher& launcher;
    std::function<QString()> editorPath; // the text editor the user chose (Options)
};

// The grid: asks the window before the current cell changes, so an entry the table rejects keeps
// the user in its cell.
class TableGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TableGrid(TTableForm& form);
    // Moves the current cell as the key (Tab, Backtab, Up, Down, PageUp, PageDown) would, if the
    // window agrees.
    void moveByKey(int key);
    QLineEdit* cellEditor() const;
    // The headers and scroll bars placed again after the grid changed size.
    void relayout() {
        updateGeometries();
        horizontalHeader()->viewport()->update();
    }

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    TTableForm& m_form;
};

class TTableForm : public QWidget, public TableWindow, public EditorHost, public CommittingChild {
    Q_OBJECT
public:
    TTableForm(TGridTable& table, TableWindowServices services, bool modal, QWidget* parent = nullptr);
    ~TTableForm() override;

    // Opening: MinRows rows at least, the title, the visible rows, the first full refresh.
    virtual void open();

    TGridTable* table() const { return m_table; }
    TableGrid* grid() const { return m_grid; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* insertButton() const { return m_insert; }
    QPushButton* deleteButton() const { return m_delete; }
    QLabel* commentsLabel() const { return m_comments; }
    QLabel* helpImage() const { return m_help; }
    int visibleRows() const { return m_view.rows; }
    int visibleColumns() const { return m_view.columns; }
    // The window that holds this one (a subwindow of the frame, a dialog, or this one).
    QWidget* frame() const;

    // TableWindow
    void refresh() override;
    void cellChanged(int column, int row) override;
    void titleChanged() override;
    bool isModal() const override { return m_modal; }
    void closeWindow() override;
    // EditorHost
    std::unique_ptr<CellEditor> createEditor(TColumn& column, int row) override;
    // CommittingChild
    bool storeToDocument() override { return commitCell(); }

    // The user's commands.
    bool commitCell();
    void addRowClick();
    void insertRowClick();
    void deleteRowClick();
    void enterKey();
    bool canClose();
    // The grid asks before its current cell moves; false keeps it where it is.
    bool selectCell(const QModelIndex& target);
    void currentMoved(const QModelIndex& previous, const QModelIndex& current);
    void focusCell();
    // The user dragged the frame's border to `dragged` (edges: tablelayout::Edge).
    void userResized(const QRect& dragged, int edges);
    tablelayout::Metrics metrics() const;
    // The data cell of the grid's current cell, or -1.
    int currentRow() const;
    // Makes `row`'s first cell current and shows it (a place another window points at).
    void goToRow(int row);

    // Places the parts and sizes the frame to them (after a refresh, a scroll, a change of size).
    void layoutWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Room a subclass takes above the grid, and the parts it places below the row buttons: returns
    // the y below them.
    virtual int heightAboveGrid() const { return 0; }
    virtual int placeBelowButtons(int y) { return y; }
    virtual int widthOfExtras() const { return 0; }
    virtual int maxVisibleRows() const { return 10; }
    virtual void afterRefresh() {}
    // After an entry went into the table.
    virtual void afterCommit() {}
    virtual void gridKey(QEvent*) {}
    int margin() const { return m_margin; }
    TableWindowServices& services() { return m_services; }
    // Commits without a second message when the same rejected text is still in the cell.
    bool commitForCommand();
    // What "&Add Row" and "&Delete Row" do once the current entry is committed.
    void addRowGroup();
    void deleteRowGroup(int row);

private:
    void fillGrid();
    void fillCells();
    void placeButtons();
    void allocateEditors();
    void resizeFrame(QSize client);
    void applyView(const tablelayout::View& view);
    bool isDataCell(const QModelIndex& index) const;
    TColumn* columnAt(int gridColumn) const;
    void enterEditor(int row);
    void chooseItem(int visibleColumn, int row, int index);
    void clickButton(int visibleColumn, int row);
    void frameDeactivated();
    void snapAfterDrag();
    bool frameMaximized() const;
    // After the frame was maximised or put back: the grid fills it, or the window takes its cells'
    // size again.
    void followFrameState();
    void focusChanged(QWidget* old, QWidget* now);

    TGridTable* m_table;
    TableWindowServices m_services;
    bool m_modal;
    int m_margin;
    TableGrid* m_grid;
    QPushButton* m_add;
    QPushButton* m_insert;
    QPushButton* m_delete;
    QLabel* m_comments;
    QLabel* m_help;
    tablelayout::View m_view;
    bool m_resizing = false; // the window sizes its frame: not a drag of the user
    bool m_closing = false;
    QRect m_lastFrame; // the frame as the window last set it
    // The client size the window was given beyond what its cells need (enlarged by the user, or
    // maximised): the grid fills it instead of the window snapping back.
    std::optional<QSize> m_stretch;
    int m_belowGrid = 0; // from the grid's bottom to the client's, as last laid out
    QTimer m_snapTimer;
    QString m_rejectedText; // the text of the last rejected entry while it stays in the cell
    bool m_rejected = false;
    // The row of the list or button last entered: a table of such cells only has no current cell.
    int m_editorRow = -1;
};

#include "TableFormController.h"

#include "ColumnTypes.h"
#include "base/Errors.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {

constexpr char kRowProperty[] = "dizirovi_row";

// The cell editor of the grid: a line edit that stays open on the current cell. Keys that leave
// the cell go to the window, which decides whether the entry may be left; focus leaving the
// editor neither stores nor closes it (the window commits when the user leaves the grid).
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(TTableForm& form, TableGrid& grid)
        : QStyledItemDelegate(&grid), m_form(form), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) edit->setText(index.data().toString());
    }
    // The table, not the grid, is the store: the window commits the text itself.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* edit = qobject_cast<QLineEdit*>(object);
        if (!edit) return false;
        if (event->type() == QEvent::FocusOut) return false;
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: m_form.enterKey(); return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: m_grid.moveByKey(key->key()); return true;
        case Qt::Key_Escape: {
            const QModelIndex current = m_grid.currentIndex();
            edit->setText(current.data().toString());
            return true;
        }
        default: return false;
        }
    }

private:
    TTableForm& m_form;
    TableGrid& m_grid;
};

class ComboEditor : public CellEditor {
public:
    explicit ComboEditor(QComboBox* box) : m_box(box) {}
    void setItemIndex(int index) override {
        if (m_box) m_box->setCurrentIndex(index);
    }

private:
    QPointer<QComboBox> m_box;
};

class ButtonEditor : public CellEditor {
public:
    explicit ButtonEditor(QPushButton* button) : m_button(button) {}
    void setCaption(const QString& caption) override {
        if (m_button) m_button->setText(caption);
    }

private:
    QPointer<QPushButton> m_button;
};

// The grid's top-left cell shows the table's TopLeft text.
class CornerPainter : public QObject {
public:
    CornerPainter(QWidget* corner, std::function<QString()> text) : QObject(corner), m_text(std::move(text)) {
        corner->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto* corner = static_cast<QWidget*>(object);
        QStylePainter painter(corner);
        QStyleOptionHeader option;
        option.initFrom(corner);
        option.rect = corner->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = m_text();
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }

private:
    std::function<QString()> m_text;
};

QString multiLine(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
}

} // namespace

// ---- the grid ----

TableGrid::TableGrid(TTableForm& form) : QTableWidget(&form), m_form(form) {
    setItemDelegate(new CellDelegate(form, *this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setTabKeyNavigation(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionsClickable(false);
    setHorizontalScrollMode(ScrollPerItem);
    setVerticalScrollMode(ScrollPerItem);
}

QLineEdit* TableGrid::cellEditor() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? qobject_cast<QLineEdit*>(indexWidget(current)) : nullptr;
}

void TableGrid::moveByKey(int key) {
    CursorAction action = MoveDown;
    switch (key) {
    case Qt::Key_Tab: action = MoveNext; break;
    case Qt::Key_Backtab: action = MovePrevious; break;
    case Qt::Key_Up: action = MoveUp; break;
    case Qt::Key_PageUp: action = MovePageUp; break;
    case Qt::Key_PageDown: action = MovePageDown; break;
    default: break;
    }
    const QModelIndex target = moveCursor(action, Qt::NoModifier);
    if (target.isValid() && target != currentIndex()) setCurrentIndex(target);
}

QModelIndex TableGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex target = QTableWidget::moveCursor(action, modifiers);
    if (!target.isValid() || target == currentIndex()) return target;
    return m_form.selectCell(target) ? target : currentIndex();
}

void TableGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && target != currentIndex() && !m_form.selectCell(target)) {
        m_form.focusCell();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

// Dragging across cells would move the current cell without asking; the grid selects one cell.
void TableGrid::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) QTableWidget::mouseMoveEvent(event);
}

void TableGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TableGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_form.enterKey();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

// Focus leaving an editor is no Tab key: only the keys move the current cell.
bool TableGrid::focusNextPrevChild(bool next) {
    return QWidget::focusNextPrevChild(next);
}

// The grid passes its focus on to the cell editor: keys typed go into the current cell.
void TableGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    if (QLineEdit* edit = cellEditor()) edit->setFocus(event->reason());
}

void TableGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    m_form.currentMoved(previous, current);
}

void TableGrid::scrollContentsBy(int dx, int dy) {
    QTableWidget::scrollContentsBy(dx, dy);
    // The window shows the columns and rows now scrolled in.
    QMetaObject::invokeMethod(
        &m_form,
        [form = QPointer<TTableForm>(&m_form)] {
            if (form) form->layoutWindow();
        },
        Qt::QueuedConnection);
}

// ---- the window ----

TTableForm::TTableForm(TGridTable& table, TableWindowServices services, bool modal, QWidget* parent)
    : QWidget(parent), m_table(&table), m_services(std::move(services)), m_modal(modal),
      m_margin(std::max(1, logicalDpiX() / 20)) {
    m_grid = new TableGrid(*this);
    m_add = new QPushButton(tableformmsg::kAddRow, this);
    m_insert = new QPushButton(tableformmsg::kInsertRow, this);
    m_delete = new QPushButton(tableformmsg::kDeleteRow, this);
    m_add->setObjectName(QStringLiteral("BtnAdd"));
    m_insert->setObjectName(QStringLiteral("BtnIns"));
    m_delete->setObjectName(QStringLiteral("BtnDel"));
    for (QPushButton* b : {m_add, m_insert, m_delete}) b->setAutoDefault(false);
    m_comments = new QLabel(this);
    m_comments->setObjectName(QStringLiteral("lblComments"));
    m_help = new QLabel(this);
    m_help->setObjectName(QStringLiteral("imgHelp"));
    connect(m_add, &QPushButton::clicked, this, &TTableForm::addRowClick);
    connect(m_insert, &QPushButton::clicked, this, &TTableForm::insertRowClick);
    connect(m_delete, &QPushButton::clicked, this, &TTableForm::deleteRowClick);
    connect(qApp, &QApplication::focusChanged, this, &TTableForm::focusChanged);
    m_snapTimer.setSingleShot(true);
    m_snapTimer.setInterval(150);
    connect(&m_snapTimer, &QTimer::timeout, this, &TTableForm::snapAfterDrag);
    if (auto* corner = m_grid->findChild<QAbstractButton*>())
        new CornerPainter(corner, [this] { return m_table ? m_table->TopLeft : QString(); });
    m_grid->installEventFilter(this);
}

TTableForm::~TTableForm() {
    m_closing = true;
    // The widgets of this window go after this body, when the window is no longer whole: what
    // they set off must not reach it.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    if (QWidget* f = frame(); f != this) {
        f->removeEventFilter(this);
        f->disconnect(this);
    }
    if (TGridTable* t = m_table) {
        m_table = nullptr;
        t->DetachWindow();
        t->CloseWindow(); // the windows of its nested tables
    }
}

QWidget* TTableForm::frame() const {
    QWidget* p = parentWidget();
    if (qobject_cast<QMdiSubWindow*>(p) || qobject_cast<QDialog*>(p)) return p;
    return const_cast<TTableForm*>(this);
}

void TTableForm::open() {
    if (m_table->RowCount() < m_table->MinRows()) m_table->SetRowCount(m_table->MinRows());
    titleChanged();
    const QFontMetrics fm = m_grid->fontMetrics();
    m_grid->verticalHeader()->setFixedWidth(
        std::max(fm.horizontalAdvance(m_table->TopLeft + QStringLiteral("  ")), logicalDpiX() / 3));
    m_grid->verticalHeader()->setDefaultSectionSize(
        std::max(fm.height() + 8, QComboBox().sizeHint().height()));
    m_view.columns = m_table->VisibleColumnCount();
    m_view.rows = std::min(m_table->RowCount(), maxVisibleRows());
    m_table->AttachWindow(this);
    frame()->installEventFilter(this);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame()))
        connect(sub, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates before, Qt::WindowStates now) {
                    if ((before & Qt::WindowActive) && !(now & Qt::WindowActive)) frameDeactivated();
                });
    refresh();
    for (int c = 0; c < m_grid->columnCount(); ++c)
        if (m_table->RowCount() > 0 && !columnAt(c)->UsesEditors()) {
            m_grid->setCurrentCell(0, c);
            break;
        }
}

TColumn* TTableForm::columnAt(int gridColumn) const {
    return m_table->VisibleColumn(gridColumn);
}

bool TTableForm::isDataCell(const QModelIndex& index) const {
    return m_table && index.isValid() && index.row() < m_table->RowCount() &&
           index.column() < m_table->VisibleColumnCount();
}

int TTableForm::currentRow() const {
    const QModelIndex current = m_grid->currentIndex();
    if (isDataCell(current)) return current.row();
    // A table without a typed column (a list of nested tables) has no current cell: the row of the
    // button last used counts, and before any, the first, as a typed table starts there.
    if (m_editorRow >= 0 && m_editorRow < m_table->RowCount()) return m_editorRow;
    return m_table->RowCount() > 0 ? 0 : -1;
}

void TTableForm::goToRow(int row) {
    if (!m_table || row < 0 || row >= m_table->RowCount() || row >= m_grid->rowCount()) return;
    if (m_table->VisibleColumnCount() > 0 && commitForCommand()) {
        m_grid->setCurrentCell(row, 0);
        m_grid->scrollToItem(m_grid->item(row, 0));
    } else {
        m_editorRow = row;
    }
    frame()->raise();
}

void TTableForm::titleChanged() {
    if (m_table) frame()->setWindowTitle(m_table->WindowTitle());
}

// ---- refresh ----

void TTableForm::refresh() {
    if (!m_table) return;
    m_view.columns = std::min(m_view.columns, m_table->VisibleColumnCount());
    m_view.rows = std::min(m_view.rows, m_table->RowCount());
    fillGrid();
    const bool buttons = m_table->MinRows() != m_table->MaxRows;
    for (QPushButton* b : {m_add, m_insert, m_delete}) b->setVisible(buttons);
    m_add->setEnabled(m_table->RowCount() != m_table->MaxRows);
    m_insert->setEnabled(m_table->RowCount() != m_table->MaxRows);
    m_delete->setEnabled(m_table->MinRows() < m_table->RowCount());
    m_comments->setText(multiLine(m_table->Comments));
    m_comments->setVisible(!m_table->Comments.isEmpty());
    m_help->setPixmap(QPixmap::fromImage(m_table->HelpPicture()));
    m_help->setVisible(!m_table->HelpPicture().isNull());
    layoutWindow();
    afterRefresh();
}

void TTableForm::fillGrid() {
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid() && m_grid->isPersistentEditorOpen(current))
        m_grid->closePersistentEditor(m_grid->item(current.row(), current.column()));
    const int columns = m_table->VisibleColumnCount();
    int headerLines = 0;
    for (int c = 0; c < columns; ++c) headerLines = std::max(headerLines, columnAt(c)->HeaderLineCount());
    m_grid->setColumnCount(columns);
    m_grid->setRowCount(m_table->RowCount());
    const QFontMetrics fm = m_grid->fontMetrics();
    for (int c = 0; c < columns; ++c) {
        const TColumn* column = columnAt(c);
        QStringList lines;
        for (int k = 0; k < headerLines; ++k)
            lines << (k < column->HeaderLineCount() ? column->HeaderLine(k) : QString());
        m_grid->setHorizontalHeaderItem(c, new QTableWidgetItem(lines.join('\n')));
        m_grid->setColumnWidth(c, column->DisplayWidth(fm, logicalDpiX()));
    }
    QStringList labels;
    for (int r = 0; r < m_table->RowCount(); ++r) labels << QString::number(r / m_table->RowGroup() + 1);
    m_grid->setVerticalHeaderLabels(labels);
    fillCells();
    allocateEditors();
    const QModelIndex now = m_grid->currentIndex();
    if (isDataCell(now) && !columnAt(now.column())->UsesEditors())
        m_grid->openPersistentEditor(m_grid->item(now.row(), now.column()));
}

void TTableForm::fillCells() {
    // Rows the table gained without a refresh (a row count set by the program) wait for the next.
    const int rows = std::min(m_table->RowCount(), m_grid->rowCount());
    for (int c = 0; c < m_grid->columnCount(); ++c) {
        const TColumn* column = columnAt(c);
        for (int r = 0; r < rows; ++r) {
            QTableWidgetItem* item = m_grid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                m_grid->setItem(r, c, item);
            }
            if (column->UsesEditors()) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setText(QString());
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
                item->setText(column->GetText(r));
            }
        }
    }
}

void TTableForm::allocateEditors() {
    if (m_table->RowCount() == 0) return;
    for (int c = 0; c < m_table->VisibleColumnCount(); ++c) {
        TColumn* column = columnAt(c);
        if (!column->UsesEditors()) continue;
        column->ReleaseEditors();
        column->AllocateEditors(this, 0, m_table->RowCount());
    }
}

std::unique_ptr<CellEditor> TTableForm::createEditor(TColumn& column, int row) {
    const int c = m_table->VisibleIndexOf(&column);
    if (auto* e = dynamic_cast<TEnumColumn*>(&column)) {
        if (row < 0) throw ETableError(tablemsg::kComboRow);
        auto* box = new QComboBox;
        box->addItems(e->Items());
        box->setMaxVisibleItems(11);
        box->setProperty(kRowProperty, row);
        box->installEventFilter(this);
        connect(box, &QComboBox::activated, this, [this, c, row](int index) { chooseItem(c, row, index); });
        m_grid->setCellWidget(row, c, box);
        return std::make_unique<ComboEditor>(box);
    }
    auto* button = new QPushButton;
    button->setProperty(kRowProperty, row);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this, [this, c, row] { clickButton(c, row); });
    m_grid->setCellWidget(row, c, button);
    return std::make_unique<ButtonEditor>(button);
}

void TTableForm::cellChanged(int column, int row) {
    if (!m_table) return;
    const int c = m_table->VisibleIndexOf(m_table->Column(column));
    if (c < 0 || row >= m_grid->rowCount() || m_table->Column(column)->UsesEditors()) return;
    if (QTableWidgetItem* item = m_grid->item(row, c)) item->setText(m_table->Column(column)->GetText(row));
}

// ---- layout ----

tablelayout::Metrics TTableForm::metrics() const {
    tablelayout::Metrics m;
    m.margin = m_margin;
    const int frameWidth = m_grid->frameWidth();
    m.fixedWidth = 2 * frameWidth + m_grid->verticalHeader()->width();
    m.fixedHeight = 2 * frameWidth + m_grid->horizontalHeader()->sizeHint().height();
    for (int c = 0; c < m_grid->columnCount(); ++c) m.columnWidths.push_back(m_grid->columnWidth(c));
    m.rowHeight = m_grid->verticalHeader()->defaultSectionSize();
    m.rowCount = m_table ? m_table->RowCount() : 0;
    m.verticalScrollBar = m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m.horizontalScrollBar = m.verticalScrollBar;
    m.minimumClientWidth = std::max(m_margin + m_add->width() + m_margin + m_insert->width() + m_margin +
                                        m_delete->width() + m_margin,
                                    widthOfExtras());
    m.topOfGrid = m_margin + heightAboveGrid();
    return m;
}

void TTableForm::layoutWindow() {
    if (!m_table) return;
    tablelayout::Metrics m = metrics();
    m_view.firstColumn = m_grid->horizontalScrollBar()->value();
    m_view.firstRow = m_grid->verticalScrollBar()->value();
    const bool vertical = m_view.rows < m.rowCount;
    const bool horizontal = m_view.columns < static_cast<int>(m.columnWidths.size());
    QSize grid = tablelayout::gridSize(m, m_view, vertical, horizontal);
    if (frameMaximized()) m_stretch = size();
    // A dimension of zero is not stretched.
    if (m_stretch)
        grid = grid.expandedTo(
            QSize(m_stretch->width() > 0 ? m_stretch->width() - 2 * m_margin : 0,
                  m_stretch->height() > 0 ? m_stretch->height() - m.topOfGrid - m_belowGrid : 0));
    m_grid->setGeometry(m_margin, m.topOfGrid, grid.width(), grid.height());
    m_grid->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_grid->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_grid->relayout();
    int y = m.topOfGrid + grid.height() + m_margin;
    placeButtons();
    for (QPushButton* b : {m_add, m_insert, m_delete}) b->move(b->x(), y);
    if (m_add->isVisibleTo(this)) y += m_add->height() + m_margin;
    y = placeBelowButtons(y);
    m_comments->move(m_margin, y);
    m_comments->adjustSize();
    if (m_comments->isVisibleTo(this)) y += m_comments->height() + m_margin;
    m_help->move(m_margin, y);
    m_help->adjustSize();
    if (m_help->isVisibleTo(this)) y += m_help->height() + m_margin;
    m_belowGrid = y - (m.topOfGrid + grid.height());
    const int width =
        std::max({m_margin + grid.width() + m_margin, m.minimumClientWidth,
                  m_comments->isVisibleTo(this) ? m_margin + m_comments->width() + m_margin : 0});
    // A maximised frame keeps its size; any other takes that of its parts (the grid stretched or not).
    if (frameMaximized()) return;
    resizeFrame(QSize(width, y));
}

bool TTableForm::frameMaximized() const {
    const QWidget* f = frame();
    return f != this && f->isMaximized();
}

void TTableForm::followFrameState() {
    if (!m_table || m_closing) return;
    if (frameMaximized()) {
        // As many whole cells as the maximised window holds; the grid fills the rest.
        userResized(frame()->geometry(), tablelayout::Right | tablelayout::Bottom);
    } else {
        m_stretch.reset();
        layoutWindow();
    }
}

void TTableForm::placeButtons() {
    int x = m_margin;
    for (QPushButton* b : {m_add, m_insert, m_delete}) {
        b->adjustSize();
        b->move(x, b->y());
        x += b->width() + m_margin;
    }
}

void TTableForm::resizeFrame(QSize client) {
    m_resizing = true;
    setMinimumSize(0, 0);
    QWidget* f = frame();
    if (f == this) {
        resize(client);
    } else {
        const QSize decoration = f->size() - size();
        resize(client);
        f->resize(client + decoration);
    }
    m_lastFrame = f->geometry();
    m_resizing = false;
}

void TTableForm::applyView(const tablelayout::View& view) {
    m_view = view;
    m_grid->horizontalScrollBar()->setValue(view.firstColumn);
    m_grid->verticalScrollBar()->setValue(view.firstRow);
}

void TTableForm::snapAfterDrag() {
    if (!m_table || m_closing || !m_lastFrame.isValid() || frameMaximized()) return;
    const QRect now = frame()->geometry();
    // Moved, not resized (dragged by its title bar, or cascaded): nothing to snap.
    if (now.size() == m_lastFrame.size()) {
        m_lastFrame = now;
        return;
    }
    int edges = 0;
    if (now.left() != m_lastFrame.left()) edges |= tablelayout::Left;
    if (now.right() != m_lastFrame.right()) edges |= tablelayout::Right;
    if (now.top() != m_lastFrame.top()) edges |= tablelayout::Top;
    if (now.bottom() != m_lastFrame.bottom()) edges |= tablelayout::Bottom;
    if (edges) userResized(now, edges);
}

void TTableForm::userResized(const QRect& dragged, int edges) {
    tablelayout::Metrics m = metrics();
    if (m.columnWidths.empty()) return;
    m.heightBelowGrid = m_belowGrid;
    m.frame = frame()->size() - size();
    const tablelayout::Snap snap = tablelayout::snapToWholeCells(m, m_view, dragged, edges);
    applyView(snap.view);
    // Every row (or column) in view and the window dragged larger than they need: it keeps the size
    // the user gave it in that direction, the grid filling it (snapping back to the cells' size made
    // an enlarged window never grow).
    const QSize given = dragged.size() - m.frame, needed = snap.window.size() - m.frame;
    QSize stretch(0, 0);
    if (snap.view.columns >= static_cast<int>(m.columnWidths.size()) && given.width() > needed.width())
        stretch.setWidth(given.width());
    if (snap.view.rows >= m.rowCount && given.height() > needed.height()) stretch.setHeight(given.height());
    m_stretch = stretch.isNull() ? std::nullopt : std::optional<QSize>(stretch);
    layoutWindow();
    if (frameMaximized()) return;
    // The edges opposite to the dragged ones stay where they were.
    QRect target(snap.window.topLeft(), frame()->size());
    if (edges & tablelayout::Left) target.moveRight(snap.window.right());
    if (edges & tablelayout::Top) target.moveBottom(snap.window.bottom());
    m_resizing = true;
    frame()->setGeometry(target);
    m_lastFrame = frame()->geometry();
    m_resizing = false;
}

// ---- committing ----

bool TTableForm::commitCell() {
    if (!m_table) return true;
    const QModelIndex current = m_grid->currentIndex();
    if (!isDataCell(current)) return true;
    TColumn* column = columnAt(current.column());
    // Drop-down and button cells store (and mark the table) as they are used.
    if (column->UsesEditors()) return true;
    QLineEdit* edit = m_grid->cellEditor();
    const QString shown = m_grid->item(current.row(), current.column())->text();
    const QString text = edit ? edit->text() : shown;
    // An entry left as it is shown is no edit: storing it again would mark a just-saved document
    // changed each time a menu commits the window, and cut the stored value to the digits shown.
    if (text == shown && !m_rejected) return true;
    m_table->SetChanged(true);
    try {
        column->SetText(current.row(), text);
    } catch (const EAssignError& e) {
        m_rejected = true;
        m_rejectedText = text;
        m_services.messages.warning(e.message());
        focusCell();
        return false;
    } catch (const EDiziOvi& e) {
        // Any other fault of the arithmetic (a division by zero): the user stays in the cell too.
        m_rejected = true;
        m_rejectedText = text;
        m_services.messages.error(e.message());
        focusCell();
        return false;
    }
    m_rejected = false;
    // One entry can change other cells (grouped rows, linked depths).
    fillCells();
    if (edit) edit->setText(m_grid->item(current.row(), current.column())->text());
    afterCommit();
    return true;
}

bool TTableForm::commitForCommand() {
    QLineEdit* edit = m_grid->cellEditor();
    if (m_rejected && edit && edit->text() == m_rejectedText) {
        focusCell();
        return false;
    }
    return commitCell();
}

bool TTableForm::selectCell(const QModelIndex& target) {
    if (!commitCell()) return false;
    return isDataCell(target) && !columnAt(target.column())->UsesEditors();
}

void TTableForm::currentMoved(const QModelIndex& previous, const QModelIndex& current) {
    // The new cell's editor takes the focus before the old one closes: a focused editor that
    // goes away would hand the focus on by itself.
    if (isDataCell(current) && !columnAt(current.column())->UsesEditors()) {
        m_grid->openPersistentEditor(m_grid->item(current.row(), current.column()));
        focusCell();
    }
    if (previous.isValid() && previous != current)
        if (QTableWidgetItem* item = m_grid->item(previous.row(), previous.column()))
            m_grid->closePersistentEditor(item);
}

void TTableForm::focusCell() {
    if (QLineEdit* edit = m_grid->cellEditor())
        edit->setFocus();
    else
        m_grid->setFocus();
}

void TTableForm::enterKey() {
    const QModelIndex current = m_grid->currentIndex();
    if (!isDataCell(current)) return;
    int row = current.row() + 1, column = current.column();
    if (row >= m_table->RowCount()) {
        row = 0;
        column = column + 1 < m_grid->columnCount() ? column + 1 : 0;
    }
    const QModelIndex target = m_grid->model()->index(row, column);
    if (target != current && selectCell(target)) m_grid->setCurrentIndex(target);
}

bool TTableForm::canClose() {
    return !m_table || commitCell();
}

// ---- row buttons ----

void TTableForm::addRowClick() {
    if (commitForCommand()) addRowGroup();
}

void TTableForm::addRowGroup() {
    const int before = m_table->RowCount();
    if (m_view.rows == before) m_view.rows = std::min(m_view.rows + m_table->RowGroup(), maxVisibleRows());
    m_table->SetChanged(true);
    m_table->AddRowGroup();
    // The new last row is shown.
    const int last = m_table->RowCount() - 1;
    if (last >= m_grid->verticalScrollBar()->value() + m_view.rows)
        m_grid->verticalScrollBar()->setValue(std::max(0, last - m_view.rows + 1));
    refresh();
}

void TTableForm::insertRowClick() {
    if (!commitForCommand()) return;
    const int row = currentRow();
    // No row at all: inserting is adding.
    if (row < 0) return addRowGroup();
    m_table->SetChanged(true);
    if (m_view.rows == m_table->RowCount())
        m_view.rows = std::min(m_view.rows + m_table->RowGroup(), maxVisibleRows());
    m_table->InsertRowGroup(row);
}

void TTableForm::deleteRowClick() {
    if (!commitForCommand()) return;
    const int row = currentRow();
    if (row < 0) return; // nothing to delete
    deleteRowGroup(row);
}

void TTableForm::deleteRowGroup(int row) {
    m_table->SetChanged(true);
    m_table->DeleteRowGroup(row);
}

// ---- editors ----

void TTableForm::enterEditor(int row) {
    m_editorRow = row;
    const QModelIndex current = m_grid->currentIndex();
    if (isDataCell(current) && current.row() != row)
        m_grid->setCurrentIndex(m_grid->model()->index(row, current.column()));
}

void TTableForm::chooseItem(int visibleColumn, int row, int index) {
    if (!m_table) return;
    TColumn* column = columnAt(visibleColumn);
    if (index + 1 == column->GetInteger(row)) return;
    // A choice is an edit like any other: the document must know it changed.
    m_table->SetChanged(true);
    column->SetInteger(row, index + 1);
}

void TTableForm::clickButton(int visibleColumn, int row) {
    if (!m_table) return;
    if (auto* column = dynamic_cast<TTableColumn*>(columnAt(visibleColumn))) column->ButtonClick(row);
}

// ---- focus, activation, closing ----

bool TTableForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame() && watched != this) {
        if (event->type() == QEvent::Close && !m_closing && !canClose()) {
            event->ignore();
            return true;
        }
        // The window snaps once the user has let go of its border: snapping while the drag goes on
        // would fight the frame area or the window manager over the geometry. A subwindow of the
        // frame shows the drag's end by the mouse; a window of its own by a pause in its resizing.
        const bool inFrameArea = qobject_cast<QMdiSubWindow*>(watched) != nullptr;
        if (inFrameArea && event->type() == QEvent::MouseButtonRelease) snapAfterDrag();
        // Maximised or put back: the new size is known once the state change has been handled.
        if (event->type() == QEvent::WindowStateChange)
            QTimer::singleShot(0, this, &TTableForm::followFrameState);
        if (!inFrameArea && event->type() == QEvent::Resize && !m_resizing && m_table) m_snapTimer.start();
        return false;
    }
    if (watched == m_grid && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        gridKey(event);
        return false;
    }
    const QVariant row = watched->property(kRowProperty);
    if (row.isValid() && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)) {
        // Entering a list or button of a row: the current entry is committed first, and the
        // grid's current row follows; a rejected entry keeps the user in its cell.
        if (!commitForCommand()) return event->type() == QEvent::MouseButtonPress;
        enterEditor(row.toInt());
    }
    return false;
}

void TTableForm::closeEvent(QCloseEvent* event) {
    if (!m_closing && frame() == this && !canClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TTableForm::focusChanged(QWidget* old, QWidget* now) {
    if (!m_table || m_closing || !old || !now) return;
    const bool wasInGrid = old == m_grid || m_grid->isAncestorOf(old);
    const bool inGrid = now == m_grid || m_grid->isAncestorOf(now);
    if (!wasInGrid || inGrid || !isAncestorOf(now)) return;
    if (now->property(kRowProperty).isValid()) return; // entering a row's list or button
    // Leaving the grid for another control of this window.
    if (!commitForCommand() && !m_modal) focusCell();
}

void TTableForm::frameDeactivated() {
    if (!m_table || m_closing || m_modal) return;
    if (!commitForCommand())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frame()); sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
}

void TTableForm::closeWindow() {
    // The table closes the window or goes away: nothing more is committed to it.
    m_table = nullptr;
    m_closing = true;
    QWidget* f = frame();
    f->hide();
    f->deleteLater();
}

// Table windows driven as the user drives them: typing into cells, moving, the row buttons, the
// list and button editors, closing and switching windows, and the boundary-line window's preview
// and import.
#include "FakeServices.h"
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "RecordingMessages.h"
#include "base/Errors.h"
#include "base/TextEditor.h"
#include "tables/ChartData.h"
#include "tables/ColStream.h"
#include "tables/ColumnTypes.h"
#include "tables/TableChart.h"
#include "tables/TableWindows.h"

#include <QApplication>
#include <QChart>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TGridTable> tableFrom(TableRegistry& registry, const QString& col) {
    auto t = std::make_unique<TGridTable>(registry);
    ColReader reader(decodeColText(col));
    t->ReadDefinition(reader);
    return t;
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Tables in windows of an MDI area, on recording services.
class TableWindowTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedFiles files;
    RecordingLauncher launcher;
    QString editor = QStringLiteral("myeditor --new-window");
    QMdiArea area;
    TableRegistry registry;
    TableWindows windows{&area, &area,
                         TableWindowServices{messages, files, launcher, [this] { return editor; }}};

    void SetUp() override {
        registry.SetWindowProvider(&windows);
        area.resize(1200, 900);
        area.show();
    }
    void TearDown() override {
        for (QMdiSubWindow* sub : area.subWindowList())
            if (auto* form = qobject_cast<TTableForm*>(sub->widget()); form && form->table())
                form->table()->CloseWindow();
        settle();
    }
    static TTableForm* formOf(const TGridTable& t) { return dynamic_cast<TTableForm*>(t.Window()); }
    // Types text into the current cell and presses a key, as the user does.
    static void type(TTableForm* form, const QString& text, int key = Qt::Key_Down) {
        QLineEdit* edit = form->grid()->cellEditor();
        ASSERT_TRUE(edit);
        edit->setText(text);
        QTest::keyClick(edit, static_cast<Qt::Key>(key));
    }
};

// Number (0..20), X (length), Kind (a list of two).
const char* const kThreeColumns = "3 1 ('N') True False 0 0 20 "
                                  "2 ('X' 'Length') True False False 'FLOATCOLUMN2' 'L2' 1.5 "
                                  "0 ('Kind') True False ('a', 'b')";

TEST_F(TableWindowTest, RowButtonsFollowTheRowLimits) {
    auto t = tableFrom(registry, kThreeColumns);
    t->Caption = QStringLiteral("Points");
    t->SetMinRows(2);
    t->MaxRows = 4;
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    ASSERT_TRUE(form);
    EXPECT_EQ(t->RowCount(), 2) << "opening gives MinRows rows";
    EXPECT_EQ(t->Cell(1, 1).GetFloat(), 1.5) << "holding the column defaults";
    EXPECT_EQ(form->frame()->windowTitle(), "Points ");
    EXPECT_TRUE(form->addButton()->isVisible());
    EXPECT_FALSE(form->deleteButton()->isEnabled()) << "at MinRows";
    form->addRowClick();
    form->addRowClick();
    EXPECT_EQ(t->RowCount(), 4);
    EXPECT_FALSE(form->addButton()->isEnabled()) << "at MaxRows";
    EXPECT_FALSE(form->insertButton()->isEnabled());
    EXPECT_TRUE(form->deleteButton()->isEnabled());
    EXPECT_TRUE(t->IsChanged());

    auto fixed = tableFrom(registry, kThreeColumns);
    fixed->SetMinRows(3);
    fixed->MaxRows = 3;
    fixed->ShowWindow();
    EXPECT_FALSE(formOf(*fixed)->addButton()->isVisible());
    EXPECT_FALSE(formOf(*fixed)->deleteButton()->isVisible());
}

TEST_F(TableWindowTest, TenRowsShownAndAddScrollsToTheNewRow) {
    auto t = tableFrom(registry, kThreeColumns);
    t->SetRowCount(12);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    EXPECT_EQ(form->visibleRows(), 10);
    EXPECT_TRUE(form->grid()->verticalScrollBar()->isVisible());
    form->addRowClick();
    ASSERT_EQ(t->RowCount(), 13);
    const QRect last = form->grid()->visualRect(form->grid()->model()->index(12, 0));
    EXPECT_TRUE(form->grid()->viewport()->rect().contains(last)) << "the new last row is in view";
    // The window is as tall as ten rows, not as the table.
    EXPECT_LT(form->grid()->height(), 12 * form->grid()->verticalHeader()->defaultSectionSize());
}

// A border dragged by the user: whole columns, and nothing of the window cut off.
TEST_F(TableWindowTest, DraggedBorderSnapsToWholeColumns) {
    auto t = tableFrom(registry, kThreeColumns);
    t->Comments = QStringLiteral("Three columns");
    t->SetRowCount(3);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    QWidget* frame = form->frame();
    const QRect before = frame->geometry();
    frame->setGeometry(before.adjusted(0, 0, -form->grid()->columnWidth(2) / 2, 0));
    form->userResized(frame->geometry(), tablelayout::Right);
    EXPECT_EQ(form->visibleColumns(), 2);
    EXPECT_EQ(frame->geometry().topLeft(), before.topLeft()) << "the left edge stays";
    EXPECT_TRUE(form->grid()->horizontalScrollBar()->isVisibleTo(form));
    settle();
    EXPECT_LE(form->commentsLabel()->geometry().bottom(), form->height()) << "the comments stay in view";
    EXPECT_GT(frame->height(), before.height()) << "taller by the scroll bar";
}

// A window dragged larger than its cells need keeps the size it was given, the grid filling it; a
// maximised one fills the frame area and takes its cells' size again when put back.
TEST_F(TableWindowTest, EnlargedAndMaximisedWindowsShowMoreOfTheGrid) {
    auto t = tableFrom(registry, kThreeColumns);
    t->SetRowCount(3);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    auto* frame = qobject_cast<QMdiSubWindow*>(form->frame());
    ASSERT_TRUE(frame);
    const QRect natural = frame->geometry();
    const QSize grid = form->grid()->size();
    const QRect dragged = natural.adjusted(0, 0, 150, 120);
    frame->setGeometry(dragged);
    form->userResized(dragged, tablelayout::Right | tablelayout::Bottom);
    EXPECT_EQ(frame->geometry(), dragged) << "not pulled back to the cells' size";
    EXPECT_GT(form->grid()->width(), grid.width() + 100);
    EXPECT_GT(form->grid()->height(), grid.height() + 80);
    EXPECT_EQ(form->visibleRows(), 3);
    // A row more: the grid still fills the window.
    form->addRowClick();
    EXPECT_EQ(frame->size(), dragged.size());
    // Dragged back below the cells' size: whole cells again.
    const QRect smaller = natural.adjusted(0, 0, -form->grid()->columnWidth(2) / 2, 0);
    frame->setGeometry(smaller);
    form->userResized(smaller, tablelayout::Right | tablelayout::Bottom);
    EXPECT_EQ(form->visibleColumns(), 2);

    frame->showMaximized();
    settle();
    EXPECT_EQ(frame->size(), area.viewport()->size());
    EXPECT_GT(form->grid()->height(), area.viewport()->height() / 2) << "the grid fills the maximised window";
    EXPECT_EQ(form->visibleColumns(), 3);
    frame->showNormal();
    settle();
    EXPECT_LT(frame->height(), area.viewport()->height() / 2) << "put back: the cells' size";
}

TEST_F(TableWindowTest, RejectedEntryKeepsTheUserInTheCell) {
    auto t = tableFrom(registry, kThreeColumns);
    t->SetRowCount(2);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    ASSERT_EQ(form->grid()->currentIndex().row(), 0);
    type(form, "25");
    EXPECT_EQ(messages.shown, QStringList{"warning: Entry must be between 0 and 20."});
    EXPECT_EQ(form->grid()->currentIndex().row(), 0) << "the cursor stays";
    EXPECT_EQ(form->grid()->cellEditor()->text(), "25") << "with the rejected text";
    EXPECT_EQ(t->Cell(0, 0).GetInteger(), 0);
    // Closing is refused, and so is a row command, without a second message for the same text.
    EXPECT_FALSE(form->frame()->close());
    form->addRowClick();
    EXPECT_EQ(t->RowCount(), 2);
    EXPECT_EQ(messages.shown.size(), 2);
    // Corrected, it goes in; an expression is worked out.
    type(form, "2*3.5");
    EXPECT_EQ(t->Cell(0, 0).GetInteger(), 7);
    EXPECT_EQ(form->grid()->item(0, 0)->text(), "7");
    EXPECT_EQ(form->grid()->currentIndex().row(), 1);
    EXPECT_TRUE(form->frame()->close());
    settle();
    EXPECT_FALSE(t->HasWindow());
}

TEST_F(TableWindowTest, EnterMovesDownThenToTheNextColumn) {
    auto t = tableFrom(registry, "2 2 ('A') True False False 'FLOATCOLUMN2' '' 0 "
                                 "2 ('B') True False False 'FLOATCOLUMN2' '' 0");
    t->SetRowCount(2);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    const struct {
        const char* text;
        int row, column; // where the cursor is afterwards
    } steps[] = {{"1", 1, 0}, {"2", 0, 1}, {"3", 1, 1}, {"4", 0, 0}};
    for (const auto& s : steps) {
        type(form, s.text, Qt::Key_Return);
        EXPECT_EQ(form->grid()->currentIndex().row(), s.row) << s.text;
        EXPECT_EQ(form->grid()->currentIndex().column(), s.column) << s.text;
    }
    EXPECT_EQ(t->Cell(1, 1).GetFloat(), 4);
}

// Typing with Tab between cells, as on a real display where the focused editor closing hands the
// focus on: every Tab moves exactly one cell.
TEST_F(TableWindowTest, TabMovesOneCell) {
    auto t = tableFrom(registry, "3 2 ('A') True False False 'FLOATCOLUMN2' '' 0 "
                                 "2 ('B') True False False 'FLOATCOLUMN2' '' 0 "
                                 "2 ('C') True False False 'FLOATCOLUMN2' '' 0");
    t->SetRowCount(1);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    QApplication::setActiveWindow(&area);
    form->focusCell();
    ASSERT_TRUE(form->grid()->cellEditor()->hasFocus());
    for (const char* text : {"1", "2", "3"}) {
        QLineEdit* edit = form->grid()->cellEditor();
        ASSERT_TRUE(edit->hasFocus()) << text;
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    EXPECT_EQ(t->Cell(0, 0).GetFloat(), 1);
    EXPECT_EQ(t->Cell(1, 0).GetFloat(), 2);
    EXPECT_EQ(t->Cell(2, 0).GetFloat(), 3);
}

TEST_F(TableWindowTest, ListsAndButtonsEditTheirRow) {
    TableRegistry& r = registry;
    auto first = tableFrom(r, "1 2 ('A') True False False 'FLOATCOLUMN2' '' 0");
    first->Caption = "First";
    first->SetIdentifier(101);
    auto second = tableFrom(r, "1 2 ('B') True False False 'FLOATCOLUMN2' '' 0");
    second->Caption = "Second";
    second->SetIdentifier(102);
    auto t = tableFrom(r, "3 0 ('Kind') True False ('first', 'second') "
                          "3 ('Data') True False 'FLEXCOLUMN2' (101, 102) "
                          "2 ('X') True False False 'FLOATCOLUMN2' '' 0");
    t->SetRowCount(2);
    t->ShowWindow();
    TTableForm* form = formOf(*t);
    EXPECT_EQ(form->grid()->currentIndex().column(), 2) << "the first text column is current";
    EXPECT_EQ(qobject_cast<QPushButton*>(form->grid()->cellWidget(1, 1))->text(), "2: First");
    auto* list = qobject_cast<QComboBox*>(form->grid()->cellWidget(1, 0));
    ASSERT_TRUE(list);
    // Clicking into the list commits the current entry and moves the current row, not the column.
    form->grid()->cellEditor()->setText("9");
    QTest::mouseClick(list, Qt::LeftButton);
    EXPECT_EQ(t->Cell(2, 0).GetFloat(), 9);
    EXPECT_EQ(form->grid()->currentIndex().row(), 1);
    EXPECT_EQ(form->grid()->currentIndex().column(), 2);
    // Choosing another item rebuilds that row's nested table only.
    TGridTable* untouched = t->Cell(1, 0).Table();
    list->hidePopup();
    list->setCurrentIndex(1);
    Q_EMIT list->activated(1);
    EXPECT_EQ(t->Cell(0, 1).GetInteger(), 2);
    EXPECT_EQ(t->Cell(1, 1).Table()->Caption, "Second");
    EXPECT_EQ(t->Cell(1, 0).Table(), untouched);
    EXPECT_TRUE(t->IsChanged()) << "a choice is a change the document must know";
    auto* button = qobject_cast<QPushButton*>(form->grid()->cellWidget(1, 1));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), "2: Second");
    // The button opens the nested table's window; closing this window closes that one too.
    button->click();
    TGridTable* nested = t->Cell(1, 1).Table();
    ASSERT_TRUE(nested->HasWindow());
    EXPECT_FALSE(nested->Window()->isModal());
    EXPECT_EQ(formOf(*nested)->frame()->windowTitle(), "Second  2");
    EXPECT_TRUE(form->frame()->close());
    settle();
    EXPECT_FALSE(nested->HasWindow());
}

TEST_F(TableWindowTest, ModalWindowsOpenTheirNestedTablesModally) {
    auto inner = tableFrom(registry, "1 2 ('A') True False False 'FLOATCOLUMN2' '' 0");
    inner->SetIdentifier(201);
    auto t = tableFrom(registry, "1 3 ('Data') True False 'FLEXCOLUMN2' (201)");
    t->SetRowCount(1);
    t->ShowModalWindow();
    TTableForm* form = formOf(*t);
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isModal());
    EXPECT_TRUE(qobject_cast<QDialog*>(form->frame()));
    qobject_cast<QPushButton*>(form->grid()->cellWidget(0, 0))->click();
    ASSERT_TRUE(t->Cell(0, 0).Table()->HasWindow());
    EXPECT_TRUE(t->Cell(0, 0).Table()->Window()->isModal());
}

// Windows already open fill the area's left part: the next table window must still be seen whole.
TEST_F(TableWindowTest, NewWindowsOpenInsideTheVisibleArea) {
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area.resize(1000, 680);
    for (const QRect at : {QRect(0, 0, 610, 220), QRect(610, 0, 230, 95), QRect(0, 220, 460, 165),
                           QRect(462, 220, 418, 217)}) {
        auto* other = area.addSubWindow(new QWidget);
        other->setGeometry(at);
        other->show();
    }
    auto t = tableFrom(registry, kThreeColumns);
    t->SetRowCount(3);
    t->ShowWindow();
    const QRect placed = formOf(*t)->frame()->geometry();
    ASSERT_LE(placed.width(), area.viewport()->width());
    EXPECT_TRUE(area.viewport()->rect().contains(placed)) << placed.x() << "," << placed.y();
}

TEST_F(TableWindowTest, EntriesReachTheTableWhenTheUserLeaves) {
    auto a = tableFrom(registry, kThreeColumns);
    auto b = tableFrom(registry, kThreeColumns);
    a->SetRowCount(1);
    b->SetRowCount(1);
    a->ShowWindow();
    b->ShowWindow();
    TTableForm* fa = formOf(*a);
    area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(fa->frame()));
    fa->grid()->cellEditor()->setText("12");
    area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(formOf(*b)->frame()));
    EXPECT_EQ(a->Cell(0, 0).GetInteger(), 12) << "another window activated";
    formOf(*b)->grid()->cellEditor()->setText("13");
    formOf(*b)->storeToDocument();
    EXPECT_EQ(b->Cell(0, 0).GetInteger(), 13) << "the frame asks before a menu acts";
    formOf(*b)->grid()->cellEditor()->setText("14");
    EXPECT_TRUE(formOf(*b)->frame()->close());
    EXPECT_EQ(b->Cell(0, 0).GetInteger(), 14) << "the window closed";
    // A rejected entry brings its window back to the front.
    fa->grid()->cellEditor()->setText("99");
    auto c = tableFrom(registry, kThreeColumns);
    c->ShowWindow();
    EXPECT_EQ(area.activeSubWindow(), fa->frame());
}

// The snapping of a dragged border: the candidate that sticks out least wins, whole cells only.
TEST(TableLayout, SnapsToTheCandidateOfSmallestMismatch) {
    tablelayout::Metrics m;
    m.margin = 5;
    m.fixedWidth = 40;
    m.fixedHeight = 30;
    m.columnWidths = {100, 100, 100};
    m.rowHeight = 20;
    m.rowCount = 20;
    m.verticalScrollBar = m.horizontalScrollBar = 15;
    m.minimumClientWidth = 250;
    m.heightBelowGrid = 50;
    m.topOfGrid = 5;
    m.frame = QSize(10, 30);
    const tablelayout::View current{0, 3, 0, 10};
    using tablelayout::Edge;
    const struct {
        QRect dragged;
        int edges;
        tablelayout::View view;
        QRect window;
    } cases[] = {
        // Bottom edge dragged to 12.5 rows: twelve whole rows, all columns, same width.
        // Bottom edge dragged to a client height of 345: 13 whole rows fit exactly beside a vertical
        // scroll bar, which widens the window by its 15 pixels; the columns stay.
        {QRect(0, 0, 360, 375), Edge::Bottom, {0, 3, 0, 13}, QRect(0, 0, 375, 375)},
        // Dragged taller than the whole table: every row, no scroll bar.
        {QRect(0, 0, 345, 900), Edge::Bottom, {0, 3, 0, 20}, QRect(0, 0, 360, 515)},
        // Left edge dragged to 260 wide: with both scroll bars one whole column fits and nothing
        // sticks out; the right edge stays where it was.
        {QRect(100, 0, 260, 365), Edge::Left, {0, 1, 0, 10}, QRect(100, 0, 260, 330)},
        // Top edge dragged: eight rows; the bottom edge stays.
        {QRect(0, 100, 360, 280), Edge::Top, {0, 3, 0, 8}, QRect(0, 105, 375, 275)},
    };
    for (const auto& c : cases) {
        const tablelayout::Snap s = tablelayout::snapToWholeCells(m, current, c.dragged, c.edges);
        EXPECT_TRUE(s.view == c.view)
            << c.dragged.width() << "x" << c.dragged.height() << ": " << s.view.firstColumn << " "
            << s.view.columns << " " << s.view.firstRow << " " << s.view.rows;
        EXPECT_EQ(s.window, c.window) << c.dragged.width() << "x" << c.dragged.height();
    }
    tablelayout::Metrics none = m;
    none.columnWidths.clear();
    EXPECT_THROW(tablelayout::snapToWholeCells(none, current, QRect(0, 0, 100, 100), Edge::Right),
                 ETableError);
}

// ---- the boundary-line window ----

TEST(ChartData, NumbersOfALine) {
    const struct {
        const char* line;
        std::vector<long double> numbers;
    } cases[] = {
        {"1 2 3", {1, 2, 3}},
        {"  1\t2,3", {1, 2, 3}},
        {"1,,2 , 3", {1, 2, 3}},
        {"1 2 x 4", {1, 2}},
        {"1.5E2 -0.25 .5", {150, -0.25, 0.5}},
        {"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(chartdata::lineNumbers(c.line), c.numbers) << c.line;
    EXPECT_EQ(chartdata::clipboardLines("a\r\nb\rc\nd"), QStringList({"a", "b", "c", "d"}))
        << "the last line counts without a line end";
    EXPECT_EQ(chartdata::clipboardLines("a\r\n"), QStringList{"a"});
}

class BoundaryWindow : public TableWindowTest {
protected:
    ProblemSession session;
    TGridTableChart* table = nullptr;
    TTableChartForm* form = nullptr;
    void SetUp() override {
        TableWindowTest::SetUp();
        session.tables().SetWindowProvider(&windows);
        table = static_cast<TGridTableChart*>(session.tables().BoundCood);
        table->SetRowCount(10);
        table->ShowWindow();
        form = dynamic_cast<TTableChartForm*>(table->Window());
        ASSERT_TRUE(form);
    }
    void TearDown() override {
        if (table->HasWindow()) table->CloseWindow();
        session.tables().SetWindowProvider(nullptr);
        TableWindowTest::TearDown();
    }
    void paste(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        form->pasteClick();
    }
};

QString readManual() {
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/docs/manual/UsersManual.md"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST_F(BoundaryWindow, PastedLinesFillTheRows) {
    paste("0 10 20 10 1\r\n20 10 40 20 1\r\n1 2 3 4\r\n\r\n40\t20\t60\t20\t2\n");
    EXPECT_EQ(messages.shown, QStringList{"warning: 1 line skipped: each must hold 5 numbers"})
        << "the 4-number line is said, the empty one is not";
    ASSERT_EQ(table->RowCount(), 3) << "three accepted lines, the rest deleted; the 4-number line skipped";
    messages.shown.clear();
    EXPECT_EQ(table->Cell(2, 1).GetFloat(), 40);
    EXPECT_EQ(table->Cell(4, 2).GetInteger(), 2);
    paste("0,1,2,3,1");
    EXPECT_EQ(table->RowCount(), 1) << "a last line without a line end is used";
    EXPECT_EQ(table->Cell(3, 0).GetFloat(), 3);
    // Commas, and the limit of the table's rows.
    QString many;
    for (int i = 0; i < 120; ++i) many += QStringLiteral("%1,0,%2,1,1\r").arg(i).arg(i + 1);
    paste(many);
    EXPECT_EQ(table->RowCount(), 100);
    EXPECT_EQ(table->Cell(0, 99).GetFloat(), 99);
    // The tutorial's table copied with its line numbers: nothing fits, and that is said.
    paste("1 0 20 40 20 1\n2 40 20 120 60 1\n3 120 60 180 60 1\n");
    EXPECT_EQ(messages.shown, QStringList{"warning: 3 lines skipped: each must hold 5 numbers"});
    EXPECT_EQ(table->RowCount(), 100) << "nothing taken, nothing deleted";
    messages.shown.clear();
    // The manual's copyable block pastes as it stands.
    const QString manual = readManual();
    const qsizetype block = manual.indexOf("```\n0 20 40 20 1");
    ASSERT_GE(block, 0) << "the tutorial's copyable lines";
    paste(manual.mid(block + 4, manual.indexOf("```", block + 4) - block - 4));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(' ').toStdString();
    ASSERT_EQ(table->RowCount(), 3);
    EXPECT_EQ(table->Cell(2, 2).GetFloat(), 180);
    // A value the column refuses stops the import with its message; what was filled stays.
    paste("5 5 6 6 1\r\n7 7 8 8 2.5\r\n9 9 10 10 1\r\n");
    EXPECT_EQ(messages.shown, QStringList{"warning: Entry must be an integer."});
    EXPECT_EQ(table->Cell(0, 0).GetFloat(), 5);
    EXPECT_EQ(table->Cell(0, 1).GetFloat(), 7);
    QGuiApplication::clipboard()->clear();
    form->pasteClick();
    EXPECT_EQ(messages.shown.last(), "warning: There is no text on the Clipboard");
}

// The preview is drawn again as soon as an entry is in the table.
TEST_F(BoundaryWindow, PreviewFollowsEntries) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    table->SetRowCount(2);
    form->refresh();
    QCoreApplication::processEvents();
    form->segmentArea()->installEventFilter(&counter);
    form->grid()->setCurrentCell(1, 3);
    QLineEdit* edit = form->grid()->cellEditor();
    ASSERT_TRUE(edit);
    counter.paints = 0;
    edit->setText("25");
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(table->Cell(3, 1).GetFloat(), 25);
    EXPECT_GT(counter.paints, 0) << "the drawing shows the new right end";
}

TEST_F(BoundaryWindow, FileRowsBrowseAndEdit) {
    QTemporaryDir dir;
    const QString name = dir.filePath("lines.txt");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0 10 20 10 1\n20 10 40 20 1");
    f.close();
    QPushButton* read = form->button(QStringLiteral("BtnRead"));
    QPushButton* edit = form->button(QStringLiteral("BtnEdit"));
    EXPECT_FALSE(read->isEnabled()) << "no file named yet";
    files.opens.push_back(FileChooser::Choice{name, 1});
    form->browseClick();
    ASSERT_EQ(files.lastFilters.size(), 3);
    EXPECT_EQ(files.lastFilters[0].description, "Text Files (*.txt)");
    EXPECT_EQ(form->fileNameEdit()->text(), name);
    EXPECT_TRUE(read->isEnabled());
    read->click();
    EXPECT_EQ(table->RowCount(), 2);
    edit->click();
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].first, "myeditor");
    EXPECT_EQ(launcher.started[0].second, QStringList({"--new-window", name}));
    launcher.canStart = false;
    edit->click();
    EXPECT_EQ(messages.shown.last(), "warning: " + editormsg::failed("myeditor"));
}

TEST_F(BoundaryWindow, SegmentPreview) {
    // Two lines spanning x 0..100 and y 0..50 fill the area inside the 20-pixel border.
    table->SetRowCount(2);
    const long double rows[2][4] = {{0, 0, 100, 50}, {0, 50, 100, 0}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) table->Cell(c, r).SetFloat(rows[r][c]);
    const chartdata::SegmentPreview p = chartdata::segmentPreview(*table, QSize(240, 140));
    ASSERT_EQ(p.lines.size(), 2u);
    EXPECT_EQ(p.lines[0], QLine(20, 120, 220, 20));
    EXPECT_EQ(p.labels[1], std::make_pair(QPoint(120, 70), QString("2")));
    // All X equal: nothing drawn, and the area is still cleared.
    for (int r = 0; r < 2; ++r) table->Cell(0, r).SetFloat(5), table->Cell(2, r).SetFloat(5);
    EXPECT_TRUE(chartdata::segmentPreview(*table, QSize(240, 140)).lines.empty());
    QImage image(form->segmentArea()->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    form->segmentArea()->render(&image);
    EXPECT_EQ(image.pixelColor(5, 5), form->segmentArea()->palette().window().color());
}

TEST(ChartData, LineChartOfEqualValuesKeepsAUsableRange) {
    TableRegistry registry;
    TGridTableChart t(registry);
    ColReader reader(decodeColText("3 2 ('Depth') True False False 'FLOATCOLUMN2' 'L2' 0 "
                                   "2 ('Upper') True False False 'FLOATCOLUMN2' '' 0 "
                                   "2 ('Lower') True False False 'FLOATCOLUMN2' '' 0 True False 0 1 0 1"));
    t.ReadDefinition(reader);
    t.ShowGraph = true;
    t.XColumn = 0;
    t.YColumn = 1;
    t.SetRowCount(3);
    for (int r = 0; r < 3; ++r) {
        t.Cell(0, r).SetFloat(r);
        t.Cell(1, r).SetFloat(4);
        t.Cell(2, r).SetFloat(4);
    }
    chartdata::LineChart c = chartdata::lineChart(t);
    EXPECT_TRUE(c.hasSecond);
    EXPECT_EQ(c.firstTitle, "Upper");
    EXPECT_TRUE(c.fixedY);
    EXPECT_DOUBLE_EQ(c.yMin, 3.6);
    EXPECT_DOUBLE_EQ(c.yMax, 4.4);
    EXPECT_DOUBLE_EQ(c.first[1].y(), 4.004) << "the second point lifted so the line shows";
    for (int r = 0; r < 3; ++r) t.Cell(1, r).SetFloat(0), t.Cell(2, r).SetFloat(0);
    c = chartdata::lineChart(t);
    EXPECT_LT(c.yMin, c.yMax) << "a constant zero still has a range";
    t.Cell(1, 2).SetFloat(200000);
    c = chartdata::lineChart(t);
    EXPECT_FALSE(c.fixedY);
    EXPECT_EQ(c.yFormat, "%.3E");
    EXPECT_EQ(c.xFormat, "%.7g");
}

// ---- the Data menu ----

class DataMenu : public MainWindowFixture {};

TEST_F(DataMenu, SoilPropertiesEditedSavedAndRead) {
    const QString problem = dir.filePath("Irregular.sl4d");
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Irregular.sl4d"), problem));
    QFile::setPermissions(problem, QFile::ReadOwner | QFile::WriteOwner);
    start({problem});
    form->action(QStringLiteral("DataSoil"))->trigger();
    TGridTable* soils = session->tables().SoilData;
    TTableForm* window = dynamic_cast<TTableForm*>(soils->Window());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->grid()->horizontalHeaderItem(2)->text().contains("(lbs/ft^2)"))
        << window->grid()->horizontalHeaderItem(2)->text().toStdString();
    window->grid()->setCurrentCell(0, 2);
    window->grid()->cellEditor()->setText("345");
    EXPECT_EQ(form->FileSaveClick(), SaveOutcome::Saved) << "Save commits the open entry first";
    QFile saved(problem);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_TRUE(text.contains("345.")) << text.toStdString() << "the changed cohesion is in the file";
}

// The set of piezometric surfaces has no typed column, so no current cell: its row buttons act on the
// row whose button was used last (the first before any), and never end the program.
TEST_F(DataMenu, RowButtonsOfATableWithoutTypedColumns) {
    start();
    TGridTable* set = session->tables().WaterSurfaceSet;
    set->ShowWindow();
    auto* window = dynamic_cast<TTableForm*>(set->Window());
    ASSERT_TRUE(window);
    ASSERT_EQ(set->RowCount(), 1);
    TGridTable* first = set->Cell(0, 0).Table();
    window->insertButton()->click();
    ASSERT_EQ(set->RowCount(), 2);
    EXPECT_EQ(set->Cell(0, 1).Table(), first) << "inserted before the first row";
    window->addButton()->click();
    ASSERT_EQ(set->RowCount(), 3);
    // The button of the third row is used: the row buttons act there.
    QWidget* third = window->grid()->cellWidget(2, 0);
    ASSERT_TRUE(third);
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(third, &focus);
    TGridTable* last = set->Cell(0, 2).Table();
    window->deleteButton()->click();
    ASSERT_EQ(set->RowCount(), 2);
    for (int r = 0; r < 2; ++r) EXPECT_NE(set->Cell(0, r).Table(), last);
    window->deleteButton()->click();
    window->deleteButton()->click();
    window->deleteButton()->click(); // nothing left to delete: nothing happens
    window->insertButton()->click(); // inserting into no rows adds one
    EXPECT_GE(set->RowCount(), 1);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();
}

// Cascade steps the windows down from the corner and leaves each its size; a window moved (not
// resized) is not snapped when the mouse lets go of it.
TEST_F(DataMenu, CascadeKeepsTheWindowsSizes) {
    start();
    form->resize(1000, 700);
    form->show();
    form->action(QStringLiteral("DataSoil"))->trigger();
    form->session().tables().BoundCood->ShowWindow();
    form->TitleClick();
    const QList<QMdiSubWindow*> windows = form->mdiArea()->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(windows.size(), 3);
    std::vector<QSize> sizes;
    for (QMdiSubWindow* w : windows) sizes.push_back(w->size());
    auto* soil = dynamic_cast<TTableForm*>(form->session().tables().SoilData->Window());
    ASSERT_TRUE(soil);
    const int columns = soil->visibleColumns(), rows = soil->visibleRows();
    form->WindowCascadeClick();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        EXPECT_EQ(windows[i]->size(), sizes[static_cast<size_t>(i)]) << i;
        if (i > 0) {
            EXPECT_GT(windows[i]->y(), windows[i - 1]->y());
        }
    }
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(windows[0], &release);
    EXPECT_EQ(soil->visibleColumns(), columns);
    EXPECT_EQ(soil->visibleRows(), rows);
    EXPECT_EQ(windows[0]->size(), sizes[0]);
}

TEST_F(DataMenu, UserSurfaceChoosesTheMethodAndChecksItsItem) {
    start();
    QMenu* data = form->menu(QStringLiteral("Data1"));
    Q_EMIT data->aboutToShow();
    for (int code = 1; code <= 6; ++code) EXPECT_FALSE(form->searchItem(code)->isChecked()) << code;
    form->action(QStringLiteral("DataUserSurface"))->trigger();
    EXPECT_EQ(form->document().SearchMethod, 1);
    EXPECT_TRUE(form->document().UserSurfaceOn);
    EXPECT_TRUE(session->tables().FailSurface->HasWindow());
    EXPECT_TRUE(form->IsModified()) << "choosing a method is a change of the problem";
    Q_EMIT data->aboutToShow();
    EXPECT_TRUE(form->searchItem(1)->isChecked());
    for (int code = 2; code <= 6; ++code) EXPECT_FALSE(form->searchItem(code)->isChecked()) << code;
}

} // namespace

// The numeric entry fields and the data dialogs, driven as the user drives them: typing, leaving
// fields, switching windows, the Data menu's search items and the boundary preview.
#include "MainWindowFixture.h"
#include "QtPrinters.h"
#include "dialogs/AboutBox.h"
#include "dialogs/DlgOptions.h"
#include "dialogs/DlgSlopeBoundary.h"
#include "dialogs/OptionalDialogs.h"
#include "dialogs/SearchDialogs.h"
#include "format/NumberFormat.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"
#include "tables/DataCmb.h"
#include "tables/DataEdit.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// ---- the entry field ----

class EntryFieldTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    QWidget form;
    TDataEdit* edit = new TDataEdit(messages, &form);
    QLineEdit* other = new QLineEdit(&form);
    QLabel* label = new QLabel(&form);

    void SetUp() override {
        edit->SetEditLabel(label);
        other->move(0, 40);
        form.show();
        QApplication::setActiveWindow(&form);
    }
    // Types text into the field and leaves it for the other control.
    void enterAndLeave(const QString& text) {
        edit->setFocus();
        edit->setText(text);
        other->setFocus();
    }
};

TEST_F(EntryFieldTest, LeavingChecksTheEntry) {
    const struct {
        bool integer;
        long double min, max;
        const char* text;
        const char* message; // "" when accepted
        const char* shown;   // the field's text afterwards
    } cases[] = {
        {false, 0, 90, "100", "Entry must be less than or equal to 90", "90"},
        {false, 0, 90, "-5", "Entry must be greater than or equal to 0", "0"},
        {false, 0, 90, "2*3", "", "6"},
        {false, 0, 90, "1/3", "", "0.333333333333333333"},
        {true, 0, 90, "2.5", "Entry must be an integer.", "2.5"},
        {true, 0, 90, "abc", "Entry must be a valid integer.", "abc"},
        {false, 0, 90, "", "Entry could not be evaluated:\rentry cannot be blank", ""},
        {false, 0, 90, "1/0", "Floating point division by zero", "1/0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        messages.shown.clear();
        edit->SetLoading(true);
        edit->SetIntegerOnly(c.integer);
        edit->SetMinVal(c.min);
        edit->SetMaxVal(c.max);
        edit->SetLoading(false);
        enterAndLeave(c.text);
        if (*c.message) {
            EXPECT_EQ(messages.shown, QStringList{QStringLiteral("warning: ") + c.message});
            EXPECT_TRUE(edit->hasFocus()) << "the field keeps the focus";
            EXPECT_FALSE(edit->IsValid());
        } else {
            EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join(' ').toStdString();
            EXPECT_TRUE(edit->IsValid());
        }
        EXPECT_EQ(edit->text(), c.shown);
    }
}

TEST_F(EntryFieldTest, BoundsAndTheirOrderOfEffects) {
    EXPECT_EQ(edit->text(), "0");
    EXPECT_EQ(edit->MaxVal(), -edit->MinVal());
    EXPECT_GT(edit->MaxVal(), 1.18973149535723e4932L);
    EXPECT_LT(edit->MaxVal(), std::numeric_limits<long double>::max());
    edit->SetNumber(50);
    edit->SetMaxVal(40);
    EXPECT_EQ(edit->text(), "40") << "a lower maximum lowers the value";
    edit->SetMinVal(45);
    EXPECT_EQ(edit->MinVal(), 40) << "a minimum above the maximum stores the maximum";
    edit->SetMinVal(0);
    edit->SetMaxVal(1e12L);
    edit->SetIntegerOnly(true);
    EXPECT_EQ(edit->MaxVal(), 2147483647) << "integer fields keep 32-bit bounds";
    edit->SetNumber(1e15L);
    EXPECT_EQ(edit->text(), "2147483647");
    edit->SetIntegerOnly(false);
    edit->SetHex(true);
    edit->SetNumber(255);
    EXPECT_EQ(edit->text(), "$00FF");
}

TEST_F(EntryFieldTest, LabelsCarryTheUnitText) {
    const struct {
        const char* category;
        int units;
        const char* label;
    } cases[] = {
        {"F/L2^2", 1, "Cohesion (lbs/ft^2)"}, {"F/L2^2", 3, "Cohesion (F/L2^2)"},
        {"F/L2^2", 2, "Cohesion (kN/m^2)"},   {"F1/L1", 1, "Cohesion (kips/in)"},
        {"deg.", 2, "Cohesion (deg.)"},       {"", 1, "Cohesion"},
    };
    edit->SetCaption(QStringLiteral("Cohesion"));
    for (const auto& c : cases) {
        edit->SetUnitsString(c.category);
        edit->SetUnits(c.units);
        EXPECT_EQ(label->text(), c.label);
    }
    edit->SetUnits(7);
    EXPECT_EQ(edit->Units(), 3);
    edit->setEnabled(false);
    EXPECT_FALSE(label->isEnabled()) << "the label follows the field";
}

TEST_F(EntryFieldTest, EnterAndOperatorKeys) {
    edit->setFocus();
    edit->setText("2*3");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "6");
    EXPECT_EQ(edit->selectedText(), "6") << "Enter checks and selects the whole text";
    QTest::keyClicks(edit, "*2");
    EXPECT_EQ(edit->text(), "6*2") << "an operator after a fresh value extends it";
    edit->selectAll();
    QTest::keyClicks(edit, "7");
    EXPECT_EQ(edit->text(), "7") << "a digit replaces the selection as usual";
    // Every operator but the minus sign extends a wholly selected value; the minus starts a new one,
    // and within a partly selected text it is typed over the selection as usual.
    const struct {
        const char* typed;
        const char* text;
    } cases[] = {{"-5", "-5"},   {"+5", "10+5"}, {"/5", "10/5"}, {"*5", "10*5"},
                 {"^2", "10^2"}, {"%3", "10%3"}, {"=5", "10=5"}, {"!", "10!"}};
    for (const auto& c : cases) {
        edit->setText("10");
        edit->selectAll();
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.text) << c.typed;
    }
    edit->setText("10");
    edit->setSelection(1, 1);
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(edit->text(), "1-");
}

TEST(DataCombo, NamedChoicesStandForNumbers) {
    RecordingMessages messages;
    QWidget form;
    auto* combo = new TDataCombo(messages, &form);
    combo->addItems({"Soft", "Hard"});
    combo->Values = {"10", "2*10"};
    combo->SetMaxVal(100);
    combo->setEditText("Hard");
    EXPECT_EQ(combo->Number(), 20);
    EXPECT_EQ(combo->currentText(), "2*10") << "the choice is replaced by its number";
    combo->SetIntegerOnly(true);
    combo->SetNumber(7.9L);
    EXPECT_EQ(combo->currentText(), "7") << "integers shown truncated";
    combo->SetIntegerOnly(false);
    combo->SetNumber(1.0L / 3);
    EXPECT_EQ(combo->currentText(), "0.33333333");
    // Typed letters other than E are swallowed; e becomes E.
    combo->setEditText(QString());
    QTest::keyClicks(combo->lineEdit(), "1x.5e2");
    EXPECT_EQ(combo->currentText(), "1.5E2");
    auto* label = new QLabel(&form);
    combo->SetEditLabel(label);
    combo->SetCaption("Load");
    combo->SetUnitsString("F/L2^2");
    EXPECT_EQ(label->text(), "Load (lbs/in2^2)") << "the drop-down replaces only F and L";
}

// ---- the dialogs in the main window ----

class Dialogs : public MainWindowFixture {
protected:
    template <class D> D* openSearch(int code) {
        form->SearchItemClick(code);
        auto* d = dynamic_cast<D*>(form->mdiArea()->activeSubWindow()->widget());
        EXPECT_TRUE(d);
        return d;
    }
    static QString shown(TDataDialog* d, const char* name) { return d->field(name)->text(); }
};

TEST_F(Dialogs, NewDocumentDefaultsThroughTheFieldBounds) {
    start();
    for (int code : {2, 3, 4, 6}) {
        SCOPED_TRACE(code);
        // Choosing the method is a change of its own; here only the dialog's loading counts.
        form->SearchItemClick(code);
        form->CloseChildWindows();
        form->SetModified(false);
        auto* d = openSearch<TCircleSearchDialog>(code);
        EXPECT_EQ(shown(d, "deCW"), "-45");
        EXPECT_EQ(shown(d, "deIP"), "1") << "0 shown as the lower bound";
        EXPECT_EQ(shown(d, "deSP"), "1");
        EXPECT_EQ(shown(d, "deSL"), "0");
        EXPECT_FALSE(form->IsModified()) << "opening a dialog is no edit";
        d->storeToDocument();
        EXPECT_EQ(form->document().InitiationPoints, 1) << "and what was shown is stored";
        d->subWindow()->close();
    }
    EXPECT_EQ(form->document().CwLimit, -45);
}

TEST_F(Dialogs, SearchItemsSetTheMethodAndItsFlags) {
    start();
    QMenu* data = form->menu(QStringLiteral("Data1"));
    const struct {
        int code;
        bool janbu, bishop, irregular, block, spencer;
    } steps[] = {
        {6, false, false, false, false, true}, {2, true, false, false, false, true},
        {3, false, true, false, false, false}, {5, false, false, false, true, false},
        {4, false, false, true, false, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.code);
        form->SearchItemClick(s.code);
        const TProgramData& d = form->document();
        EXPECT_EQ(d.SearchMethod, s.code);
        EXPECT_EQ(d.JanbuOn, s.janbu);
        EXPECT_EQ(d.BishopOn, s.bishop);
        EXPECT_EQ(d.IrregularOn, s.irregular);
        EXPECT_EQ(d.BlockOn, s.block);
        EXPECT_EQ(d.SpencerOn, s.spencer);
        Q_EMIT data->aboutToShow();
        for (int c = 1; c <= 6; ++c) EXPECT_EQ(form->searchItem(c)->isChecked(), c == s.code) << c;
    }
    // Each command opens a window of its own.
    const int before = static_cast<int>(form->mdiArea()->subWindowList().size());
    form->SearchItemClick(3);
    form->SearchItemClick(3);
    EXPECT_EQ(form->mdiArea()->subWindowList().size(), before + 2);
}

TEST_F(Dialogs, SharedParametersAndTheirBounds) {
    start();
    auto* janbu = openSearch<TCircleSearchDialog>(2);
    TDataEdit* ip = janbu->field("deIP");
    ip->setFocus();
    ip->selectAll();
    QTest::keyClicks(ip, "5");
    QTest::keyClick(ip, Qt::Key_Tab);
    EXPECT_TRUE(form->IsModified()) << "typing marks the document changed";
    const struct {
        const char* field;
        const char* text;
        bool accepted;
    } entries[] = {{"deXLt", "100001", false},
                   {"deXLt", "100000", true},
                   {"deXLi", "1e8", true},
                   {"deXLi", "100000001", false},
                   {"deCW", "-50", true}};
    for (const auto& e : entries) {
        SCOPED_TRACE(e.text);
        messages.shown.clear();
        TDataEdit* f = janbu->field(e.field);
        f->setText(e.text);
        EXPECT_EQ(f->Validate(), e.accepted);
        EXPECT_EQ(messages.shown.isEmpty(), e.accepted) << messages.shown.join(' ').toStdString();
    }
    EXPECT_EQ(janbu->field("deXLi")->text(), "100000000") << "a refused value is replaced by the bound";
    janbu->field("deXLi")->setText("30");
    auto* spencer = openSearch<TCircleSearchDialog>(6);
    EXPECT_EQ(shown(spencer, "deIP"), "5") << "the circle-type dialogs share their parameters";
    EXPECT_EQ(shown(spencer, "deXLi"), "30");
    EXPECT_EQ(shown(spencer, "deCW"), "-50");
    EXPECT_EQ(form->document().TermLeftX, 100000);
}

TEST_F(Dialogs, RefusedEntryIsNeitherStoredNorLost) {
    start();
    auto* bishop = openSearch<TCircleSearchDialog>(3);
    TDataEdit* xl = bishop->field("deXLi");
    xl->setFocus();
    xl->setText("12+");
    form->CommitActiveChild();
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(xl->text(), "12+") << "the text stays for the user to correct";
    EXPECT_EQ(form->document().InitLeftX, 0);
    EXPECT_FALSE(bishop->subWindow()->close()) << "and the dialog does not close";
    // Another window activated: the dialog comes back without reloading over the entry.
    form->SearchItemClick(2);
    EXPECT_EQ(form->mdiArea()->activeSubWindow(), bishop->subWindow());
    EXPECT_EQ(xl->text(), "12+");
    xl->setText("12");
    EXPECT_TRUE(bishop->subWindow()->close());
    EXPECT_EQ(form->document().InitLeftX, 12);
}

TEST_F(Dialogs, UnitSwitchConvertsLengthsNotAngles) {
    start();
    form->document().InitLeftX = 10;
    form->document().CcwLimit = 15;
    auto* bishop = openSearch<TCircleSearchDialog>(3);
    EXPECT_TRUE(bishop->field("deXLi")->EditLabel()->text().endsWith("(ft)"));
    bishop->subWindow()->close();
    form->UnitsClick(2);
    bishop = openSearch<TCircleSearchDialog>(3);
    EXPECT_NEAR(static_cast<double>(bishop->field("deXLi")->Number()), 3.048, 1e-6);
    EXPECT_EQ(shown(bishop, "deCCW"), "15");
    EXPECT_TRUE(bishop->field("deXLi")->EditLabel()->text().endsWith("(m)"));
}

// Open dialogs follow a unit switch: what they show is converted, and what they store later is
// not converted a second time, nor stored unconverted.
TEST_F(Dialogs, UnitSwitchWithDialogsOpen) {
    start();
    auto* bishop = openSearch<TCircleSearchDialog>(3);
    bishop->field("deXLi")->setText("10");
    bishop->field("deCCW")->setText("15");
    form->action(QStringLiteral("DataEarthquake"))->trigger(); // the Bishop dialog stores as it is left
    auto* quake = form->findChild<TDlgEarthquake*>();
    ASSERT_TRUE(quake);
    quake->field("deCav")->setText("2000");
    Q_EMIT form->menu(QStringLiteral("Options1"))->aboutToShow();
    form->UnitsClick(2);
    EXPECT_NEAR(static_cast<double>(bishop->field("deXLi")->Number()), 3.048, 1e-9);
    EXPECT_TRUE(bishop->field("deXLi")->EditLabel()->text().endsWith("(m)"));
    EXPECT_EQ(shown(bishop, "deCCW"), "15");
    EXPECT_NEAR(static_cast<double>(quake->field("deCav")->Number()), 95.76052, 1e-4);
    EXPECT_TRUE(bishop->subWindow()->close());
    EXPECT_TRUE(quake->subWindow()->close());
    EXPECT_NEAR(static_cast<double>(form->document().InitLeftX), 3.048, 1e-9);
    EXPECT_NEAR(static_cast<double>(form->document().CavitationPressure), 95.76052, 1e-4);
}

TEST_F(Dialogs, BlockDialogAndItsPicture) {
    start();
    auto* block = openSearch<TDlgBlock>(5);
    EXPECT_EQ(block->field("deSP")->EditLabel(), nullptr);
    EXPECT_TRUE(block->findChild<QLabel*>()->parentWidget());
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("jpeg"));
    const QPixmap picture = blockSearchPicture();
    ASSERT_FALSE(picture.isNull()) << "the sketch decodes from its JPEG";
    EXPECT_GT(picture.width(), 200);
    EXPECT_FALSE(circleSearchPicture().isNull());
    block->findChild<QPushButton*>(QStringLiteral("btnSect"))->click();
    EXPECT_TRUE(session->tables().BoxCoord->HasWindow());
}

TEST_F(Dialogs, DataMenuShowsLoadsOfAnOpenedFile) {
    start({QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Irregular.sl4d")});
    Q_EMIT form->menu(QStringLiteral("Data1"))->aboutToShow();
    EXPECT_TRUE(form->action(QStringLiteral("DataSurcharge"))->isChecked());
    EXPECT_FALSE(form->action(QStringLiteral("DataEarthquake"))->isChecked());
    EXPECT_TRUE(form->searchItem(4)->isChecked());
}

// An entry the user has not corrected keeps its window open, and with it the document: the
// window's values must not go into the next document, nor the entry be lost.
TEST_F(Dialogs, UncorrectedEntryKeepsTheDocument) {
    const QString other = dir.filePath("other.sl4d");
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), other));
    const struct {
        const char* command;
        std::function<void(TMainForm*)> run;
    } commands[] = {
        {"New", [](TMainForm* f) { f->FileNewClick(); }},
        {"Open",
         [&](TMainForm* f) {
             files.opens.push_back(FileChooser::Choice{other, 1});
             f->FileOpenClick();
         }},
        {"Drop", [&](TMainForm* f) { f->HandleDroppedFiles({other}); }},
        {"Exit", [](TMainForm* f) { EXPECT_FALSE(f->close()); }},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.command);
        start();
        form->document().Title = QStringLiteral("mine");
        auto* bishop = openSearch<TCircleSearchDialog>(3);
        TDataEdit* xl = bishop->field("deXLi");
        xl->setFocus();
        xl->setText("12+");
        const TProgramData* before = &form->document();
        c.run(form.get());
        EXPECT_EQ(&form->document(), before);
        EXPECT_EQ(form->document().Title, "mine");
        EXPECT_EQ(xl->text(), "12+") << "the entry stays for the user to correct";
        EXPECT_FALSE(messages.shown.filter("question:").size()) << "nothing asked while the entry is wrong";
        xl->setText("12");
        messages.answers.push_back(MessageSink::Answer::No);
        form->FileNewClick();
        EXPECT_NE(&form->document(), before) << "corrected, the command goes ahead";
        EXPECT_EQ(form->document().InitLeftX, 0) << "nothing of the old document in the new one";
        files.opens.clear();
        messages.shown.clear();
    }
}

// Neither the file nor a run may differ from what the user sees: a refused entry stops a save, a
// Save As and a run, and nothing is written.
TEST_F(Dialogs, UncorrectedEntryStopsSavesAndRuns) {
    const QString problem = dir.filePath("mine.sl4d");
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), problem));
    QFile::setPermissions(problem, QFile::ReadOwner | QFile::WriteOwner);
    const auto bytes = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray original = bytes(problem);
    const struct {
        const char* command;
        std::function<void(TMainForm*)> run;
    } commands[] = {
        {"Save", [](TMainForm* f) { EXPECT_EQ(f->FileSaveClick(), SaveOutcome::Cancelled); }},
        {"Save As", [](TMainForm* f) { EXPECT_EQ(f->FileSaveAsClick(), SaveOutcome::Cancelled); }},
        {"Run Analysis", [](TMainForm* f) { f->RunAnalysisClick(); }},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.command);
        start({problem});
        auto* bishop = openSearch<TCircleSearchDialog>(3);
        TDataEdit* xl = bishop->field("deXLi");
        xl->setFocus();
        xl->setText("12+");
        messages.shown.clear();
        c.run(form.get());
        EXPECT_EQ(messages.shown.size(), 1) << "the entry's own message, nothing else";
        EXPECT_TRUE(files.asked.empty()) << "no Save As dialog";
        EXPECT_EQ(bytes(problem), original);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("mine.sl4o"))) << "no run";
        EXPECT_EQ(xl->text(), "12+");
        xl->setText("12");
        messages.answers.push_back(MessageSink::Answer::No);
        form->FileNewClick();
    }
}

// ---- the boundary preview ----

class BoundaryDialog : public Dialogs {
protected:
    TDlgSlopeBoundary* dialog = nullptr;
    TGridTable* lines = nullptr;
    void SetUp() override {
        Dialogs::SetUp();
        start();
        lines = session->tables().BoundCood;
    }
    void setLines(std::initializer_list<std::array<double, 4>> rows) {
        lines->SetRowCount(static_cast<int>(rows.size()));
        int r = 0;
        for (const auto& row : rows) {
            for (int c = 0; c < 4; ++c) lines->Cell(c, r).SetFloat(row[static_cast<size_t>(c)]);
            ++r;
        }
    }
    void open() {
        form->SlopeBoundaryClick();
        dialog = dynamic_cast<TDlgSlopeBoundary*>(form->mdiArea()->activeSubWindow()->widget());
        ASSERT_TRUE(dialog);
    }
    void drag(Qt::MouseButton button, QPoint from, QPoint to) {
        BoundaryPreview* p = dialog->preview();
        QMouseEvent press(QEvent::MouseButtonPress, from, p->mapToGlobal(from), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(p, &press);
        QMouseEvent move(QEvent::MouseMove, to, p->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
        QApplication::sendEvent(p, &move);
    }
};

TEST_F(BoundaryDialog, LinesFillTheAreaInsideTheMargin) {
    setLines({{0, 0, 100, 50}, {0, 50, 100, 0}});
    open();
    BoundaryPreview* p = dialog->preview();
    EXPECT_EQ(p->toPixel(0, 50), QPoint(10, 10));
    EXPECT_EQ(p->toPixel(100, 0), QPoint(p->width() - 10, p->height() - 10));
    QImage image(p->size(), QImage::Format_RGB32);
    p->render(&image);
    const QPoint mid = p->toPixel(50, 25);
    EXPECT_EQ(image.pixelColor(mid - QPoint(8, 0)), QColor(Qt::white))
        << "labels sit on white at the midpoints";
    EXPECT_NE(image.pixelColor(p->toPixel(0, 0)), p->palette().window().color()) << "a marker at the end";
    // The read-out follows the pointer with one decimal each, and clears outside.
    QMouseEvent move(QEvent::MouseMove, mid, p->mapToGlobal(mid), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p, &move);
    EXPECT_TRUE(dialog->readout()->text().startsWith(" Coords:  X:50."))
        << dialog->readout()->text().toStdString();
    EXPECT_TRUE(dialog->readout()->text().contains(" , Y:25."));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(p, &leave);
    EXPECT_TRUE(dialog->readout()->text().isEmpty());
}

TEST_F(BoundaryDialog, DegenerateTablesDrawNothing) {
    setLines({{0, 10, 100, 10}});
    open();
    EXPECT_EQ(dialog->preview()->data().ymin, dialog->preview()->data().ymax);
    QImage image(dialog->preview()->size(), QImage::Format_RGB32);
    dialog->preview()->render(&image);
    const QColor background = dialog->preview()->palette().window().color();
    for (int x = 0; x < image.width(); x += 7)
        ASSERT_EQ(image.pixelColor(x, image.height() / 2), background) << x;
    dialog->subWindow()->close();
    lines->SetRowCount(0);
    open();
    EXPECT_TRUE(dialog->preview()->data() == Extents{}) << "no rows: nothing to fit";
}

TEST_F(BoundaryDialog, PanAndZoom) {
    // The zoom follows the drag's share of the drawing in pixels, whatever the slope's size: a
    // tenth of the width to the right shrinks the view by a tenth, for a slope 2 or 2000 across.
    for (const double size : {2.0, 2000.0}) {
        SCOPED_TRACE(size);
        setLines({{0, 0, size, size / 2}, {0, size / 2, size, 0}});
        open();
        BoundaryPreview* p = dialog->preview();
        const Extents start = p->view();
        const int tenth = p->width() / 10;
        drag(Qt::RightButton, QPoint(100, 100), QPoint(100 + tenth, 100));
        const double r = 1 - static_cast<double>(tenth) / p->width();
        EXPECT_NEAR(p->view().xmax - p->view().xmin, (start.xmax - start.xmin) * r, 1e-9 * size);
        drag(Qt::RightButton, QPoint(100, 100), QPoint(100, 100 + tenth));
        EXPECT_GT(p->view().xmax - p->view().xmin, start.xmax - start.xmin) << "down zooms out";
        dialog->subWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    setLines({{0, 0, 2000, 1000}, {0, 1000, 2000, 0}});
    open();
    BoundaryPreview* p = dialog->preview();
    const Extents start = p->view();
    drag(Qt::RightButton, QPoint(200, 100), QPoint(200, 100));
    EXPECT_TRUE(p->view() == start) << "a drag of zero length changes nothing";
    // Far to the right: the extents shrink, but to a tenth at most.
    drag(Qt::RightButton, QPoint(10, 100), QPoint(p->width() - 1, 100));
    EXPECT_NEAR(p->view().xmax - p->view().xmin, 200, 1e-9);
    EXPECT_NEAR(p->view().ymax - p->view().ymin, 100, 1e-9);
    EXPECT_NEAR((p->view().xmax + p->view().xmin) / 2, 1000, 1e-9) << "about the centre";
    dialog->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    EXPECT_TRUE(p->view() == start) << "Update/Redraw shows the data again";
    drag(Qt::LeftButton, QPoint(100, 100), QPoint(120, 100));
    EXPECT_LT(p->view().xmin, start.xmin) << "dragging right moves the view left";
    EXPECT_EQ(p->view().xmax - p->view().xmin, start.xmax - start.xmin);
}

TEST_F(BoundaryDialog, SingleInstanceAndStoredLineCount) {
    open();
    TDlgSlopeBoundary* first = dialog;
    EXPECT_EQ(first->field("deNI")->text(), "1") << "a new document's 0 shown as 1";
    first->field("deNI")->setText("2");
    form->SlopeBoundaryClick();
    EXPECT_EQ(form->mdiArea()->activeSubWindow()->widget(), first) << "one window only";
    EXPECT_EQ(form->document().SurfaceLineCount, 0);
    EXPECT_TRUE(first->subWindow()->close());
    EXPECT_EQ(form->document().SurfaceLineCount, 2) << "stored on closing";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    open();
    EXPECT_NE(dialog, nullptr);
    // The table's button opens the boundary-line window.
    dialog->findChild<QPushButton*>(QStringLiteral("btnSect"))->click();
    EXPECT_TRUE(lines->HasWindow());
}

} // namespace

namespace {

// ---- the optional data, the options and the Help menu ----

class OptionalData : public Dialogs {
protected:
    template <class D> D* active() {
        QMdiSubWindow* sub = form->mdiArea()->activeSubWindow();
        return sub ? dynamic_cast<D*>(sub->widget()) : nullptr;
    }
};

// What the dialog shows is what the file holds: only two zeros leave the section off.
TEST_F(OptionalData, EarthquakeSectionForEveryCoefficientButZero) {
    start();
    const struct {
        const char *kh, *kv;
        bool on;
    } cases[] = {{"-0.1", "0", true},  {"0.15", "0", true},      {"0", "0.05", true},
                 {"0", "-0.05", true}, {"0.15", "-0.075", true}, {"0", "0", false}};
    QMenu* data = form->menu(QStringLiteral("Data1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kh);
        form->action(QStringLiteral("DataEarthquake"))->trigger();
        auto* d = active<TDlgEarthquake>();
        ASSERT_TRUE(d);
        d->field("deHcoe")->setText(c.kh);
        d->field("deVcoe")->setText(c.kv);
        Q_EMIT data->aboutToShow(); // the frame commits the active window first
        EXPECT_EQ(form->document().EquakeOn, c.on);
        EXPECT_EQ(form->action(QStringLiteral("DataEarthquake"))->isChecked(), c.on);
        const QByteArray file = form->document().ProblemText();
        EXPECT_EQ(file.contains("EQUAKE"), c.on) << file.toStdString();
        if (c.on) {
            EXPECT_TRUE(file.contains(QStringLiteral("EQUAKE\r\n%1 %2 ")
                                          .arg(QString::fromStdString(numfmt::fixed2(std::stold(c.kh))),
                                               QString::fromStdString(numfmt::fixed2(std::stold(c.kv))))
                                          .toLatin1()))
                << file.toStdString();
        }
    }
    auto* d = active<TDlgEarthquake>();
    EXPECT_EQ(d->field("deCav")->EditLabel()->text(), "Cavitation pressure (lbs/ft^2)");
    form->action(QStringLiteral("DataEarthquake"))->trigger();
    EXPECT_EQ(active<TDlgEarthquake>(), d) << "one Earthquake window";
}

TEST_F(OptionalData, UncheckingSurchargeClosesItsTableAndKeepsTheRows) {
    start();
    TGridTable* loads = session->tables().SurchargeLoad;
    form->action(QStringLiteral("DataSurcharge"))->trigger();
    auto* d = active<TDlgLoading>();
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->button()->isEnabled());
    d->box()->click();
    EXPECT_TRUE(d->button()->isEnabled());
    d->button()->click();
    ASSERT_TRUE(loads->HasWindow());
    loads->SetRowCount(3);
    form->SearchItemClick(3); // another window: the dialog stores its box
    EXPECT_TRUE(form->document().LoadsOn);
    form->action(QStringLiteral("DataSurcharge"))->trigger();
    d->box()->click();
    EXPECT_FALSE(loads->HasWindow()) << "unchecking closes the table's window";
    EXPECT_EQ(loads->RowCount(), 3) << "and keeps its rows";
    EXPECT_TRUE(d->subWindow()->close());
    EXPECT_FALSE(form->document().LoadsOn);
    // Limits and tiebacks follow the same pattern, in new windows each time.
    form->action(QStringLiteral("DataTiebacks"))->trigger();
    form->action(QStringLiteral("DataTiebacks"))->trigger();
    auto* ties = active<TDlgTieback>();
    ASSERT_TRUE(ties);
    ties->box()->click();
    ties->storeToDocument();
    EXPECT_TRUE(form->document().TiesOn);
    form->action(QStringLiteral("DataLimits"))->trigger();
    ASSERT_TRUE(active<TDlgLimits>());
}

// Every click on a section's check box is a change, the second as much as the first.
TEST_F(OptionalData, EveryClickOnACheckBoxMarksTheDocument) {
    start();
    for (const char* action :
         {"DataSurcharge", "DataLimits", "DataTiebacks", "DataWater", "DataReinforcement"}) {
        SCOPED_TRACE(action);
        form->action(QLatin1String(action))->trigger();
        auto* sub = form->mdiArea()->activeSubWindow();
        ASSERT_TRUE(sub);
        QCheckBox* box = sub->widget()->findChild<QCheckBox*>();
        ASSERT_TRUE(box);
        for (int click = 0; click < 3; ++click) {
            form->SetModified(false);
            box->click();
            EXPECT_TRUE(form->IsModified()) << "click " << click;
        }
        form->CloseChildWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(OptionalData, WaterSurfaceDialog) {
    start();
    EXPECT_FALSE(form->IsModified());
    form->action(QStringLiteral("DataWater"))->trigger();
    auto* d = active<TDlgPiezometric>();
    ASSERT_TRUE(d);
    EXPECT_FALSE(form->IsModified()) << "opening the dialog is no edit";
    EXPECT_EQ(d->field("dewt")->EditLabel()->text(), "Unit weight of water (lbs/ft^3)");
    d->field("dewt")->setText("62.4");
    d->box()->click();
    EXPECT_TRUE(form->IsModified()) << "a click on the box is";
    d->storeToDocument();
    EXPECT_EQ(form->document().WaterUnitWeight, 62.4L);
    EXPECT_EQ(form->document().PiezoSpecified, 1);
    EXPECT_FALSE(form->document().WaterOn) << "the water section is set only on closing or by the button";
    d->button()->click();
    EXPECT_TRUE(form->document().WaterOn);
    EXPECT_TRUE(session->tables().WaterSurfaceSet->HasWindow());
    d->box()->click();
    // The dialog conventions: an entry that is no number, or one above the field's bound, keeps
    // the dialog open with a message, also when it is closed by its title bar; nothing is stored.
    d->field("dewt")->setFocus();
    for (const char* entry : {"x", "500"}) {
        SCOPED_TRACE(entry);
        d->field("dewt")->setText(entry);
        messages.shown.clear();
        EXPECT_FALSE(d->subWindow()->close());
        EXPECT_EQ(messages.shown.size(), 1);
        EXPECT_TRUE(messages.shown.value(0).startsWith("warning: ")) << messages.shown.value(0).toStdString();
        EXPECT_EQ(form->document().WaterUnitWeight, 62.4L);
    }
    d->field("dewt")->setText("62.4");
    EXPECT_TRUE(d->subWindow()->close());
    EXPECT_FALSE(form->document().WaterOn);
    EXPECT_EQ(form->document().WaterUnitWeight, 62.4L);
    // New asks to save the changed document.
    messages.answers.push_back(MessageSink::Answer::No);
    form->FileNewClick();
    EXPECT_TRUE(messages.shown.contains("question: Do you want to save any changes?"));
}

TEST_F(OptionalData, TitleStoredOnlyWhenItDiffers) {
    start();
    form->action(QStringLiteral("DataTitle"))->trigger();
    auto* d = active<TdlgTitle>();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->memo()->text(), "New Slope");
    EXPECT_EQ(d->memo()->maxLength(), 80);
    d->memo()->setText("New Slope");
    d->storeToDocument();
    EXPECT_FALSE(form->IsModified()) << "the same title is no change";
    d->memo()->setText("Dam, section A");
    d->storeToDocument();
    EXPECT_TRUE(form->IsModified());
    EXPECT_EQ(form->document().Title, "Dam, section A");
}

TEST_F(OptionalData, ReinforcementSwitchesTheLayeredSurface) {
    start();
    form->action(QStringLiteral("DataReinforcement"))->trigger();
    auto* d = active<TDlgReinEarth>();
    ASSERT_TRUE(d);
    d->box()->click();
    d->storeToDocument();
    EXPECT_TRUE(form->document().ReinfOn);
    EXPECT_EQ(form->document().ReinfLayersOn, 1);
    d->button()->click();
    EXPECT_TRUE(session->tables().ReinEarthLayerSet->HasWindow());
}

TEST_F(OptionalData, TextEditorSetting) {
    start();
    form->EditorPath = QStringLiteral("/usr/bin/gedit");
    form->action(QStringLiteral("OptionsTextEditor"))->trigger();
    auto* d = active<TDlgOptions>();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->edit()->text(), "/usr/bin/gedit");
    files.opens.push_back(FileChooser::Choice{QStringLiteral("/usr/bin/kate"), 1});
    d->BrowseClick();
    ASSERT_EQ(files.lastFilters.size(), 2);
    EXPECT_EQ(files.lastFilters[0].description, "Programs (*)");
    EXPECT_TRUE(files.lastFilters[0].executablesOnly);
    EXPECT_EQ(files.asked.back().proposed, "/usr/bin/gedit") << "the dialog starts at the current program";
    EXPECT_TRUE(d->subWindow()->close());
    EXPECT_EQ(form->EditorPath, "/usr/bin/kate");
    EXPECT_FALSE(form->IsModified()) << "a program setting, no document data";
}

TEST_F(OptionalData, HelpOpensTheDocumentsBesideTheProgram) {
    const QString programFolder = dir.filePath("programs");
    ASSERT_TRUE(QDir().mkpath(programFolder));
    for (const char* name : {helpfiles::kContents, helpfiles::kUsersManual, helpfiles::kTechnical,
                             helpfiles::kTechnicalManual}) {
        QFile document(QDir(programFolder).filePath(QLatin1String(name)));
        ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    }
    start({}, programFolder);
    QDir::setCurrent(dir.path()); // wherever the working directory is
    form->action(QStringLiteral("HelpContents"))->trigger();
    form->action(QStringLiteral("HelpUsersManual"))->trigger();
    form->action(QStringLiteral("HelpTechnicalManual"))->trigger();
    form->Today = [] { return QDate(2026, 3, 7); };
    form->action(QStringLiteral("HelpUpdates"))->trigger();
    ASSERT_EQ(launcher.opened.size(), 3u);
    EXPECT_EQ(launcher.opened[0], QUrl::fromLocalFile(programFolder + "/DIZIROVI2015.html"));
    EXPECT_EQ(launcher.opened[1], QUrl::fromLocalFile(programFolder + "/DIZIROVI2015UsersManual.pdf"));
    EXPECT_TRUE(launcher.opened[2].toString().endsWith("?DIZIROVI;2015.4.2;11/20/15;03/07/26"))
        << launcher.opened[2].toString().toStdString();
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].second, QStringList{programFolder + "/Technical.sh"});
    form->action(QStringLiteral("HelpAbout"))->trigger();
    ASSERT_TRUE(form->aboutBox()->isVisible());
    EXPECT_TRUE(form->aboutBox()->isModal());
    EXPECT_EQ(form->aboutBox()->version()->text(), "Version 2015.4.2 ");
    Q_EMIT form->aboutBox()
        ->findChild<QLabel*>(QStringLiteral("MailLink"))
        ->linkActivated(aboutmsg::kSupportMail);
    EXPECT_EQ(launcher.opened.back(), QUrl(aboutmsg::kSupportMail));
    form->aboutBox()->accept();
}

// The desktop stays silent when it cannot open a document; the program says what went wrong.
TEST_F(OptionalData, HelpSaysWhenADocumentCannotBeOpened) {
    const QString programFolder = dir.filePath("empty");
    start({}, programFolder);
    const struct {
        const char* action;
        const char* document;
    } items[] = {{"HelpContents", helpfiles::kContents},
                 {"HelpUsersManual", helpfiles::kUsersManual},
                 {"HelpTechnicalManual", helpfiles::kTechnical}};
    for (const auto& item : items) {
        messages.shown.clear();
        form->action(QLatin1String(item.action))->trigger();
        EXPECT_EQ(messages.shown, QStringList{"error: " + helpfiles::kMissing.arg(
                                                              QDir(programFolder).filePath(item.document))});
    }
    EXPECT_TRUE(launcher.opened.empty() && launcher.started.empty()) << "nothing handed on that is not there";

    // The script is there but finds no viewer: said as for the other documents.
    ASSERT_TRUE(QDir().mkpath(programFolder));
    for (const char* name : {helpfiles::kTechnical, helpfiles::kTechnicalManual})
        QFile(QDir(programFolder).filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
    launcher.exitStatus = 1;
    messages.shown.clear();
    form->action(QStringLiteral("HelpTechnicalManual"))->trigger();
    EXPECT_EQ(messages.shown,
              QStringList{"error: " +
                          helpfiles::kNoProgram.arg(
                              QDir(programFolder).filePath(QLatin1String(helpfiles::kTechnicalManual)))});

    launcher.canStart = false;
    messages.shown.clear();
    form->action(QStringLiteral("HelpUpdates"))->trigger();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("error: No program on this computer could open"))
        << messages.shown[0].toStdString();
}

TEST_F(OptionalData, NoMenuItemIsAPlaceholder) {
    start();
    for (QAction* a : form->findChildren<QAction*>()) {
        // Undo and Redo are disabled until there is a step to undo or redo.
        const bool listed = a->objectName().startsWith("Recent") || a->objectName().startsWith("Window") ||
                            a->objectName() == "EditUndo" || a->objectName() == "EditRedo";
        if (!a->isSeparator() && !a->text().isEmpty() && !listed) {
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
        }
    }
}

} // namespace

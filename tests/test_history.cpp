// Undo and redo: every kind of change a user makes is one step that undoes and redoes to the same
// document, the modified flag follows the saved state, and open windows show what was put back.
#include "MainWindowFixture.h"
#include "dialogs/DataDialog.h"
#include "model/DocumentHistory.h"
#include "model/ModelCheck.h"
#include "model/TableSet.h"
#include "tables/TableFormController.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <functional>

namespace {

class History : public MainWindowFixture {
public:
    TableSet& tables() { return session->tables(); }
    TProgramData& doc() { return session->document(); }
    // The document as a whole: its file's text and every value, hidden tables included.
    struct Bytes {
        QByteArray text;
        DocumentState state;
        bool operator==(const Bytes&) const = default;
    };
    Bytes bytes() { return {doc().ProblemText(), CaptureState(*session)}; }
    using MainWindowFixture::form;
    void openExample(const char* name = "Bishop") {
        const QString path = dir.filePath(QStringLiteral("%1.sl4d").arg(QLatin1String(name)));
        QFile::copy(
            QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/%1.sl4d").arg(QLatin1String(name)), path);
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        start({path});
    }
    QString undoText() { return form->action(QStringLiteral("EditUndo"))->text(); }
};

void set(TGridTable* t, int column, int row, double v) {
    t->Cell(column, row).SetFloat(static_cast<long double>(v));
}

} // namespace

TEST_F(History, EveryKindOfStepUndoesAndRedoesToTheSameDocument) {
    openExample();
    struct Step {
        const char* what;
        std::function<void(History&)> act;
        const char* caption; // the Undo item's, after "&Undo "
    };
    const Step steps[] = {
        {"a committed cell", [](History& h) { set(h.tables().SoilData, 2, 0, 7.5); },
         "Isotropic Cohesion Intercept in Soil Properties row 1"},
        {"a row inserted", [](History& h) { h.tables().BoundCood->InsertRowGroup(1); },
         "Rows of Coordinates of Boundary Lines"},
        {"a row deleted", [](History& h) { h.tables().BoundCood->DeleteRowGroup(1); },
         "Rows of Coordinates of Boundary Lines"},
        {"a paste of many cells",
         [](History& h) {
             for (int r = 0; r < 3; ++r) set(h.tables().BoundCood, 1, r, 30 + r);
         },
         "3 entries: Left Y in Coordinates of Boundary Lines row 1 and more"},
        {"a dialog field", [](History& h) { h.doc().SeismicKh = 0.2L; }, "Horizontal earthquake coefficient"},
        {"a check box", [](History& h) { h.doc().EquakeOn = true; }, "Earthquake loading"},
        {"a search method", [](History& h) { h.form->SearchItemClick(2); }, "Janbu search and more"},
        {"the title", [](History& h) { h.doc().Title = QStringLiteral("Changed title"); }, "Title"},
        {"a unit switch", [](History& h) { h.form->UnitsClick(1); }, "Units"},
        {"a water surface's point",
         [](History& h) {
             TGridTable* pts = h.tables().WaterSurfaceSet->Cell(cols::kNested, 0).Table();
             ASSERT_TRUE(pts);
             pts->SetRowCount(2);
             set(pts, 0, 1, 44);
         },
         "Rows of Piezometric Surfaces 1"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        form->CloseChildWindows();
        const Bytes before = bytes();
        s.act(*this);
        ASSERT_TRUE(form->RecordStep());
        const Bytes after = bytes();
        ASSERT_FALSE(after == before);
        EXPECT_EQ(undoText(), QStringLiteral("&Undo ") + QLatin1String(s.caption));
        form->EditUndoClick();
        EXPECT_TRUE(bytes() == before);
        EXPECT_EQ(form->action(QStringLiteral("EditRedo"))->text(),
                  QStringLiteral("&Redo ") + QLatin1String(s.caption));
        form->EditRedoClick();
        EXPECT_TRUE(bytes() == after);
        EXPECT_FALSE(form->RecordStep()) << "an undo and a redo are no new step";
    }
    // Back through all of them: the document as it was opened, and no longer modified.
    for (int guard = 0; guard < 50 && form->history().stack().canUndo(); ++guard) form->EditUndoClick();
    EXPECT_FALSE(form->IsModified());
    EXPECT_FALSE(form->action(QStringLiteral("EditUndo"))->isEnabled());
    QFile file(doc().FileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(doc().ProblemText(), file.readAll());
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();
}

TEST_F(History, TheModifiedFlagFollowsTheSavedState) {
    openExample();
    EXPECT_FALSE(form->IsModified());
    set(tables().SoilData, 3, 0, 25);
    form->SetModified(true);
    form->RecordStep();
    form->EditUndoClick();
    EXPECT_FALSE(form->IsModified()) << "back at the file's state";
    form->EditRedoClick();
    EXPECT_TRUE(form->IsModified());
    ASSERT_EQ(form->FileSaveClick(), SaveOutcome::Saved);
    EXPECT_FALSE(form->IsModified());
    form->EditUndoClick();
    EXPECT_TRUE(form->IsModified()) << "away from the saved state";
    form->EditRedoClick();
    EXPECT_FALSE(form->IsModified()) << "back at the saved state";
    // A change after an undo ends the redo.
    form->EditUndoClick();
    set(tables().SoilData, 3, 0, 31);
    EXPECT_FALSE(form->history().stack().canRedo() && form->RecordStep() &&
                 form->history().stack().canRedo());
    EXPECT_FALSE(form->history().stack().canRedo());
}

TEST_F(History, NewOpenAndRecoveryStartWithoutHistory) {
    openExample();
    set(tables().SoilData, 2, 0, 1);
    form->RecordStep();
    ASSERT_TRUE(form->history().stack().canUndo());
    messages.answers.push_back(MessageSink::Answer::No); // do not save the change
    form->FileNewClick();
    EXPECT_FALSE(form->history().stack().canUndo());
    EXPECT_FALSE(form->RecordStep()) << "the new document is the base";
    set(tables().SoilData, 2, 0, 1);
    form->RecordStep();
    messages.answers.push_back(MessageSink::Answer::No);
    const QString other = dir.filePath("Janbu.sl4d");
    QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Janbu.sl4d"), other);
    form->OpenReplacing(other);
    EXPECT_EQ(doc().FileName, other);
    EXPECT_FALSE(form->history().stack().canUndo());
}

TEST_F(History, OpenWindowsShowWhatIsPutBack) {
    openExample();
    // A table window shows the restored cell.
    tables().SoilData->ShowWindow();
    auto* soils = dynamic_cast<TTableForm*>(tables().SoilData->Window());
    ASSERT_TRUE(soils);
    const QString was = soils->grid()->item(0, 2)->text();
    set(tables().SoilData, 2, 0, 123);
    form->RecordStep();
    EXPECT_EQ(soils->grid()->item(0, 2)->text(), "123");
    form->EditUndoClick();
    EXPECT_EQ(soils->grid()->item(0, 2)->text(), was);

    // A dialog's field: stored when the dialog is left, undone, shown again as it was.
    form->action(QStringLiteral("DataEarthquake"))->trigger();
    TDataDialog* quake = nullptr;
    for (QMdiSubWindow* sub : form->mdiArea()->subWindowList())
        if (auto* d = dynamic_cast<TDataDialog*>(sub->widget()); d && d->field("deHcoe")) quake = d;
    ASSERT_TRUE(quake);
    const QString shown = quake->field("deHcoe")->text();
    quake->field("deHcoe")->setText(QStringLiteral("0.25"));
    ASSERT_TRUE(quake->FormDeactivate());
    form->RecordStep();
    EXPECT_EQ(doc().SeismicKh, 0.25L);
    EXPECT_EQ(undoText(), "&Undo Horizontal earthquake coefficient and more");
    form->EditUndoClick();
    EXPECT_EQ(quake->field("deHcoe")->text(), shown);
    EXPECT_NE(doc().SeismicKh, 0.25L);
}

TEST_F(History, AnEntryStillOpenIsTheStepUndone) {
    openExample();
    tables().SoilData->ShowWindow();
    auto* soils = dynamic_cast<TTableForm*>(tables().SoilData->Window());
    ASSERT_TRUE(soils);
    soils->grid()->setCurrentCell(0, 3);
    QCoreApplication::processEvents();
    QLineEdit* edit = soils->grid()->cellEditor();
    ASSERT_TRUE(edit);
    const long double before = tables().SoilData->Cell(3, 0).GetFloat();
    edit->setText(QStringLiteral("33"));
    // Ctrl+Z from the menu with the entry uncommitted: it goes in, and is what is undone.
    form->EditUndoClick();
    EXPECT_EQ(tables().SoilData->Cell(3, 0).GetFloat(), before);
    form->EditRedoClick();
    EXPECT_EQ(tables().SoilData->Cell(3, 0).GetFloat(), 33.0L);
}

// Ctrl+Z with a table's cell editor focused and nothing typed in it undoes the document's last step.
TEST_F(History, CtrlZInAnUntouchedCellUndoesTheLastStep) {
    openExample();
    form->show();
    tables().SoilData->ShowWindow();
    auto* soils = dynamic_cast<TTableForm*>(tables().SoilData->Window());
    ASSERT_TRUE(soils);
    const long double before = tables().SoilData->Cell(2, 0).GetFloat();
    set(tables().SoilData, 2, 0, 55);
    form->RecordStep();
    soils->grid()->setCurrentCell(0, 3);
    QCoreApplication::processEvents();
    QLineEdit* edit = soils->grid()->cellEditor();
    ASSERT_TRUE(edit);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(tables().SoilData->Cell(2, 0).GetFloat(), before);
    QTest::keyClick(edit, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(tables().SoilData->Cell(2, 0).GetFloat(), 55.0L);
}

// An open Model Check list follows an undo: the error it listed is gone with the entry that caused it.
TEST_F(History, TheCheckListFollowsAnUndo) {
    openExample();
    set(tables().SoilData, 2, 0, -5);
    form->RecordStep();
    form->CheckModelClick();
    ASSERT_TRUE(form->checkWindow());
    EXPECT_EQ(errorCount(form->checkWindow()->findings()), 1);
    form->EditUndoClick();
    EXPECT_EQ(errorCount(form->checkWindow()->findings()), 0);
    form->EditRedoClick();
    EXPECT_EQ(errorCount(form->checkWindow()->findings()), 1);
}

#pragma once
// What every data dialog shares: it loads its fields from the document when it becomes the
// active window, stores them when another window becomes active or a menu of the frame opens,
// and stores them once more when it closes; a field holding a refused entry keeps the dialog in
// front and stores nothing. Each dialog lists its fields as data.
#include "base/UserInteraction.h"
#include "model/ProgramData.h"
#include "tables/DataEdit.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QGridLayout;
class QMdiArea;
class QMdiSubWindow;

// One entry field and the document field it edits (a whole number or a real).
struct FieldDef {
    const char* name; // the control's object name
    QString caption;  // the field's own caption, also in its messages
    bool integer = false;
    std::optional<long double> lower; // none: no lower bound
    long double upper = 0;
    QString unit; // unit category ("L2", "deg."); empty: none
    int32_t TProgramData::*whole = nullptr;
    long double TProgramData::*real = nullptr;
};

class TDataDialog : public QWidget, public CommittingChild {
    Q_OBJECT
public:
    TDataDialog(ProblemSession& session, MessageSink& messages, const QString& caption,
                QWidget* parent = nullptr);
    ~TDataDialog() override;

    // Shows the dialog in a subwindow of `area` and activates it.
    void showIn(QMdiArea* area);
    QMdiSubWindow* subWindow() const;

    // The three handlers of every data dialog.
    virtual void FormActivate();
    bool FormDeactivate();
    bool FormClose();
    bool storeToDocument() override { return FormDeactivate(); }
    // Shows the document's numbers again, in its current units (after a unit switch).
    void reloadFields() { loadFields(); }

    TDataEdit* field(const char* name) const;
    const std::vector<TDataEdit*>& fields() const { return m_fieldOrder; }
    // Runs when the dialog has closed (single-instance windows clear their flag here).
    std::function<void()> onClosed;
    bool isClosing() const { return m_closing; }

protected:
    // Adds a field with its label at `row` of `grid` (label in column 0, field in column 1).
    TDataEdit* addField(const FieldDef& def, QGridLayout* grid, int row);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Loads every field from the document; stores every field into it.
    void loadFields();
    void storeFields();
    // Edits of the user mark the document changed.
    void edited();
    TProgramData& document() { return m_session.document(); }
    ProblemSession& session() { return m_session; }
    MessageSink& messages() { return m_messages; }
    // Fixes the dialog's size to its contents.
    void fixSize();
    // What a dialog loads and stores beyond its entry fields (check boxes, texts).
    virtual void loadExtra() {}
    virtual void storeExtra() {}
    // After the store of a close (the Water Surface dialog sets its flag only then).
    virtual void storeOnClose() {}

private:
    bool focusedFieldRefuses();
    void bringBack();

    ProblemSession& m_session;
    MessageSink& m_messages;
    std::vector<std::pair<FieldDef, TDataEdit*>> m_fields;
    std::vector<TDataEdit*> m_fieldOrder;
    bool m_returning = false; // brought back after a refused entry: the fields keep their text
    bool m_closing = false;
};

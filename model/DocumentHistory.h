#pragma once
// Undo and redo of the document. A step is whatever one user action changed: the window layer asks
// for a step after each action has run (a committed cell, a row inserted or deleted, a paste or an
// import, a dialog's fields stored, a check box, a search method, a unit switch, the title), and the
// history compares the document with its state after the last step. Each step keeps the whole state
// before and after, so undoing puts back every value exactly, in any units.
#include <QByteArray>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <vector>

class ProblemSession;
class TGridTable;

// Every value of the document: its fields and every cell of every table (nested tables included), as
// bytes, so that equal states are equal bit for bit.
struct DocumentState {
    struct Table {
        int rows = 0;
        int units = 0;                              // the unit system the values are in
        std::vector<std::vector<QByteArray>> cells; // [column][row]
        std::vector<std::vector<Table>> nested;     // [column][row], for columns of tables
        bool operator==(const Table&) const = default;
    };
    std::vector<QByteArray> fields; // in the order of the document's field list
    std::vector<Table> tables;      // in the order of the table set
    bool operator==(const DocumentState&) const = default;
};

DocumentState CaptureState(const ProblemSession& session);
// Puts every value back; the windows that show them are refreshed by the caller.
void RestoreState(ProblemSession& session, const DocumentState& state);
// What changed from `before` to `after`, as an Undo item names it: "Cohesion in Soil Properties row 2",
// "Units", "Rows of Coordinates of Boundary Lines".
QString DescribeChange(const ProblemSession& session, const DocumentState& before,
                       const DocumentState& after);

class DocumentHistory {
public:
    explicit DocumentHistory(ProblemSession& session);
    ~DocumentHistory();

    QUndoStack& stack() { return *m_stack; }
    // Adds a step for what changed since the last one; false when nothing did.
    bool Record();
    // Undoes the last step (after recording what changed since it) or redoes the last undone one;
    // false when there is none. The modified flag follows the saved state.
    bool Undo();
    bool Redo();
    // A new document (New, Open, a dropped file): no history; what it holds now is the base.
    void Reset();
    // The document was saved: undoing back to here clears the modified flag.
    void MarkSaved();
    // The document differs from its file though nothing is to undo (a recovered document).
    void MarkUnsaved();
    // Runs after Undo or Redo put values back: the windows show them.
    std::function<void()> afterRestore;

private:
    class Step;
    void apply(const DocumentState& state);

    ProblemSession& m_session;
    std::unique_ptr<QUndoStack> m_stack;
    DocumentState m_last; // the state after the last step, undo or redo
};

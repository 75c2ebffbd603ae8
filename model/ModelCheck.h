#pragma once
// The model check's findings as the engine writes them (check.json), where each one is in the
// program's windows, and the check of a document by the engine library beside the program.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct ModelFinding {
    bool error = true; // false: a warning, legal but implausible
    QString section;   // "lines", "soils", "water", "loads", "tiebacks", "search", "surface", "problem"
    int item = 0;      // 1-based row of its table; 0: the section as a whole
    QString message;
};

// The findings of a check file; nothing, and why, when it is not one.
std::optional<QList<ModelFinding>> parseFindings(const QByteArray& json, QString* error = nullptr);
// Where a finding is, in the words of the program's menus: "Soil Properties, row 2".
QString findingPlace(const ModelFinding& finding);
int errorCount(const QList<ModelFinding>& findings);

namespace checkmsg {
// Run Analysis refused because of the check's errors.
QString runStopped(int errors);
inline const QString kNone = QStringLiteral("The check finds nothing wrong with the model.");
} // namespace checkmsg

namespace engine {
struct CheckOutcome {
    bool performed = false; // false: the library could not check (missing, or without the check)
    QString why;            // why it was not performed
    QList<ModelFinding> findings;
};
// Checks the problem text with the engine library in `programFolder`, in a private folder of its
// own: nothing beside the user's file is read or written.
CheckOutcome Check(const QByteArray& problemText, const QString& programFolder);
} // namespace engine

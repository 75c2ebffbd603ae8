#pragma once
// Computation > Probabilistic Analysis: a dialog that edits a study of the open problem (its variables
// picked from the document's soils, earthquake, water, loads and tiebacks), runs it with the
// command-line tool beside the program, and a window that charts the results.
#include <QJsonObject>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QChartView;
class QComboBox;
class QLabel;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class FileChooser;
class MessageSink;
class ProblemSession;

namespace studymsg {
inline const QString kCaption = QStringLiteral("Probabilistic Analysis");
inline const QString kResultsCaption = QStringLiteral("Probabilistic Analysis Results");
inline const QString kNoRunner =
    QStringLiteral("Studies run with the command-line tool dizirovi-cli, which is not beside the program.");
} // namespace studymsg

// What can vary in the document, as the study file names it: "soil 1 cohesion" and its JSON keys.
struct StudyCandidate {
    QString name;
    QJsonObject target; // {"soil": 1, "property": "cohesion"}
    double value = 0;   // its value in the document now
};
std::vector<StudyCandidate> studyCandidates(const ProblemSession& session);

// The probabilistic results a study wrote: its summary, convergence and every sample's factor.
struct StudyResults {
    QJsonObject results;
    std::vector<double> factors; // in sample order, those with a factor
};
std::optional<StudyResults> readStudyResults(const QString& studyPath, QString& error);

// Equal bins over the factors (about the square root of their number, 10 to 50): their edges and counts.
struct Histogram {
    std::vector<double> edges;
    std::vector<int> counts;
};
Histogram histogram(const std::vector<double>& values);

class TStudyResults : public QWidget {
    Q_OBJECT
public:
    TStudyResults(const StudyResults& results, MessageSink& messages, FileChooser& files,
                  QWidget* parent = nullptr);
    void ExportClick(); // the chart on the current tab, as PNG or PDF
    QTabWidget* tabs() const { return m_tabs; }
    QLabel* summary() const { return m_summary; }
    QString problemFile;

private:
    MessageSink& m_messages;
    FileChooser& m_files;
    QTabWidget* m_tabs;
    QLabel* m_summary;
};

class TStudyDialog : public QWidget {
    Q_OBJECT
public:
    // `save` saves the document (false: not saved); `show` shows a results window.
    TStudyDialog(ProblemSession& session, MessageSink& messages, QString runner, std::function<bool()> save,
                 std::function<void(const StudyResults&)> show, QWidget* parent = nullptr);

    void AddVariableClick();
    void RemoveVariableClick();
    // The study file's JSON for the dialog's entries; nothing, and why, when an entry is not a number.
    std::optional<QJsonObject> studyJson(QString& why) const;
    // Saves the problem, writes the study beside it and runs it; true when results were shown.
    bool RunClick();

    QTableWidget* variables() const { return m_table; }
    QSpinBox* samples() const { return m_samples; }
    QSpinBox* seed() const { return m_seed; }
    QComboBox* sampling() const { return m_sampling; }
    QComboBox* mode() const { return m_mode; }
    QString studyPath() const;

private:
    void addRow(int candidate);

    ProblemSession& m_session;
    MessageSink& m_messages;
    QString m_runner;
    std::function<bool()> m_save;
    std::function<void(const StudyResults&)> m_show;
    std::vector<StudyCandidate> m_candidates;
    QTableWidget* m_table;
    QSpinBox* m_samples;
    QSpinBox* m_seed;
    QComboBox* m_sampling;
    QComboBox* m_mode;
};

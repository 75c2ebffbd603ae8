#pragma once
// Computation > Probabilistic, Sensitivity and Back Analysis: a dialog that edits a study of the open
// problem (its variables picked from the document's soils, earthquake, water, loads and tiebacks), runs
// it with the command-line tool beside the program, and a window that charts the results.
#include "MainForm.h"

#include <QImage>
#include <QJsonObject>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QChartView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace studymsg {
inline const QString kCaption = QStringLiteral("Probabilistic Analysis");
inline const QString kSensitivityCaption = QStringLiteral("Sensitivity Analysis");
inline const QString kBackCaption = QStringLiteral("Back Analysis");
inline const QString kResultsSuffix = QStringLiteral(" Results");
inline const QString kNoRunner =
    QStringLiteral("Studies run with the command-line tool dizirovi-cli, which is not beside the program.");
} // namespace studymsg

// The program's opener of the study windows (handed to the main window).
void OpenStudyWindow(StudyKind kind, const StudyContext& context);

// What can vary in the document, as the study file names it: "soil 1 cohesion" and its JSON keys.
struct StudyCandidate {
    QString name;
    QJsonObject target; // {"soil": 1, "property": "cohesion"}
    double value = 0;   // its value in the document now
};
std::vector<StudyCandidate> studyCandidates(const ProblemSession& session);

// The results a study wrote: its JSON and, for a probabilistic one, every sample's factor.
struct StudyResults {
    QJsonObject results;
    std::vector<double> factors; // in sample order, those with a factor
    QString analysis() const { return results.value(QLatin1String("analysis")).toString(); }
};
std::optional<StudyResults> readStudyResults(const QString& studyPath, QString& error);

// Equal bins over the factors (about the square root of their number, 10 to 50): their edges and counts.
struct Histogram {
    std::vector<double> edges;
    std::vector<int> counts;
};
Histogram histogram(const std::vector<double>& values);

// A tornado chart's rows: each variable's change of the factor at the low and the high end of its
// sweep from the factor at the means, the smallest swing first (a chart draws the first row lowest).
struct TornadoRow {
    QString variable;
    double low = 0, high = 0;
    double swing = 0;
};
std::vector<TornadoRow> tornadoRows(const QJsonObject& sensitivity);

class TStudyResults : public QWidget {
    Q_OBJECT
public:
    TStudyResults(const StudyResults& results, MessageSink& messages, FileChooser& files,
                  QWidget* parent = nullptr);
    void ExportClick(); // the chart (or the drawing) on the current tab, as PNG or PDF
    // A tab with the model and the critical surface of the sample with the lowest factor.
    void addLowestSample(const QImage& drawing, const QString& caption);
    QTabWidget* tabs() const { return m_tabs; }
    QLabel* summary() const { return m_summary; }
    QString problemFile;

private:
    void addProbabilistic(const StudyResults& r);
    void addSensitivity(const QJsonObject& r);
    void addBack(const QJsonObject& r);

    MessageSink& m_messages;
    FileChooser& m_files;
    QTabWidget* m_tabs;
    QLabel* m_summary;
    QImage m_lowest; // the drawing on the "Lowest Sample" tab, as exported
};

// The model of `session` as the model view draws it, with the critical surface of the study's sample
// of lowest factor (the results' "lowest"), and a caption naming the sample; nothing without one.
std::optional<std::pair<QImage, QString>> lowestSampleDrawing(const ProblemSession& session,
                                                              const QJsonObject& results);

class TStudyDialog : public QWidget {
    Q_OBJECT
public:
    // `save` saves the document (false: not saved); `show` shows a results window. The study file
    // beside the problem, when there is one, fills the dialog.
    TStudyDialog(StudyKind kind, ProblemSession& session, MessageSink& messages, QString runner,
                 std::function<bool()> save, std::function<void(const StudyResults&)> show,
                 QWidget* parent = nullptr);

    void AddVariableClick();
    void RemoveVariableClick();
    // The study file's JSON for the dialog's entries; nothing, and why, when an entry is not a number.
    std::optional<QJsonObject> studyJson(QString& why) const;
    // Saves the problem, writes the study beside it and runs it; true when results were shown.
    bool RunClick();

    StudyKind kind() const { return m_kind; }
    QTableWidget* variables() const { return m_table; }
    QSpinBox* samples() const { return m_samples; }
    QSpinBox* seed() const { return m_seed; }
    QComboBox* sampling() const { return m_sampling; }
    QComboBox* mode() const { return m_mode; }
    QSpinBox* points() const { return m_points; }
    QDoubleSpinBox* spread() const { return m_k; }
    QComboBox* solveFor() const { return m_solveFor; }
    QLineEdit* low() const { return m_low; }
    QLineEdit* high() const { return m_high; }
    QLineEdit* target() const { return m_target; }
    // "slope.study.json", "slope.sensitivity.json" or "slope.back.json" beside the problem.
    QString studyPath() const;

private:
    void buildVariables(QLayout* layout);
    void addRow(int candidate, const QJsonObject& entered = {});
    int candidateFor(const QJsonObject& variable) const;
    void load(const QJsonObject& study);
    void solveForChanged();
    std::optional<QJsonArray> variablesJson(QString& why) const;

    StudyKind m_kind;
    ProblemSession& m_session;
    MessageSink& m_messages;
    QString m_runner;
    std::function<bool()> m_save;
    std::function<void(const StudyResults&)> m_show;
    std::vector<StudyCandidate> m_candidates;
    QJsonObject m_loaded; // the study file as read: what the dialog does not edit is kept
    QTableWidget* m_table = nullptr;
    QSpinBox* m_samples = nullptr;
    QSpinBox* m_seed = nullptr;
    QComboBox* m_sampling = nullptr;
    QComboBox* m_mode = nullptr;
    QSpinBox* m_points = nullptr;
    QDoubleSpinBox* m_k = nullptr;
    QComboBox* m_solveFor = nullptr;
    QLineEdit* m_low = nullptr;
    QLineEdit* m_high = nullptr;
    QLineEdit* m_target = nullptr;
};

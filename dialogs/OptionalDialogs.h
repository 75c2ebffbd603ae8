#pragma once
// The title, the loads, the limits, the tiebacks, the water surfaces and the reinforcement: the
// dialogs of a problem's optional data. Most switch a section on with a check box whose button
// opens the section's table.
#include "DataDialog.h"

#include <QCheckBox>
#include <QPushButton>

class QLineEdit;
class TableSet;

namespace optionalmsg {
inline const QString kTitle = QStringLiteral("Project Title");
inline const QString kTitlePrompt = QStringLiteral("Enter text line for project description:");
inline const QString kLoading = QStringLiteral("Surcharge Loads");
inline const QString kEarthquake = QStringLiteral("Earthquake Loading Coefficients");
inline const QString kLimits = QStringLiteral("Trial Surface Limits (optional)");
inline const QString kTiebacks = QStringLiteral("Tiebacks");
inline const QString kWater = QStringLiteral("Water Surface");
inline const QString kReinforcement = QStringLiteral("Reinforce Earth Layers");
inline const QString kKhNote = QStringLiteral("(defined positive outwards from the face of slope)");
inline const QString kKvNote = QStringLiteral("(defined positive upwards)");
} // namespace optionalmsg

// The title of the problem: one line, stored only when it differs.
class TdlgTitle : public TDataDialog {
    Q_OBJECT
public:
    TdlgTitle(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
    QLineEdit* memo() const { return m_memo; }

protected:
    void loadExtra() override;
    void storeExtra() override;

private:
    QLineEdit* m_memo;
};

// A check box that switches a section on, and the button to the section's table, enabled with it.
struct OptionalSection {
    QString caption;
    const char* boxName;
    QString boxText;
    const char* buttonName;
    QString buttonText;
    bool TProgramData::*flag;
    TGridTable* TableSet::*table;
    QString picture; // resource path of the sketch, or empty
};

// Surcharge loads, trial surface limits, tiebacks: unchecking the box closes the table's window;
// the rows stay.
class TOptionalDataDialog : public TDataDialog {
    Q_OBJECT
public:
    TOptionalDataDialog(ProblemSession& session, MessageSink& messages, const OptionalSection& section,
                        QWidget* parent = nullptr);
    QCheckBox* box() const { return m_box; }
    QPushButton* button() const { return m_button; }

protected:
    void loadExtra() override;
    void storeExtra() override;

private:
    void boxClicked();
    OptionalSection m_section;
    QCheckBox* m_box;
    QPushButton* m_button;
};

class TDlgLoading : public TOptionalDataDialog {
    Q_OBJECT
public:
    TDlgLoading(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgLimits : public TOptionalDataDialog {
    Q_OBJECT
public:
    TDlgLimits(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgTieback : public TOptionalDataDialog {
    Q_OBJECT
public:
    TDlgTieback(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

// The earthquake coefficients; the section is on exactly when one of them is positive.
class TDlgEarthquake : public TDataDialog {
    Q_OBJECT
public:
    TDlgEarthquake(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);

protected:
    void storeExtra() override;
};

// A section switched by a check box whose button opens its table: the water surfaces and the
// reinforcement. A click on the box marks the document changed.
class TSwitchedSectionDialog : public TDataDialog {
    Q_OBJECT
public:
    QCheckBox* box() const { return m_box; }
    QPushButton* button() const { return m_button; }

protected:
    TSwitchedSectionDialog(ProblemSession& session, MessageSink& messages, const QString& caption,
                           const QString& boxText, const QString& buttonText, QWidget* parent);
    // Sets the box and runs its click logic.
    void loadBox(bool checked);
    QCheckBox* m_box;
    QPushButton* m_button;

private:
    void boxClicked();
};

// The unit weight of water and the piezometric surfaces; the water section is switched on by the
// edit button or on closing.
class TDlgPiezometric : public TSwitchedSectionDialog {
    Q_OBJECT
public:
    TDlgPiezometric(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);

protected:
    void loadExtra() override;
    void storeExtra() override;
    void storeOnClose() override;
};

// The sets of reinforced earth layers.
class TDlgReinEarth : public TSwitchedSectionDialog {
    Q_OBJECT
public:
    TDlgReinEarth(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);

protected:
    void loadExtra() override;
    void storeExtra() override;
};

// The sketch of an optional-data dialog, decoded from the program's resources.
QPixmap optionalPicture(const QString& name);

#include "OptionalDialogs.h"

#include "model/TableSet.h"

#include <QGridLayout>
#include <QLabel>

TSwitchedSectionDialog::TSwitchedSectionDialog(ProblemSession& session, MessageSink& messages,
                                               const QString& caption, const QString& boxText,
                                               const QString& buttonText, QWidget* parent)
    : TDataDialog(session, messages, caption, parent) {
    m_box = new QCheckBox(boxText, this);
    m_box->setObjectName(QStringLiteral("ChkPrint"));
    m_button = new QPushButton(buttonText, this);
    m_button->setObjectName(QStringLiteral("EditDepths"));
    connect(m_box, &QCheckBox::clicked, this, &TSwitchedSectionDialog::boxClicked);
}

// A click on the box is an edit; showing the document's state on activation is none.
void TSwitchedSectionDialog::boxClicked() {
    m_button->setEnabled(m_box->isChecked());
    session().SetModified(true);
}

void TSwitchedSectionDialog::loadBox(bool checked) {
    m_box->setChecked(checked);
    m_button->setEnabled(checked);
}

TDlgPiezometric::TDlgPiezometric(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TSwitchedSectionDialog(session, messages, optionalmsg::kWater,
                             QStringLiteral("Specify piezometric surfaces"),
                             QStringLiteral("Edit &Piezometric Surfaces"), parent) {
    auto* grid = new QGridLayout(this);
    addField({"dewt", QStringLiteral("Unit weight of water"), false, std::nullopt, 300,
              QStringLiteral("F/L2^3"), nullptr, &TProgramData::WaterUnitWeight},
             grid, 0);
    grid->addWidget(m_box, 1, 0, 1, 2);
    grid->addWidget(m_button, 2, 0, 1, 2);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(optionalPicture(QStringLiteral("water.png")));
    grid->addWidget(picture, 0, 2, 4, 1);
    connect(m_button, &QPushButton::clicked, this, [this] {
        document().WaterOn = true;
        this->session().tables().WaterSurfaceSet->ShowWindow();
    });
    fixSize();
}

void TDlgPiezometric::loadExtra() {
    loadBox(document().WaterOn);
}

void TDlgPiezometric::storeExtra() {
    document().PiezoSpecified = m_box->isChecked() ? 1 : 0;
}

void TDlgPiezometric::storeOnClose() {
    document().WaterOn = m_box->isChecked();
}

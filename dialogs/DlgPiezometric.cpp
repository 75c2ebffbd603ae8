#include "OptionalDialogs.h"

#include "model/TableSet.h"

#include <QGridLayout>
#include <QLabel>

TDlgPiezometric::TDlgPiezometric(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, optionalmsg::kWater, parent) {
    m_guarded = false;
    m_editsMark = false;
    auto* grid = new QGridLayout(this);
    addField({"dewt", QStringLiteral("Unit weight of water"), false, std::nullopt, 300,
              QStringLiteral("F/L2^3"), nullptr, &TProgramData::WaterUnitWeight},
             grid, 0);
    m_box = new QCheckBox(QStringLiteral("Specify piezometric surfaces"), this);
    m_box->setObjectName(QStringLiteral("ChkPrint"));
    m_button = new QPushButton(QStringLiteral("Edit &Piezometric Surfaces"), this);
    m_button->setObjectName(QStringLiteral("EditDepths"));
    grid->addWidget(m_box, 1, 0, 1, 2);
    grid->addWidget(m_button, 2, 0, 1, 2);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(optionalPicture(QStringLiteral("water.png")));
    grid->addWidget(picture, 0, 2, 4, 1);
    connect(m_box, &QCheckBox::clicked, this, &TDlgPiezometric::boxClicked);
    connect(m_button, &QPushButton::clicked, this, [this] {
        document().WaterOn = true;
        this->session().tables().WaterSurfaceSet->ShowWindow();
    });
    fixSize();
}

// An unchecked box marks the document changed, also when the dialog is only activated.
void TDlgPiezometric::boxClicked() {
    m_button->setEnabled(m_box->isChecked());
    if (!m_box->isChecked()) session().SetModified(true);
}

void TDlgPiezometric::loadExtra() {
    m_box->setChecked(document().WaterOn);
    boxClicked();
}

void TDlgPiezometric::storeExtra() {
    document().PiezoSpecified = m_box->isChecked() ? 1 : 0;
}

void TDlgPiezometric::storeOnClose() {
    document().WaterOn = m_box->isChecked();
}

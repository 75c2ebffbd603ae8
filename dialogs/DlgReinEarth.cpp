#include "OptionalDialogs.h"

#include "model/TableSet.h"

#include <QVBoxLayout>

TDlgReinEarth::TDlgReinEarth(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, optionalmsg::kReinforcement, parent) {
    m_guarded = false;
    auto* layout = new QVBoxLayout(this);
    m_box = new QCheckBox(QStringLiteral("Specify reinforce earth layers"), this);
    m_box->setObjectName(QStringLiteral("ChkPrint"));
    m_button = new QPushButton(QStringLiteral("Edit &Reinforce Earth Data"), this);
    m_button->setObjectName(QStringLiteral("EditDepths"));
    layout->addWidget(m_box);
    layout->addWidget(m_button);
    connect(m_box, &QCheckBox::clicked, this, &TDlgReinEarth::boxClicked);
    connect(m_button, &QPushButton::clicked, this,
            [this] { this->session().tables().ReinEarthLayerSet->ShowWindow(); });
    fixSize();
}

void TDlgReinEarth::boxClicked() {
    m_button->setEnabled(m_box->isChecked());
    if (!m_box->isChecked()) session().SetModified(true);
}

void TDlgReinEarth::loadExtra() {
    m_box->setChecked(document().ReinfOn);
    boxClicked();
}

// With layers the user-defined surface is written as "SURBIS".
void TDlgReinEarth::storeExtra() {
    document().ReinfOn = m_box->isChecked();
    document().ReinfLayersOn = m_box->isChecked() ? 1 : 0;
}

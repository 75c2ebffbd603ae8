#include "OptionalDialogs.h"

#include "model/TableSet.h"

#include <QVBoxLayout>

TDlgReinEarth::TDlgReinEarth(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TSwitchedSectionDialog(session, messages, optionalmsg::kReinforcement,
                             QStringLiteral("Specify reinforce earth layers"),
                             QStringLiteral("Edit &Reinforce Earth Data"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_box);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this,
            [this] { this->session().tables().ReinEarthLayerSet->ShowWindow(); });
    fixSize();
}

void TDlgReinEarth::loadExtra() {
    loadBox(document().ReinfOn);
}

// With layers the user-defined surface is written as "SURBIS".
void TDlgReinEarth::storeExtra() {
    document().ReinfOn = m_box->isChecked();
    document().ReinfLayersOn = m_box->isChecked() ? 1 : 0;
}

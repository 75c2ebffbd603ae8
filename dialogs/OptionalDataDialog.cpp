#include "OptionalDialogs.h"

#include "model/TableSet.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

QPixmap optionalPicture(const QString& name) {
    return QPixmap(QStringLiteral(":/pictures/") + name);
}

TOptionalDataDialog::TOptionalDataDialog(ProblemSession& session, MessageSink& messages,
                                         const OptionalSection& section, QWidget* parent)
    : TDataDialog(session, messages, section.caption, parent), m_section(section) {
    auto* layout = new QGridLayout(this);
    m_box = new QCheckBox(section.boxText, this);
    m_box->setObjectName(QLatin1String(section.boxName));
    m_button = new QPushButton(section.buttonText, this);
    m_button->setObjectName(QLatin1String(section.buttonName));
    layout->addWidget(m_box, 0, 0);
    layout->addWidget(m_button, 1, 0);
    if (!section.picture.isEmpty()) {
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("Image1"));
        picture->setPixmap(optionalPicture(section.picture));
        layout->addWidget(picture, 0, 1, 3, 1);
    }
    layout->setRowStretch(2, 1);
    connect(m_box, &QCheckBox::clicked, this, &TOptionalDataDialog::boxClicked);
    connect(m_button, &QPushButton::clicked, this,
            [this] { (this->session().tables().*m_section.table)->ShowWindow(); });
    fixSize();
}

void TOptionalDataDialog::boxClicked() {
    m_button->setEnabled(m_box->isChecked());
    // The rows stay in the table; the document's flag decides whether they are written.
    if (!m_box->isChecked()) (session().tables().*m_section.table)->CloseWindow();
    session().SetModified(true);
}

void TOptionalDataDialog::loadExtra() {
    m_box->setChecked(document().*m_section.flag);
    m_button->setEnabled(m_box->isChecked());
}

void TOptionalDataDialog::storeExtra() {
    document().*m_section.flag = m_box->isChecked();
}

TDlgLoading::TDlgLoading(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TOptionalDataDialog(session, messages,
                          {optionalmsg::kLoading, "ChkDistLoad", QStringLiteral("Apply &Surcharge Loads"),
                           "btnDistLoad", QStringLiteral("&Edit Surcharge Loads"), &TProgramData::LoadsOn,
                           &TableSet::SurchargeLoad, QStringLiteral("surcharge.png")},
                          parent) {}

TDlgLimits::TDlgLimits(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TOptionalDataDialog(session, messages,
                          {optionalmsg::kLimits, "ChkSpring", QStringLiteral("&Specify trial surface limits"),
                           "btnSpring", QStringLiteral("&Edit Trial Surface Limits Data"),
                           &TProgramData::LimitsOn, &TableSet::limit, QStringLiteral("limits.png")},
                          parent) {}

TDlgTieback::TDlgTieback(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TOptionalDataDialog(session, messages,
                          {optionalmsg::kTiebacks, "ChkDistLoad", QStringLiteral("Specify tiebacks"),
                           "btnDistLoad", QStringLiteral("&Edit Tieback Data"), &TProgramData::TiesOn,
                           &TableSet::TiebackCoord, QStringLiteral("tieback.png")},
                          parent) {}

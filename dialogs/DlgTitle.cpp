#include "OptionalDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TdlgTitle::TdlgTitle(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, optionalmsg::kTitle, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(optionalmsg::kTitlePrompt, this));
    // One line: Enter starts none.
    m_memo = new QLineEdit(this);
    m_memo->setObjectName(QStringLiteral("TitleMemo"));
    m_memo->setMaxLength(80);
    m_memo->setMinimumWidth(m_memo->fontMetrics().averageCharWidth() * 82);
    layout->addWidget(m_memo);
    fixSize();
}

void TdlgTitle::loadExtra() {
    m_memo->setText(document().Title);
}

// Only a different title is a change.
void TdlgTitle::storeExtra() {
    if (m_memo->text() == document().Title) return;
    document().Title = m_memo->text();
    session().SetModified(true);
}

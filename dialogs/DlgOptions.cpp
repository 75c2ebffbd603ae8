#include "DlgOptions.h"

#include "base/TextEditor.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TDlgOptions::TDlgOptions(ProblemSession& session, MessageSink& messages, FileChooser& files,
                         std::function<QString()> editorPath,
                         std::function<void(const QString&)> setEditorPath, QWidget* parent)
    : TDataDialog(session, messages, optionsmsg::kCaption, parent), m_files(files),
      m_get(std::move(editorPath)), m_set(std::move(setEditorPath)) {
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(optionsmsg::kLabel, this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("EdtWord"));
    m_edit->setMinimumWidth(m_edit->fontMetrics().averageCharWidth() * 50);
    label->setBuddy(m_edit);
    auto* browse = new QPushButton(optionsmsg::kBrowse, this);
    browse->setObjectName(QStringLiteral("BtnBrowse"));
    connect(browse, &QPushButton::clicked, this, &TDlgOptions::BrowseClick);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_edit, 0, 1);
    grid->addWidget(browse, 0, 2);
    fixSize();
}

void TDlgOptions::BrowseClick() {
    // The dialog opens where the current program is; only programs are offered first.
    const QList<FileFilter> filters = {{QStringLiteral("Programs (*)"), QStringLiteral("*"), true},
                                       {QStringLiteral("All Files (*)"), QStringLiteral("*")}};
    if (auto choice = m_files.open(optionsmsg::kCaption, filters, 1, QString(), m_edit->text()))
        m_edit->setText(editorCommandOf(choice->path));
}

void TDlgOptions::loadExtra() {
    m_edit->setText(m_get());
}

void TDlgOptions::storeExtra() {
    m_set(m_edit->text());
}

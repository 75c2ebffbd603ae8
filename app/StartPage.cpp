#include "StartPage.h"

#include "format/Release.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

QListWidget* fileList(QWidget* parent, const QString& name, const std::function<void(const QString&)>& open) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setMinimumWidth(260);
    list->setMaximumHeight(320);
    QObject::connect(list, &QListWidget::itemActivated, parent, [open](QListWidgetItem* item) {
        if (const QString path = item->data(Qt::UserRole).toString(); !path.isEmpty()) open(path);
    });
    return list;
}

QListWidgetItem* fileItem(const QString& path) {
    const QFileInfo info(path);
    auto* item = new QListWidgetItem(info.fileName());
    item->setData(Qt::UserRole, info.absoluteFilePath());
    item->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()));
    return item;
}

} // namespace

TStartPage::TStartPage(Actions actions, QWidget* parent)
    : QWidget(parent), m_actions(std::move(actions)),
      m_examples(fileList(this, QStringLiteral("StartExamples"), m_actions.openFile)),
      m_recent(fileList(this, QStringLiteral("StartRecent"), m_actions.openFile)) {
    setObjectName(QStringLiteral("StartPage"));
    auto* title =
        new QLabel(QStringLiteral("<h2>DizirOvi %1</h2>Slope-stability analysis of a cross-section: "
                                  "describe the slope under Data, run it under Computation, and "
                                  "see the critical surface under View.")
                       .arg(QLatin1String(release::kVersion)),
                   this);
    title->setWordWrap(true);
    auto* newButton = new QPushButton(QStringLiteral("&New Problem"), this);
    newButton->setObjectName(QStringLiteral("StartNew"));
    // Alt+O is the Options menu's: this button takes P.
    auto* openButton = new QPushButton(QStringLiteral("Open a &Problem..."), this);
    openButton->setObjectName(QStringLiteral("StartOpen"));
    connect(newButton, &QPushButton::clicked, this, [this] { m_actions.newProblem(); });
    connect(openButton, &QPushButton::clicked, this, [this] { m_actions.open(); });

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(title, 0, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newButton);
    buttons->addWidget(openButton);
    buttons->addStretch();
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Examples (double-click to open)"), this), 2, 0);
    layout->addWidget(new QLabel(QStringLiteral("Recent files"), this), 2, 1);
    layout->addWidget(m_examples, 3, 0);
    layout->addWidget(m_recent, 3, 1);
    layout->setRowStretch(4, 1);
    setAutoFillBackground(true);
}

void TStartPage::setFiles(const QString& examplesFolder, const QStringList& recent) {
    m_examples->clear();
    const QDir folder(examplesFolder);
    if (!examplesFolder.isEmpty() && folder.exists())
        for (const QFileInfo& f : folder.entryInfoList({QStringLiteral("*.sl4d")}, QDir::Files, QDir::Name))
            m_examples->addItem(fileItem(f.absoluteFilePath()));
    m_recent->clear();
    for (const QString& path : recent)
        if (!path.isEmpty()) m_recent->addItem(fileItem(path));
    if (m_recent->count() == 0) {
        // Says why the list is empty; it opens nothing.
        auto* none = new QListWidgetItem(QStringLiteral("(none yet: the problems you open appear here)"));
        none->setFlags(Qt::NoItemFlags);
        m_recent->addItem(none);
    }
}

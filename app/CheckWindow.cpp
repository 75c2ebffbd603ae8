#include "CheckWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

TCheckWindow::TCheckWindow(std::function<void(const ModelFinding&)> open, QWidget* parent)
    : QWidget(parent), m_open(std::move(open)), m_summary(new QLabel(this)), m_list(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("ModelCheck"));
    setWindowTitle(QStringLiteral("Model Check"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Where"), QStringLiteral("Finding")});
    m_list->setRootIsDecorated(false);
    m_list->setWordWrap(true);
    m_list->header()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int i = m_list->indexOfTopLevelItem(item);
        if (i >= 0 && i < m_findings.size() && m_open) m_open(m_findings.at(i));
    });
}

void TCheckWindow::setFindings(const QList<ModelFinding>& findings) {
    m_findings = findings;
    m_list->clear();
    const QStyle* style = QApplication::style();
    for (const ModelFinding& f : findings) {
        auto* item =
            new QTreeWidgetItem(m_list, {f.error ? QStringLiteral("Error") : QStringLiteral("Warning"),
                                         findingPlace(f), f.message});
        item->setIcon(
            0, style->standardIcon(f.error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning));
        item->setToolTip(2, f.message);
    }
    for (int c = 0; c < 2; ++c) m_list->resizeColumnToContents(c);
    const int errors = errorCount(findings), warnings = static_cast<int>(findings.size()) - errors;
    auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString text = checkmsg::kNone;
    if (!findings.isEmpty()) {
        text =
            errors == 0
                ? QStringLiteral("No errors, ")
                : count(errors, "error", "errors") +
                      (errors == 1 ? QStringLiteral(" (the analysis will not run until it is mended), ")
                                   : QStringLiteral(" (the analysis will not run until they are mended), "));
        text += count(warnings, "warning", "warnings") +
                QStringLiteral(". Double-click a finding to open where it is.");
    }
    m_summary->setText(text);
}

QString TCheckWindow::summary() const {
    return m_summary->text();
}

#include "ResultWindows.h"

#include "base/FileAccess.h"
#include "model/RunSummary.h"

#include <QAction>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
// A report is a few pages; far beyond this the file is something else.
constexpr qint64 kMaxReportBytes = 64LL * 1024 * 1024;
} // namespace

TResultsWindow::TResultsWindow(QWidget* parent) : QWidget(parent), m_view(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("Results"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setOpenLinks(false);
    setWindowTitle(QStringLiteral("Results"));
}

void TResultsWindow::showResultFile(const QString& resultFile) {
    QString why;
    const auto summary = readRunSummary(resultFile, &why);
    m_view->setHtml(summary ? runSummaryHtml(*summary)
                            : QStringLiteral("<p>%1</p>").arg(why.toHtmlEscaped()));
    setWindowTitle(QStringLiteral("Results - %1").arg(QFileInfo(resultFile).fileName()));
}

QString TResultsWindow::text() const {
    return m_view->toPlainText();
}

TReportWindow::TReportWindow(QWidget* parent)
    : QWidget(parent), m_text(new QPlainTextEdit(this)), m_find(new QLineEdit(this)),
      m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("OutputReport"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* findLabel = new QLabel(QStringLiteral("&Find:"), this);
    findLabel->setBuddy(m_find);
    auto* next = new QPushButton(QStringLiteral("&Next"), this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(findLabel);
    bar->addWidget(m_find, 1);
    bar->addWidget(next);
    bar->addWidget(m_status);
    // Room for "Not found" from the start: the field does not jump when it appears.
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(QStringLiteral("Not found")) + 8);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(bar);
    layout->addWidget(m_text, 1);
    // Opened to look something up: typing goes to Find, and Ctrl+F comes back to it.
    setFocusProxy(m_find);
    auto* findKey = new QAction(this);
    findKey->setShortcut(QKeySequence::Find);
    findKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(findKey);
    connect(findKey, &QAction::triggered, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    auto search = [this] { findNext(m_find->text()); };
    connect(m_find, &QLineEdit::returnPressed, this, search);
    connect(next, &QPushButton::clicked, this, search);
    setWindowTitle(QStringLiteral("Output Report"));
}

bool TReportWindow::load(const QString& reportFile, QString& why) {
    QFile file;
    if (!fileaccess::openForReading(file, reportFile, why)) return false;
    if (file.size() > kMaxReportBytes) {
        why = QStringLiteral("The report %1 is too large to be one.").arg(reportFile);
        return false;
    }
    m_text->setPlainText(QString::fromUtf8(file.readAll()));
    m_status->clear();
    setWindowTitle(QStringLiteral("Output Report - %1").arg(QFileInfo(reportFile).fileName()));
    return true;
}

bool TReportWindow::findNext(const QString& text) {
    m_status->clear();
    if (text.isEmpty()) return false;
    auto found = [this, &text] {
        if (!m_text->find(text)) return false;
        m_text->centerCursor();
        return true;
    };
    if (found()) return true;
    QTextCursor top = m_text->textCursor();
    top.movePosition(QTextCursor::Start);
    m_text->setTextCursor(top);
    if (found()) return true;
    m_status->setText(QStringLiteral("Not found"));
    return false;
}

QString TReportWindow::text() const {
    return m_text->toPlainText();
}

QString TReportWindow::selectedText() const {
    return m_text->textCursor().selectedText();
}

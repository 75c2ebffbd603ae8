#include "PlatformServices.h"

#include "Application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

namespace {

// Messages use a carriage return as line break.
QString shown(const QString& text) {
    QString s = text;
    return s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
}

QString title() {
    return kApplicationTitle;
}

// The description stays as the program names it; the pattern the dialog filters by goes last,
// where the dialog takes it from, unless the description already ends with it.
QString nameFilter(const FileFilter& f) {
    const QString tail = QStringLiteral("(%1)").arg(f.pattern);
    return f.description.endsWith(tail) ? f.description : QStringLiteral("%1 %2").arg(f.description, tail);
}

QString filterText(const QList<FileFilter>& filters) {
    QStringList parts;
    for (const FileFilter& f : filters) parts << nameFilter(f);
    return parts.join(QLatin1String(";;"));
}

int filterIndexOf(const QList<FileFilter>& filters, const QString& selected) {
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (nameFilter(filters[i]) == selected) return static_cast<int>(i) + 1;
    return 1;
}

} // namespace

void QtMessageSink::information(const QString& text) {
    QMessageBox::information(m_parent, title(), shown(text), QMessageBox::Ok);
}

void QtMessageSink::warning(const QString& text) {
    QMessageBox::warning(m_parent, title(), shown(text), QMessageBox::Ok);
}

void QtMessageSink::error(const QString& text) {
    QMessageBox::critical(m_parent, title(), shown(text), QMessageBox::Ok);
}

void QtMessageSink::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), shown(text), QMessageBox::Ok, m_parent);
    box.exec();
}

MessageSink::Answer QtMessageSink::question(const QString& text) {
    switch (QMessageBox::question(m_parent, title(), shown(text),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

MessageSink::Answer QtMessageSink::choose(const QString& text, const QStringList& names) {
    QMessageBox box(QMessageBox::Question, title(), shown(text), QMessageBox::NoButton, m_parent);
    QPushButton* yes = box.addButton(names.value(0, QStringLiteral("&Yes")), QMessageBox::YesRole);
    QPushButton* no = box.addButton(names.value(1, QStringLiteral("&No")), QMessageBox::NoRole);
    QPushButton* later = box.addButton(names.value(2, QStringLiteral("Cancel")), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == yes) return Answer::Yes;
    if (box.clickedButton() == no) return Answer::No;
    return Answer::Cancel;
}

std::optional<FileChooser::Choice> QtFileChooser::open(const QString& title, const QList<FileFilter>& filters,
                                                       int filterIndex, const QString& defaultSuffix,
                                                       const QString& startPath) {
    QFileDialog dialog(m_parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setNameFilter(filterText(filters));
    if (QFileInfo(startPath).isDir())
        dialog.setDirectory(startPath);
    else if (!startPath.isEmpty())
        dialog.selectFile(startPath);
    // A filter of programs shows only files that can be run.
    auto applyFilter = [&dialog, &filters](const QString& selected) {
        const int i = filterIndexOf(filters, selected);
        const QDir::Filters base = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs;
        dialog.setFilter(filters.value(i - 1).executablesOnly
                             ? (QDir::Files | QDir::Executable | QDir::AllDirs | QDir::NoDotAndDotDot)
                             : base);
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyFilter);
    if (filterIndex >= 1 && filterIndex <= filters.size()) {
        dialog.selectNameFilter(nameFilter(filters[filterIndex - 1]));
        applyFilter(nameFilter(filters[filterIndex - 1]));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return Choice{dialog.selectedFiles().first(), filterIndexOf(filters, dialog.selectedNameFilter())};
}

std::optional<QString> QtFileChooser::save(const QString& title, const QString& proposedPath,
                                           const QList<FileFilter>& filters, const QString& defaultSuffix) {
    QFileDialog dialog(m_parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setNameFilter(filterText(filters));
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

bool QtLauncher::startDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

std::optional<int> QtLauncher::execute(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    // A command that does not end within seconds is taken as one that started its work.
    if (!process.waitForStarted(5000)) return std::nullopt;
    if (!process.waitForFinished(10000)) {
        process.kill();
        return std::nullopt;
    }
    return process.exitStatus() == QProcess::NormalExit ? std::optional<int>(process.exitCode())
                                                        : std::nullopt;
}

bool QtLauncher::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

// The Help menu: the documents beside the program, the About box and the update page. The
// desktop opens each; when it cannot (a document missing, no viewer or browser) the program says so
// and carries on.
#include "MainForm.h"
#include "MenuHelpers.h"

#include "dialogs/AboutBox.h"
#include "format/Release.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString TMainForm::UpdateQuery(const QDate& today) {
    return aboutmsg::kUpdatePage + QStringLiteral("DIZIROVI;") + QLatin1String(release::kVersion) + ';' +
           QLatin1String(release::kDate) + ';' + today.toString(QStringLiteral("MM/dd/yy"));
}

void TMainForm::buildHelpMenu() {
    QMenu* help = addMenu(menuBar(), QStringLiteral("&Help"), QStringLiteral("Help1"));
    addCommand(this, help, QStringLiteral("&Contents"), QStringLiteral("HelpContents"),
               [this] { openBeside(QLatin1String(helpfiles::kContents)); });
    help->addSeparator();
    addCommand(this, help, QStringLiteral("User's Manual"), QStringLiteral("HelpUsersManual"),
               [this] { openBeside(QLatin1String(helpfiles::kUsersManual)); });
    addCommand(this, help, QStringLiteral("Technical Manual"), QStringLiteral("HelpTechnicalManual"), [this] {
        // The script opens the technical manual; it is run, as a command script would be. It starts
        // a viewer and ends at once, failing when there is none, which is then said as for the other
        // documents.
        const QString script = QDir(m_programFolder).filePath(QLatin1String(helpfiles::kTechnical));
        const QString manual = QDir(m_programFolder).filePath(QLatin1String(helpfiles::kTechnicalManual));
        if (!QFileInfo::exists(script))
            m_services.messages.error(helpfiles::kMissing.arg(script));
        else if (!QFileInfo::exists(manual))
            m_services.messages.error(helpfiles::kMissing.arg(manual));
        else if (m_services.launcher.execute(QStringLiteral("/bin/sh"), {script}) != 0)
            m_services.messages.error(helpfiles::kNoProgram.arg(manual));
    });
    addCommand(this, help, QStringLiteral("&About..."), QStringLiteral("HelpAbout"), &TMainForm::AboutClick);
    addCommand(this, help, QStringLiteral("Check for Updates"), QStringLiteral("HelpUpdates"),
               [this] { openUrl(QUrl(UpdateQuery(Today()))); });
    connect(help, &QMenu::aboutToShow, this, &TMainForm::CommitActiveChild);
}

void TMainForm::openBeside(const QString& name) {
    const QString path = QDir(m_programFolder).filePath(name);
    if (QFileInfo::exists(path))
        openUrl(QUrl::fromLocalFile(path));
    else
        m_services.messages.error(helpfiles::kMissing.arg(path));
}

void TMainForm::openUrl(const QUrl& url) {
    if (!m_services.launcher.openUrl(url))
        m_services.messages.error(helpfiles::kNoProgram.arg(url.toDisplayString(QUrl::PreferLocalFile)));
}

void TMainForm::AboutClick() {
    m_about->open();
}

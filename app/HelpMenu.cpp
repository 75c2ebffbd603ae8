// The Help menu: the documents beside the program, the About box and the update page. The
// desktop opens each; the program carries on whatever it reports.
#include "MainForm.h"
#include "MenuHelpers.h"

#include "dialogs/AboutBox.h"
#include "format/Release.h"

#include <QDir>
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
        // The script opens the technical manual; it is run, as a command script would be.
        m_services.launcher.startDetached(
            QStringLiteral("/bin/sh"),
            {QDir(m_programFolder).filePath(QLatin1String(helpfiles::kTechnical))});
    });
    addCommand(this, help, QStringLiteral("&About..."), QStringLiteral("HelpAbout"), &TMainForm::AboutClick);
    addCommand(this, help, QStringLiteral("Check for Updates"), QStringLiteral("HelpUpdates"),
               [this] { m_services.launcher.openUrl(QUrl(UpdateQuery(Today()))); });
    connect(help, &QMenu::aboutToShow, this, &TMainForm::CommitActiveChild);
}

void TMainForm::openBeside(const QString& name) {
    m_services.launcher.openUrl(QUrl::fromLocalFile(QDir(m_programFolder).filePath(name)));
}

void TMainForm::AboutClick() {
    m_about->open();
}

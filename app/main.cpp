#include "Application.h"
#include "MainForm.h"
#include "PlatformServices.h"
#include "StudyWindows.h"

#include "model/Recovery.h"
#include "model/UserExamples.h"

#include <QApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    ConfigureApplication();
    // The examples beside the program may be read-only; runs write beside the user's copies.
    QString why;
    if (!examples::InstallForUser(examples::BundledFolder(QCoreApplication::applicationDirPath()),
                                  examples::DefaultUserFolder(), &why))
        std::fprintf(stderr, "dizirovi: %s\n", qPrintable(why));

    ProblemSession session;
    QtMessageSink messages;
    QtFileChooser files;
    QtLauncher launcher;
    QSettings settings;
    TMainForm form(session, {messages, files, launcher, settings, recovery::DefaultFolder(), OpenStudyWindow},
                   QApplication::arguments().mid(1));
    messages.setParent(&form);
    files.setParent(&form);
    app.setMessages(&messages);
    form.show();
    const int status = app.exec();
    app.setMessages(nullptr); // the message boxes' sink ends before the application object
    return status;
}

#include "Application.h"
#include "MainForm.h"
#include "PlatformServices.h"

#include "model/UserExamples.h"

#include <QApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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
    TMainForm form(session, {messages, files, launcher, settings}, QApplication::arguments().mid(1));
    messages.setParent(&form);
    files.setParent(&form);
    form.show();
    return app.exec();
}

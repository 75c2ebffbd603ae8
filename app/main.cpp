#include "Application.h"
#include "MainForm.h"
#include "PlatformServices.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ConfigureApplication();

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

#include "MainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DizirOvi"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    TMainForm form;
    form.show();
    return app.exec();
}

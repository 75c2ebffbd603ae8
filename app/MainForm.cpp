#include "MainForm.h"

#include <QMdiArea>

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), m_mdiArea(new QMdiArea(this)) {
    setCentralWidget(m_mdiArea);
    setWindowTitle(QStringLiteral("DizirOvi 2015.4.2 - NewSlope.sl4d"));
    resize(1000, 700);
}

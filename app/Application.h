#pragma once
#include <QIcon>
#include <QString>

// The application's title: message boxes carry it in their title bars.
inline const QString kApplicationTitle = QStringLiteral("DizirOvi 2015");

// Names, organisation and icon of the running application. No display name is set: the window
// system would append it to every top-level caption, and the main window's caption must stand as
// the program writes it.
void ConfigureApplication();

// The program's icon: a slope cut by a red slip circle (the same picture as resources/dizirovi.svg).
QIcon DiziroviIcon();

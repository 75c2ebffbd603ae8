#pragma once
#include <QIcon>

// The program's icon: a slope cut by a red slip circle (the same picture as resources/dizirovi.svg).
QIcon DiziroviIcon();

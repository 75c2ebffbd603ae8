#pragma once
// Building the frame's menus: an item with its object name and command, a menu with its name.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

template <class Form, class Slot>
QAction* addCommand(Form* form, QMenu* m, const QString& text, const QString& name, Slot slot) {
    QAction* a = m->addAction(text);
    a->setObjectName(name);
    QObject::connect(a, &QAction::triggered, form, slot);
    return a;
}

inline QMenu* addMenu(QMenuBar* bar, const QString& text, const QString& name) {
    QMenu* m = bar->addMenu(text);
    m->setObjectName(name);
    return m;
}

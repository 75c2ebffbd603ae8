#pragma once
// What the main window shows before there is anything to edit: how to begin (a new problem, a
// file, one of the examples, a recent file) instead of an empty area.
#include <QWidget>
#include <functional>

class QListWidget;

class TStartPage : public QWidget {
public:
    struct Actions {
        std::function<void()> newProblem, open;
        std::function<void(const QString& path)> openFile;
    };
    TStartPage(Actions actions, QWidget* parent = nullptr);

    // The problem files (.sl4d) in `examplesFolder`, by name, and the recent files (empty slots
    // left out), most recent first.
    void setFiles(const QString& examplesFolder, const QStringList& recent);
    QListWidget* examples() const { return m_examples; }
    QListWidget* recent() const { return m_recent; }

private:
    Actions m_actions;
    QListWidget* m_examples;
    QListWidget* m_recent;
};

#pragma once
// The widget implementations of the program's ways to the user and the desktop: the only places
// that show message boxes and file dialogs or start programs.
#include "base/UserInteraction.h"

class QWidget;

class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    void message(const QString& text) override;
    Answer question(const QString& text) override;
    Answer choose(const QString& text, const QStringList& names) override;

private:
    QWidget* m_parent;
};

class QtFileChooser : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<Choice> open(const QString& title, const QList<FileFilter>& filters, int filterIndex,
                               const QString& defaultSuffix, const QString& startPath = QString()) override;
    std::optional<QString> save(const QString& title, const QString& proposedPath,
                                const QList<FileFilter>& filters, const QString& defaultSuffix) override;

private:
    QWidget* m_parent;
};

class QtLauncher : public Launcher {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
    std::optional<int> execute(const QString& program, const QStringList& arguments) override;
    bool openUrl(const QUrl& url) override;
};

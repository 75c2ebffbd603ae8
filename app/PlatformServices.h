#pragma once
// The three ways the program reaches the user and the desktop. Widgets get them injected, so
// every path runs offscreen in tests with recording fakes.
#include "model/MessageSink.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;
class QUrl;

struct FileFilter {
    QString description; // shown to the user
    QString pattern;     // "*.sl4d"
};

class FileChooser {
public:
    struct Choice {
        QString path;
        int filterIndex = 1; // 1-based, the filter selected when the user confirmed
    };
    virtual ~FileChooser() = default;
    // An existing file to open; nullopt when cancelled.
    virtual std::optional<Choice> open(const QString& title, const QList<FileFilter>& filters,
                                       int filterIndex, const QString& defaultSuffix) = 0;
    // A file to save to (asks before overwriting); nullopt when cancelled.
    virtual std::optional<QString> save(const QString& title, const QString& proposedPath,
                                        const QList<FileFilter>& filters, const QString& defaultSuffix) = 0;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts a program without waiting for it; false when it cannot be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Opens a document or address with its default program.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The widget implementations.
class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void information(const QString& text) override;
    void error(const QString& text) override;
    void message(const QString& text) override;
    Answer question(const QString& text) override;

private:
    QWidget* m_parent;
};

class QtFileChooser : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<Choice> open(const QString& title, const QList<FileFilter>& filters, int filterIndex,
                               const QString& defaultSuffix) override;
    std::optional<QString> save(const QString& title, const QString& proposedPath,
                                const QList<FileFilter>& filters, const QString& defaultSuffix) override;

private:
    QWidget* m_parent;
};

class QtLauncher : public Launcher {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
    bool openUrl(const QUrl& url) override;
};

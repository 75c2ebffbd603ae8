#pragma once
// The three ways the program reaches the user and the desktop: messages, file dialogs and the
// launcher. Widgets get them injected, so every path runs offscreen in tests with recording fakes;
// the widget implementations live in the application.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QUrl;

// Everything that tells or asks the user goes through this; the widget implementation shows
// message boxes, tests record and answer from a script.
class MessageSink {
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~MessageSink() = default;
    virtual void information(const QString& text) = 0; // information box, one OK button
    // An entry or a file refused, a run that did not happen: the warning icon, one OK button.
    virtual void warning(const QString& text) = 0;
    virtual void error(const QString& text) = 0;      // a failure of the system: the critical icon
    virtual void message(const QString& text) = 0;    // plain box
    virtual Answer question(const QString& text) = 0; // Yes / No / Cancel
    // The same three answers under names of their own ("Restore", "Discard", "Decide Later").
    virtual Answer choose(const QString& text, const QStringList& /*names*/) { return question(text); }
};

struct FileFilter {
    QString description;          // shown to the user
    QString pattern;              // "*.sl4d"
    bool executablesOnly = false; // only files that can be run
};

class FileChooser {
public:
    struct Choice {
        QString path;
        int filterIndex = 1; // 1-based, the filter selected when the user confirmed
    };
    virtual ~FileChooser() = default;
    // An existing file to open, the dialog starting at `startPath` when given; nullopt when
    // cancelled.
    virtual std::optional<Choice> open(const QString& title, const QList<FileFilter>& filters,
                                       int filterIndex, const QString& defaultSuffix,
                                       const QString& startPath = QString()) = 0;
    // A file to save to (asks before overwriting); nullopt when cancelled.
    virtual std::optional<QString> save(const QString& title, const QString& proposedPath,
                                        const QList<FileFilter>& filters, const QString& defaultSuffix) = 0;
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts a program without waiting for it; false when it cannot be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Runs a short command (one that starts something in the background and ends) to its end;
    // its exit status, or nothing when it could not be started.
    virtual std::optional<int> execute(const QString& program, const QStringList& arguments) = 0;
    // Opens a document or address with its default program.
    virtual bool openUrl(const QUrl& url) = 0;
};

// A child window that holds entries not yet stored in the document (data dialogs, table
// windows): the frame asks it to store them before any menu acts.
class CommittingChild {
public:
    virtual ~CommittingChild() = default;
    // False when an entry is refused (the window told the user and keeps the entry for correcting).
    virtual bool storeToDocument() = 0;
};

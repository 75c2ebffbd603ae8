#pragma once
// Scripted stand-ins for the file dialogs and the desktop launcher.
#include "base/UserInteraction.h"

#include <QUrl>
#include <deque>
#include <gtest/gtest.h>

class ScriptedFiles : public FileChooser {
public:
    struct Asked {
        QString kind; // "open" or "save"
        QString title;
        QString proposed;
        int filterIndex = 0;
        QString defaultSuffix;
    };
    std::deque<std::optional<Choice>> opens;
    std::deque<std::optional<QString>> saves;
    std::vector<Asked> asked;

    std::optional<Choice> open(const QString& title, const QList<FileFilter>& filters, int filterIndex,
                               const QString& defaultSuffix, const QString& startPath = QString()) override {
        asked.push_back({"open", title, startPath, filterIndex, defaultSuffix});
        lastFilters = filters;
        if (opens.empty()) {
            ADD_FAILURE() << "unexpected open dialog";
            return std::nullopt;
        }
        auto c = opens.front();
        opens.pop_front();
        return c;
    }
    std::optional<QString> save(const QString& title, const QString& proposedPath,
                                const QList<FileFilter>& filters, const QString& defaultSuffix) override {
        asked.push_back({"save", title, proposedPath, 0, defaultSuffix});
        lastFilters = filters;
        if (saves.empty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return std::nullopt;
        }
        auto c = saves.front();
        saves.pop_front();
        return c;
    }
    QList<FileFilter> lastFilters;
};

class RecordingLauncher : public Launcher {
public:
    bool canStart = true;
    std::vector<std::pair<QString, QStringList>> started;
    std::vector<QUrl> opened;
    bool startDetached(const QString& program, const QStringList& arguments) override {
        started.emplace_back(program, arguments);
        return canStart;
    }
    int exitStatus = 0; // of every command executed
    std::optional<int> execute(const QString& program, const QStringList& arguments) override {
        started.emplace_back(program, arguments);
        return canStart ? std::optional<int>(exitStatus) : std::nullopt;
    }
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        return canStart;
    }
};

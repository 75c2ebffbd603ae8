#pragma once
// A MessageSink that records what it was told and answers questions from a script; a question
// nobody scripted fails the test.
#include "base/UserInteraction.h"

#include <QStringList>
#include <deque>
#include <gtest/gtest.h>

class RecordingMessages : public MessageSink {
public:
    QStringList
        shown; // "information: text", "warning: text", "error: text", "message: text", "question: text"
    std::deque<Answer> answers;

    void information(const QString& text) override { shown << QStringLiteral("information: ") + text; }
    void warning(const QString& text) override { shown << QStringLiteral("warning: ") + text; }
    void error(const QString& text) override { shown << QStringLiteral("error: ") + text; }
    void message(const QString& text) override { shown << QStringLiteral("message: ") + text; }
    Answer question(const QString& text) override {
        shown << QStringLiteral("question: ") + text;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return Answer::Cancel;
        }
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
};

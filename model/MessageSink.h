#pragma once
#include <QString>

// Everything that tells or asks the user goes through this; the widget implementation shows
// message boxes, tests record and answer from a script.
class MessageSink {
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~MessageSink() = default;
    virtual void information(const QString& text) = 0; // information box, one OK button
    virtual void error(const QString& text) = 0;
    virtual void message(const QString& text) = 0;    // plain box
    virtual Answer question(const QString& text) = 0; // Yes / No / Cancel
};

#pragma once
#include <QApplication>
#include <QIcon>
#include <QString>

class MessageSink;

// The application's title: message boxes carry it in their title bars.
inline const QString kApplicationTitle = QStringLiteral("DizirOvi 2015");

// Names, organisation and icon of the running application. No display name is set: the window
// system would append it to every top-level caption, and the main window's caption must stand as
// the program writes it.
void ConfigureApplication();

// The program's icon: a slope cut by a red slip circle (the same picture as resources/dizirovi.svg).
QIcon DiziroviIcon();

namespace appmsg {
// Said when a command failed in a way no part of the program expected.
QString unexpected(const QString& what);
} // namespace appmsg

// The application object. An exception that leaves an event handler would end the program and lose
// the user's unsaved work: every event is delivered under a last-resort handler that says what
// happened and goes on, with the document as it is.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    void setMessages(MessageSink* messages) { m_messages = messages; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const QString& what);
    MessageSink* m_messages = nullptr;
    bool m_reporting = false;
};

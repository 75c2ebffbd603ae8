#pragma once
// The user's text editor, started on a file: by the Computation menu and by the boundary-line
// window's "View/Edit File".
#include "UserInteraction.h"

#include <QFileInfo>
#include <QProcess>

namespace editormsg {
inline const QString kEditorFailed = QStringLiteral("An error occurred in running the Word Processor");
// The failure with what was tried and where it is set.
inline QString failed(const QString& program) {
    return kEditorFailed +
           QStringLiteral(
               "\r\rThe program tried was \"%1\". Options > Text Editor sets the program that opens "
               "texts.")
               .arg(program);
}
} // namespace editormsg

// The editor's program and arguments from its command line: a command as typed, with quotes around
// a path that holds blanks, or the bare path of a program whose path holds blanks (as it is chosen
// with Browse, and as earlier releases stored it).
inline QStringList editorCommand(const QString& command) {
    const QFileInfo whole(command.trimmed());
    if (!command.trimmed().isEmpty() && whole.isFile() && whole.isExecutable()) return {command.trimmed()};
    return QProcess::splitCommand(command);
}

// A path chosen with Browse as a command line the editor's command is read back from.
inline QString editorCommandOf(const QString& program) {
    return program.contains(' ') ? QStringLiteral("\"%1\"").arg(program) : program;
}

// `command` is the editor's command line (a program and its arguments); the file is one more
// argument. Shows the failure message when the editor cannot be started.
inline bool startEditor(Launcher& launcher, MessageSink& messages, const QString& command,
                        const QString& file) {
    QStringList arguments = editorCommand(command);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (!program.isEmpty() && launcher.startDetached(program, arguments << file)) return true;
    messages.warning(editormsg::failed(program.isEmpty() ? command : program));
    return false;
}

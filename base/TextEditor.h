#pragma once
// The user's text editor, started on a file: by the Computation menu and by the boundary-line
// window's "View/Edit File".
#include "UserInteraction.h"

#include <QProcess>

namespace editormsg {
inline const QString kEditorFailed = QStringLiteral("An error occurred in running the Word Processor");
} // namespace editormsg

// `command` is the editor's command line as the user typed it (a program and its arguments); the
// file is one more argument. Shows the failure message when the editor cannot be started.
inline bool startEditor(Launcher& launcher, MessageSink& messages, const QString& command,
                        const QString& file) {
    QStringList arguments = QProcess::splitCommand(command);
    if (!arguments.isEmpty()) {
        const QString program = arguments.takeFirst();
        if (launcher.startDetached(program, arguments << file)) return true;
    }
    messages.information(editormsg::kEditorFailed);
    return false;
}

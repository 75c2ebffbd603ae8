#pragma once
// Opening and replacing the user's files. Only regular files are read or written over: opening a
// pipe waits for a writer that may never come, and a save "over" a device or a pipe would put a
// file in its place.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace fileaccess {

// Why a name taken by something other than a file is not read, or not written over.
QString notAFileRead(const QString& path);
QString notAFile(const QString& path);

// Opens `path` for reading when it is a regular file; false with the reason otherwise (the
// system's words, or notAFileRead). The type is checked on the opened file itself, before anything
// waits for data.
bool openForReading(QFile& file, const QString& path, QString& why);

// Puts `bytes` in place as the file `path` through a temporary file beside it and a rename, so
// the previous file stays whole when anything fails. A name taken by something that is not a
// regular file (a folder, a pipe, a device) is refused; a link to a file writes that file.
bool writeWhole(const QString& path, const QByteArray& bytes, QString& why);

} // namespace fileaccess

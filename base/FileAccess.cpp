#include "FileAccess.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileaccess {

QString notAFileRead(const QString& path) {
    return QStringLiteral("%1 is not a file but a folder, a pipe or a device; it was not read.").arg(path);
}

QString notAFile(const QString& path) {
    return QStringLiteral("%1 is not a file but a folder, a pipe or a device; it is left as it is and "
                          "nothing was written.")
        .arg(path);
}

bool openForReading(QFile& file, const QString& path, QString& why) {
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK lets a pipe open without a writer; the type check then turns it away.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = qt_error_string(errno); // the words QFile would use
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = notAFileRead(path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        why = file.errorString();
        return false;
    }
    return true;
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString& why) {
    struct stat st {};
    // A link is followed: it is the file behind it that is saved.
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        why = notAFile(path);
        return false;
    }
    QSaveFile file(path);
    // Unbuffered, so a short write (disk full, file size limit) shows in write()'s count; a
    // buffered flush can lose it and let commit() replace the old file with a truncated one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        why = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        why = file.error() == QFileDevice::NoError
                  ? QStringLiteral("The file could not be written completely.")
                  : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

} // namespace fileaccess

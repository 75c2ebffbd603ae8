#include "UserExamples.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString examples::BundledFolder(const QString& programFolder) {
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/dizirovi/examples"));
}

QString examples::DefaultUserFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QStringLiteral("DizirOvi Examples"));
}

bool examples::InstallForUser(const QString& bundledFolder, const QString& userFolder, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (const QFileInfo existing(userFolder); existing.exists() || existing.isSymLink()) {
        if (existing.isDir()) return true;
        return fail(QStringLiteral("%1 is taken by a file that is not a folder; rename that file to get "
                                   "the examples there.")
                        .arg(userFolder));
    }
    const QDir bundled(bundledFolder);
    const QStringList names = bundled.entryList({QStringLiteral("*.sl4d")}, QDir::Files, QDir::Name);
    if (names.isEmpty())
        return fail(QStringLiteral("No example problems were found in %1.").arg(bundledFolder));
    if (!QDir().mkpath(userFolder))
        return fail(QStringLiteral("The folder %1 could not be made.").arg(userFolder));
    for (const QString& name : names) {
        const QString target = QDir(userFolder).filePath(name);
        if (!QFile::copy(bundled.filePath(name), target))
            return fail(
                QStringLiteral("%1 could not be copied to %2.").arg(bundled.filePath(name), userFolder));
        // Installed files may be read-only; the user's copies are theirs to change.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return true;
}

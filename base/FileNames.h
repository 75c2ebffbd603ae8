#pragma once
#include <QString>

namespace filenames {

// Position of the extension's "." in the last path element, or -1 when it has none.
inline qsizetype extensionDot(const QString& path) {
    const qsizetype dot = path.lastIndexOf('.');
    const qsizetype sep = std::max({path.lastIndexOf('/'), path.lastIndexOf('\\'), path.lastIndexOf(':')});
    return dot > sep ? dot : -1;
}

// The extension with its dot (".sl4d"), or empty.
inline QString extension(const QString& path) {
    const qsizetype dot = extensionDot(path);
    return dot < 0 ? QString() : path.mid(dot);
}

// The same path with another extension (`ext` with its dot); appended when there is none.
inline QString changeExtension(const QString& path, const QString& ext) {
    const qsizetype dot = extensionDot(path);
    return (dot < 0 ? path : path.left(dot)) + ext;
}

// The short name shown in the caption: the last path element ("/", "\" and ":" separate), an
// older-layout name cut at its first dot, the first letter upper-cased.
inline QString DisplayName(const QString& path, const QString& defaultExtension = QStringLiteral("sld")) {
    const qsizetype sep = std::max({path.lastIndexOf('/'), path.lastIndexOf('\\'), path.lastIndexOf(':')});
    QString name = path.mid(sep + 1);
    if (extension(name).compare('.' + defaultExtension, Qt::CaseInsensitive) == 0)
        name = name.left(name.indexOf('.'));
    if (name.size() > 1) name[0] = name[0].toUpper();
    return name;
}

} // namespace filenames

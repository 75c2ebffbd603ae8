#include "Recovery.h"

#include "base/FileAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cerrno>
#include <cmath>
#include <csignal>

namespace recovery {
namespace {

constexpr char kNoteSuffix[] = ".json";
constexpr char kProblemSuffix[] = ".sl4d";
constexpr qint64 kMaxNoteBytes = 64 * 1024;

bool running(qint64 pid) {
    if (pid <= 0) return false;
    // Signal 0 checks for the process without touching it; EPERM: it exists, another user's.
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    // A killed program whose parent has not collected it yet is still in the table, a zombie.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const qsizetype end = line.lastIndexOf(')'); // the name in parentheses may hold anything
        if (end >= 0 && end + 2 < line.size() && line.at(end + 2) == 'Z') return false;
    }
    return true;
}

} // namespace

QString DefaultFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/DizirOvi/recovery");
}

QList<Entry> Orphans(const QString& folder) {
    QList<Entry> out;
    const QDir dir(folder);
    for (const QFileInfo& note :
         dir.entryInfoList({QStringLiteral("*") + kNoteSuffix}, QDir::Files, QDir::Time)) {
        QFile file;
        QString why;
        if (note.size() > kMaxNoteBytes || !fileaccess::openForReading(file, note.filePath(), why)) continue;
        const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
        Entry e;
        e.noteFile = note.filePath();
        e.problemFile = dir.filePath(note.completeBaseName() + kProblemSuffix);
        e.originalPath = o.value("original").toString();
        e.saved = QDateTime::fromString(o.value("saved").toString(), Qt::ISODate);
        // A process id as written; anything else (a note damaged by hand) is no running program.
        const double pid = o.value("pid").toDouble();
        e.pid = pid >= 1 && pid <= 1e9 && pid == std::floor(pid) ? static_cast<qint64>(pid) : 0;
        if (e.pid == QCoreApplication::applicationPid() || running(e.pid)) continue;
        if (!QFileInfo(e.problemFile).isFile()) continue;
        out.append(e);
    }
    return out;
}

bool Discard(const Entry& entry, QString* error) {
    bool ok = true;
    for (const QString& f : {entry.noteFile, entry.problemFile})
        if (QFileInfo::exists(f) && !QFile::remove(f)) {
            ok = false;
            if (error) *error = QStringLiteral("The recovery file %1 could not be removed.").arg(f);
        }
    return ok;
}

Store::Store(QString folder)
    : m_folder(std::move(folder)),
      m_name(QStringLiteral("%1-%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))) {}

QString Store::problemFile() const {
    return QDir(m_folder).filePath(m_name + kProblemSuffix);
}

QString Store::noteFile() const {
    return QDir(m_folder).filePath(m_name + kNoteSuffix);
}

bool Store::write(const QByteArray& problemText, const QString& originalPath, QString* error) {
    if (problemText == m_written && originalPath == m_writtenFor) return true;
    if (!QDir().mkpath(m_folder)) {
        if (error) *error = QStringLiteral("The recovery folder %1 could not be made.").arg(m_folder);
        return false;
    }
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QJsonObject note{{"original", originalPath},
                     {"saved", QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                     {"pid", static_cast<double>(QCoreApplication::applicationPid())}};
    QString why;
    // The note last: a note always names a whole problem text.
    if (!fileaccess::writeWhole(problemFile(), problemText, why) ||
        !fileaccess::writeWhole(noteFile(), QJsonDocument(note).toJson(), why)) {
        if (error) *error = why;
        return false;
    }
    m_written = problemText;
    m_writtenFor = originalPath;
    return true;
}

void Store::clear() {
    QFile::remove(noteFile());
    QFile::remove(problemFile());
    m_written.clear();
    m_writtenFor.clear();
}

} // namespace recovery

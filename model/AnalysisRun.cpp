#include "AnalysisRun.h"

#include "ModelCheck.h"
#include "RunSummary.h"

#include "base/FileAccess.h"
#include "base/FileNames.h"
#include "format/FolderLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

QString runmsg::notPerformed(const QString& outputFile, const QString& reason) {
    if (reason.isEmpty())
        return kNotPerformed +
               QStringLiteral("\r\rThe output file %1 says why. Computation > Error-Message Notes "
                              "explains the engine's messages.")
                   .arg(QFileInfo(outputFile).fileName());
    QString shown = reason;
    shown.replace('\n', '\r');
    return kNotPerformed + QStringLiteral("\r\r") + shown +
           QStringLiteral("\r\rThe output file %1 says the same. Computation > Error-Message Notes "
                          "explains the engine's messages.")
               .arg(QFileInfo(outputFile).fileName());
}

QString runmsg::notWritten(const QString& folder) {
    return kNotPerformed +
           QStringLiteral("\r\rThe engine could not write its results in the folder %1.").arg(folder);
}

QString runmsg::resultNameIsProblem(const QString& problem) {
    return QStringLiteral("The problem file %1 bears the name of one of its own result files (.sl4o, .sl4p "
                          "or .sl4r): the analysis would write over it.\r\rSave the problem with the "
                          "extension .sl4d and run the analysis again.")
        .arg(problem);
}

QString runmsg::lineBreakInName(const QString& problem) {
    QString shown = problem;
    for (QChar& c : shown)
        if (c.unicode() < 32 || c.unicode() == 127) c = QChar(0x2423); // a visible blank
    return QStringLiteral("The name of the problem file holds a line break or another control character:\r%1"
                          "\r\rThe engine cannot be told such a name. Save the problem under a plain name "
                          "and run the analysis again.")
        .arg(shown);
}

QString runmsg::oldResultsKept(const QString& file, const QString& why) {
    return QStringLiteral(
               "The results of the last analysis could not be removed:\r%1: %2\r\rThe analysis was "
               "not run, so no old result can pass for a new one.")
        .arg(file, why);
}

QString runmsg::folderNotWritable(const QString& folder) {
    return QStringLiteral(
               "The folder %1 cannot be written: the analysis could not store its results "
               "there.\r\rSave the problem in a folder you can write to and run the analysis again.")
        .arg(folder);
}

QString engine::outputFile(const QString& problem) {
    return filenames::changeExtension(problem, QStringLiteral(".sl4o"));
}
QString engine::plotFile(const QString& problem) {
    return filenames::changeExtension(problem, QStringLiteral(".sl4p"));
}
QString engine::resultFile(const QString& problem) {
    return filenames::changeExtension(problem, QStringLiteral(".sl4r"));
}

bool engine::writeNamesFile(const QString& folder, const QString& problemFile, const QString& resultsFor) {
    const QString problem = QFileInfo(problemFile).absoluteFilePath();
    const QString results = resultsFor.isEmpty() ? problem : QFileInfo(resultsFor).absoluteFilePath();
    const QString text =
        QStringList{runmsg::kRelease, problem, outputFile(results), plotFile(results), resultFile(results)}
            .join(QLatin1String("\r\n")) +
        QStringLiteral("\r\n");
    QString why;
    return fileaccess::writeWhole(QDir(folder).filePath(runmsg::kNamesFile), QFile::encodeName(text), why);
}

std::unique_ptr<QTemporaryDir> engine::PrivateFolder() {
    const QDir temp(QDir::tempPath());
    static const QRegularExpression kName(QStringLiteral("^dizirovi-run-(\\d+)-[A-Za-z0-9]{6}$"));
    const QString prefix = QStringLiteral("dizirovi-run-");
    for (const QFileInfo& f :
         temp.entryInfoList({prefix + '*'}, QDir::Dirs | QDir::NoSymLinks | QDir::Hidden)) {
        const QRegularExpressionMatch m = kName.match(f.fileName());
        if (!m.hasMatch() || f.ownerId() != ::getuid()) continue;
        const pid_t pid = static_cast<pid_t>(m.captured(1).toLongLong());
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        // Only what a run puts there: a folder holding anything else is left alone.
        QFile::remove(QDir(f.absoluteFilePath()).filePath(runmsg::kNamesFile));
        temp.rmdir(f.fileName());
    }
    return std::make_unique<QTemporaryDir>(temp.filePath(
        prefix + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX")));
}

std::unique_ptr<TDynamicLibrary>& engine::libraryObject() {
    static std::unique_ptr<TDynamicLibrary> library;
    return library;
}

namespace {

bool hasControlCharacter(const QString& name) {
    return std::any_of(name.begin(), name.end(),
                       [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
}

bool sameFile(const QString& a, const QString& b) {
    if (QDir::cleanPath(a) == QDir::cleanPath(b)) return true;
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

// The checks that keep a run from destroying a file the user did not name as an output. The result
// names are compared with the file the engine reads and with the file the user named (they differ
// when an older-layout file is converted first).
std::optional<QString> refusal(const QString& problem, const QString& results) {
    if (hasControlCharacter(problem)) return runmsg::lineBreakInName(problem);
    if (hasControlCharacter(results)) return runmsg::lineBreakInName(results);
    for (const QString& r :
         {engine::outputFile(results), engine::plotFile(results), engine::resultFile(results)})
        for (const QString& own : {problem, results})
            if (sameFile(r, own)) return runmsg::resultNameIsProblem(own);
    const QString folder = QFileInfo(results).absolutePath();
    if (!QFileInfo(folder).isWritable()) return runmsg::folderNotWritable(folder);
    return std::nullopt;
}

// Removes the results of the last analysis, the report first (no report may speak for files that
// are gone), while the folder is locked as the engine locks it to publish: a run still publishing
// its set finishes it before the set is removed. Something that is not a file is not removed. Without
// `remove`, only what is no file is refused (the engine could not replace it).
std::optional<QString> removeOldResults(const QString& results, bool remove = true) {
    const runfiles::FolderLocks lock({QFile::encodeName(QFileInfo(results).absolutePath()).toStdString()});
    for (const QString& old :
         {engine::outputFile(results), engine::plotFile(results), engine::resultFile(results)}) {
        const QFileInfo info(old);
        if (!info.exists() && !info.isSymLink()) continue;
        if (!info.isSymLink() && !info.isFile())
            return runmsg::oldResultsKept(old,
                                          QStringLiteral("it is not a file (a folder, a pipe or a device)"));
        QFile file(old);
        if (remove && !file.remove()) return runmsg::oldResultsKept(old, file.errorString());
    }
    return std::nullopt;
}

using Progress = std::function<bool(qint64, qint64, double)>;

int32_t reportProgress(void* context, int64_t done, int64_t total, double best) {
    return (*static_cast<const Progress*>(context))(done, total, best) ? 0 : 1;
}

// Calls the engine's entry point with `command` (2 runs, 3 checks); the library stays loaded until
// the caller frees it. A run told `progress` goes through the watched entry point when the library
// has one (an older library runs unwatched).
int32_t callEngine(TDynamicLibrary& library, int32_t command = 2, const Progress* progress = nullptr) {
    library.Load();
    if (progress && *progress) {
        using Watched = int32_t (*)(int32_t, int32_t(*)(void*, int64_t, int64_t, double), void*);
        if (auto watched = reinterpret_cast<Watched>(
                library.GetProcedure(runmsg::kProgressEntryPoint.toLatin1().constData())))
            return watched(command, &reportProgress, const_cast<Progress*>(progress));
    }
    using Entry = int32_t (*)(int32_t);
    auto entry = reinterpret_cast<Entry>(library.GetProcedure(runmsg::kEntryPoint.toLatin1().constData()));
    if (!entry)
        throw EDLLError(QStringLiteral("The library %1 does not export %2.")
                            .arg(library.LibraryName(), runmsg::kEntryPoint));
    return entry(command);
}

// What tells one file of a name from another written in its place (the engine writes a new file and
// renames it over the old).
struct FileStamp {
    qint64 size = 0;
    QDateTime modified;
    ino_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> stamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return FileStamp{static_cast<qint64>(st.st_size), QFileInfo(path).lastModified(), st.st_ino};
}

// The engine's return for a watched run that was cancelled (its kCancelled).
constexpr int32_t kEngineCancelled = 2;

QString loaderReason(const EDLLError& e, const TDynamicLibrary& library) {
    QString why = e.message();
    if (!library.LastError().isEmpty()) why += QStringLiteral(": ") + library.LastError();
    if (!why.contains(library.LibraryName())) why += QStringLiteral(" (%1)").arg(library.LibraryName());
    return why;
}

} // namespace

engine::RunOutcome engine::Run(const RunRequest& request) {
    RunOutcome out;
    const QString problem = QFileInfo(request.problem).absoluteFilePath();
    const QString results =
        request.resultsFor.isEmpty() ? problem : QFileInfo(request.resultsFor).absoluteFilePath();
    if (auto why = refusal(problem, results)) {
        out.message = *why;
        return out;
    }

    const QString previous = QDir::currentPath();
    const QString working = request.workingFolder;
    // Every way out removes names.dat and puts the working directory back.
    struct Restore {
        QString names, options, previous;
        ~Restore() {
            QFile::remove(names);
            QFile::remove(options);
            QDir::setCurrent(previous);
        }
    } restore{QDir(working).filePath(runmsg::kNamesFile), QDir(working).filePath(runmsg::kOptionsFile),
              previous};
    QDir::setCurrent(working);
    // Options of an earlier caller in the same folder must not steer this run.
    QFile::remove(restore.options);
    if (QString why; !request.options.isEmpty() &&
                     !fileaccess::writeWhole(restore.options, request.options.toUtf8(), why)) {
        out.kind = RunOutcome::Kind::LibraryFailed;
        out.message = runmsg::kInitializeFailed;
        out.reason =
            QStringLiteral("%1 could not be written in %2: %3").arg(runmsg::kOptionsFile, working, why);
        return out;
    }

    if (!writeNamesFile(working, problem, results)) {
        out.kind = RunOutcome::Kind::LibraryFailed;
        out.message = runmsg::kInitializeFailed;
        out.reason = QStringLiteral("%1 could not be written in %2.").arg(runmsg::kNamesFile, working);
        return out;
    }
    // A watched run may be cancelled: the last results stay until the engine replaces them, and
    // whether the report is this run's is told by the file itself.
    const bool watched = static_cast<bool>(request.progress);
    const std::optional<FileStamp> oldReport = watched ? stamp(outputFile(results)) : std::nullopt;
    // What the engine could not replace stops a watched run too.
    if (auto why = removeOldResults(results, !watched)) {
        out.message = *why;
        return out;
    }

    std::unique_ptr<TDynamicLibrary>& library = libraryObject();
    if (library) {
        out.kind = RunOutcome::Kind::Busy;
        out.message = runmsg::kReinitialize;
        return out;
    }
    library = std::make_unique<TDynamicLibrary>(QDir(request.programFolder).filePath(runmsg::kLibraryName));
    if (request.busy) request.busy(true);
    try {
        out.engineResult = callEngine(*library, 2, watched ? &request.progress : nullptr);
    } catch (const EDLLError& e) {
        out.kind = RunOutcome::Kind::LibraryFailed;
        out.message = runmsg::kInitializeFailed;
        out.reason = loaderReason(e, *library);
    }
    if (request.busy) request.busy(false);
    library.reset();
    if (out.kind == RunOutcome::Kind::LibraryFailed) return out;

    if (watched && out.engineResult == kEngineCancelled) {
        out.kind = RunOutcome::Kind::Cancelled;
        out.message = runmsg::kCancelled;
        return out;
    }
    if (out.engineResult == 1) {
        out.kind = RunOutcome::Kind::NotPerformed;
        // A report that exists now is this run's: old results were removed above, or, for a watched
        // run, the file is another than before. The engine's reason from its result file, so that
        // the message itself says why.
        QString reason;
        const bool written =
            QFileInfo::exists(outputFile(results)) && (!watched || stamp(outputFile(results)) != oldReport);
        if (written)
            if (const auto summary = readRunSummary(resultFile(results)))
                reason = notComputedReason(*summary);
        out.message = written ? runmsg::notPerformed(outputFile(results), reason)
                              : runmsg::notWritten(QFileInfo(results).absolutePath());
        return out;
    }
    out.kind = RunOutcome::Kind::Computed;
    out.message = runmsg::kCompleted;
    if (QFileInfo::exists(plotFile(results))) out.plotFile = plotFile(results);
    return out;
}

std::optional<engine::RunOutcome> TAnalysisRun::Run(const Hooks& hooks) {
    // The problem is checked as it stands in the window before anything is saved: a run the check
    // stops leaves the file as it was, not holding the values that stopped it.
    if (hooks.check && !hooks.check()) return std::nullopt;
    QString why;
    switch (hooks.save(why)) {
    case SaveOutcome::Cancelled: return std::nullopt;
    case SaveOutcome::Failed:
        // The file on disk is not what the window shows: analysing it would report results for
        // other data.
        m_messages.message(why.isEmpty() ? runmsg::kSaveError
                                         : runmsg::kSaveError + QStringLiteral("\r\r") + why);
        return std::nullopt;
    case SaveOutcome::Saved: break;
    }
    TProgramData& doc = m_session.document();
    if (doc.FileName == kNewFileName) return std::nullopt;

    // An installed program's folder is not writable: the hand-over then happens in a private
    // folder, while the library still comes from the program's folder.
    std::unique_ptr<QTemporaryDir> privateFolder;
    engine::RunRequest request;
    request.problem = doc.FileName;
    request.programFolder = m_programFolder;
    request.workingFolder = m_programFolder;
    request.busy = hooks.busy;
    if (!QFileInfo(m_programFolder).isWritable()) {
        privateFolder = engine::PrivateFolder();
        request.workingFolder = privateFolder->path();
    }
    const engine::RunOutcome outcome = hooks.runner ? hooks.runner(doc.FileName) : engine::Run(request);
    const QString text = outcome.reason.isEmpty() ? outcome.message
                                                  : outcome.message + QStringLiteral("\r\r") + outcome.reason;
    // Results are news, and so is a run the user stopped; anything else is a run that did not happen.
    if (outcome.kind == engine::RunOutcome::Kind::Computed ||
        outcome.kind == engine::RunOutcome::Kind::Cancelled)
        m_messages.information(text);
    else
        m_messages.warning(text);
    if (!outcome.plotFile.isEmpty()) doc.PlotFileName = outcome.plotFile;
    return outcome;
}

QString engine::childRunner(const QString& programFolder) {
    const QFileInfo runner(QDir(programFolder).filePath(QStringLiteral("dizirovi-cli")));
    return runner.isFile() && runner.isExecutable() ? runner.absoluteFilePath() : QString();
}

engine::RunOutcome engine::RunInChild(const QString& runner, const QString& problem,
                                      const ChildWatch& watch) {
    RunOutcome out;
    QProcess child;
    child.setProgram(runner);
    child.setArguments({QStringLiteral("run"), problem, QStringLiteral("--progress-lines")});
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start();
    if (!child.waitForStarted(10000)) {
        out.kind = RunOutcome::Kind::LibraryFailed;
        out.message = runmsg::kInitializeFailed;
        out.reason = QStringLiteral("%1 could not be started: %2").arg(runner, child.errorString());
        return out;
    }
    QByteArray pending, outcomeLine;
    const auto readLines = [&] {
        pending += child.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line.startsWith("outcome ")) {
                outcomeLine = line.mid(8);
            } else if (line.startsWith("progress ")) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 4 && watch.progress)
                    watch.progress(f[1].toLongLong(), f[2].toLongLong(), f[3].toDouble());
            }
        }
    };
    QEventLoop loop;
    QTimer tick;
    QElapsedTimer stopping;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, readLines);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!stopping.isValid() && watch.cancelled && watch.cancelled()) {
            stopping.start();
            child.terminate(); // the engine stops at its next report and writes nothing
        } else if (stopping.isValid() && stopping.elapsed() > 1000) {
            child.kill();
        }
    });
    tick.start(20);
    if (child.state() != QProcess::NotRunning) loop.exec();
    child.waitForFinished(-1);
    readLines();
    const QJsonObject o = QJsonDocument::fromJson(outcomeLine).object();
    static const std::pair<const char*, RunOutcome::Kind> kinds[] = {
        {"computed", RunOutcome::Kind::Computed}, {"not-performed", RunOutcome::Kind::NotPerformed},
        {"refused", RunOutcome::Kind::Refused},   {"library-failed", RunOutcome::Kind::LibraryFailed},
        {"busy", RunOutcome::Kind::Busy},         {"cancelled", RunOutcome::Kind::Cancelled}};
    bool known = false;
    for (const auto& [name, kind] : kinds)
        if (o.value(QLatin1String("kind")).toString() == QLatin1String(name)) {
            out.kind = kind;
            known = true;
        }
    if (!known) {
        // Ended before it could say: stopped by the user, or broken.
        if (stopping.isValid()) {
            out.kind = RunOutcome::Kind::Cancelled;
            out.message = runmsg::kCancelled;
            return out;
        }
        out.kind = RunOutcome::Kind::LibraryFailed;
        out.message = runmsg::kInitializeFailed;
        out.reason = QStringLiteral("%1 ended without an outcome (exit status %2). %3")
                         .arg(runner)
                         .arg(child.exitCode())
                         .arg(QString::fromLocal8Bit(child.readAllStandardError()).trimmed());
        return out;
    }
    out.engineResult = o.value(QLatin1String("engineResult")).toInt(-1);
    out.message = o.value(QLatin1String("message")).toString();
    out.reason = o.value(QLatin1String("reason")).toString();
    out.plotFile = o.value(QLatin1String("plotFile")).toString();
    return out;
}

engine::CheckOutcome engine::Check(const QByteArray& problemText, const QString& programFolder) {
    CheckOutcome out;
    const std::unique_ptr<QTemporaryDir> folder = PrivateFolder();
    if (!folder->isValid()) {
        out.why = QStringLiteral("no private folder could be made for the check");
        return out;
    }
    const QString problem = folder->filePath(QStringLiteral("check.sl4d"));
    QString why;
    if (!fileaccess::writeWhole(problem, problemText, why) || !writeNamesFile(folder->path(), problem)) {
        out.why = why.isEmpty() ? QStringLiteral("the check's files could not be written") : why;
        return out;
    }
    const QString previous = QDir::currentPath();
    struct Back {
        QString previous;
        ~Back() { QDir::setCurrent(previous); }
    } back{previous};
    QDir::setCurrent(folder->path());
    TDynamicLibrary library(QDir(programFolder).filePath(runmsg::kLibraryName));
    try {
        callEngine(library, 3);
    } catch (const EDLLError& e) {
        out.why = loaderReason(e, library);
        return out;
    }
    QFile file;
    // A library that knows no check writes nothing: the run's own refusal then speaks.
    if (!fileaccess::openForReading(file, folder->filePath(QStringLiteral("check.json")), why)) {
        out.why = QStringLiteral("the engine library wrote no findings");
        return out;
    }
    const auto findings = parseFindings(file.readAll(), &out.why);
    if (!findings) return out;
    out.performed = true;
    out.findings = *findings;
    return out;
}

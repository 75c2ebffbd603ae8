#pragma once
// Handing a saved problem to the engine library: "names.dat", the call, the outcome. One procedure
// serves the window's Run Analysis and `dizirovi-cli run`.
#include "ProgramData.h"
#include "base/TextEditor.h"
#include "base/UserInteraction.h"
#include "dynlib.h"
#include "format/Release.h"

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace runmsg {
inline const QString kSaveError = QStringLiteral("An error occured during saving");
inline const QString kReinitialize = QStringLiteral("Attempt to reinitialize DLL");
inline const QString kInitializeFailed = QStringLiteral("Attempt to initialize DLL failed");
inline const QString kNotPerformed = QStringLiteral("Computations can not be performed.");
inline const QString kCompleted =
    QStringLiteral("Computations are completed. Please, check output file for results or error messages.");
inline const QString kEditorFailed = editormsg::kEditorFailed;
inline const QString kLibraryName = QStringLiteral("VELDA2015_DLL.so");
inline const QString kEntryPoint = QStringLiteral("_IVELDA");
inline const QString kRelease = QLatin1String(release::kVersion);
inline const QString kNamesFile = QStringLiteral("names.dat");
inline const QString kOptionsFile = QStringLiteral("options.dat"); // the engine's kOptionsFile
inline const QString kErrorNotes = QStringLiteral("error-message.txt");
inline const QString kProgressEntryPoint = QStringLiteral("_IVELDA_PROGRESS");
inline const QString kCancelled =
    QStringLiteral("The analysis was cancelled. The results of the last analysis are as they were.");
// The engine returned 1; its reason (from the result file) when it gave one, and its report says why.
QString notPerformed(const QString& outputFile, const QString& reason = QString());
// The engine returned 1 and could not write its report.
QString notWritten(const QString& folder);
// Reasons a run is refused before the engine is called.
QString resultNameIsProblem(const QString& problem);
QString lineBreakInName(const QString& problem);
QString oldResultsKept(const QString& file, const QString& why);
QString folderNotWritable(const QString& folder);
} // namespace runmsg

namespace engine {

// The companion files of a problem file.
QString outputFile(const QString& problem);
QString plotFile(const QString& problem);
QString resultFile(const QString& problem);

// Writes "names.dat" in `folder` for the problem file (absolute names, CR LF line ends); the
// result files go beside `resultsFor` (the problem file itself unless given).
bool writeNamesFile(const QString& folder, const QString& problemFile, const QString& resultsFor = QString());

// A new private folder for one run's "names.dat", in the temporary folder. Its name carries the
// process id, so the folders that runs killed on the way left behind are recognised and removed
// (those of this user whose process is gone) each time a new one is made.
std::unique_ptr<QTemporaryDir> PrivateFolder();

// The one engine library object of the application; empty when no run is in progress.
std::unique_ptr<TDynamicLibrary>& libraryObject();

struct RunRequest {
    QString problem;                // the problem file the engine reads, on disk
    QString resultsFor;             // the results go beside this name; the problem itself when empty
    QString programFolder;          // holds the engine library
    QString workingFolder;          // gets "names.dat" and is the current directory during the call
    QString options;                // the run's options ("key=value" lines) beside it; none when empty
    std::function<void(bool)> busy; // wait cursor on and off around the call
    // Told the trials made, their total and the best factor so far while the engine runs (when the
    // library can tell); returning false cancels the run. The last results are then kept as they
    // are, so a watched run never removes them beforehand: the engine replaces the whole set at once.
    std::function<bool(qint64 done, qint64 total, double best)> progress;
};

struct RunOutcome {
    enum class Kind {
        Computed,      // the engine ran; its files say what it found
        NotPerformed,  // the engine returned 1
        Refused,       // not handed over: the names or the folder would lose files
        LibraryFailed, // the library could not be loaded or has no entry point
        Busy,          // another run's library object still exists
        Cancelled,     // stopped on the way; nothing was written
    };
    Kind kind = Kind::Refused;
    int32_t engineResult = -1;
    QString message;  // for the user, in the program's words
    QString reason;   // the loader's or the system's own words, when there are any
    QString plotFile; // the new plot file, when the engine wrote one
};

// Writes names.dat, removes the old results, loads the library, calls it, unloads it, removes
// names.dat and puts the working directory back, on every way out. Refuses, removing nothing, a
// problem whose name is one of its result names or holds a line break, and a folder whose old
// results cannot be removed or that cannot take new ones.
RunOutcome Run(const RunRequest& request);

// The runner beside the program that runs a problem in a process of its own (the command-line tool);
// empty when there is none.
QString childRunner(const QString& programFolder);

// A run in a process of its own (`runner` run PROBLEM --progress-lines), so that the window goes on
// and the run can be stopped at any moment: `progress` hears the trials made, their total and the
// best factor so far; when `cancelled` says so the process is asked to stop (the engine then writes
// nothing) and, should it not within a second, ended. Events are processed meanwhile.
struct ChildWatch {
    std::function<void(qint64 done, qint64 total, double best)> progress;
    std::function<bool()> cancelled;
};
RunOutcome RunInChild(const QString& runner, const QString& problem, const ChildWatch& watch);

} // namespace engine

// Run Analysis of the Computation menu.
class TAnalysisRun {
public:
    struct Hooks {
        // File > Save, with Save As for new and older files; a failure's reason goes to `why`.
        std::function<SaveOutcome(QString& why)> save;
        std::function<void(bool)> busy; // wait cursor on and off
        // Before the save and the engine: false stops the run (the check told the user why).
        std::function<bool()> check;
        // Runs the saved problem in a process of its own; none: the engine runs in this one.
        std::function<engine::RunOutcome(const QString& problem)> runner;
    };
    // `programFolder` holds the engine library; "names.dat" goes there when it is writable,
    // otherwise into a private temporary folder.
    TAnalysisRun(ProblemSession& session, MessageSink& messages, QString programFolder)
        : m_session(session), m_messages(messages), m_programFolder(std::move(programFolder)) {}

    // What happened; nothing when the save was cancelled or the document never got a name.
    std::optional<engine::RunOutcome> Run(const Hooks& hooks);

private:
    ProblemSession& m_session;
    MessageSink& m_messages;
    QString m_programFolder;
};

#pragma once
// Handing the saved problem to the engine library: "names.dat", the call, the outcome.
#include "ProgramData.h"
#include "base/UserInteraction.h"
#include "format/Release.h"
#include "dynlib.h"

#include <QString>
#include <functional>
#include <memory>

namespace runmsg {
inline const QString kSaveError = QStringLiteral("An error occured during saving");
inline const QString kReinitialize = QStringLiteral("Attempt to reinitialize DLL");
inline const QString kInitializeFailed = QStringLiteral("Attempt to initialize DLL failed");
inline const QString kNotPerformed = QStringLiteral("Computations can not be performed.");
inline const QString kCompleted =
    QStringLiteral("Computations are completed. Please, check output file for results or error messages.");
inline const QString kEditorFailed = QStringLiteral("An error occurred in running the Word Processor");
inline const QString kLibraryName = QStringLiteral("VELDA2015_DLL.so");
inline const QString kEntryPoint = QStringLiteral("_IVELDA");
inline const QString kRelease = QLatin1String(release::kVersion);
inline const QString kNamesFile = QStringLiteral("names.dat");
inline const QString kErrorNotes = QStringLiteral("error-message.txt");
// The whole message for an engine that returned 1.
QString notPerformed(const QString& outputFile);
} // namespace runmsg

namespace engine {

// The companion files of a problem file.
QString outputFile(const QString& problem);
QString plotFile(const QString& problem);
QString resultFile(const QString& problem);

// Writes "names.dat" in `folder` for the problem file (absolute names, CR LF line ends); the
// result files go beside `resultsFor` (the problem file itself unless given).
bool writeNamesFile(const QString& folder, const QString& problemFile, const QString& resultsFor = QString());

// Loads the engine library, calls its entry point with 2 in the current directory and unloads
// it. Returns the engine's result; raises EDLLError when the library cannot be used.
int32_t call(TDynamicLibrary& library);

// The one engine library object of the application; empty when no run is in progress.
std::unique_ptr<TDynamicLibrary>& libraryObject();

} // namespace engine

// Run Analysis of the Computation menu.
class TAnalysisRun {
public:
    enum class SaveOutcome { Saved, Cancelled, Failed };
    struct Hooks {
        std::function<SaveOutcome()> save; // File > Save, with Save As for new and older files
        std::function<void(bool)> busy;    // wait cursor on and off
    };
    // `programFolder` holds the engine library; "names.dat" goes there when it is writable,
    // otherwise into a private temporary folder.
    TAnalysisRun(ProblemSession& session, MessageSink& messages, QString programFolder)
        : m_session(session), m_messages(messages), m_programFolder(std::move(programFolder)) {}

    // The engine's result, or -1 when it was not called.
    int Run(const Hooks& hooks);

private:
    ProblemSession& m_session;
    MessageSink& m_messages;
    QString m_programFolder;
};

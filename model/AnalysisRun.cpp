#include "AnalysisRun.h"

#include "base/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

QString runmsg::notPerformed(const QString& outputFile) {
    return kNotPerformed +
           QStringLiteral("\r\rThe output file %1 says why. Computation > Error-Message Notes "
                          "explains the engine's messages.")
               .arg(QFileInfo(outputFile).fileName());
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
    QSaveFile file(QDir(folder).filePath(runmsg::kNamesFile));
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QString text =
        QStringList{runmsg::kRelease, problem, outputFile(results), plotFile(results), resultFile(results)}
            .join(QLatin1String("\r\n")) +
        QStringLiteral("\r\n");
    const QByteArray bytes = text.toLocal8Bit();
    return file.write(bytes) == bytes.size() && file.commit();
}

int32_t engine::call(TDynamicLibrary& library) {
    library.Load();
    using Entry = int32_t (*)(int32_t);
    auto entry = reinterpret_cast<Entry>(library.GetProcedure(runmsg::kEntryPoint.toLatin1().constData()));
    if (!entry) throw EDLLError(runmsg::kInitializeFailed);
    return entry(2);
}

std::unique_ptr<TDynamicLibrary>& engine::libraryObject() {
    static std::unique_ptr<TDynamicLibrary> library;
    return library;
}

int TAnalysisRun::Run(const Hooks& hooks) {
    switch (hooks.save()) {
    case SaveOutcome::Cancelled: return -1;
    case SaveOutcome::Failed: m_messages.message(runmsg::kSaveError); break;
    case SaveOutcome::Saved: break;
    }
    TProgramData& doc = m_session.document();
    if (doc.FileName == kNewFileName) return -1;
    // Absolute names: the working directory changes below.
    const QString problem = QFileInfo(doc.FileName).absoluteFilePath();

    // An installed program's folder is not writable: the hand-over then happens in a private
    // folder, while the library still comes from the program's folder.
    std::unique_ptr<QTemporaryDir> privateFolder;
    QString working = m_programFolder;
    if (!QFileInfo(m_programFolder).isWritable()) {
        privateFolder = std::make_unique<QTemporaryDir>();
        working = privateFolder->path();
    }
    QDir::setCurrent(working);
    auto finish = [&](int result) {
        QFile::remove(QDir(working).filePath(runmsg::kNamesFile));
        if (privateFolder) QDir::setCurrent(m_programFolder);
        return result;
    };
    if (!engine::writeNamesFile(working, problem)) {
        m_messages.information(runmsg::kInitializeFailed);
        return finish(-1);
    }
    for (const QString& old :
         {engine::plotFile(problem), engine::outputFile(problem), engine::resultFile(problem)})
        QFile::remove(old);

    std::unique_ptr<TDynamicLibrary>& library = engine::libraryObject();
    if (library) {
        m_messages.information(runmsg::kReinitialize);
        return finish(-1);
    }
    library = std::make_unique<TDynamicLibrary>(QDir(m_programFolder).filePath(runmsg::kLibraryName));
    int32_t result = -1;
    bool called = false;
    if (hooks.busy) hooks.busy(true);
    try {
        result = engine::call(*library);
        called = true;
    } catch (const EDLLError&) {
    }
    if (hooks.busy) hooks.busy(false);
    if (!called) {
        library.reset();
        m_messages.information(runmsg::kInitializeFailed);
        return finish(-1);
    }
    if (result == 1) {
        m_messages.information(runmsg::notPerformed(engine::outputFile(problem)));
    } else {
        m_messages.information(runmsg::kCompleted);
        if (QFileInfo::exists(engine::plotFile(problem))) doc.PlotFileName = engine::plotFile(problem);
    }
    library.reset();
    return finish(result);
}

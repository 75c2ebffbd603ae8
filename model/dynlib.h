#pragma once
// Loads the analysis engine for one run and unloads it again.
#include "base/Errors.h"

#include <QString>

class EDLLError : public EDiziOvi {
    using EDiziOvi::EDiziOvi;
};
class EInitError : public EDLLError {
    using EDLLError::EDLLError;
};
class EFileNotFoundError : public EDLLError {
    using EDLLError::EDLLError;
};
class EDLLNotOpenError : public EDLLError {
    using EDLLError::EDLLError;
};

namespace dllmsg {
inline const QString kInitFailed = QStringLiteral("Library failed to properly initialize");
inline const QString kNotFound = QStringLiteral("Library could not be located");
inline const QString kNotOpen = QStringLiteral("Library is not open");
} // namespace dllmsg

class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    explicit TDynamicLibrary(const QString& name) : m_name(name) {}
    ~TDynamicLibrary() { Unload(); }
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    void SetLibraryName(const QString& name);
    const QString& LibraryName() const { return m_name; }
    // A missing file raises EFileNotFoundError; a file that exists but cannot be loaded (not a
    // library, missing dependencies, unresolved symbols) raises EInitError.
    void Load();
    // The address of an exported procedure, or null when the library does not export it.
    void* GetProcedure(const char* name) const;
    bool IsLoaded() const { return m_handle != nullptr; }
    void Unload();
    // The loader's own words for the last failure, for a report.
    const QString& LastError() const { return m_lastError; }

private:
    QString m_name;
    void* m_handle = nullptr;
    QString m_lastError;
};

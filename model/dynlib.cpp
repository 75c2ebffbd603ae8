#include "dynlib.h"

#include <QFileInfo>
#include <dlfcn.h>

void TDynamicLibrary::SetLibraryName(const QString& name) {
    Unload();
    m_name = name;
}

void TDynamicLibrary::Load() {
    if (m_handle) return;
    if (!QFileInfo(m_name).isFile()) throw EFileNotFoundError(dllmsg::kNotFound);
    // Every run gets its own copy of the engine's state: RTLD_LOCAL, and unloaded after the run.
    m_handle = dlopen(QFileInfo(m_name).absoluteFilePath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = dlerror();
        m_lastError = why ? QString::fromLocal8Bit(why) : QString();
        throw EInitError(dllmsg::kInitFailed);
    }
}

void* TDynamicLibrary::GetProcedure(const char* name) const {
    if (!m_handle) throw EDLLNotOpenError(dllmsg::kNotOpen);
    dlerror();
    return dlsym(m_handle, name);
}

void TDynamicLibrary::Unload() {
    if (!m_handle) return;
    dlclose(m_handle);
    m_handle = nullptr;
}

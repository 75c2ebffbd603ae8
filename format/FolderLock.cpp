#include "FolderLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace runfiles {

FolderLocks::FolderLocks(std::vector<std::string> folders) {
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        m_descriptors.push_back(fd);
    }
}

FolderLocks::~FolderLocks() {
    // Closing the last descriptor of a folder releases its lock; a killed process releases it too.
    for (auto it = m_descriptors.rbegin(); it != m_descriptors.rend(); ++it) ::close(*it);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace runfiles

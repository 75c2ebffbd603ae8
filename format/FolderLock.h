#pragma once
// The results of a run (report, plot file, result file) are removed and published only while the
// folders that hold them are locked. The lock is on the folder, not on the problem file: a save
// replaces the problem file, so a lock on it would not keep a run and a save-then-run apart, and
// the results would mix two runs. Held only for the removals and renames, so runs of several
// problems in one folder still compute in parallel.
#include <string>
#include <vector>

namespace runfiles {

class FolderLocks {
public:
    // Locks every distinct folder, in sorted order so two holders never wait on each other.
    // A folder that cannot be opened is not locked (its files cannot be written either).
    explicit FolderLocks(std::vector<std::string> folders);
    ~FolderLocks();
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

private:
    std::vector<int> m_descriptors;
};

// The folder part of a path ("/" for a file at the root).
std::string folderOf(const std::string& path);

} // namespace runfiles

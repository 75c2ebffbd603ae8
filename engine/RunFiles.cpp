#include "RunFiles.h"

#include "format/FolderLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velda {
namespace {

constexpr char kTemporarySuffix[] = ".writing";

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            if (i < text.size() || i > start) out.push_back(text.substr(start, i - start));
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    return out;
}

// Why `name` cannot name a file of the run, or empty when it can.
std::string invalidName(std::string_view name) {
    if (name.empty()) return "is empty";
    if (name.front() != '/') return "is not an absolute file name";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f) return "holds a control character";
    if (name.back() == '/') return "names a folder";
    return {};
}

using runfiles::folderOf;

std::string fileNameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A temporary file beside `target`, created exclusively under a name no other run uses:
// "<target>.<process id>.<random>.writing".
struct Staged {
    std::string target, temporary;
};

std::optional<Staged> stage(const std::string& target, const std::string& content, std::string& error) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[32];
        std::snprintf(tag, sizeof tag, ".%ld.%08llx", static_cast<long>(::getpid()),
                      static_cast<unsigned long long>(random() & 0xffffffffULL));
        const std::string temporary = target + tag + kTemporarySuffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = systemError(
                "The results cannot be written in the folder " + folderOf(target) + ": creating", temporary);
            return std::nullopt;
        }
        const bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
        const int writeErrno = errno;
        if (::close(fd) != 0 || !ok) {
            errno = ok ? errno : writeErrno;
            error = systemError(
                "The results cannot be written in the folder " + folderOf(target) + ": writing", temporary);
            ::unlink(temporary.c_str());
            return std::nullopt;
        }
        return Staged{target, temporary};
    }
    error = "No unused temporary name was found beside " + target + ".";
    return std::nullopt;
}

bool processAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

} // namespace

RunFiles parseNames(std::string_view text, std::string& error) {
    const std::vector<std::string_view> lines = splitLines(text);
    RunFiles files;
    std::string* const targets[] = {&files.problem, &files.report, &files.plot, &files.result};
    const char* const roles[] = {"problem file", "output file", "plot file", "result file"};
    error.clear();
    if (lines.size() < 5) {
        error = "The hand-over file names.dat has " + std::to_string(lines.size()) +
                " lines; it must name the release, the problem file and the three result files.";
        return {};
    }
    for (size_t i = 0; i < 4; ++i) {
        if (const std::string why = invalidName(lines[i + 1]); !why.empty()) {
            error = "Line " + std::to_string(i + 2) + " of names.dat, the " + roles[i] + ", " + why + ".";
            return {};
        }
        *targets[i] = std::string(lines[i + 1]);
    }
    for (size_t i = 0; i < 4; ++i)
        for (size_t k = i + 1; k < 4; ++k)
            if (*targets[i] == *targets[k]) {
                error = "Lines " + std::to_string(i + 2) + " and " + std::to_string(k + 2) +
                        " of names.dat name the same file for the " + roles[i] + " and the " + roles[k] + ".";
                return {};
            }
    return files;
}

namespace {

// The folder entry a name stands for: its folder resolved (links, "..", "."), then its own name.
// Two names with the same entry are one file, and renaming over either replaces it.
std::string entryOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path name = fs::path(path).filename();
    fs::path folder = fs::weakly_canonical(fs::path(folderOf(path)), ec);
    if (ec) folder = fs::path(folderOf(path)).lexically_normal();
    return (folder / name).string();
}

} // namespace

std::string checkTargets(const RunFiles& files) {
    namespace fs = std::filesystem;
    const std::pair<const std::string*, const char*> results[] = {
        {&files.report, "output file"}, {&files.plot, "plot file"}, {&files.result, "result file"}};
    // The problem as named, and the file it leads to when it is a link.
    std::vector<std::string> problem = {entryOf(files.problem)};
    std::error_code ec;
    if (const fs::path real = fs::canonical(files.problem, ec); !ec) problem.push_back(real.string());
    std::vector<std::string> seen;
    for (const auto& [name, role] : results) {
        const std::string entry = entryOf(*name);
        if (std::find(problem.begin(), problem.end(), entry) != problem.end())
            return std::string("The ") + role + " " + *name + " is the problem file " + files.problem +
                   "; writing it would destroy the problem.";
        if (std::find(seen.begin(), seen.end(), entry) != seen.end())
            return std::string("The ") + role + " " + *name + " is also another result of the run.";
        seen.push_back(entry);
        struct stat st {};
        if (::lstat(name->c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            return std::string("The ") + role + " " + *name +
                   " is taken by something that is not a file (a folder, a pipe or a device); it is left "
                   "as it is and no result is written.";
    }
    return {};
}

ReadStatus readFile(const std::string& path, std::string& text, std::size_t limit) {
    // Without O_NONBLOCK, opening a pipe waits for a writer; the type is checked before any read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::Failed;
    }
    if (static_cast<std::size_t>(st.st_size) > limit) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        // The file may have grown since it was measured.
        if (text.size() > limit) {
            ::close(fd);
            return ReadStatus::TooLarge;
        }
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool publish(const RunFiles& files, const ResultTexts& texts, std::string& error) {
    const std::pair<const std::string*, const std::optional<std::string>*> order[] = {
        {&files.plot, &texts.plot}, {&files.result, &texts.result}, {&files.report, &texts.report}};
    std::vector<Staged> staged;
    std::vector<std::string> unreplaced;
    for (const auto& [target, text] : order) {
        if (target->empty()) continue;
        if (!text->has_value()) {
            unreplaced.push_back(*target);
            continue;
        }
        auto s = stage(*target, **text, error);
        if (!s) {
            for (const Staged& done : staged) ::unlink(done.temporary.c_str());
            return false;
        }
        staged.push_back(*s);
    }
    const runfiles::FolderLocks lock({folderOf(files.report), folderOf(files.plot), folderOf(files.result)});
    // The old report goes first: until the new one is in place, no report speaks for the others.
    if (!files.report.empty()) ::unlink(files.report.c_str());
    for (const std::string& old : unreplaced) ::unlink(old.c_str());
    for (size_t i = 0; i < staged.size(); ++i)
        if (::rename(staged[i].temporary.c_str(), staged[i].target.c_str()) != 0) {
            error = systemError("The results cannot be written in the folder " + folderOf(staged[i].target) +
                                    ": renaming to",
                                staged[i].target);
            for (size_t k = i; k < staged.size(); ++k) ::unlink(staged[k].temporary.c_str());
            return false;
        }
    return true;
}

void removeStaleTemporaries(const RunFiles& files) {
    namespace fs = std::filesystem;
    const size_t suffix = std::strlen(kTemporarySuffix);
    for (const std::string* target : {&files.report, &files.plot, &files.result}) {
        if (target->empty()) continue;
        const std::string base = fileNameOf(*target);
        std::error_code ec;
        for (fs::directory_iterator it(folderOf(*target), ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name == base + kTemporarySuffix) { // the fixed name of earlier releases
                ::unlink(it->path().c_str());
                continue;
            }
            if (name.size() <= base.size() + 1 + suffix || !name.starts_with(base + ".") ||
                !name.ends_with(kTemporarySuffix))
                continue;
            // "<process id>.<random>" between the target's name and the suffix.
            const std::string middle = name.substr(base.size() + 1, name.size() - base.size() - 1 - suffix);
            const size_t dot = middle.find('.');
            if (dot == 0 || dot == std::string::npos || middle.find_first_not_of("0123456789") != dot ||
                middle.find_first_not_of("0123456789abcdef", dot + 1) != std::string::npos)
                continue;
            if (processAlive(std::strtol(middle.c_str(), nullptr, 10))) continue;
            ::unlink(it->path().c_str());
        }
    }
}

} // namespace velda

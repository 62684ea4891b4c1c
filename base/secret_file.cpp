// Replacing secret files through temporaries, renames and a commit journal.
//
// A group commit runs in this order, with catchable signals held back:
//  1. every temporary gets a name (an unnamed O_TMPFILE file is linked in);
//  2. each existing target gets a hard-linked backup, so that a failed rename
//     can put the old file back;
//  3. a group of more than one file writes its journal (temporary, target
//     pairs) beside the first target, synced, so that a run killed during the
//     renames is finished by the next run;
//  4. the renames; 5. the directories are synced; 6. journal and backups go.
// A run killed before step 3 leaves only temporaries, which the next run
// removes: the old files stay. Killed after it, the next run rolls forward.
#include "base/secret_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <utility>

namespace {

constexpr const char* kTemporaryPrefix = ".tabrix-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr const char* kJournalName = ".tabrix-commit";

std::string directoryOf(const std::string& path) {
    std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? std::string(".") : parent;
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// A name for a new temporary in directory; unique enough with O_EXCL retries.
std::string temporaryName(const std::string& directory) {
    static uint64_t counter = 0;
    const uint64_t clock = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t mix = clock ^ (static_cast<uint64_t>(getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15u);
    static const char digits[] = "0123456789abcdef";
    std::string name = directory + "/" + kTemporaryPrefix;
    for (int i = 0; i < 12; ++i, mix >>= 4) name.push_back(digits[mix & 15]);
    return name + kTemporarySuffix;
}

// A new private file: O_EXCL, never through a link, mode 0600.
int createNamedTemporary(const std::string& directory, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName(directory);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Holds back every catchable signal for its lifetime.
class SignalHold {
public:
    SignalHold() {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalHold() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

private:
    sigset_t saved_;
};

// The journal: temporary and target of each file, NUL-terminated, absolute.
bool writeJournal(const std::string& directory, const std::vector<std::pair<std::string, std::string>>& moves) {
    std::string text;
    for (const auto& [temporary, target] : moves) {
        text += absolute(temporary);
        text.push_back('\0');
        text += absolute(target);
        text.push_back('\0');
    }
    std::string name;
    const int fd = createNamedTemporary(directory, name);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(name.c_str(), (directory + "/" + kJournalName).c_str()) != 0) {
        ::unlink(name.c_str());
        return false;
    }
    return syncDirectory(directory);
}

} // namespace

PendingFile::~PendingFile() { discard(); }

void PendingFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

FileResult PendingFile::open(const std::string& target) {
    discard();
    target_ = target;
    directory_ = directoryOf(target);
    inPlace_ = failed_ = committed_ = false;

    struct stat info;
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISCHR(info.st_mode)) {
            // A device is no file to replace: write to it as it is.
            fd_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
            inPlace_ = true;
            return fd_ >= 0 ? FileResult::ok : FileResult::openFailed;
        }
        if (!S_ISREG(info.st_mode)) return FileResult::openFailed;
    }
#ifdef O_TMPFILE
    fd_ = ::open(directory_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return FileResult::openFailed;
    }
#endif
    if (fd_ < 0) fd_ = createNamedTemporary(directory_, temporary_);
    if (fd_ < 0) {
        temporary_.clear();
        return FileResult::openFailed;
    }
    // The umask may only take bits away; the mode must be exactly owner-only.
    if (::fchmod(fd_, 0600) != 0) failed_ = true;
    return FileResult::ok;
}

bool PendingFile::write(const void* data, size_t size) {
    if (fd_ < 0 || failed_) return false;
    if (!writeAll(fd_, data, size)) failed_ = true;
    return !failed_;
}

FileResult PendingFile::finish() {
    if (fd_ < 0) return FileResult::writeFailed;
    if (!failed_ && !inPlace_ && ::fsync(fd_) != 0) failed_ = true;
    if (!failed_ && inPlace_) {
        // A device has nothing to sync; its close is where a failure can show.
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) failed_ = true;
        committed_ = true;
    }
    return failed_ ? FileResult::writeFailed : FileResult::ok;
}

bool PendingFile::nameTemporary() {
    if (!temporary_.empty()) return true;
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(directory_);
        int linked = ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT) {
            linked = ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
        }
        if (linked == 0) {
            temporary_ = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

FileResult commitFiles(PendingFile* const files[], size_t count, size_t* failedAt) {
    auto indexOf = [&](const PendingFile* file) {
        return static_cast<size_t>(std::find(files, files + count, file) - files);
    };
    auto fail = [&](size_t index) {
        if (failedAt != nullptr) *failedAt = index;
        return FileResult::writeFailed;
    };
    std::vector<PendingFile*> renamed;
    for (size_t i = 0; i < count; ++i) {
        PendingFile& file = *files[i];
        if (file.failed_ || (file.fd_ < 0 && !file.committed_)) return fail(i);
        if (!file.inPlace_) renamed.push_back(&file);
    }

    SignalHold hold;
    std::vector<std::pair<std::string, std::string>> moves;
    std::vector<std::string> backups(renamed.size());
    for (size_t i = 0; i < renamed.size(); ++i) {
        PendingFile& file = *renamed[i];
        if (!file.nameTemporary()) {
            return fail(indexOf(&file));
        }
        // Synced already; the temporary is complete under its name.
        if (::close(std::exchange(file.fd_, -1)) != 0) {
            return fail(indexOf(&file));
        }
        moves.emplace_back(file.temporary_, file.target_);
    }
    for (size_t i = 0; i < renamed.size(); ++i) {
        const PendingFile& file = *renamed[i];
        struct stat info;
        if (::lstat(file.target_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            std::string backup = temporaryName(file.directory_);
            if (::link(file.target_.c_str(), backup.c_str()) == 0) backups[i] = std::move(backup);
        }
    }
    auto dropBackups = [&] {
        for (const std::string& backup : backups) {
            if (!backup.empty()) ::unlink(backup.c_str());
        }
    };

    const bool journaled = renamed.size() > 1;
    const std::string journal =
        journaled ? renamed.front()->directory_ + "/" + kJournalName : std::string();
    if (journaled && !writeJournal(renamed.front()->directory_, moves)) {
        dropBackups();
        return fail(indexOf(renamed.front()));
    }

    for (size_t i = 0; i < renamed.size(); ++i) {
        PendingFile& file = *renamed[i];
        if (::rename(file.temporary_.c_str(), file.target_.c_str()) == 0) {
            file.committed_ = true;
            continue;
        }
        // Undo the renames made so far: each old file comes back from its backup.
        for (size_t j = 0; j < i; ++j) {
            PendingFile& done = *renamed[j];
            if (!backups[j].empty()) {
                ::rename(backups[j].c_str(), done.target_.c_str());
                backups[j].clear();
            } else {
                ::unlink(done.target_.c_str());
            }
            done.committed_ = false;
            done.temporary_.clear();
        }
        if (journaled) ::unlink(journal.c_str());
        dropBackups();
        return fail(indexOf(&file));
    }

    std::vector<std::string> directories;
    for (PendingFile* file : renamed) directories.push_back(file->directory_);
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    bool synced = true;
    for (const std::string& directory : directories) synced = syncDirectory(directory) && synced;
    if (journaled) ::unlink(journal.c_str());
    dropBackups();
    for (PendingFile* file : renamed) file->temporary_.clear();
    // The new files are in place; a failing directory sync is still reported,
    // since their names may not be on disk.
    return synced ? FileResult::ok : fail(0);
}

FileResult replaceFile(const std::string& target, const void* data, size_t size) {
    PendingFile file;
    FileResult result = file.open(target);
    if (result != FileResult::ok) return result;
    file.write(data, size);
    result = file.finish();
    if (result != FileResult::ok) return result;
    PendingFile* group[] = {&file};
    return commitFiles(group, 1);
}

FileResult readRegularFile(const std::string& path, std::string& text, size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return FileResult::openFailed;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileResult::openFailed;
    }
    char chunk[65536];
    FileResult result = FileResult::ok;
    while (text.size() < maxBytes) {
        const size_t want = std::min(sizeof chunk, maxBytes - text.size());
        const ssize_t n = ::read(fd, chunk, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = FileResult::readFailed;
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return result;
}

bool isToolTemporaryName(const std::string& fileName) {
    const std::string prefix = kTemporaryPrefix;
    const std::string suffix = kTemporarySuffix;
    if (fileName == kJournalName) return true;
    return fileName.size() > prefix.size() + suffix.size() && fileName.compare(0, prefix.size(), prefix) == 0 &&
           fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void recoverDirectory(const std::string& directory) {
    std::string journal;
    if (readRegularFile(directory + "/" + kJournalName, journal) == FileResult::ok) {
        // Pairs of NUL-terminated paths; a torn last pair is ignored.
        size_t at = 0;
        while (true) {
            const size_t end1 = journal.find('\0', at);
            if (end1 == std::string::npos) break;
            const size_t end2 = journal.find('\0', end1 + 1);
            if (end2 == std::string::npos) break;
            const std::string temporary = journal.substr(at, end1 - at);
            const std::string target = journal.substr(end1 + 1, end2 - end1 - 1);
            struct stat info;
            if (::lstat(temporary.c_str(), &info) == 0) ::rename(temporary.c_str(), target.c_str());
            at = end2 + 1;
        }
        syncDirectory(directory);
        ::unlink((directory + "/" + kJournalName).c_str());
    }
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) return;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != kJournalName && isToolTemporaryName(name)) ::unlink((directory + "/" + name).c_str());
    }
    ::closedir(listing);
}

OutputLocks::OutputLocks(const std::vector<std::string>& outputPaths) {
    struct Directory {
        dev_t device;
        ino_t inode;
        int fd;
        std::string path;
    };
    std::vector<Directory> directories;
    for (const std::string& path : outputPaths) {
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) continue;
        const std::string directory = directoryOf(path);
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue; // a missing directory: the write will fail on its own
        if (::fstat(fd, &info) != 0) {
            ::close(fd);
            continue;
        }
        directories.push_back({info.st_dev, info.st_ino, fd, directory});
    }
    std::sort(directories.begin(), directories.end(), [](const Directory& a, const Directory& b) {
        return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
    });
    for (size_t i = 0; i < directories.size(); ++i) {
        const Directory& directory = directories[i];
        if (i > 0 && directory.device == directories[i - 1].device && directory.inode == directories[i - 1].inode) {
            ::close(directory.fd);
            continue;
        }
        while (::flock(directory.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        fds_.push_back(directory.fd);
        recoverDirectory(directory.path);
    }
}

OutputLocks::~OutputLocks() {
    for (int fd : fds_) ::close(fd); // closing releases the lock
}

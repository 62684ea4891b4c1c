// POSIX files: descriptors, O_TMPFILE where Linux has it, flock, sigprocmask.
#include "base/native_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace native {

namespace {

int fdOf(const File& file) { return static_cast<int>(file.handle()); }

FileKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::regular;
    if (S_ISDIR(mode)) return FileKind::directory;
    if (S_ISCHR(mode)) return FileKind::device;
    return FileKind::other;
}

} // namespace

FileKind kindOf(const std::string& path, bool followLinks) {
    struct stat info;
    const int found = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    return found == 0 ? kindOfMode(info.st_mode) : FileKind::missing;
}

bool identityOf(const std::string& path, bool followLinks, FileIdentity& out) {
    struct stat info;
    const int found = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    if (found != 0) return false;
    out.volume = static_cast<uint64_t>(info.st_dev);
    out.index = static_cast<uint64_t>(info.st_ino);
    return true;
}

File File::adopt(intptr_t handle) {
    File file;
    file.handle_ = handle;
    return file;
}

bool File::write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fdOf(*this), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int64_t File::read(void* data, size_t size) {
    while (true) {
        const ssize_t n = ::read(fdOf(*this), data, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool File::sync() { return ::fsync(fdOf(*this)) == 0; }

bool File::close() {
    if (!isOpen()) return true;
    return ::close(static_cast<int>(std::exchange(handle_, kClosed))) == 0;
}

File createPrivate(const std::string& path, bool& exists) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    exists = fd < 0 && errno == EEXIST;
    File file = File::adopt(fd);
    // The umask may only take bits away; the mode must be exactly owner-only.
    if (file.isOpen() && ::fchmod(fd, 0600) != 0) {
        ::unlink(path.c_str());
        file.close();
    }
    return file;
}

File createUnnamed(const std::string& directory, bool& unsupported) {
    unsupported = true;
#ifdef O_TMPFILE
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    unsupported = fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL);
    File file = File::adopt(fd);
    if (file.isOpen() && ::fchmod(fd, 0600) != 0) file.close();
    return file;
#else
    (void)directory;
    return File();
#endif
}

bool nameUnnamed(const File& file, const std::string& path, bool& exists) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fdOf(file));
    int linked = ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
#ifdef AT_EMPTY_PATH
    if (linked != 0 && errno == ENOENT) {
        linked = ::linkat(fdOf(file), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    }
#endif
    exists = linked != 0 && errno == EEXIST;
    return linked == 0;
}

File openDevice(const std::string& path) {
    return File::adopt(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
}

File openRegularForReading(const std::string& path) {
    File file = File::adopt(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (file.isOpen() && (::fstat(fdOf(file), &info) != 0 || !S_ISREG(info.st_mode))) file.close();
    return file;
}

bool replaceByRename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool linkFile(const std::string& existing, const std::string& newName) {
    return ::link(existing.c_str(), newName.c_str()) == 0;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool syncDirectory(const std::string& directory) {
    File handle = File::adopt(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle.isOpen() && handle.sync();
}

std::vector<std::string> directoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(listing);
    return names;
}

FileFacts factsOf(const std::string& path) {
    FileFacts facts;
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return facts;
    facts.kind = S_ISLNK(info.st_mode) ? FileKind::other : kindOfMode(info.st_mode);
    facts.ownedByUser = info.st_uid == ::geteuid();
    facts.ownerOnly = (info.st_mode & 07777) == 0600;
    facts.size = static_cast<uint64_t>(info.st_size);
    return facts;
}

File openLock(const std::string& directory, const FileIdentity&) {
    return File::adopt(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

LockTry tryLock(const File& lock) {
    while (::flock(fdOf(lock), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return LockTry::busy;
        if (errno != EINTR) return LockTry::failed;
    }
    return LockTry::locked;
}

std::string lastErrorText() { return std::strerror(errno); }

uint64_t processNumber() { return static_cast<uint64_t>(::getpid()); }

static_assert(sizeof(sigset_t) <= 256, "HeldSignals keeps a sigset_t");

HeldSignals::HeldSignals() {
    sigset_t all;
    sigfillset(&all);
    sigset_t saved;
    sigprocmask(SIG_BLOCK, &all, &saved);
    std::memcpy(saved_, &saved, sizeof saved);
}

HeldSignals::~HeldSignals() {
    sigset_t saved;
    std::memcpy(&saved, saved_, sizeof saved);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
}

} // namespace native

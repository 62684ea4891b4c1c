// The operating system's files, as the secret-file writer, the output locks
// and the file-role check use them: one POSIX and one Windows source. Paths are
// UTF-8 text; the Windows source turns them into wide strings at its calls.
// Nothing outside base/ calls these; the rest of the tool goes through
// secret_file.h and file_roles.h.
#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/no_copy.h"

namespace native {

enum class FileKind {
    missing,
    regular,
    directory,
    device, // a character device (/dev/null, /dev/full; NUL on Windows): written in place
    other,  // FIFO, socket, block device, a link when links are not followed
};

// What path names, following links or looking at a link itself.
FileKind kindOf(const std::string& path, bool followLinks = true);

// A file's identity, the same under every name of it: device and inode on
// POSIX systems, volume serial number and file index on Windows.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
bool identityOf(const std::string& path, bool followLinks, FileIdentity& out);

// An open file, closed when destroyed.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return handle_ != kClosed; }
    // Writes all size bytes; false on any failure.
    bool write(const void* data, size_t size);
    // Reads at most size bytes: the count, 0 at the end, negative on an error.
    int64_t read(void* data, size_t size);
    // Pushes written data to the disk.
    bool sync();
    // Closes the file; false when closing reported an error (data may be lost).
    bool close();

    // The descriptor (POSIX) or HANDLE (Windows) behind the file.
    intptr_t handle() const { return handle_; }
    static File adopt(intptr_t handle);

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;
};

// A new file only the current user can read and write (mode 0600; on Windows a
// protected DACL with the user's one entry), created exclusively and never
// through a link. exists is set when the name was taken.
File createPrivate(const std::string& path, bool& exists);
// A private file without a name in directory (Linux O_TMPFILE), or a closed
// File with unsupported set when the system or the file system has none.
File createUnnamed(const std::string& directory, bool& unsupported);
// Gives an unnamed file the name path. exists is set when the name was taken.
bool nameUnnamed(const File& file, const std::string& path, bool& exists);
// Opens a device for writing in place (truncated where that means anything).
File openDevice(const std::string& path);
// Opens a regular file for reading. Anything else (a directory, FIFO, device or
// socket) is refused without blocking.
File openRegularForReading(const std::string& path);

// Replaces to by from in one step of the file system: rename on POSIX systems,
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) on Windows.
bool replaceByRename(const std::string& from, const std::string& to);
// A second name for an existing regular file (a hard link).
bool linkFile(const std::string& existing, const std::string& newName);
bool removeFile(const std::string& path);
// Makes the names in directory durable (a no-op where the rename already is).
bool syncDirectory(const std::string& directory);
// The names in directory (without "." and "..").
std::vector<std::string> directoryEntries(const std::string& directory);

// What the checks on a file that another user may have put in a shared folder
// need to know of it. The name itself is looked at: a link is `other`.
struct FileFacts {
    FileKind kind = FileKind::missing;
    bool ownedByUser = false; // owned by the user this process runs as
    bool ownerOnly = false;   // no access for anyone but its owner: mode 0600 (on Windows, owned by the user)
    uint64_t size = 0;
};
FileFacts factsOf(const std::string& path);

// The handle on which a directory's exclusive advisory lock is taken: the
// directory itself on POSIX systems (flock), on Windows a file in the user's
// temporary folder named after identity (the directory's, from identityOf),
// locked with LockFileEx. A closed File when it cannot be opened; lastErrorText
// then says why.
File openLock(const std::string& directory, const FileIdentity& identity);
enum class LockTry { locked, busy, failed };
// One attempt to take the lock without waiting. Released when the File is
// closed, or when the process ends.
LockTry tryLock(const File& lock);

// The system's words for the error of the last call that failed.
std::string lastErrorText();

// The process's own number, for unique temporary names.
uint64_t processNumber();

// Holds back the signals that would end the process (Ctrl+C on Windows) while
// it lives; they arrive when it is destroyed.
class HeldSignals : NoCopy {
public:
    HeldSignals();
    ~HeldSignals();

private:
    alignas(16) unsigned char saved_[256]; // the previous signal mask (POSIX)
};

} // namespace native

// Files that hold secrets: the headers (the key can be computed from them) and
// the coding files (the only copy of the codings that deployed tables need).
//
// Every output is written to a temporary file in the target's own directory
// (unnamed where the file system allows it, otherwise a private ".tabrix-*.tmp"
// file), created with mode 0600 whatever the umask, checked on every write and
// synced to disk. Only when every file of a group is complete does commitFiles
// rename them over their targets, so an existing target survives any failure
// untouched, and a link at a target's name is replaced, never written through.
// A character device (/dev/null, /dev/full) is the one target written in place.
//
// What is not promised: a group of renames is not one atomic step of the file
// system. A run killed between two renames of one group leaves a commit journal
// (".tabrix-commit") in each folder of the group; the next run that locks such a
// folder (OutputLocks) finishes that folder's part of the commit before it
// writes anything. A journal is replayed only when it is plainly this tool's:
// a private regular file of the user's own, small, naming only temporaries of
// the tool and targets in its own folder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "base/native_file.h"

enum class FileResult { ok, openFailed, writeFailed, readFailed };

// One target being replaced. Discarded (temporary removed, target untouched)
// when destroyed without a successful commit.
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Prepares the replacement of target. openFailed when its directory is
    // missing or not writable, or when target is a directory, FIFO, socket or
    // block device (nothing blocks on them).
    [[nodiscard]] FileResult open(const std::string& target);
    // Appends size bytes. false once any write has failed.
    bool write(const void* data, size_t size);
    // Pushes the data to disk. writeFailed when a write or the sync failed.
    [[nodiscard]] FileResult finish();
    // Drops the temporary file; the target stays as it was.
    void discard();

    const std::string& target() const { return target_; }

private:
    friend struct GroupCommit;
    bool nameTemporary();

    std::string target_;
    std::string directory_;
    std::string temporary_; // the temporary's name, once it has one
    native::File file_;
    bool inPlace_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

// Why a group commit failed: the file or folder it failed on, and the system's
// words for it.
struct CommitFailure {
    size_t file = 0;    // the group's file it concerns (for a folder, its first file there)
    std::string path;   // that file's target, its folder, or the folder's journal
    std::string reason;
};

// Renames every finished file of the group over its target: all of them, or,
// when a rename fails, none (targets already renamed get their old file back).
// An existing target that cannot be backed up (a hard link, or else a private
// copy) fails the group before anything is renamed. Catchable signals wait
// until the group is done. On writeFailed, *failure (if given) says where.
[[nodiscard]] FileResult commitFiles(PendingFile* const files[], size_t count, CommitFailure* failure = nullptr);

// open, write and finish one file, then commit it alone.
[[nodiscard]] FileResult replaceFile(const std::string& target, const void* data, size_t size);

// Reads a whole regular file (at most maxBytes of it) into text. openFailed when
// it cannot be opened or is not a regular file (a FIFO, device or socket is
// refused without blocking); readFailed on a read error.
[[nodiscard]] FileResult readRegularFile(const std::string& path, std::string& text,
                           size_t maxBytes = static_cast<size_t>(-1));

// Whether path names something that exists but is no regular file: a
// directory, FIFO, socket or device.
bool isSpecialFile(const std::string& path);

// How long a command waits, by default, for a folder that another run holds.
constexpr unsigned kDefaultLockWaitSeconds = 60;

// Advisory locks on the directories of a command's outputs, taken in (device,
// inode) order (volume and file index on Windows) so that two runs never wait
// on each other in a circle, and held until destroyed. Two runs writing the
// same outputs thus run one after the other. A lock that another process holds
// is waited for at most waitSeconds; notices, if given, is told "waiting for
// the lock on <folder>" at once. Once a directory is locked, an interrupted
// commit in it is finished and temporaries left by a killed run are removed
// (recoverDirectory). status() says whether all of it went well.
class OutputLocks {
public:
    explicit OutputLocks(const std::vector<std::string>& outputPaths,
                         unsigned waitSeconds = kDefaultLockWaitSeconds, std::ostream* notices = nullptr);
    ~OutputLocks();
    OutputLocks(const OutputLocks&) = delete;
    OutputLocks& operator=(const OutputLocks&) = delete;

    // STATUS_OK; STATUS_LOCK_TIMEOUT when a folder stayed locked; STATUS_LOCK_FAILED
    // when a folder's lock cannot be opened or taken; STATUS_UNSAFE_JOURNAL when
    // a folder's journal was refused or could not be finished. Folders after the
    // failing one are not locked.
    int32_t status() const { return status_; }
    // The folder, or the journal, that failed, and why.
    const std::string& failedPath() const { return failedPath_; }
    const std::string& reason() const { return reason_; }

private:
    void lockAndRecover(const std::string& directory, const native::FileIdentity& identity, unsigned waitSeconds,
                        std::ostream* notices);

    std::vector<native::File> locks_;
    int32_t status_ = 0;
    std::string failedPath_;
    std::string reason_;
};

// Finishes the commit a killed run left in directory (its ".tabrix-commit"
// journal) and removes the user's own stale ".tabrix-*.tmp" files. The caller
// holds the directory's lock. A journal that is not plainly this tool's (see
// above) is left alone, as is every temporary: false, with *journal and
// *reason (if given) saying which and why. Also false when a rename of the
// replay fails; the journal then stays for the next run.
[[nodiscard]] bool recoverDirectory(const std::string& directory, std::string* journal = nullptr,
                                    std::string* reason = nullptr);

// The largest journal replayed; a real one holds a few hundred bytes.
constexpr size_t kJournalLimit = 65536;

// The names used for temporaries and the journal, for tests and tidying.
bool isToolTemporaryName(const std::string& fileName);

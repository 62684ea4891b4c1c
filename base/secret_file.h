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
// (".tabrix-commit") beside the first target; the next run that locks that
// directory (OutputLocks) finishes the commit before it writes anything.
#pragma once
#include <cstddef>
#include <cstdint>
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
    friend FileResult commitFiles(PendingFile* const files[], size_t count, size_t* failedAt);
    bool nameTemporary();

    std::string target_;
    std::string directory_;
    std::string temporary_; // the temporary's name, once it has one
    native::File file_;
    bool inPlace_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

// Renames every finished file of the group over its target: all of them, or,
// when a rename fails, none (targets already renamed get their old file back
// where the file system keeps hard links). Catchable signals wait until the
// group is done. On writeFailed, *failedAt (if given) is the failing file.
[[nodiscard]] FileResult commitFiles(PendingFile* const files[], size_t count, size_t* failedAt = nullptr);

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

// Advisory locks on the directories of a command's outputs, taken in (device,
// inode) order (volume and file index on Windows) so that two runs never wait on each other in a circle, and held
// until destroyed. Two runs writing the same outputs thus run one after the
// other. Once a directory is locked, an interrupted commit in it is finished and
// temporaries left by a killed run are removed (recoverDirectory).
class OutputLocks {
public:
    explicit OutputLocks(const std::vector<std::string>& outputPaths);
    ~OutputLocks();
    OutputLocks(const OutputLocks&) = delete;
    OutputLocks& operator=(const OutputLocks&) = delete;

private:
    std::vector<native::File> locks_;
};

// Finishes the commit a killed run left in directory (its ".tabrix-commit"
// journal) and removes stale ".tabrix-*.tmp" files. The caller holds the
// directory's lock.
void recoverDirectory(const std::string& directory);

// The names used for temporaries and the journal, for tests and tidying.
bool isToolTemporaryName(const std::string& fileName);

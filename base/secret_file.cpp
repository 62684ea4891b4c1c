// Replacing secret files through temporaries, renames and commit journals.
//
// A group commit runs in these steps, with catchable signals held back, each a
// function of GroupCommit below:
//  1. every temporary gets a name (an unnamed O_TMPFILE file is linked in);
//  2. in a group of more than one file, each existing target but the last gets
//     a backup (a hard link, or a private copy where the file system has no
//     links), so that a failed rename can put the old file back; a target that
//     cannot be backed up stops the group here, before anything is renamed;
//  3. a group of more than one file writes a journal into each of its folders:
//     the (temporary, target) names of that folder, synced, so that a run
//     killed during the renames is finished by the next run there;
//  4. the renames, or the rollback of those made when one fails;
//  5. the folders are synced;
//  6. journals and backups go.
// A run killed before step 3 leaves only temporaries, which the next run
// removes: the old files stay. Killed after it, the next run rolls forward.
//
// A journal names plain file names, resolved in its own folder, and recovery
// replays nothing else: a journal that another user could have put into a
// shared folder cannot move or overwrite a file anywhere.
#include "base/secret_file.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "base/status.h"
#include "base/text_path.h"

namespace {

constexpr const char* kTemporaryPrefix = ".tabrix-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr const char* kJournalName = ".tabrix-commit";

std::string directoryOf(const std::string& path) {
    std::string parent = utf8FromPath(pathFromUtf8(path).parent_path());
    return parent.empty() ? std::string(".") : parent;
}

std::string fileNameOf(const std::string& path) { return utf8FromPath(pathFromUtf8(path).filename()); }

std::string journalOf(const std::string& directory) { return directory + "/" + kJournalName; }

// A name for a new temporary in directory; unique enough with exclusive retries.
std::string temporaryName(const std::string& directory) {
    static uint64_t counter = 0;
    const uint64_t clock = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t mix = clock ^ (native::processNumber() << 32) ^ (++counter * 0x9E3779B97F4A7C15u);
    static const char digits[] = "0123456789abcdef";
    std::string name = directory + "/" + kTemporaryPrefix;
    for (int i = 0; i < 12; ++i, mix >>= 4) name.push_back(digits[mix & 15]);
    return name + kTemporarySuffix;
}

// A new private file under a fresh temporary name.
native::File createNamedTemporary(const std::string& directory, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName(directory);
        bool exists = false;
        native::File file = native::createPrivate(name, exists);
        if (file.isOpen() || !exists) return file;
    }
    return native::File();
}

// A private copy of the regular file path under a fresh temporary name in its
// directory, synced; the copy's name, or empty (with reason) when it failed.
std::string copyToTemporary(const std::string& path, const std::string& directory, std::string& reason) {
    native::File source = native::openRegularForReading(path);
    if (!source.isOpen()) {
        reason = native::lastErrorText();
        return std::string();
    }
    std::string name;
    native::File copy = createNamedTemporary(directory, name);
    if (!copy.isOpen()) {
        reason = native::lastErrorText();
        return std::string();
    }
    char chunk[65536];
    bool copied = true;
    while (copied) {
        const int64_t n = source.read(chunk, sizeof chunk);
        if (n == 0) break;
        copied = n > 0 && copy.write(chunk, static_cast<size_t>(n));
    }
    copied = copied && copy.sync();
    if (!copied) reason = native::lastErrorText();
    if (!copy.close() && copied) {
        copied = false;
        reason = native::lastErrorText();
    }
    if (!copied) {
        native::removeFile(name);
        return std::string();
    }
    return name;
}

// Two names of one folder are one folder: known by identity where it can be read.
bool sameDirectory(const std::string& a, const std::string& b) {
    if (a == b) return true;
    native::FileIdentity first;
    native::FileIdentity second;
    return native::identityOf(a, true, first) && native::identityOf(b, true, second) && first == second;
}

} // namespace

// One group commit, step by step. Each step returns false after recording
// the failure; the steps after it then do not run.
struct GroupCommit {
    PendingFile* const* files;
    size_t count;
    std::vector<PendingFile*> renamed;   // the files replaced by a rename, in group order
    std::vector<std::string> backups;    // per renamed file: its target's backup, or empty
    std::vector<std::string> folders;    // the folders of the renamed files, one name each
    std::vector<std::string> journals;   // the journals written so far
    std::vector<std::string> kept;       // backups that a rollback could not put back
    CommitFailure failure;

    size_t indexOf(const PendingFile* file) const {
        return static_cast<size_t>(std::find(files, files + count, file) - files);
    }
    bool fail(const PendingFile* file, const std::string& path, std::string reason) {
        failure.file = indexOf(file);
        failure.path = path;
        failure.reason = std::move(reason);
        return false;
    }
    bool failFile(const PendingFile* file, std::string reason) { return fail(file, file->target_, std::move(reason)); }

    // Every file must be complete; devices were written in place already.
    bool checkFinished() {
        for (size_t i = 0; i < count; ++i) {
            PendingFile& file = *files[i];
            if (file.failed_ || (!file.file_.isOpen() && !file.committed_)) {
                return failFile(&file, "its data was not written completely");
            }
            if (!file.inPlace_) renamed.push_back(&file);
        }
        backups.resize(renamed.size());
        for (const PendingFile* file : renamed) {
            const bool known = std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
                return sameDirectory(folder, file->directory_);
            });
            if (!known) folders.push_back(file->directory_);
        }
        return true;
    }

    // Step 1.
    bool nameTemporaries() {
        for (PendingFile* file : renamed) {
            if (!file->nameTemporary()) return failFile(file, native::lastErrorText());
            // Synced already; the temporary is complete under its name.
            if (!file->file_.close()) return failFile(file, native::lastErrorText());
        }
        return true;
    }

    // Step 2. The last file needs no backup: nothing is renamed after it.
    bool backUpTargets() {
        if (renamed.size() < 2) return true;
        for (size_t i = 0; i + 1 < renamed.size(); ++i) {
            const PendingFile& file = *renamed[i];
            const native::FileKind kind = native::factsOf(file.target_).kind;
            if (kind == native::FileKind::missing) continue;
            std::string backup = temporaryName(file.directory_);
            if (native::linkFile(file.target_, backup)) {
                backups[i] = std::move(backup);
                continue;
            }
            std::string reason = native::lastErrorText();
            if (kind == native::FileKind::regular) backup = copyToTemporary(file.target_, file.directory_, reason);
            else backup.clear();
            if (backup.empty()) return failFile(&file, "its old file cannot be backed up: " + reason);
            backups[i] = std::move(backup);
        }
        return true;
    }

    // Step 3: one journal per folder, with that folder's pairs of names.
    bool writeJournals() {
        if (renamed.size() < 2) return true;
        for (const std::string& folder : folders) {
            std::string text;
            const PendingFile* first = nullptr;
            for (const PendingFile* file : renamed) {
                if (!sameDirectory(file->directory_, folder)) continue;
                if (first == nullptr) first = file;
                text += fileNameOf(file->temporary_);
                text.push_back('\0');
                text += fileNameOf(file->target_);
                text.push_back('\0');
            }
            const std::string journal = journalOf(folder);
            std::string name;
            native::File out = createNamedTemporary(folder, name);
            if (!out.isOpen()) return fail(first, journal, native::lastErrorText());
            bool written = out.write(text.data(), text.size()) && out.sync();
            std::string reason = written ? std::string() : native::lastErrorText();
            if (!out.close() && written) {
                written = false;
                reason = native::lastErrorText();
            }
            if (written && !native::replaceByRename(name, journal)) {
                written = false;
                reason = native::lastErrorText();
            }
            if (!written) {
                native::removeFile(name);
                return fail(first, journal, reason);
            }
            journals.push_back(journal);
            if (!native::syncDirectory(folder)) return fail(first, folder, native::lastErrorText());
        }
        return true;
    }

    // Step 4.
    bool renameOrRollBack() {
        for (size_t i = 0; i < renamed.size(); ++i) {
            PendingFile& file = *renamed[i];
            if (native::replaceByRename(file.temporary_, file.target_)) {
                file.committed_ = true;
                continue;
            }
            const std::string reason = native::lastErrorText();
            // Undo the renames made so far: each old file comes back from its
            // backup; a target that had none did not exist before.
            for (size_t j = 0; j < i; ++j) {
                PendingFile& done = *renamed[j];
                if (!backups[j].empty()) {
                    // A backup that cannot go back stays, under its own name.
                    if (native::replaceByRename(backups[j], done.target_)) backups[j].clear();
                    else kept.push_back(backups[j]);
                } else {
                    native::removeFile(done.target_);
                }
                done.committed_ = false;
                done.temporary_.clear();
            }
            return failFile(&file, reason);
        }
        return true;
    }

    // Step 5. The new files are in place; a failing folder sync is still
    // reported, since their names may not be on disk.
    bool syncFolders() {
        for (const std::string& folder : folders) {
            if (native::syncDirectory(folder)) continue;
            const std::string reason = native::lastErrorText();
            const auto first = std::find_if(renamed.begin(), renamed.end(), [&](const PendingFile* file) {
                return sameDirectory(file->directory_, folder);
            });
            return fail(*first, folder, reason);
        }
        return true;
    }

    // Step 6, after success or failure alike.
    void tidy() {
        for (const std::string& journal : journals) native::removeFile(journal);
        for (const std::string& backup : backups) {
            if (!backup.empty() && std::find(kept.begin(), kept.end(), backup) == kept.end()) native::removeFile(backup);
        }
        for (PendingFile* file : renamed) {
            if (file->committed_) file->temporary_.clear();
        }
    }
};

PendingFile::~PendingFile() { discard(); }

void PendingFile::discard() {
    file_.close();
    if (!committed_ && !temporary_.empty()) native::removeFile(temporary_);
    temporary_.clear();
}

FileResult PendingFile::open(const std::string& target) {
    discard();
    target_ = target;
    directory_ = directoryOf(target);
    inPlace_ = failed_ = committed_ = false;

    switch (native::kindOf(target)) {
    case native::FileKind::device:
        // A device is no file to replace: write to it as it is.
        file_ = native::openDevice(target);
        inPlace_ = true;
        return file_.isOpen() ? FileResult::ok : FileResult::openFailed;
    case native::FileKind::missing:
    case native::FileKind::regular:
        break;
    default:
        return FileResult::openFailed;
    }
    bool unsupported = false;
    file_ = native::createUnnamed(directory_, unsupported);
    if (!file_.isOpen() && !unsupported) return FileResult::openFailed;
    if (!file_.isOpen()) file_ = createNamedTemporary(directory_, temporary_);
    if (!file_.isOpen()) {
        temporary_.clear();
        return FileResult::openFailed;
    }
    return FileResult::ok;
}

bool PendingFile::write(const void* data, size_t size) {
    if (!file_.isOpen() || failed_) return false;
    if (!file_.write(data, size)) failed_ = true;
    return !failed_;
}

FileResult PendingFile::finish() {
    if (!file_.isOpen()) return FileResult::writeFailed;
    if (!failed_ && !inPlace_ && !file_.sync()) failed_ = true;
    if (!failed_ && inPlace_) {
        // A device has nothing to sync; its close is where a failure can show.
        if (!file_.close()) failed_ = true;
        committed_ = true;
    }
    return failed_ ? FileResult::writeFailed : FileResult::ok;
}

bool PendingFile::nameTemporary() {
    if (!temporary_.empty()) return true;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryName(directory_);
        bool exists = false;
        if (native::nameUnnamed(file_, name, exists)) {
            temporary_ = name;
            return true;
        }
        if (!exists) return false;
    }
    return false;
}

FileResult commitFiles(PendingFile* const files[], size_t count, CommitFailure* failure) {
    GroupCommit commit{files, count, {}, {}, {}, {}, {}, {}};
    if (!commit.checkFinished()) {
        if (failure != nullptr) *failure = commit.failure;
        return FileResult::writeFailed;
    }
    native::HeldSignals hold;
    const bool done = commit.nameTemporaries() && commit.backUpTargets() && commit.writeJournals() &&
                      commit.renameOrRollBack() && commit.syncFolders();
    commit.tidy();
    if (done) return FileResult::ok;
    if (failure != nullptr) *failure = commit.failure;
    return FileResult::writeFailed;
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
    native::File file = native::openRegularForReading(path);
    if (!file.isOpen()) return FileResult::openFailed;
    char chunk[65536];
    while (text.size() < maxBytes) {
        const size_t want = std::min(sizeof chunk, maxBytes - text.size());
        const int64_t n = file.read(chunk, want);
        if (n < 0) return FileResult::readFailed;
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return FileResult::ok;
}

bool isSpecialFile(const std::string& path) {
    const native::FileKind kind = native::kindOf(path);
    return kind != native::FileKind::missing && kind != native::FileKind::regular;
}

bool isToolTemporaryName(const std::string& fileName) {
    const std::string prefix = kTemporaryPrefix;
    const std::string suffix = kTemporarySuffix;
    if (fileName == kJournalName) return true;
    return fileName.size() > prefix.size() + suffix.size() && fileName.compare(0, prefix.size(), prefix) == 0 &&
           fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) == 0;
}

namespace {

// The plain file name a journal entry stands for in directory: the entry
// itself, or (as older journals wrote them) an absolute path whose folder is
// directory. Empty when it names anything else.
std::string entryName(const std::string& entry, const std::string& directory) {
    if (entry.empty() || entry.find('\0') != std::string::npos) return std::string();
    const std::filesystem::path path = pathFromUtf8(entry);
    if (path.has_parent_path()) {
        std::string absoluteDirectory;
        if (!path.is_absolute() || makeAbsolutePath(directory, absoluteDirectory) != 0) return std::string();
        const std::filesystem::path folder = path.lexically_normal().parent_path();
        if (folder != pathFromUtf8(absoluteDirectory).lexically_normal()) return std::string();
    }
    const std::string name = utf8FromPath(path.filename());
    if (name.empty() || name == "." || name == ".." || name == kJournalName) return std::string();
    return name;
}

// Why a file in a shared folder is not to be trusted as the user's own, or empty.
std::string distrust(const native::FileFacts& facts) {
    if (facts.kind != native::FileKind::regular) return "it is not a regular file";
    if (!facts.ownedByUser) return "it is not owned by the user running tabrix";
    if (!facts.ownerOnly) return "it is readable or writable by others (mode is not 0600)";
    return std::string();
}

} // namespace

bool recoverDirectory(const std::string& directory, std::string* journalPath, std::string* why) {
    const std::string journal = journalOf(directory);
    auto refuse = [&](const std::string& reason) {
        if (journalPath != nullptr) *journalPath = journal;
        if (why != nullptr) *why = reason;
        return false;
    };
    const native::FileFacts facts = native::factsOf(journal);
    if (facts.kind != native::FileKind::missing) {
        std::string reason = distrust(facts);
        if (!reason.empty()) return refuse(reason);
        if (facts.size > kJournalLimit) {
            return refuse("it is larger than " + std::to_string(kJournalLimit) + " bytes");
        }
        std::string text;
        if (readRegularFile(journal, text, kJournalLimit + 1) != FileResult::ok) {
            return refuse("it cannot be read: " + native::lastErrorText());
        }
        if (text.size() > kJournalLimit) {
            return refuse("it grew past " + std::to_string(kJournalLimit) + " bytes while it was read");
        }
        // Pairs of NUL-terminated names; a torn last pair is ignored. Every pair
        // is checked before any is replayed.
        std::vector<std::pair<std::string, std::string>> moves;
        for (size_t at = 0;;) {
            const size_t end1 = text.find('\0', at);
            if (end1 == std::string::npos) break;
            const size_t end2 = text.find('\0', end1 + 1);
            if (end2 == std::string::npos) break;
            const std::string from = text.substr(at, end1 - at);
            const std::string to = text.substr(end1 + 1, end2 - end1 - 1);
            const std::string temporary = entryName(from, directory);
            const std::string target = entryName(to, directory);
            if (temporary.empty() || !isToolTemporaryName(temporary)) {
                return refuse("it names '" + from + "', which is not a temporary of tabrix in " + directory);
            }
            if (target.empty() || isToolTemporaryName(target)) {
                return refuse("it names '" + to + "', which is not a file of " + directory);
            }
            const native::FileFacts pending = native::factsOf(directory + "/" + temporary);
            if (pending.kind != native::FileKind::missing && !distrust(pending).empty()) {
                return refuse("its temporary '" + temporary + "' cannot be trusted: " + distrust(pending));
            }
            moves.emplace_back(directory + "/" + temporary, directory + "/" + target);
            at = end2 + 1;
        }
        for (const auto& [temporary, target] : moves) {
            if (native::factsOf(temporary).kind == native::FileKind::missing) continue; // renamed before the kill
            if (!native::replaceByRename(temporary, target)) {
                return refuse("its commit cannot be finished: " + target + ": " + native::lastErrorText());
            }
        }
        if (!native::syncDirectory(directory)) {
            return refuse("its commit cannot be made durable: " + native::lastErrorText());
        }
        native::removeFile(journal);
    }
    // Only the user's own temporaries are removed: in a shared folder the
    // others' are none of this tool's business.
    for (const std::string& name : native::directoryEntries(directory)) {
        if (name == kJournalName || !isToolTemporaryName(name)) continue;
        const std::string path = directory + "/" + name;
        if (distrust(native::factsOf(path)).empty()) native::removeFile(path);
    }
    return true;
}

OutputLocks::OutputLocks(const std::vector<std::string>& outputPaths, unsigned waitSeconds,
                         std::ostream* notices) {
    std::vector<std::pair<native::FileIdentity, std::string>> directories;
    for (const std::string& path : outputPaths) {
        if (native::kindOf(path) == native::FileKind::device) continue;
        const std::string directory = directoryOf(path);
        native::FileIdentity identity;
        // A missing directory, or a file in its place: the write fails on its own.
        if (native::kindOf(directory) == native::FileKind::directory && native::identityOf(directory, true, identity)) {
            directories.emplace_back(identity, directory);
        }
    }
    std::sort(directories.begin(), directories.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < directories.size() && status_ == STATUS_OK; ++i) {
        if (i > 0 && directories[i].first == directories[i - 1].first) continue;
        lockAndRecover(directories[i].second, directories[i].first, waitSeconds, notices);
    }
}

void OutputLocks::lockAndRecover(const std::string& directory, const native::FileIdentity& identity,
                                 unsigned waitSeconds, std::ostream* notices) {
    native::File lock = native::openLock(directory, identity);
    native::LockTry attempt = lock.isOpen() ? native::tryLock(lock) : native::LockTry::failed;
    if (attempt == native::LockTry::busy) {
        if (notices != nullptr) *notices << "waiting for the lock on " << directory << "\n" << std::flush;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
        while (attempt == native::LockTry::busy && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            attempt = native::tryLock(lock);
        }
    }
    if (attempt != native::LockTry::locked) {
        status_ = attempt == native::LockTry::busy ? STATUS_LOCK_TIMEOUT : STATUS_LOCK_FAILED;
        failedPath_ = directory;
        reason_ = attempt == native::LockTry::busy
                      ? "another run still holds it after " + std::to_string(waitSeconds) + " s"
                      : native::lastErrorText();
        return;
    }
    locks_.push_back(std::move(lock));
    if (!recoverDirectory(directory, &failedPath_, &reason_)) status_ = STATUS_UNSAFE_JOURNAL;
}

OutputLocks::~OutputLocks() = default; // closing releases the locks

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

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>

#include "base/profile_reader.h"
#include "base/text_path.h"

namespace {

constexpr const char* kTemporaryPrefix = ".tabrix-";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr const char* kJournalName = ".tabrix-commit";

std::string directoryOf(const std::string& path) {
    std::string parent = utf8FromPath(pathFromUtf8(path).parent_path());
    return parent.empty() ? std::string(".") : parent;
}

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

// The journal: temporary and target of each file, NUL-terminated, absolute.
bool writeJournal(const std::string& directory, const std::vector<std::pair<std::string, std::string>>& moves) {
    std::string text;
    for (const auto& [temporary, target] : moves) {
        for (const std::string* path : {&temporary, &target}) {
            std::string full;
            (void)makeAbsolutePath(*path, full); // a path that cannot be made absolute stays as given
            text += full;
            text.push_back('\0');
        }
    }
    std::string name;
    native::File file = createNamedTemporary(directory, name);
    if (!file.isOpen()) return false;
    const bool written = file.write(text.data(), text.size()) && file.sync();
    const bool closed = file.close();
    if (!written || !closed || !native::replaceByRename(name, directory + "/" + kJournalName)) {
        native::removeFile(name);
        return false;
    }
    return native::syncDirectory(directory);
}

} // namespace

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
        if (file.failed_ || (!file.file_.isOpen() && !file.committed_)) return fail(i);
        if (!file.inPlace_) renamed.push_back(&file);
    }

    native::HeldSignals hold;
    std::vector<std::pair<std::string, std::string>> moves;
    std::vector<std::string> backups(renamed.size());
    for (size_t i = 0; i < renamed.size(); ++i) {
        PendingFile& file = *renamed[i];
        if (!file.nameTemporary()) {
            return fail(indexOf(&file));
        }
        // Synced already; the temporary is complete under its name.
        if (!file.file_.close()) {
            return fail(indexOf(&file));
        }
        moves.emplace_back(file.temporary_, file.target_);
    }
    for (size_t i = 0; i < renamed.size(); ++i) {
        const PendingFile& file = *renamed[i];
        if (native::kindOf(file.target_, false) == native::FileKind::regular) {
            std::string backup = temporaryName(file.directory_);
            if (native::linkFile(file.target_, backup)) backups[i] = std::move(backup);
        }
    }
    auto dropBackups = [&] {
        for (const std::string& backup : backups) {
            if (!backup.empty()) native::removeFile(backup);
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
        if (native::replaceByRename(file.temporary_, file.target_)) {
            file.committed_ = true;
            continue;
        }
        // Undo the renames made so far: each old file comes back from its backup.
        for (size_t j = 0; j < i; ++j) {
            PendingFile& done = *renamed[j];
            if (!backups[j].empty()) {
                native::replaceByRename(backups[j], done.target_);
                backups[j].clear();
            } else {
                native::removeFile(done.target_);
            }
            done.committed_ = false;
            done.temporary_.clear();
        }
        if (journaled) native::removeFile(journal);
        dropBackups();
        return fail(indexOf(&file));
    }

    std::vector<std::string> directories;
    for (PendingFile* file : renamed) directories.push_back(file->directory_);
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    bool synced = true;
    for (const std::string& directory : directories) synced = native::syncDirectory(directory) && synced;
    if (journaled) native::removeFile(journal);
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
            if (native::kindOf(temporary, false) != native::FileKind::missing) {
                native::replaceByRename(temporary, target);
            }
            at = end2 + 1;
        }
        native::syncDirectory(directory);
        native::removeFile(directory + "/" + kJournalName);
    }
    for (const std::string& name : native::directoryEntries(directory)) {
        if (name != kJournalName && isToolTemporaryName(name)) native::removeFile(directory + "/" + name);
    }
}

OutputLocks::OutputLocks(const std::vector<std::string>& outputPaths) {
    std::vector<std::pair<native::FileIdentity, std::string>> directories;
    for (const std::string& path : outputPaths) {
        if (native::kindOf(path) == native::FileKind::device) continue;
        const std::string directory = directoryOf(path);
        native::FileIdentity identity;
        // A missing directory: the write will fail on its own.
        if (native::identityOf(directory, true, identity)) directories.emplace_back(identity, directory);
    }
    std::sort(directories.begin(), directories.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < directories.size(); ++i) {
        if (i > 0 && directories[i].first == directories[i - 1].first) continue;
        native::File lock = native::lockDirectory(directories[i].second, directories[i].first);
        if (!lock.isOpen()) continue;
        locks_.push_back(std::move(lock));
        recoverDirectory(directories[i].second);
    }
}

OutputLocks::~OutputLocks() = default; // closing releases the locks

// The secret-file writer on its own: modes, links, devices, special files, group
// commits that roll back, recovery after a kill, and the output locks.
#include "base/secret_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/status.h"
#include "support/support.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

#ifndef _WIN32
mode_t modeOf(const fs::path& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}
#endif

// A file that others may read, as a user's own files often are.
[[maybe_unused]] void writeReadable(const fs::path& path, const std::string& content) {
    writeFile(path, content);
#ifndef _WIN32
    ::chmod(path.c_str(), 0644);
#endif
}

size_t toolFileCount(const fs::path& dir) {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        count += isToolTemporaryName(entry.path().filename().string()) ? 1 : 0;
    }
    return count;
}

} // namespace

#ifndef _WIN32
TEST(SecretFile, ReplacesPrivatelyAndNeverWritesThroughALink) {
    TempDir dir;
    writeFile(dir / "victim", "victim");
    writeReadable(dir / "old", "old");
    fs::create_symlink("victim", dir / "soft");
    fs::create_hard_link(dir / "victim", dir / "hard");
    fs::create_symlink("nowhere", dir / "dangling");
    for (const mode_t mask : {mode_t{022}, mode_t{0}, mode_t{0277}}) {
        const mode_t saved = ::umask(mask);
        for (const char* name : {"new", "old", "soft", "hard", "dangling"}) {
            SCOPED_TRACE(std::string(name) + " umask " + std::to_string(mask));
            ASSERT_EQ(replaceFile((dir / name).string(), "fresh", 5), FileResult::ok);
            EXPECT_EQ(readFile(dir / name), "fresh");
            EXPECT_FALSE(fs::is_symlink(dir / name));
            EXPECT_EQ(modeOf(dir / name), 0600u);
        }
        ::umask(saved);
    }
    EXPECT_EQ(readFile(dir / "victim"), "victim");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(toolFileCount(dir.path()), 0u);
}
#else
POSIX_ONLY_TEST(SecretFile, ReplacesPrivatelyAndNeverWritesThroughALink, "file modes under umask and symbolic links; the DACL case below covers Windows")
#endif

#ifndef _WIN32
TEST(SecretFile, DevicesAreWrittenInPlaceAndOtherSpecialFilesRefused) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    const struct {
        std::string target;
        FileResult result;
    } cases[] = {
        {"/dev/null", FileResult::ok},
        {"/dev/full", FileResult::writeFailed},
        {(dir / "fifo").string(), FileResult::openFailed},
        {(dir / "folder").string(), FileResult::openFailed},
        {(dir / "missing/file").string(), FileResult::openFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceFile(c.target, "data", 4), c.result) << c.target;
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
}
#else
POSIX_ONLY_TEST(SecretFile, DevicesAreWrittenInPlaceAndOtherSpecialFilesRefused, "/dev/full and FIFOs")
#endif

// When a later rename of a group fails, the targets renamed before it get their
// old files back, and no temporary or backup stays behind.
TEST(SecretFile, AGroupChangesAllItsFilesOrNone) {
    TempDir dir;
    writeFile(dir / "a", "old a");
    writeFile(dir / "c", "old c");
    PendingFile files[3];
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(files[i].open((dir / names[i]).string()), FileResult::ok);
        files[i].write("new", 3);
        ASSERT_EQ(files[i].finish(), FileResult::ok);
    }
    // "b" turns into a folder (with content) before the commit: its rename fails.
    fs::create_directories(dir / "b/inside");
    PendingFile* group[] = {&files[0], &files[1], &files[2]};
    CommitFailure failure;
    EXPECT_EQ(commitFiles(group, 3, &failure), FileResult::writeFailed);
    EXPECT_EQ(failure.file, 1u);
    EXPECT_EQ(failure.path, (dir / "b").string());
    EXPECT_NE(failure.reason.find("cannot be backed up"), std::string::npos) << failure.reason;
    EXPECT_EQ(readFile(dir / "a"), "old a");
    EXPECT_EQ(readFile(dir / "c"), "old c");
    for (PendingFile& file : files) file.discard();
    EXPECT_EQ(toolFileCount(dir.path()), 0u);
    EXPECT_FALSE(fs::exists(dir / ".tabrix-commit"));

    // A group of new targets that fails leaves none of them.
    PendingFile fresh[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(fresh[i].open((dir / (i == 0 ? "y" : "z")).string()), FileResult::ok);
        ASSERT_EQ(fresh[i].finish(), FileResult::ok);
    }
    fs::create_directories(dir / "z/inside");
    PendingFile* pair[] = {&fresh[0], &fresh[1]};
    EXPECT_EQ(commitFiles(pair, 2), FileResult::writeFailed);
    EXPECT_FALSE(fs::exists(dir / "y"));
}

TEST(SecretFile, ReadsOnlyRegularFiles) {
    TempDir dir;
    writeFile(dir / "file", "0123456789");
    struct Case {
        std::string path;
        size_t limit;
        FileResult result;
        std::string text;
    };
    std::vector<Case> cases = {
        {(dir / "file").string(), static_cast<size_t>(-1), FileResult::ok, "0123456789"},
        {(dir / "file").string(), 4, FileResult::ok, "0123"},
        {dir.path().string(), static_cast<size_t>(-1), FileResult::openFailed, ""},
        {(dir / "missing").string(), static_cast<size_t>(-1), FileResult::openFailed, ""},
    };
#ifdef _WIN32
    cases.push_back({"NUL", static_cast<size_t>(-1), FileResult::openFailed, ""});
#else
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    cases.push_back({(dir / "fifo").string(), static_cast<size_t>(-1), FileResult::openFailed, ""});
    cases.push_back({"/dev/zero", static_cast<size_t>(-1), FileResult::openFailed, ""});
#endif
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(readRegularFile(c.path, text, c.limit), c.result) << c.path;
        EXPECT_EQ(text, c.text) << c.path;
    }
}

namespace {

// A file as the writer leaves its temporaries: private to the user.
void writePrivate(const fs::path& path, const std::string& content) {
    writeFile(path, content);
#ifndef _WIN32
    ::chmod(path.c_str(), 0600);
#endif
}

// A journal as the writer leaves it: private to the user.
void writeJournal(const fs::path& dir, const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string journal;
    for (const auto& [from, to] : pairs) journal += from + '\0' + to + '\0';
    writeFile(dir / ".tabrix-commit", journal);
#ifndef _WIN32
    ::chmod((dir / ".tabrix-commit").c_str(), 0600);
#endif
}

} // namespace

// What a run killed half-way through a group's renames leaves: its journal,
// temporaries already renamed and some not. Recovery finishes the commit and
// removes every temporary; without a journal it only removes temporaries.
// Journals name plain file names; older ones named absolute paths in the folder.
TEST(SecretFile, RecoveryFinishesAnInterruptedCommit) {
    TempDir dir;
    const std::string d = dir.path().string();
    for (const bool absolute : {false, true}) {
        SCOPED_TRACE(absolute ? "absolute paths" : "plain names");
        const std::string prefix = absolute ? d + "/" : "";
        writeFile(dir / "a", "new a"); // renamed before the kill
        writeFile(dir / "b", "old b");
        writePrivate(dir / ".tabrix-000000000002.tmp", "new b");
        writePrivate(dir / ".tabrix-000000000009.tmp", "stale");
        writeJournal(dir.path(), {{prefix + ".tabrix-000000000001.tmp", prefix + "a"},
                                  {prefix + ".tabrix-000000000002.tmp", prefix + "b"}});
        EXPECT_TRUE(recoverDirectory(d));
        EXPECT_EQ(readFile(dir / "a"), "new a");
        EXPECT_EQ(readFile(dir / "b"), "new b");
        EXPECT_EQ(toolFileCount(dir.path()), 0u);
    }
    writePrivate(dir / ".tabrix-000000000003.tmp", "not committed");
    EXPECT_TRUE(recoverDirectory(d));
    EXPECT_EQ(readFile(dir / "b"), "new b");
    EXPECT_EQ(toolFileCount(dir.path()), 0u);
}

#ifndef _WIN32
// Stale temporaries are removed only when they are plainly the user's own: one
// that others may read or write, or one of another user (planted as root), is
// none of the tool's, and stays.
TEST(SecretFile, RecoveryRemovesOnlyTheUsersOwnTemporaries) {
    TempDir dir;
    writePrivate(dir / ".tabrix-000000000001.tmp", "ours");
    writeReadable(dir / ".tabrix-000000000002.tmp", "readable by others");
    const bool root = ::geteuid() == 0;
    if (root) {
        writePrivate(dir / ".tabrix-000000000003.tmp", "another user's");
        ASSERT_EQ(::chown((dir / ".tabrix-000000000003.tmp").c_str(), 65534, 65534), 0);
    }
    EXPECT_TRUE(recoverDirectory(dir.path().string()));
    EXPECT_FALSE(fs::exists(dir / ".tabrix-000000000001.tmp"));
    EXPECT_EQ(readFile(dir / ".tabrix-000000000002.tmp"), "readable by others");
    if (root) {
        EXPECT_EQ(readFile(dir / ".tabrix-000000000003.tmp"), "another user's");
    }
}
#else
POSIX_ONLY_TEST(SecretFile, RecoveryRemovesOnlyTheUsersOwnTemporaries, "file modes and owners")
#endif

// A journal that another user could have planted in a shared folder, or that
// is not plainly the tool's own, is not replayed: nothing is renamed, no
// temporary is removed, and recovery says which journal and why.
TEST(SecretFile, RecoveryReplaysOnlyItsOwnJournal) {
    TempDir outside;
    TempDir dir;
    const std::string d = dir.path().string();
    const std::string victim = (outside / "secret.txt").string();
    const std::string planted = (outside / "evil").string();
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> pairs;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a file elsewhere into the folder", {{victim, d + "/loot"}}, "is not a temporary of tabrix"},
        {"a file elsewhere over a target", {{planted, d + "/a"}}, "is not a temporary of tabrix"},
        {"a temporary over a file elsewhere", {{".tabrix-000000000001.tmp", victim}}, "is not a file of"},
        {"a relative way out", {{"../.tabrix-000000000001.tmp", "a"}}, "is not a temporary of tabrix"},
        {"a temporary over a temporary", {{".tabrix-000000000001.tmp", ".tabrix-000000000002.tmp"}}, "is not a file of"},
        {"a file of the folder that is no temporary", {{"b", "a"}}, "is not a temporary of tabrix"},
        {"the journal itself", {{".tabrix-000000000001.tmp", ".tabrix-commit"}}, "is not a file of"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(outside / "secret.txt", "secret");
        writeFile(outside / "evil", "evil");
        writeFile(dir / "a", "old a");
        writeFile(dir / "b", "old b");
        writePrivate(dir / ".tabrix-000000000001.tmp", "pending");
        writeJournal(dir.path(), c.pairs);
        std::string journal;
        std::string reason;
        EXPECT_FALSE(recoverDirectory(d, &journal, &reason));
        EXPECT_EQ(journal, d + "/.tabrix-commit");
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
        EXPECT_EQ(readFile(outside / "evil"), "evil");
        EXPECT_EQ(readFile(dir / "a"), "old a");
        EXPECT_FALSE(fs::exists(dir / "loot"));
        EXPECT_TRUE(fs::exists(dir / ".tabrix-000000000001.tmp"));
        fs::remove(dir / ".tabrix-commit");
    }
}

#ifndef _WIN32
// The journal file itself: only a private regular file of the user's own, of a
// journal's size, is read at all. Each case fails at once, whatever its size.
TEST(SecretFile, RecoveryRefusesJournalsThatAreNotPrivateRegularFiles) {
    TempDir dir;
    const fs::path journal = dir / ".tabrix-commit";
    const std::string good = std::string(".tabrix-000000000001.tmp") + '\0' + "a" + '\0';
    struct Case {
        const char* name;
        void (*plant)(const fs::path& journal, const std::string& good);
        const char* reason;
    };
    const Case cases[] = {
        {"readable by others",
         [](const fs::path& j, const std::string& text) {
             writeReadable(j, text);
         },
         "mode is not 0600"},
        {"a symbolic link to a private journal",
         [](const fs::path& j, const std::string& text) {
             writeFile(j.parent_path() / "real", text);
             ::chmod((j.parent_path() / "real").c_str(), 0600);
             fs::create_symlink("real", j);
         },
         "not a regular file"},
        {"a folder", [](const fs::path& j, const std::string&) { fs::create_directories(j / "inside"); },
         "not a regular file"},
        {"a FIFO", [](const fs::path& j, const std::string&) { ::mkfifo(j.c_str(), 0600); }, "not a regular file"},
        {"2 GiB, sparse",
         [](const fs::path& j, const std::string& text) {
             writeFile(j, text);
             ::chmod(j.c_str(), 0600);
             fs::resize_file(j, uintmax_t{2} << 30);
         },
         "larger than 65536 bytes"},
        {"owned by another user",
         [](const fs::path& j, const std::string& text) {
             writeFile(j, text);
             ::chmod(j.c_str(), 0600);
             if (::geteuid() == 0) (void)!::chown(j.c_str(), 65534, 65534);
         },
         "not owned by the user"},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) == "owned by another user" && ::geteuid() != 0) continue; // needs root to plant
        SCOPED_TRACE(c.name);
        writeFile(dir / "a", "old a");
        writeFile(dir / ".tabrix-000000000001.tmp", "pending");
        c.plant(journal, good);
        std::string reason;
        EXPECT_FALSE(recoverDirectory(dir.path().string(), nullptr, &reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(readFile(dir / "a"), "old a");
        EXPECT_TRUE(fs::exists(dir / ".tabrix-000000000001.tmp"));
        fs::remove_all(journal);
        fs::remove(dir / "real");
    }
}
#else
POSIX_ONLY_TEST(SecretFile, RecoveryRefusesJournalsThatAreNotPrivateRegularFiles, "file modes, links, FIFOs and owners")
#endif

// Another process holding a folder's lock: OutputLocks says at once that it
// waits, gives up after the bound, and locks nothing. flock and LockFileEx
// locks belong to the open file, so a second holder in this process waits too.
TEST(SecretFile, OutputLocksWaitABoundedTime) {
    TempDir dir;
    const std::string target = (dir / "out.h").string();
    const OutputLocks held({target});
    ASSERT_EQ(held.status(), 0);
    for (const unsigned wait : {0u, 1u}) {
        std::ostringstream notices;
        const auto start = std::chrono::steady_clock::now();
        const OutputLocks waiting({target}, wait, &notices);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(waiting.status(), STATUS_LOCK_TIMEOUT);
        EXPECT_EQ(waiting.failedPath(), dir.path().string());
        EXPECT_EQ(notices.str(), "waiting for the lock on " + dir.path().string() + "\n");
        EXPECT_GE(waited, std::chrono::seconds(wait));
    }
}

#ifndef _WIN32
// A second holder of the same output directory waits until the first lets go.
TEST(SecretFile, OutputLocksSerialiseTwoProcesses) {
    TempDir dir;
    const std::string target = (dir / "out.h").string();
    const std::string marker = (dir / "released").string();
    // Fork first: a child holding a copy of the locked descriptor would share the lock.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        char byte;
        ::close(ready[1]);
        if (::read(ready[0], &byte, 1) != 1) _exit(2);
        const OutputLocks waiting({target});
        // Only reached once the parent has let go, after writing the marker.
        _exit(::access(marker.c_str(), F_OK) == 0 ? 0 : 1);
    }
    ::close(ready[0]);
    {
        const OutputLocks held({target, (dir / "other.h").string()});
        ASSERT_EQ(::write(ready[1], "x", 1), 1);
        ::usleep(200 * 1000);
        writeFile(marker, "");
    }
    ::close(ready[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#else
POSIX_ONLY_TEST(SecretFile, OutputLocksSerialiseTwoProcesses, "fork; the tool-level concurrent-run test covers Windows")
#endif

#ifdef _WIN32
// Every file the writer creates carries a protected DACL with one entry: full
// access for the current user, nothing inherited from the folder. Wine keeps no
// DACL of its own; it shows one made from the Unix mode, with an entry for
// LocalSystem beside the user's, and no other.
TEST(SecretFile, WindowsFilesAreForTheCurrentUserOnly) {
    TempDir dir;
    ASSERT_EQ(replaceFile((dir / "secret.h").string(), "fresh", 5), FileResult::ok);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW((dir / "secret.h").wstring().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), size, &size));
    CloseHandle(token);
    const PSID self = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    int userEntries = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        const auto* header = static_cast<ACE_HEADER*>(ace);
        ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE) << "entry " << i;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (EqualSid(sid, self)) {
            ++userEntries;
            continue;
        }
        EXPECT_TRUE(underWine && IsWellKnownSid(sid, WinLocalSystemSid)) << "entry " << i << " is for another account";
    }
    EXPECT_EQ(userEntries, 1);
    if (!underWine) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "inherits entries from its folder";
        EXPECT_EQ(dacl->AceCount, 1);
    }
    LocalFree(descriptor);
}

// The old file stays whole when the replacing rename cannot happen: a
// read-only target, or a target another handle holds open without
// FILE_SHARE_DELETE (a sharing violation). In a group, the targets renamed
// before the failing one get their old files back.
TEST(SecretFile, WindowsReplaceKeepsTheOldFileWhenTheRenameIsRefused) {
    TempDir dir;
    writeFile(dir / "readonly.h", "old readonly");
    ASSERT_TRUE(SetFileAttributesW((dir / "readonly.h").wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(replaceFile((dir / "readonly.h").string(), "new", 3), FileResult::writeFailed);
    EXPECT_EQ(readFile(dir / "readonly.h"), "old readonly");
    SetFileAttributesW((dir / "readonly.h").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);

    writeFile(dir / "a.h", "old a");
    writeFile(dir / "held.h", "old held");
    const HANDLE holder = CreateFileW((dir / "held.h").wstring().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(replaceFile((dir / "held.h").string(), "new", 3), FileResult::writeFailed);
    PendingFile files[2];
    const char* names[] = {"a.h", "held.h"};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(files[i].open((dir / names[i]).string()), FileResult::ok);
        files[i].write("new", 3);
        ASSERT_EQ(files[i].finish(), FileResult::ok);
    }
    PendingFile* group[] = {&files[0], &files[1]};
    CommitFailure failure;
    EXPECT_EQ(commitFiles(group, 2, &failure), FileResult::writeFailed);
    EXPECT_EQ(failure.file, 1u);
    CloseHandle(holder);
    EXPECT_EQ(readFile(dir / "a.h"), "old a");
    EXPECT_EQ(readFile(dir / "held.h"), "old held");
    for (PendingFile& file : files) file.discard();
    EXPECT_EQ(toolFileCount(dir.path()), 0u);
    EXPECT_FALSE(fs::exists(dir / ".tabrix-commit"));
}
#endif

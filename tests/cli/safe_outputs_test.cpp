// Files that survive faults, end to end: kills at any point, injected write,
// sync, close and rename failures, concurrent runs, links, special files, one
// file in two roles, private modes, exit statuses and the use flags.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/secret_file.h"
#include "cli_fixture.h"
#include "coding/codings.h"
#include "support/reference_crypto.h"
#include "wbcipher/white_box_aes_cipher.h"

using clitest::failFrame;
using clitest::kHeaders;
using clitest::ToolFolder;
using testsupport::readFile;
using testsupport::RunOptions;
using testsupport::writeFile;

namespace fs = std::filesystem;

namespace {

const char* const kSeedA = "0123456789ABCDEF0123456789ABCDEF";
const char* const kSeedB = "FEDCBA9876543210FEDCBA9876543210";

// The coding files of these tests live in their own folder, so that a fault
// can be aimed at them.
const std::map<std::string, std::string> kCodingPaths = {{"encryptIOC", "codes/enc.ioc"},
                                                         {"decryptIOC", "codes/dec.ioc"},
                                                         {"encryptCBCIOCData", "codes/enc.cbc"},
                                                         {"decryptCBCIOCData", "codes/dec.cbc"}};

// The files of one direction, in the order they are compared.
const std::vector<std::vector<std::string>> kGroups = {
    {"out/round.h", "out/xor.h", "out/final.h"},
    {"out/invround.h", "out/invxor.h", "out/invfirst.h"},
    {"codes/enc.ioc", "codes/enc.cbc"},
    {"codes/dec.ioc", "codes/dec.cbc"},
};

std::map<std::string, std::string> withSeed(const char* seed, std::map<std::string, std::string> changes = {}) {
    changes.insert(kCodingPaths.begin(), kCodingPaths.end());
    changes["RANDOM/seed"] = seed;
    return changes;
}

// The bytes of every file of kGroups (empty for a missing one).
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const ToolFolder& folder) {
    Snapshot files;
    for (const auto& group : kGroups) {
        for (const auto& name : group) files[name] = readFile(folder / name);
    }
    return files;
}

[[maybe_unused]] void restore(const ToolFolder& folder, const Snapshot& files) {
    for (const auto& [name, bytes] : files) writeFile(folder / name, bytes);
}

// Which of the two snapshots each direction's files come from: "old", "new", or
// a description of the mix.
std::string classify(const Snapshot& now, const Snapshot& old, const Snapshot& fresh,
                     const std::vector<std::string>& group) {
    bool allOld = true;
    bool allNew = true;
    std::string mix;
    for (const auto& name : group) {
        const bool isOld = now.at(name) == old.at(name);
        const bool isNew = now.at(name) == fresh.at(name);
        allOld = allOld && isOld;
        allNew = allNew && isNew;
        mix += name + (isOld ? "=old " : isNew ? "=new " : "=other ");
    }
    return allOld ? "old" : allNew ? "new" : mix;
}

// A run killed (SIGKILL, through the fault library) at the rename whose target
// contains match, as a power cut would stop it there.
[[maybe_unused]] RunOptions killedAtRename(const std::string& match) {
    RunOptions kill;
    kill.faults = true;
    kill.environment = {{"TABRIX_FAIL_CALL", "rename"}, {"TABRIX_FAIL_MATCH", match}, {"TABRIX_FAIL_KILL", "1"}};
    return kill;
}

[[maybe_unused]] std::vector<std::string> toolFiles(const ToolFolder& folder) {
    std::vector<std::string> found;
    for (const char* dir : {"out", "codes"}) {
        if (!fs::is_directory(folder / dir)) continue;
        for (const auto& entry : fs::directory_iterator(folder / dir)) {
            if (isToolTemporaryName(entry.path().filename().string())) found.push_back(entry.path().string());
        }
    }
    return found;
}

// The headers compute AES-128 under the script's keys (against OpenSSL).
void expectHeadersComputeAes(const ToolFolder& folder) {
    auto storage = std::make_unique<TableStorage>();
    ASSERT_TRUE(clitest::loadHeaders(folder, *storage));
    WhiteBoxAesCipher cipher;
    cipher.SetTables(storage.get());
    const std::vector<uint8_t> key = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(16, 3);
    const std::vector<uint8_t> expected = testsupport::referenceAes(true, key, testsupport::kEcb, plain);
    uint8_t out[16];
    ASSERT_EQ(cipher.EncryptBlock(plain.data(), out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), expected);
    ASSERT_EQ(cipher.DecryptBlock(expected.data(), out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), plain);
}

// Each direction's coding files hold a CBC triple: in(u) ^ out(v) = data(u ^ v)
// for encryption, data(u) ^ out(v) = in(u ^ v) for decryption.
void expectCbcRelation(const ToolFolder& folder) {
    for (const bool encryption : {true, false}) {
        const std::string ioc = encryption ? "codes/enc.ioc" : "codes/dec.ioc";
        const std::string cbc = encryption ? "codes/enc.cbc" : "codes/dec.cbc";
        CodingSet input{}, output{}, data{};
        ASSERT_TRUE(clitest::loadCodingSet(folder / ioc, 0, input));
        ASSERT_TRUE(clitest::loadCodingSet(folder / ioc, sizeof(CodingSet), output));
        ASSERT_TRUE(clitest::loadCodingSet(folder / cbc, 0, data));
        const CodingSet& first = encryption ? input : data;
        const CodingSet& third = encryption ? data : input;
        for (size_t k = 0; k < 16; ++k) {
            for (unsigned u = 0; u < 256; u += 5) {
                for (unsigned v = 0; v < 256; ++v) {
                    ASSERT_EQ(first.records[k].forward[u] ^ output.records[k].forward[v], third.records[k].forward[u ^ v])
                        << ioc << " record " << k;
                }
            }
        }
    }
}

// A folder with a complete old set (seed A) and the bytes the new set (seed B)
// will have.
struct OldAndNew {
    ToolFolder folder;
    Snapshot old;
    Snapshot fresh;

    OldAndNew() {
        fs::create_directory(folder / "codes");
        folder.writeScript("a.cfg", withSeed(kSeedA));
        folder.writeScript("b.cfg", withSeed(kSeedB));
        EXPECT_EQ(folder.run({"/g:b.cfg", "/cbcioc:b.cfg"}).status, 0);
        fresh = snapshot(folder);
        expectHeadersComputeAes(folder);
        expectCbcRelation(folder);
        EXPECT_EQ(folder.run({"/g:a.cfg", "/cbcioc:a.cfg"}).status, 0);
        old = snapshot(folder);
        expectHeadersComputeAes(folder);
        expectCbcRelation(folder);
        for (const auto& [name, bytes] : old) EXPECT_NE(bytes, fresh.at(name)) << name;
    }
};

} // namespace

#ifndef _WIN32
// Killed at any point, a run leaves each direction's files all old or all new.
// A kill in the middle of a direction's renames leaves a commit journal, which
// the next run that writes into that folder finishes: here a run that writes
// only files of its own beside them.
TEST(SafeOutputs, KilledAnywhereEachDirectionIsOldOrNew) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    const std::vector<std::string> args = {"/g:b.cfg", "/cbcioc:b.cfg"};

    // How long a whole run takes here, to spread the kills over it.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(folder.run(args).status, 0);
    const auto runTime = std::chrono::steady_clock::now() - start;
    restore(folder, sets.old);
    folder.writeScript("probe.cfg", withSeed(kSeedA, {{"encryptIOC", "out/probe.ioc"}, {"decryptIOC", "codes/probe.ioc"}}));

    constexpr int kKills = 60;
    int journals = 0;
    int completed = 0;
    for (int i = 0; i < kKills; ++i) {
        const int pid = testsupport::startTool(args, folder.path());
        std::this_thread::sleep_for(runTime * i / (kKills - 8)); // the last few let it finish
        kill(pid, SIGKILL);
        if (testsupport::waitTool(pid) == 0) ++completed;

        const bool journaled = fs::exists(folder / "out/.tabrix-commit") || fs::exists(folder / "codes/.tabrix-commit");
        if (!journaled) {
            // Without a journal nothing is half-renamed: the files are already consistent.
            const Snapshot now = snapshot(folder);
            for (const auto& group : kGroups) {
                const std::string state = classify(now, sets.old, sets.fresh, group);
                EXPECT_TRUE(state == "old" || state == "new") << "kill " << i << ": " << state;
            }
        }
        journals += journaled ? 1 : 0;
        ASSERT_EQ(folder.run({"/ecbioc:probe.cfg"}).status, 0);
        fs::remove(folder / "out/probe.ioc");
        fs::remove(folder / "codes/probe.ioc");
        const Snapshot now = snapshot(folder);
        for (const auto& group : kGroups) {
            const std::string state = classify(now, sets.old, sets.fresh, group);
            EXPECT_TRUE(state == "old" || state == "new") << "kill " << i << ": " << state;
        }
        EXPECT_EQ(toolFiles(folder), std::vector<std::string>{}) << "kill " << i;
        restore(folder, sets.old);
    }
    RecordProperty("kills", kKills);
    RecordProperty("completed", completed);
    RecordProperty("journals", journals);
    EXPECT_LT(completed, kKills); // the kills did land inside runs
}
#else
POSIX_ONLY_TEST(SafeOutputs, KilledAnywhereEachDirectionIsOldOrNew, "SIGKILL crash loop")
#endif

#ifndef _WIN32
// A failing write, sync, close or rename keeps every old file of the direction
// and gives the failure's status; no temporary stays behind.
TEST(SafeOutputs, InjectedFailuresKeepTheOldFiles) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    const std::vector<std::string> encHeaders = kGroups[0], decHeaders = kGroups[1];
    const std::vector<std::string> encCodes = kGroups[2], decCodes = kGroups[3];
    // Each case: the fault, the command, its status and message, and what each
    // direction's files must then be ("changed" = no longer the old bytes).
    const struct {
        const char* call;
        const char* match;
        const char* skip;
        const char* command;
        int status;
        const char* message;
        std::vector<std::pair<std::vector<std::string>, std::string>> expected;
        std::vector<std::pair<std::string, std::string>> more = {}; // further fault settings
    } cases[] = {
        {"fsync", "/out/", "0", "/g:b.cfg", 255,
         "--- Saving out/round.h header file .......... fail\nFail to write out/round.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"fsync", "/out/", "2", "/g:b.cfg", 255, " fail\nFail to write out/final.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"close", "/out/", "1", "/g:b.cfg", 255, " success\nFail to write out/xor.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"rename", "out/round.h", "0", "/g:b.cfg", 255, "Fail to write out/round.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"rename", "out/final.h", "0", "/g:b.cfg", 255, "Fail to write out/final.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"rename", "out/invfirst.h", "0", "/g:b.cfg", 255, "Fail to write out/invfirst.h\n",
         {{encHeaders, "new"}, {decHeaders, "old"}}},
        {"fsync", "/codes/", "0", "/cbcioc:b.cfg", 17, "FAIL TO WRITE FILE codes/enc.ioc \n",
         {{encCodes, "old"}, {decCodes, "old"}}},
        {"close", "/codes/", "3", "/cbcioc:b.cfg", 17, "FAIL TO WRITE FILE codes/dec.ioc \n",
         {{encCodes, "new"}, {decCodes, "old"}}},
        {"rename", "codes/enc.cbc", "0", "/cbcioc:b.cfg", 17, "FAIL TO WRITE FILE codes/enc.cbc \n",
         {{encCodes, "old"}, {decCodes, "old"}}},
        {"rename", "codes/dec.ioc", "0", "/ecbioc:b.cfg", 17, "FAIL TO WRITE FILE codes/dec.ioc \n",
         {{{"codes/enc.ioc"}, "changed"}, {{"codes/dec.ioc"}, "old"}}},
        // Without hard links the old files are backed up by copies, which the
        // rollback puts back.
        {"rename", "out/final.h", "0", "/g:b.cfg", 255, "Fail to write out/final.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}, {{"TABRIX_NO_HARD_LINKS", "1"}}},
        {"rename", "codes/enc.cbc", "0", "/cbcioc:b.cfg", 17, "FAIL TO WRITE FILE codes/enc.cbc \n",
         {{encCodes, "old"}, {decCodes, "old"}}, {{"TABRIX_NO_HARD_LINKS", "1"}}},
        // An old file that can be neither linked nor copied stops the group
        // before its first rename.
        {"fsync", ".tmp$", "0", "/g:b.cfg", 255, " success\nFail to write out/round.h\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}, {{"TABRIX_NO_HARD_LINKS", "1"}}},
        // A failing folder sync names the folder: before the renames (the
        // journal's) and after them, when the new files are in place.
        {"fsync", "/out$", "0", "/g:b.cfg", 255, " success\nFail to write out\n",
         {{encHeaders, "old"}, {decHeaders, "old"}}},
        {"fsync", "/out$", "1", "/g:b.cfg", 255, " success\nFail to write out\n",
         {{encHeaders, "new"}, {decHeaders, "old"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.call + " " + c.match + " skip " + c.skip);
        RunOptions faults;
        faults.faults = true;
        faults.environment = {{"TABRIX_FAIL_CALL", c.call}, {"TABRIX_FAIL_MATCH", c.match}, {"TABRIX_FAIL_SKIP", c.skip}};
        faults.environment.insert(faults.environment.end(), c.more.begin(), c.more.end());
        const auto run = folder.run({c.command}, faults);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        // A failed commit (its renames, the closing of its temporaries, its
        // backups and folder syncs) says why on standard error.
        const std::string call = c.call;
        if (call == "rename" || call == "close" || std::string(c.match).back() == '$') {
            EXPECT_NE(run.errors.find("tabrix: cannot write '"), std::string::npos) << run.errors;
        }
        const Snapshot now = snapshot(folder);
        for (const auto& [group, expected] : c.expected) {
            const std::string state = classify(now, sets.old, sets.fresh, group);
            if (expected == "changed") {
                EXPECT_NE(now.at(group[0]), sets.old.at(group[0]));
            } else {
                EXPECT_EQ(state, expected) << group[0];
            }
        }
        EXPECT_EQ(toolFiles(folder), std::vector<std::string>{});
        restore(folder, sets.old);
    }
}
#else
POSIX_ONLY_TEST(SafeOutputs, InjectedFailuresKeepTheOldFiles, "the preloaded fault library; the Windows replace cases are in the base tests")
#endif

#ifndef _WIN32
// A full disk (the file-size limit) and /dev/full fail the direction without
// touching its old files.
TEST(SafeOutputs, FullDisksKeepTheOldFiles) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    RunOptions limited;
    limited.extraSetup = [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    auto run = folder.run({"/g:b.cfg"}, limited);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.output.find(" fail\nFail to write out/round.h\n"), std::string::npos) << run.output;
    EXPECT_EQ(snapshot(folder), sets.old);
    EXPECT_EQ(toolFiles(folder), std::vector<std::string>{});

    folder.writeScript("full.cfg", withSeed(kSeedB, {{"finalRoundTable", "/dev/full"}}));
    run = folder.run({"/g:full.cfg"});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.output.find("Fail to write /dev/full\n"), std::string::npos) << run.output;
    EXPECT_EQ(snapshot(folder), sets.old);
    EXPECT_EQ(toolFiles(folder), std::vector<std::string>{});
}
#else
POSIX_ONLY_TEST(SafeOutputs, FullDisksKeepTheOldFiles, "/dev/full and setrlimit")
#endif

// Two runs writing the same outputs at once run one after the other: every
// direction's files, and here the whole set, come from one run.
TEST(SafeOutputs, ConcurrentRunsNeverLeaveAMixedSet) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    for (int round = 0; round < 6; ++round) {
        for (const char* command : {"/g:", "/cbcioc:"}) {
            const int a = testsupport::startTool({std::string(command) + "a.cfg"}, folder.path());
            const int b = testsupport::startTool({std::string(command) + "b.cfg"}, folder.path());
            EXPECT_EQ(testsupport::waitTool(a), 0);
            EXPECT_EQ(testsupport::waitTool(b), 0);
        }
        const Snapshot now = snapshot(folder);
        for (size_t first = 0; first < kGroups.size(); first += 2) {
            // Both directions of one command come from the same run.
            const std::string enc = classify(now, sets.old, sets.fresh, kGroups[first]);
            const std::string dec = classify(now, sets.old, sets.fresh, kGroups[first + 1]);
            EXPECT_TRUE(enc == "old" || enc == "new") << enc;
            EXPECT_EQ(enc, dec);
        }
    }
}

#ifndef _WIN32
// A link at an output path is replaced by the new file; what it pointed to
// stays as it was.
TEST(SafeOutputs, LinksAtOutputPathsAreReplacedNotWrittenThrough) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    writeFile(folder / "victim-soft", "soft");
    writeFile(folder / "victim-hard", "hard");
    writeFile(folder / "victim-ioc", "ioc");
    fs::create_symlink("../victim-soft", folder / "out/round.h");
    fs::create_hard_link(folder / "victim-hard", folder / "out/xor.h");
    fs::create_symlink("victim-ioc", folder / "enc.ioc");
    fs::create_symlink("missing-target", folder / "out/final.h"); // a dangling link
    EXPECT_EQ(folder.run({"/g:t.cfg", "/ecbioc:t.cfg"}).status, 0);
    EXPECT_EQ(readFile(folder / "victim-soft"), "soft");
    EXPECT_EQ(readFile(folder / "victim-hard"), "hard");
    EXPECT_EQ(readFile(folder / "victim-ioc"), "ioc");
    EXPECT_FALSE(fs::exists(folder / "missing-target"));
    for (const char* name : {"out/round.h", "out/xor.h", "out/final.h", "enc.ioc"}) {
        EXPECT_FALSE(fs::is_symlink(folder / name)) << name;
        EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
    }
    EXPECT_EQ(fs::file_size(folder / "enc.ioc"), 16384u);
}
#else
POSIX_ONLY_TEST(SafeOutputs, LinksAtOutputPathsAreReplacedNotWrittenThrough, "symbolic links need privileges on Windows")
#endif

#ifndef _WIN32
// FIFOs, sockets, directories and endless devices are refused at once, as files
// that cannot be opened, before anything is written. Nothing blocks.
TEST(SafeOutputs, SpecialFilesAreRefusedWithoutBlocking) {
    ToolFolder folder;
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sockPath = (folder / "sock").string();
    ASSERT_LT(sockPath.size(), sizeof address.sun_path);
    sockPath.copy(address.sun_path, sockPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const auto sockGuard = std::unique_ptr<int, void (*)(int*)>(new int(sock), [](int* fd) {
        close(*fd);
        delete fd;
    });

    const struct {
        std::map<std::string, std::string> changes;
        const char* command;
        int status;
        const char* message;
    } cases[] = {
        {{{"xorTableTpl", "fifo"}}, "/g:t.cfg", 255, "Fail to open fifo\n"},
        {{{"invRoundTableTpl", "/dev/zero"}}, "/g:t.cfg", 255, "Fail to open /dev/zero\n"},
        {{{"roundTableTpl", "sock"}}, "/g:t.cfg", 255, "Fail to open sock\n"},
        {{{"roundTable", "fifo"}}, "/g:t.cfg", 255, " fail\nFail to open fifo\n"},
        {{{"xorTable", "sock"}}, "/g:t.cfg", 255, " fail\nFail to open sock\n"},
        {{{"finalRoundTable", "tpl"}}, "/g:t.cfg", 255, " fail\nFail to open tpl\n"},
        {{{"useEncryptIOC", "1"}, {"encryptIOC", "fifo"}}, "/g:t.cfg", 16, "FAIL TO OPEN FILE fifo \n"},
        {{{"useDecryptIOC", "1"}, {"decryptIOC", "/dev/zero"}}, "/g:t.cfg", 16, "FAIL TO OPEN FILE /dev/zero \n"},
        {{{"encryptIOC", "fifo"}}, "/ecbioc:t.cfg", 16, "FAIL TO OPEN FILE fifo \n"},
        {{{"decryptCBCIOCData", "sock"}}, "/cbcioc:t.cfg", 16, "FAIL TO OPEN FILE sock \n"},
    };
    RunOptions bounded;
    bounded.timeoutSeconds = 20;
    for (const auto& c : cases) {
        folder.writeScript("t.cfg", clitest::seeded(c.changes));
        const auto run = folder.run({c.command}, bounded);
        EXPECT_EQ(run.status, c.status) << c.message << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    // A FIFO or a device as the script reads as an empty script.
    for (const char* script : {"/g:fifo", "/ecbioc:/dev/zero"}) {
        EXPECT_EQ(folder.run({script}, bounded).status, 30) << script;
    }
    // Special templates and inputs stop "/g:" before anything is written.
    EXPECT_TRUE(fs::is_empty(folder / "out"));
}
#else
POSIX_ONLY_TEST(SafeOutputs, SpecialFilesAreRefusedWithoutBlocking, "FIFOs, sockets and /dev/zero")
#endif

// One file in two roles is refused with 33 before anything is written.
TEST(SafeOutputs, OneFileInTwoRolesIsRefused) {
    ToolFolder folder;
    writeFile(folder / "enc.ioc", std::string(16384, '\0'));
    fs::create_hard_link(folder / "tpl/round.tpl", folder / "tpl/hardlink.tpl");
    const std::string script = folder.absolute("t.cfg");
    const struct {
        std::map<std::string, std::string> changes;
        const char* command;
        std::string first;
        std::string second;
    } cases[] = {
        {{{"decryptIOC", "enc.ioc"}}, "/ecbioc:", "enc.ioc", "enc.ioc"},
        {{{"decryptIOC", "./enc.ioc"}}, "/cbcioc:", "enc.ioc", "./enc.ioc"},
        {{{"encryptCBCIOCData", "enc.ioc"}}, "/cbcioc:", "enc.ioc", "enc.ioc"},
        {{{"decryptCBCIOCData", "out/../t.cfg"}}, "/cbcioc:", script, "out/../t.cfg"},
        {{{"roundTable", "tpl/round.tpl"}}, "/g:", "tpl/round.tpl", "tpl/round.tpl"},
        {{{"invXorTable", "tpl/hardlink.tpl"}}, "/g:", "tpl/round.tpl", "tpl/hardlink.tpl"},
        {{{"finalRoundTable", "out/round.h"}}, "/g:", "out/round.h", "out/round.h"},
        {{{"invFirstRoundTable", "out//xor.h"}}, "/g:", "out/xor.h", "out//xor.h"},
        {{{"xorTable", "t.cfg"}}, "/g:", script, "t.cfg"},
        {{{"useEncryptIOC", "1"}, {"invRoundTable", "enc.ioc"}}, "/g:", "enc.ioc", "enc.ioc"},
    };
    for (const auto& c : cases) {
        folder.writeScript("t.cfg", clitest::seeded(c.changes));
        const std::string before = readFile(folder / "t.cfg");
        const auto run = folder.run({std::string(c.command) + "t.cfg"});
        EXPECT_EQ(run.status, 33) << run.output;
        const std::string err = "ERR: '" + c.first + "' AND '" + c.second + "' ARE THE SAME FILE\n";
        EXPECT_NE(run.output.find(err), std::string::npos) << run.output;
        if (std::string(c.command) == "/g:") {
            EXPECT_EQ(run.output.substr(run.output.size() - failFrame(33).size() - 1), "\n" + failFrame(33));
        }
        EXPECT_TRUE(fs::is_empty(folder / "out"));
        EXPECT_EQ(readFile(folder / "enc.ioc"), std::string(16384, '\0'));
        EXPECT_EQ(readFile(folder / "t.cfg"), before);
        EXPECT_FALSE(fs::exists(folder / "dec.ioc"));
    }
    // Two templates may share a file, and two outputs may both be the null device.
#ifdef _WIN32
    const std::string null = "NUL";
#else
    const std::string null = "/dev/null";
#endif
    writeFile(folder / "tpl/both.tpl", "#xorTables#[10][4][24][256]#;\n#invXorTables#[10][4][24][256]#;\n");
    folder.writeScript("t.cfg", clitest::seeded({{"xorTableTpl", "tpl/both.tpl"},
                                                 {"invXorTableTpl", "tpl/both.tpl"},
                                                 {"xorTable", null},
                                                 {"invXorTable", null}}));
    EXPECT_EQ(folder.run({"/g:t.cfg"}).status, 0);
}

#ifndef _WIN32
// Every file the tool writes is private: mode 0600 whatever the umask, new or
// replaced.
TEST(SafeOutputs, WrittenFilesAreOwnerOnly) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    for (int mask : {022, 0, 077}) {
        RunOptions options;
        options.umask = mask;
        ASSERT_EQ(folder.run({"/g:t.cfg", "/cbcioc:t.cfg"}, options).status, 0);
        for (const std::string& name : {kHeaders[0], kHeaders[1], kHeaders[2], kHeaders[3], kHeaders[4],
                                        kHeaders[5], std::string("enc.ioc"), std::string("dec.ioc"),
                                        std::string("enc.cbc"), std::string("dec.cbc")}) {
            struct stat info;
            ASSERT_EQ(stat((folder / name).c_str(), &info), 0) << name;
            EXPECT_EQ(info.st_mode & 07777, 0600u) << name << " umask " << mask;
            chmod((folder / name).c_str(), 0644); // the next round replaces a readable file
        }
    }
}
#else
POSIX_ONLY_TEST(SafeOutputs, WrittenFilesAreOwnerOnly, "umask and file modes; the Windows DACL case is in the base tests")
#endif

// The exit status is the last failure's; a later success does not hide it.
TEST(SafeOutputs, ExitStatusIsTheLastFailure) {
    ToolFolder folder;
    folder.writeScript("good.cfg", clitest::seeded());
    folder.writeScript("bad.cfg", clitest::seeded({{"encryptKey", ""}, {"decryptCBCIOCData", ""}}));
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"/cbcioc:bad.cfg", "/g:good.cfg"}, 30},
        {{"/cbcioc:missing.cfg", "/g:good.cfg"}, 30},
        {{"/g:bad.cfg", "/ecbioc:good.cfg", "/junk"}, 38}, // an unrecognised argument fails too
        {{"/g:good.cfg", "/g:good.cfg"}, 0},
        {{"/ecbioc:good.cfg", "/test:1"}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(folder.run(c.args).status, c.status) << c.args.front();
}

#ifndef _WIN32
// A reader that quits early (head) does not stop the file work.
TEST(SafeOutputs, ClosedStandardOutputDoesNotStopTheWork) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    RunOptions closedPipe;
    closedPipe.extraSetup = [] {
        int ends[2];
        if (pipe(ends) != 0) _exit(126);
        close(ends[0]);
        dup2(ends[1], 1);
    };
    const int pid = testsupport::startTool({"/g:t.cfg", "/cbcioc:t.cfg"}, folder.path(), closedPipe);
    EXPECT_EQ(testsupport::waitTool(pid), 0);
    for (const auto& header : kHeaders) EXPECT_GT(fs::file_size(folder / header), 1000u) << header;
    EXPECT_EQ(fs::file_size(folder / "dec.cbc"), 8192u);
}
#else
POSIX_ONLY_TEST(SafeOutputs, ClosedStandardOutputDoesNotStopTheWork, "SIGPIPE")
#endif

// The use flags are whole decimal integers; anything else is refused, not read
// as 0 (which would quietly build tables without the external coding).
TEST(SafeOutputs, UseFlagsMustBeWholeIntegers) {
    ToolFolder folder;
    const struct {
        const char* value;
        int status; // with encryptIOC naming a missing file: 16 means "on"
        bool badFlagLine;
    } cases[] = {
        {"1", 16, false},     {" 2", 16, false},    {"-1", 16, false},   {"0", 0, false},
        {"+0", 0, false},     {"true", 30, true},   {"on", 30, true},    {"yes", 30, true},
        {"0x1", 30, true},    {"1e3", 30, true},    {"1 2", 30, true},   {"", 30, false},
        {"4294967296", 0, false}, // truncated to 32 bits, as "/test:" reads its flags
    };
    for (const auto& c : cases) {
        folder.writeScript("t.cfg", clitest::seeded({{"useEncryptIOC", c.value}, {"encryptIOC", "missing.ioc"}}));
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, c.status) << "'" << c.value << "': " << run.output;
        const std::string line = std::string("ERR: BAD FLAG VALUE '") + c.value + "' FOR useEncryptIOC\n";
        EXPECT_EQ(run.output.find(line) != std::string::npos, c.badFlagLine) << run.output;
        if (c.status == 30) {
            EXPECT_TRUE(fs::is_empty(folder / "out"));
        }
        for (const auto& header : kHeaders) fs::remove(folder / header);
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
// Running out of memory part-way fails the command with 34 and a message; the
// old headers stay.
TEST(SafeOutputs, OutOfMemoryKeepsTheOldFiles) {
    ToolFolder folder;
    folder.writeScript("t.cfg", withSeed(kSeedA));
    ASSERT_EQ(folder.run({"/g:t.cfg"}).status, 0);
    const std::string oldRound = readFile(folder / kHeaders[0]);
    const std::string oldInvRound = readFile(folder / kHeaders[3]);
    // A 96 MB decryption template under a 160 MB address-space limit.
    writeFile(folder / "tpl/huge.tpl", "#invRoundTables#[10][4][4][256][4]#;\n" + std::string(96 << 20, ' '));
    folder.writeScript("t.cfg", withSeed(kSeedB, {{"invRoundTableTpl", "tpl/huge.tpl"}}));
    RunOptions limited;
    limited.extraSetup = [] {
        const rlimit limit = {160u << 20, 160u << 20};
        setrlimit(RLIMIT_AS, &limit);
    };
    const auto run = folder.run({"/g:t.cfg"}, limited);
    EXPECT_EQ(run.status, 34) << run.output;
    EXPECT_NE(run.output.find("ERR: OUT OF MEMORY\n"), std::string::npos) << run.output;
    EXPECT_NE(readFile(folder / kHeaders[0]), oldRound); // the encryption direction was done
    EXPECT_TRUE(testsupport::sameBytes(readFile(folder / kHeaders[3]), oldInvRound));
    EXPECT_EQ(toolFiles(folder).size(), 0u);
}
#elif defined(_WIN32)
POSIX_ONLY_TEST(SafeOutputs, OutOfMemoryKeepsTheOldFiles, "setrlimit")
#endif

#ifndef _WIN32
// A direction whose headers sit in two folders, killed between its renames:
// each folder's journal holds that folder's part, so a run into either folder
// finishes its part and removes nothing that the other part still needs. Once
// both folders have seen a run, the direction is all new.
TEST(SafeOutputs, AGroupAcrossTwoFoldersIsFinishedFolderByFolder) {
    ToolFolder folder;
    fs::create_directory(folder / "split");
    const std::vector<std::string> encryption = {"split/round.h", "out/xor.h", "out/final.h"};
    const auto script = [&](const char* seed) { return withSeed(seed, {{"roundTable", "split/round.h"}}); };
    auto contents = [&] {
        std::vector<std::string> bytes;
        for (const auto& name : encryption) bytes.push_back(readFile(folder / name));
        return bytes;
    };
    folder.writeScript("b.cfg", script(kSeedB));
    ASSERT_EQ(folder.run({"/g:b.cfg"}).status, 0);
    const std::vector<std::string> fresh = contents();
    folder.writeScript("a.cfg", script(kSeedA));
    folder.writeScript("into-out.cfg", withSeed(kSeedA, {{"encryptIOC", "out/p1.ioc"}, {"decryptIOC", "out/p2.ioc"}}));
    folder.writeScript("into-split.cfg",
                       withSeed(kSeedA, {{"encryptIOC", "split/p1.ioc"}, {"decryptIOC", "split/p2.ioc"}}));

    // Killed at the rename of each header; the next runs go into one folder,
    // then into the other, in both orders.
    for (const char* killedAt : {"split/round.h", "out/xor.h", "out/final.h"}) {
        const bool roundRenamed = std::string(killedAt) != "split/round.h";
        for (const bool outFirst : {true, false}) {
            SCOPED_TRACE(std::string(killedAt) + (outFirst ? ", out first" : ", split first"));
            ASSERT_EQ(folder.run({"/g:a.cfg"}).status, 0);
            const std::vector<std::string> old = contents();
            folder.writeScript("b.cfg", script(kSeedB));
            EXPECT_EQ(folder.run({"/g:b.cfg"}, killedAtRename(killedAt)).status, -1);
            ASSERT_EQ(readFile(folder / "split/round.h"), roundRenamed ? fresh[0] : old[0]);
            ASSERT_EQ(readFile(folder / "out/final.h"), old[2]); // not yet renamed

            ASSERT_EQ(folder.run({outFirst ? "/ecbioc:into-out.cfg" : "/ecbioc:into-split.cfg"}).status, 0);
            EXPECT_EQ(readFile(folder / (outFirst ? "out/final.h" : "split/round.h")),
                      outFirst ? fresh[2] : fresh[0]);
            ASSERT_EQ(folder.run({outFirst ? "/ecbioc:into-split.cfg" : "/ecbioc:into-out.cfg"}).status, 0);
            EXPECT_EQ(contents(), fresh);
            for (const char* dir : {"out", "split"}) {
                for (const auto& entry : fs::directory_iterator(folder / dir)) {
                    EXPECT_FALSE(isToolTemporaryName(entry.path().filename().string())) << entry.path();
                }
            }
        }
    }
}
#else
POSIX_ONLY_TEST(SafeOutputs, AGroupAcrossTwoFoldersIsFinishedFolderByFolder, "the preloaded fault library")
#endif

#ifndef _WIN32
// A journal planted in the output folder (by another user of a shared folder)
// is not replayed: the command fails before it writes anything and names the
// journal; nothing outside the folder moves. A folder in the journal's place
// fails the same way, by name, instead of failing the commit later.
TEST(SafeOutputs, APlantedJournalStopsTheCommandAndMovesNothing) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    testsupport::TempDir elsewhere;
    writeFile(elsewhere / "secret.txt", "secret");
    writeFile(elsewhere / "evil", "evil");
    const fs::path journal = folder / "out/.tabrix-commit";
    struct Case {
        const char* name;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"moves a file out", (elsewhere / "secret.txt").string() + '\0' + (folder / "out/loot").string() + '\0',
         "is not a temporary of tabrix"},
        {"overwrites a file elsewhere", (elsewhere / "evil").string() + '\0' + (elsewhere / "secret.txt").string() + '\0',
         "is not a temporary of tabrix"},
        {"a folder", "", "it is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.text.empty()) {
            fs::create_directories(journal / "inside");
        } else {
            writeFile(journal, c.text);
            ::chmod(journal.c_str(), 0600);
        }
        const auto run = folder.run({"/g:b.cfg"});
        EXPECT_EQ(run.status, 44);
        const std::string expected = "ERR: COMMIT JOURNAL 'out/.tabrix-commit' NOT REPLAYED: ";
        EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(failFrame(44)), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("--- Saving"), std::string::npos) << run.output;
        EXPECT_EQ(readFile(elsewhere / "secret.txt"), "secret");
        EXPECT_EQ(readFile(elsewhere / "evil"), "evil");
        EXPECT_FALSE(fs::exists(folder / "out/loot"));
        EXPECT_EQ(snapshot(folder), sets.old);
        fs::remove_all(journal);
    }
}
#else
POSIX_ONLY_TEST(SafeOutputs, APlantedJournalStopsTheCommandAndMovesNothing, "file modes")
#endif

// An output folder that another process keeps locked: the command says at once
// on standard error that it waits, gives up after [LOCK] waitSeconds with 42,
// and writes nothing. A wait that is not a whole number of seconds is refused.
TEST(SafeOutputs, AHeldLockIsWaitedForABoundedTime) {
    ToolFolder folder;
    folder.writeScript("t.cfg", withSeed(kSeedA, {{"LOCK/waitSeconds", "1"},
                                                  {"encryptIOC", "out/enc.ioc"},
                                                  {"decryptIOC", "out/dec.ioc"}}));
    const OutputLocks held({(folder / "out/round.h").string()});
    ASSERT_EQ(held.status(), 0);
    for (const char* command : {"/g:t.cfg", "/ecbioc:t.cfg"}) {
        SCOPED_TRACE(command);
        const auto start = std::chrono::steady_clock::now();
        const auto run = folder.run({command});
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(run.status, 42);
        EXPECT_NE(run.errors.find("waiting for the lock on out\n"), std::string::npos) << run.errors;
        EXPECT_NE(run.output.find("ERR: LOCK ON 'out' NOT TAKEN: another run still holds it after 1 s\n"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_TRUE(fs::is_empty(folder / "out"));
    for (const char* value : {"-1", "86401", "1.5", "soon", "+3"}) {
        folder.writeScript("bad.cfg", withSeed(kSeedA, {{"LOCK/waitSeconds", value}}));
        const auto run = folder.run({"/g:bad.cfg"});
        EXPECT_EQ(run.status, 30) << value;
        EXPECT_NE(run.output.find(std::string("ERR: BAD LOCK WAIT VALUE '") + value + "'\n"), std::string::npos)
            << run.output;
    }
}

#ifndef _WIN32
namespace {

// Runs the tool as the user nobody when the tests run as root, who could
// otherwise open any folder whatever its mode.
void dropRoot() {
    if (::geteuid() != 0) return;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(99);
}

void chownTree(const fs::path& top) {
    (void)!::chown(top.c_str(), 65534, 65534);
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        (void)!::lchown(entry.path().c_str(), 65534, 65534);
    }
}

} // namespace

// An output folder that may be written but not read (mode 0300) cannot be
// locked: the command fails at once with 43 and the reason, and leaves nothing
// behind in it.
TEST(SafeOutputs, AnUnreadableOutputFolderFailsCleanly) {
    ToolFolder folder;
    folder.writeScript("t.cfg", withSeed(kSeedA));
    if (::geteuid() == 0) chownTree(folder.path());
    ::chmod((folder / "out").c_str(), 0300);
    RunOptions asUser;
    asUser.extraSetup = dropRoot;
    const auto run = folder.run({"/g:t.cfg"}, asUser);
    ::chmod((folder / "out").c_str(), 0700);
    EXPECT_EQ(run.status, 43) << run.output;
    EXPECT_NE(run.output.find("ERR: LOCK ON 'out' NOT TAKEN: Permission denied\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(failFrame(43)), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_empty(folder / "out"));
}
#else
POSIX_ONLY_TEST(SafeOutputs, AnUnreadableOutputFolderFailsCleanly, "file modes")
#endif

#ifndef _WIN32
// A pair of coding files killed between its two renames: the journal of the
// pair lets the next run into the folder finish it, so the pair is new.
TEST(SafeOutputs, AKillBetweenTwoRenamesIsFinishedByTheNextRun) {
    OldAndNew sets;
    ToolFolder& folder = sets.folder;
    folder.writeScript("probe.cfg", withSeed(kSeedA, {{"encryptIOC", "codes/p1.ioc"}, {"decryptIOC", "codes/p2.ioc"}}));
    EXPECT_EQ(folder.run({"/cbcioc:b.cfg"}, killedAtRename("codes/enc.cbc")).status, -1);
    EXPECT_TRUE(fs::exists(folder / "codes/.tabrix-commit"));
    ASSERT_EQ(folder.run({"/ecbioc:probe.cfg"}).status, 0);
    const Snapshot now = snapshot(folder);
    EXPECT_EQ(classify(now, sets.old, sets.fresh, kGroups[2]), "new");
    EXPECT_EQ(classify(now, sets.old, sets.fresh, kGroups[3]), "old");
    EXPECT_EQ(toolFiles(folder), std::vector<std::string>{});
}
#else
POSIX_ONLY_TEST(SafeOutputs, AKillBetweenTwoRenamesIsFinishedByTheNextRun, "the preloaded fault library")
#endif

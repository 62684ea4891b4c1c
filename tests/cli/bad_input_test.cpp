// Bad inputs end to end: for each case the exit status, the closing lines of
// the output, and that nothing but the files a command may write was created
// or changed. Nothing may crash, hang or report success for a failed step.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <functional>
#include <map>

#include "cli_fixture.h"
#include "expected_messages.h"

using clitest::failFrame;
using clitest::ToolFolder;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const std::string kBorder = " ----------------------------------------\n";


const std::string& kEcbErrors = clitest::kEcbErr;

// Every regular file below the folder with its content.
std::map<std::string, std::string> snapshot(const ToolFolder& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder.path()).generic_string()] = readFile(entry.path());
        }
    }
    return files;
}

// Files that differ between two snapshots (created, changed or removed).
std::vector<std::string> changedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const auto& [name, content] : after) {
        auto it = before.find(name);
        if (it == before.end() || it->second != content) changed.push_back(name);
    }
    for (const auto& [name, content] : before) {
        if (!after.count(name)) changed.push_back(name);
    }
    return changed;
}

#ifndef _WIN32
void limitFileSize() {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{200000, 200000};
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

struct Case {
    std::string name;
    std::function<void(const ToolFolder&)> setup;
    std::vector<std::string> args;
    int status;
    std::string outputEnd;             // the output must end with this
    std::vector<std::string> mayWrite; // files the command may create or change
    void (*limits)() = nullptr;
    std::string reason = {}; // standard error must hold this (and is empty without it)
};

std::string repeat(const std::string& piece, size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

// A path of exactly `length` characters below the folder's "deep" directory,
// made of nested 100-character directory names; created unless too long.
std::string longPath(const ToolFolder& folder, size_t length, bool create) {
    std::string path = "deep";
    while (path.size() + 1 + 100 < length - 20) path += "/" + std::string(100, 'd');
    path += "/" + std::string(length - path.size() - 1 - 2, 'h') + ".h";
    if (create) std::filesystem::create_directories(folder.path() / std::filesystem::path(path).parent_path());
    return path;
}


} // namespace

TEST(BadInput, Matrix) {
    const std::vector<std::string>& kAllHeaders = clitest::kHeaders;
    std::vector<Case> cases = {
        // Scripts that cannot give values.
        {"script is a directory", [](const ToolFolder& f) { std::filesystem::create_directory(f / "dir.cfg"); },
         {"/g:dir.cfg"}, 30, "\n" + failFrame(30), {}, nullptr, "cannot read the script"},
        {"empty script", [](const ToolFolder& f) { writeFile(f / "t.cfg", ""); }, {"/g:t.cfg"}, 30,
         "\n" + failFrame(30), {}, nullptr, "[KEY_VALUE] encryptKey is missing or empty\n"},
        {"binary script",
         [](const ToolFolder& f) {
             auto bytes = testsupport::pseudoRandomBytes(65536, 9);
             writeFile(f / "t.cfg", std::string(bytes.begin(), bytes.end()));
         },
         {"/g:t.cfg"}, 30, "\n" + failFrame(30), {}, nullptr, "is missing or empty\n"},
        {"one line of 1 MB", [](const ToolFolder& f) { writeFile(f / "t.cfg", "[KEY_VALUE]" + std::string(1 << 20, 'k')); },
         {"/g:t.cfg"}, 30, "\n" + failFrame(30), {}, nullptr, "[KEY_VALUE] decryptKey is missing or empty\n"},
        {"binary script for /ecbioc:",
         [](const ToolFolder& f) {
             auto bytes = testsupport::pseudoRandomBytes(4096, 10);
             writeFile(f / "t.cfg", std::string(bytes.begin(), bytes.end()));
         },
         {"/ecbioc:t.cfg"}, 30, kEcbErrors, {}, nullptr, "[IOC_FILES] encryptIOC is missing or empty\n"},
        // A key given twice: the first one counts (the second is malformed).
        {"key repeated in two sections",
         [](const ToolFolder& f) {
             f.writeScript("t.cfg");
             std::string text = readFile(f / "t.cfg");
             writeFile(f / "t.cfg", text + "[KEY_VALUE]\nencryptKey = not hex\n[HEADER_FILES]\nencryptKey = x\n");
         },
         {"/g:t.cfg"}, 0, kBorder + "| MARLO AES TABLES GENERATED SUCCESSFULY |\n" + kBorder, kAllHeaders},
        // Paths with blanks and non-ASCII characters work as written.
        {"blanks and non-ASCII in paths",
         [](const ToolFolder& f) {
             std::filesystem::create_directory(f / "dir with blanks é");
             std::filesystem::copy_file(f / "tpl/round.tpl", f / "tpl/rönd tpl.tpl");
             f.writeScript("my script ü.cfg", {{"roundTableTpl", "tpl/rönd tpl.tpl"},
                                               {"roundTable", "dir with blanks é/round täble.h"}});
         },
         {"/g:my script ü.cfg"}, 0, "SUCCESSFULY |\n" + kBorder,
         {"dir with blanks é/round täble.h", "out/xor.h", "out/final.h", "out/invround.h", "out/invxor.h",
          "out/invfirst.h"}},
        {"header path of 300 characters",
         [](const ToolFolder& f) { f.writeScript("t.cfg", {{"xorTable", longPath(f, 300, true)}}); },
         {"/g:t.cfg"}, 0, "SUCCESSFULY |\n" + kBorder, {}},
        {"header path of 5,000 characters",
         [](const ToolFolder& f) { f.writeScript("t.cfg", {{"xorTable", longPath(f, 5000, false)}}); },
         {"/g:t.cfg"}, 255, "MARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1), {"out/round.h"}},
        {"script path of 5,000 characters", nullptr, {"/g:" + std::string(5000, 's')}, 30,
         "\n" + failFrame(30), {}, nullptr, "cannot read the script"},
        // A regular file used as a directory.
        {"header below a regular file",
         [](const ToolFolder& f) { f.writeScript("t.cfg", {{"roundTable", "t.cfg/child.h"}}); }, {"/g:t.cfg"}, 255,
         " fail\nFail to open t.cfg/child.h\nMARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1), {}},
        {"script below a regular file", [](const ToolFolder& f) { f.writeScript("t.cfg"); }, {"/g:t.cfg/child"}, 30,
         "\n" + failFrame(30), {}, nullptr, "cannot read the script"},
        {"IOC file below a regular file",
         [](const ToolFolder& f) { f.writeScript("t.cfg", {{"useEncryptIOC", "1"}, {"encryptIOC", "t.cfg/x"}}); },
         {"/g:t.cfg"}, 16, "FAIL TO OPEN FILE t.cfg/x \n\n" + failFrame(16), {}},
        {"coding file below a regular file",
         [](const ToolFolder& f) { f.writeScript("t.cfg", {{"encryptIOC", "t.cfg/x"}}); }, {"/ecbioc:t.cfg"}, 16,
         "FAIL TO OPEN FILE t.cfg/x \n" + kEcbErrors, {}},
        // Templates.
        {"template of 50 MB",
         [](const ToolFolder& f) {
             writeFile(f / "tpl/final.tpl", "static const unsigned char #finalRoundTable#[4][4][256]#;\n" +
                                                std::string(50u << 20, ' ') + "\n");
         },
         {"/g:t.cfg"}, 0, "SUCCESSFULY |\n" + kBorder, kAllHeaders},
        {"template with 10,000 placeholders",
         [](const ToolFolder& f) {
             writeFile(f / "tpl/xor.tpl", repeat("const unsigned char #xorTables#[10][4][24][256]#;\n", 10000));
         },
         {"/g:t.cfg"}, 0, "SUCCESSFULY |\n" + kBorder, kAllHeaders},
        {"empty template", [](const ToolFolder& f) { writeFile(f / "tpl/xor.tpl", ""); }, {"/g:t.cfg"}, 255,
         "--- Saving out/xor.h header file MARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1),
         {"out/round.h"}, nullptr, "tabrix: template 'tpl/xor.tpl' has no tag #xorTables#\n"},
        // Coding files of the wrong size or content.
        {"IOC file of 0 bytes", [](const ToolFolder& f) { writeFile(f / "enc.ioc", ""); }, {"/g:ioc.cfg"}, 31,
         "\n" + failFrame(31), {}},
        {"IOC file of 16,383 bytes", [](const ToolFolder& f) { writeFile(f / "enc.ioc", std::string(16383, '\0')); },
         {"/g:ioc.cfg"}, 31, "\n" + failFrame(31), {}},
        {"IOC file of 16,385 zero bytes",
         [](const ToolFolder& f) { writeFile(f / "enc.ioc", std::string(16385, '\0')); }, {"/g:ioc.cfg"}, 32,
         "INVALID CODING FILE enc.ioc \n\n" + failFrame(32), {}},
        {"IOC file of 16,384 zero bytes",
         [](const ToolFolder& f) { writeFile(f / "enc.ioc", std::string(16384, '\0')); }, {"/g:ioc.cfg"}, 32,
         "INVALID CODING FILE enc.ioc \n\n" + failFrame(32), {}},
    };
#ifndef _WIN32
    // Full disks (POSIX only: /dev/full and setrlimit).
    cases.push_back({"header on /dev/full",
                     [](const ToolFolder& f) { f.writeScript("t.cfg", {{"roundTable", "/dev/full"}}); }, {"/g:t.cfg"},
                     255, " fail\nFail to write /dev/full\nMARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1),
                     {}});
    cases.push_back({"header over the file-size limit", nullptr, {"/g:t.cfg"}, 255,
                     " fail\nFail to write out/round.h\nMARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1),
                     {"out/round.h"}, limitFileSize});
#endif

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder folder;
        folder.writeScript("t.cfg");
        folder.writeScript("ioc.cfg", {{"useEncryptIOC", "1"}});
        if (c.setup) c.setup(folder);
        const auto before = snapshot(folder);
        const auto run = testsupport::runTool(c.args, folder.path(), c.limits);
        EXPECT_EQ(run.status, c.status) << run.output.substr(0, 2000);
        if (c.reason.empty()) {
            EXPECT_TRUE(run.errors.empty()) << run.errors;
        } else {
            EXPECT_NE(run.errors.find(c.reason), std::string::npos) << run.errors.substr(0, 2000);
        }
        ASSERT_GE(run.output.size(), c.outputEnd.size()) << run.output;
        EXPECT_EQ(run.output.substr(run.output.size() - c.outputEnd.size()), c.outputEnd);
        if (c.status != 0) {
            EXPECT_EQ(run.output.find("SUCCESSFULY"), std::string::npos);
        }
        for (const auto& name : changedFiles(before, snapshot(folder))) {
            const bool allowed = std::find(c.mayWrite.begin(), c.mayWrite.end(), name) != c.mayWrite.end() ||
                                 (c.name == "header path of 300 characters" &&
                                  (name.rfind("deep/", 0) == 0 || name.rfind("out/", 0) == 0));
            EXPECT_TRUE(allowed) << "unexpected change: " << name;
        }
    }
}

#ifndef _WIN32
TEST(BadInput, CodingFilesOverTheFileSizeLimit) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    auto limit = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{10000, 10000};
        setrlimit(RLIMIT_FSIZE, &small);
    };
    auto run = testsupport::runTool({"/ecbioc:t.cfg"}, folder.path(), +limit);
    EXPECT_EQ(run.status, 17);
    EXPECT_EQ(run.output, clitest::reading(folder, "t.cfg") + "FAIL TO WRITE FILE enc.ioc \n" + kEcbErrors);
    run = testsupport::runTool({"/cbcioc:t.cfg"}, folder.path(), +limit);
    EXPECT_EQ(run.status, 17);
    EXPECT_NE(run.output.find("FAIL TO WRITE FILE enc.ioc \n"), std::string::npos);
    EXPECT_EQ(run.output.find("OK:"), std::string::npos);
}
#else
POSIX_ONLY_TEST(BadInput, CodingFilesOverTheFileSizeLimit, "setrlimit")
#endif

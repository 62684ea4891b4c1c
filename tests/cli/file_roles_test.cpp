// One file, one role, through symbolic links, end to end. A link at an output
// path is replaced, never written through, so it may point at an input of the
// same command; an input that is a link to an output, and one new file named
// through a linked folder and through its target, are one file in two roles.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "cli_fixture.h"

using clitest::ToolFolder;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

namespace fs = std::filesystem;

// Every entry below the folder: a file by its size and a hash of its content
// (small enough to print when a case fails), a link by its target.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).generic_string();
        if (entry.is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            const std::string content = readFile(entry.path());
            entries[name] = std::to_string(content.size()) + " bytes, hash " +
                            std::to_string(std::hash<std::string>{}(content));
        }
    }
    return entries;
}

} // namespace

#ifndef _WIN32
TEST(FileRoles, OutputLinkedToAnInputOfTheSameCommand) {
    const struct {
        const char* name;
        std::map<std::string, std::string> changes;
        const char* header; // made a link to input
        const char* input;
    } cases[] = {
        {"the script", {}, "out/xor.h", "t.cfg"},
        {"a template of the same direction", {}, "out/round.h", "tpl/xor.tpl"},
        // Read after the encryption headers were renamed into place.
        {"a template of the other direction", {}, "out/final.h", "tpl/invround.tpl"},
        {"its own template", {}, "out/invxor.h", "tpl/invxor.tpl"},
        {"the IOC file", {{"useEncryptIOC", "1"}}, "out/invfirst.h", "enc.ioc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded(c.changes));
        ASSERT_EQ(folder.run({"/ecbioc:t.cfg"}).status, 0);
        const std::string input = readFile(folder / c.input);
        fs::create_symlink(fs::path("..") / c.input, folder / c.header);
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(readFile(folder / c.input), input);
        EXPECT_FALSE(fs::is_symlink(folder / c.header));
        ASSERT_TRUE(fs::is_regular_file(folder / c.header));
        EXPECT_GT(fs::file_size(folder / c.header), 20000u);
    }
}

TEST(FileRoles, OneFileInTwoRolesThroughLinks) {
    const struct {
        const char* name;
        std::map<std::string, std::string> changes;
        std::string first, second; // as the ERR line names them
        const char* command = "/g:t.cfg";
    } cases[] = {
        // An input that is a link to an output: the header would be read and replaced.
        {"template linked to an existing header", {{"roundTableTpl", "tpl/link.tpl"}}, "tpl/link.tpl", "out/invround.h"},
        // Two new outputs, through a linked folder and through its target.
        {"new headers through the folder and its link", {{"roundTable", "out/new.h"}, {"xorTable", "alias/new.h"}},
         "out/new.h", "alias/new.h"},
        {"new headers through the link and an absolute link",
         {{"finalRoundTable", "alias/new.h"}, {"invFirstRoundTable", "absolute-alias/new.h"}}, "alias/new.h",
         "absolute-alias/new.h"},
        {"new coding files through the folder and its link", {{"encryptIOC", "out/c.ioc"}, {"decryptCBCIOCData", "alias/c.ioc"}},
         "out/c.ioc", "alias/c.ioc", "/cbcioc:t.cfg"},
        // Existing ones are compared by inode.
        {"existing header through the link", {{"xorTable", "alias/round.h"}}, "out/round.h", "alias/round.h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded());
        ASSERT_EQ(folder.run({"/g:t.cfg"}).status, 0);
        fs::create_directory_symlink("out", folder / "alias");
        fs::create_directory_symlink(folder / "out", folder / "absolute-alias");
        fs::create_symlink("../out/invround.h", folder / "tpl/link.tpl");
        folder.writeScript("t.cfg", clitest::seeded(c.changes));
        const auto before = snapshot(folder.path());
        const auto run = folder.run({c.command});
        EXPECT_EQ(run.status, 33) << run.output;
        const std::string err = "ERR: '" + c.first + "' AND '" + c.second + "' ARE THE SAME FILE\n";
        EXPECT_NE(run.output.find(err), std::string::npos) << run.output;
        EXPECT_EQ(snapshot(folder.path()), before);
    }
}
#else
POSIX_ONLY_TEST(FileRoles, OutputLinkedToAnInputOfTheSameCommand, "symbolic links need privileges on Windows")
POSIX_ONLY_TEST(FileRoles, OneFileInTwoRolesThroughLinks, "symbolic links need privileges on Windows")
#endif

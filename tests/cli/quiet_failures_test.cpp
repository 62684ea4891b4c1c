// Failures that must neither pass as success nor go without a cause, end to end
// with the real tool: unrecognised arguments, keys longer than AES-128, use flags
// without digits, and the reasons on standard error. Standard output is
// compared whole where it does not depend on random draws.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "cli_fixture.h"
#include "expected_messages.h"

using clitest::failFrame;
using clitest::reading;
using clitest::ToolFolder;
using testsupport::writeFile;

namespace {

namespace fs = std::filesystem;

int exitCode(int status) { return status & 0xff; }

bool outputsUntouched(const ToolFolder& folder) { return fs::is_empty(folder / "out"); }

const std::string k32 = "000102030405060708090a0b0c0d0e0f";

} // namespace

// A mistyped command did nothing and exited 0: a build script took it for a run.
TEST(QuietFailures, UnrecognisedArgumentsFail) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    using clitest::kUsage;
    using clitest::unrecognised;
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"/G:t.cfg"}, unrecognised("/G:t.cfg") + kUsage},
        {{"-help"}, unrecognised("-help") + kUsage},
        {{"/g", "t.cfg"}, unrecognised("/g") + unrecognised("t.cfg") + kUsage},
        {{"/test"}, unrecognised("/test") + kUsage},
    };
    for (const auto& c : cases) {
        const auto run = folder.run(c.args);
        EXPECT_EQ(run.status, 38) << c.args.front();
        EXPECT_EQ(run.output, c.output) << c.args.front();
        EXPECT_TRUE(run.errors.empty()) << run.errors;
        EXPECT_TRUE(outputsUntouched(folder));
    }
    // After a good run the argument is still the last failure; nothing is undone.
    const auto run = folder.run({"/g:t.cfg", "-help"});
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.output, clitest::successOutput(folder.absolute("t.cfg")) + unrecognised("-help") + kUsage);
    for (const auto& header : clitest::kHeaders) EXPECT_TRUE(fs::exists(folder / header)) << header;
}

// A 64-digit key was cut to its first 16 bytes with status 0. A key whose 33rd
// character is a hex digit is refused before anything is written; blanks and
// other text after the 32nd digit are ignored as before.
TEST(QuietFailures, KeysWithMoreThan32HexDigitsAreRefused) {
    const std::string k64 = k32 + "101112131415161718191a1b1c1d1e1f";
    const struct {
        std::map<std::string, std::string> changes;
        std::string messages; // the ERR lines, empty for a key that is accepted
    } cases[] = {
        {{{"encryptKey", k64}}, clitest::longKey("encryptKey")},
        {{{"decryptKey", k32 + "F"}}, clitest::longKey("decryptKey")},
        {{{"encryptKey", k64}, {"decryptKey", k32 + "0"}}, clitest::longKey("encryptKey") + clitest::longKey("decryptKey")},
        {{{"encryptKey", k64}, {"TABLES/format", "mixed"}}, clitest::longKey("encryptKey")},
        {{{"encryptKey", k32 + "   "}}, ""},
        {{{"encryptKey", k32 + " 10"}}, ""},
        {{{"decryptKey", k32 + "g0"}}, ""},
        {{{"decryptKey", k32 + ";ab"}}, ""},
    };
    for (const auto& c : cases) {
        ToolFolder folder;
        std::map<std::string, std::string> changes = clitest::seeded(c.changes);
        if (changes.count("TABLES/format")) changes.insert(clitest::kMixedKeys.begin(), clitest::kMixedKeys.end());
        folder.writeScript("t.cfg", changes);
        const auto run = folder.run({"/g:t.cfg"});
        const std::string trace = c.changes.begin()->second;
        if (c.messages.empty()) {
            EXPECT_EQ(run.status, 0) << trace << run.output;
            continue;
        }
        EXPECT_EQ(exitCode(run.status), exitCode(-2)) << trace;
        EXPECT_EQ(run.output, reading(folder, "t.cfg") + c.messages + "\n" + failFrame(-2)) << trace;
        EXPECT_TRUE(run.errors.empty()) << run.errors;
        EXPECT_TRUE(outputsUntouched(folder)) << trace;
    }
}

// A use flag of a sign without digits is no number: refused as a bad flag (30)
// before anything is written, not read as 0, which would build tables quietly
// without the external coding that the script asked for.
TEST(QuietFailures, UseFlagsOfASignWithoutDigitsAreRefused) {
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"useEncryptIOC", "+"}, {"useEncryptIOC", "-"}, {"useDecryptIOC", "+"},
        {"useDecryptIOC", "-"}, {"useEncryptIOC", " + "}, {"useDecryptIOC", "-+1"},
    };
    for (const auto& c : cases) {
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded({{c.key, c.value}}));
        const auto run = folder.run({"/g:t.cfg"});
        // The reader trims blanks around the value.
        std::string value = c.value;
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of(' ') + 1);
        EXPECT_EQ(run.status, 30) << c.key << "='" << c.value << "'";
        EXPECT_EQ(run.output, reading(folder, "t.cfg") + "ERR: BAD FLAG VALUE '" + value + "' FOR " + c.key +
                                  "\n\n" + failFrame(30));
        EXPECT_TRUE(outputsUntouched(folder));
    }
}

// Failures that standard output shows only by a frame or an open saving line
// name their cause in one line on standard error; standard output is as before.
TEST(QuietFailures, SilentFailuresNameTheirCauseOnStandardError) {
    const std::string notSaved = "MARLO AES ENCRYPT TABLES NOT SAVED\n\n" + failFrame(-1);
    const struct {
        const char* name;
        std::map<std::string, std::string> changes;                // script t.cfg
        std::vector<std::pair<std::string, std::string>> templates; // files rewritten
        std::string command;
        int status;
        // Given the folder: the end of standard output, and all of standard error.
        std::function<std::pair<std::string, std::string>(const ToolFolder&)> expected;
    } cases[] = {
        {"missing script", {}, {}, "/g:missing.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "missing.cfg") + "\n" + failFrame(30),
                              clitest::unreadableScript(f.absolute("missing.cfg")));
         }},
        {"missing script for /cbcioc:", {}, {}, "/cbcioc:missing.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "missing.cfg") + clitest::cbcErr(30),
                              clitest::unreadableScript(f.absolute("missing.cfg")));
         }},
        {"empty key", {{"encryptKey", ""}}, {}, "/g:t.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "t.cfg") + "\n" + failFrame(30),
                              clitest::missingValue(f.absolute("t.cfg"), "KEY_VALUE", "encryptKey"));
         }},
        {"two values missing", {{"decryptKey", "<absent>"}, {"invXorTable", ""}}, {}, "/g:t.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "t.cfg") + "\n" + failFrame(30),
                              clitest::missingValue(f.absolute("t.cfg"), "KEY_VALUE", "decryptKey") +
                                  clitest::missingValue(f.absolute("t.cfg"), "HEADER_FILES", "invXorTable"));
         }},
        {"mixed header missing", {{"TABLES/format", "mixed"}, {"mixXorTable", "<absent>"}}, {}, "/g:t.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "t.cfg") + "\n" + failFrame(30),
                              clitest::missingValue(f.absolute("t.cfg"), "HEADER_FILES", "mixXorTable"));
         }},
        {"coding path missing", {{"decryptIOC", ""}}, {}, "/ecbioc:t.cfg", 30,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "t.cfg") + clitest::kEcbErr,
                              clitest::missingValue(f.absolute("t.cfg"), "IOC_FILES", "decryptIOC"));
         }},
        {"template without its tag", {}, {{"tpl/xor.tpl", "const unsigned char xorTables[10];\n"}}, "/g:t.cfg", -1,
         [&](const ToolFolder&) {
             return std::pair("--- Saving out/xor.h header file " + notSaved,
                              clitest::noTag("tpl/xor.tpl", "#xorTables#"));
         }},
        {"template without its closing #", {},
         {{"tpl/invfirst.tpl", "static const unsigned char #invFirstRoundTable#[4][4][256];\n"}}, "/g:t.cfg", -1,
         [](const ToolFolder&) {
             return std::pair(std::string("--- Saving out/invfirst.h header file MARLO AES DECRYPT TABLES NOT SAVED\n") +
                                  failFrame(-1),
                              clitest::noClosingHash("tpl/invfirst.tpl", "#invFirstRoundTable#"));
         }},
        {"mixed template without its tag", {{"TABLES/format", "mixed"}}, {{"tpl/mixxor.tpl", "#mixTables#[1]#;\n"}},
         "/g:t.cfg", -1,
         [&](const ToolFolder&) {
             return std::pair("--- Saving out/mixxor.h header file " + notSaved,
                              clitest::noTag("tpl/mixxor.tpl", "#mixXorTables#"));
         }},
        {"short key", {{"encryptKey", "0001"}}, {}, "/g:t.cfg", -2,
         [](const ToolFolder& f) {
             return std::pair(reading(f, "t.cfg") + "MARLO AES ENCRYPT TABLES NOT GENERATED\n\n" + failFrame(-2),
                              clitest::badKeyText(f.absolute("t.cfg"), "encryptKey", "it has 4 characters"));
         }},
        {"key with a character that is no hex digit", {{"decryptKey", "0001g203040506070809101112131415"}}, {},
         "/g:t.cfg", -2,
         [](const ToolFolder& f) {
             return std::pair(std::string("MARLO AES ENCRYPT TABLES SAVED\n\nMARLO AES DECRYPT TABLES NOT GENERATED\n") +
                                  failFrame(-2),
                              clitest::badKeyText(f.absolute("t.cfg"), "decryptKey", "character 5 is not a hex digit"));
         }},
        {"success", {}, {}, "/g:t.cfg", 0,
         [](const ToolFolder& f) { return std::pair(clitest::successOutput(f.absolute("t.cfg")), std::string()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolFolder folder;
        std::map<std::string, std::string> changes = clitest::seeded(c.changes);
        if (changes.count("TABLES/format")) {
            for (const auto& [key, value] : clitest::kMixedKeys) changes.insert({key, value});
        }
        folder.writeScript("t.cfg", changes);
        for (const auto& [file, text] : c.templates) writeFile(folder / file, text);
        const auto run = folder.run({c.command});
        const auto [outputEnd, errors] = c.expected(folder);
        EXPECT_EQ(exitCode(run.status), exitCode(c.status));
        ASSERT_GE(run.output.size(), outputEnd.size()) << run.output;
        EXPECT_EQ(run.output.substr(run.output.size() - outputEnd.size()), outputEnd);
        EXPECT_EQ(run.errors, errors);
    }
}

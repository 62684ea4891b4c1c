// "/g:" end to end: the real tool in a temporary folder.
#include <gtest/gtest.h>


#include "cli_fixture.h"
#include "expected_messages.h"

using clitest::kHeaders;
using clitest::failFrame;
using clitest::ToolFolder;
using clitest::reading;
using testsupport::readFile;
using testsupport::writeFile;

namespace {


int exitCode(int status) { return status & 0xff; }

size_t headerCount(const ToolFolder& folder) {
    size_t count = 0;
    for (const auto& h : kHeaders) count += std::filesystem::exists(folder / h) ? 1 : 0;
    return count;
}

// An IOC file of valid random codings: 32 byte permutations with their inverses.
std::string validIocFile(uint32_t seed) {
    std::string bytes;
    for (int record = 0; record < 32; ++record) {
        auto noise = testsupport::pseudoRandomBytes(256, seed * 100 + static_cast<uint32_t>(record));
        uint8_t forward[256];
        uint8_t inverse[256];
        for (int i = 0; i < 256; ++i) forward[i] = static_cast<uint8_t>(i);
        for (int i = 255; i > 0; --i) std::swap(forward[i], forward[noise[static_cast<size_t>(i)] % (i + 1)]);
        for (int i = 0; i < 256; ++i) inverse[forward[i]] = static_cast<uint8_t>(i);
        bytes.append(reinterpret_cast<const char*>(forward), 256);
        bytes.append(reinterpret_cast<const char*>(inverse), 256);
    }
    return bytes;
}

} // namespace

TEST(GenerateTables, SuccessOutputAndSixHeaders) {
    ToolFolder folder;
    folder.writeScript("t.cfg");
    const auto run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, clitest::successOutput(folder.absolute("t.cfg")));
    EXPECT_TRUE(run.errors.empty());
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "out")) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 6u);
    // Encryption headers are written before decryption headers.
    auto time = [&](size_t i) { return std::filesystem::last_write_time(folder / kHeaders[i]); };
    for (size_t i = 1; i < kHeaders.size(); ++i) EXPECT_LE(time(i - 1), time(i));
    const std::string round = readFile(folder / "out/round.h");
    EXPECT_EQ(round.rfind("static const unsigned char roundTables[10][4][4][256][4] = {\n{", 0), 0u);
    EXPECT_EQ(round.substr(round.size() - 4), "\n};\n");
}

TEST(GenerateTables, ScriptMissingOrValuesMissing) {
    ToolFolder folder;
    // Missing script: everything reads as empty.
    auto run = folder.run({"/g:nothing.cfg"});
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.output, reading(folder, "nothing.cfg") + "\n" + failFrame(30));

    // Each required key, empty or absent, fails the same way and touches no header.
    const char* required[] = {"encryptKey", "decryptKey", "roundTableTpl", "invFirstRoundTable",
                              "useEncryptIOC", "useDecryptIOC"};
    for (const char* key : required) {
        for (const char* value : {"", "<absent>"}) {
            folder.writeScript("t.cfg", {{key, value}});
            run = folder.run({"/g:t.cfg"});
            EXPECT_EQ(run.status, 30) << key;
            EXPECT_EQ(run.output, reading(folder, "t.cfg") + "\n" + failFrame(30)) << key;
            EXPECT_EQ(headerCount(folder), 0u) << key;
        }
    }
    // A script path that is a directory reads as empty too.
    run = folder.run({"/g:out"});
    EXPECT_EQ(run.status, 30);
}

TEST(GenerateTables, BlanksAroundEqualsAndCaseInsensitiveNames) {
    ToolFolder folder;
    std::string script = "\xEF\xBB\xBF[key_value]\r\n  ENCRYPTKEY\t=   000102030405060708090a0b0c0d0e0f  \r\n"
                         "decryptkey=000102030405060708090a0b0c0d0e0f\r\n[Header_Files]\r\n";
    for (const auto& [key, value] : clitest::kHeaderKeys) script += key + "   =\t" + value + "\r\n";
    script += "[IOC_FILES]\r\nuseEncryptIOC = 0\r\nuseDecryptIOC =  -0 \r\n";
    writeFile(folder / "t.cfg", script);
    const auto run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(headerCount(folder), 6u);
}

TEST(GenerateTables, IocFilesOpenAndLengthFailures) {
    ToolFolder folder;
    // Both switched on and missing: both are tried, each reported.
    folder.writeScript("t.cfg", {{"useEncryptIOC", "1"}, {"useDecryptIOC", "-4"}});
    auto run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE enc.ioc \n" +
                              "FAIL TO OPEN FILE dec.ioc \n\n" + failFrame(16));

    // Switched on with an empty path: an empty name in the message.
    folder.writeScript("t.cfg", {{"useEncryptIOC", "1"}, {"encryptIOC", ""}});
    run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE  \n\n" + failFrame(16));

    // A missing encryption file and a short decryption file: the later failure wins.
    writeFile(folder / "dec.ioc", validIocFile(1).substr(0, 10000));
    folder.writeScript("t.cfg", {{"useEncryptIOC", "1"}, {"useDecryptIOC", "1"}});
    run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 31);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE enc.ioc \n\n" + failFrame(31));

    // Short on the first set or on the second: 31, no message of its own.
    for (size_t size : {size_t{0}, size_t{10000}, size_t{16383}}) {
        writeFile(folder / "enc.ioc", validIocFile(2).substr(0, size));
        folder.writeScript("t.cfg", {{"useEncryptIOC", "1"}});
        run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 31) << size;
        EXPECT_EQ(run.output, reading(folder, "t.cfg") + "\n" + failFrame(31)) << size;
    }
    EXPECT_EQ(headerCount(folder), 0u);

    // Longer than 16,384 bytes with valid codings: accepted.
    writeFile(folder / "enc.ioc", validIocFile(3) + "trailing bytes");
    run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(headerCount(folder), 6u);
}

TEST(GenerateTables, InvalidCodingFilesAreRejected) {
    ToolFolder folder;
    std::string zeros(16384, '\0');
    std::string brokenInverse = validIocFile(4);
    brokenInverse[8192 + 512 * 3 + 256 + 7] ^= 1; // output set, record 3, inverse table
    for (const std::string& content : {zeros, brokenInverse}) {
        writeFile(folder / "dec.ioc", content);
        folder.writeScript("t.cfg", {{"useDecryptIOC", "1"}});
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 32);
        EXPECT_EQ(run.output,
                  reading(folder, "t.cfg") + "INVALID CODING FILE dec.ioc \n\n" + failFrame(32));
        EXPECT_EQ(headerCount(folder), 0u);
    }
}

TEST(GenerateTables, MalformedKeysAreNotGenerated) {
    ToolFolder folder;
    for (const char* key : {"000102030405060708090a0b0c0d0e0", "000102030405060708090a0b0c0d0e0g",
                            "not a key"}) {
        folder.writeScript("t.cfg", {{"encryptKey", key}});
        auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(exitCode(run.status), exitCode(-2)) << key;
        EXPECT_EQ(run.output, reading(folder, "t.cfg") + "MARLO AES ENCRYPT TABLES NOT GENERATED\n\n" +
                                  failFrame(-2));
        EXPECT_EQ(headerCount(folder), 0u);

        folder.writeScript("t.cfg", {{"decryptKey", key}});
        run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(exitCode(run.status), exitCode(-2));
        const std::string out = run.output;
        EXPECT_NE(out.find("MARLO AES ENCRYPT TABLES SAVED\n\nMARLO AES DECRYPT TABLES NOT GENERATED\n" +
                           failFrame(-2)),
                  std::string::npos)
            << out;
        // The encryption headers stay written; no decryption header is.
        EXPECT_EQ(headerCount(folder), 3u);
        for (const auto& h : kHeaders) std::filesystem::remove(folder / h);
    }
    // Characters after the 32nd are ignored.
    folder.writeScript("t.cfg", {{"encryptKey", "000102030405060708090a0b0c0d0e0fZZZZ"}});
    EXPECT_EQ(folder.run({"/g:t.cfg"}).status, 0);
}

TEST(GenerateTables, SavingFailures) {
    ToolFolder folder;
    // The final-round header in a folder that does not exist.
    folder.writeScript("t.cfg", {{"finalRoundTable", "missing/final.h"}});
    auto run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(exitCode(run.status), 255);
    const std::string finalTail = std::string("--- Saving missing/final.h header file  fail\n"
                                              "Fail to open missing/final.h\n"
                                              "MARLO AES ENCRYPT TABLES NOT SAVED\n\n") +
                                  failFrame(-1);
    ASSERT_GE(run.output.size(), finalTail.size());
    EXPECT_EQ(run.output.substr(run.output.size() - finalTail.size()), finalTail);
    // The direction's headers change together: the two that were complete are
    // not renamed into place either.
    EXPECT_EQ(headerCount(folder), 0u);
    EXPECT_EQ(run.output.find("DECRYPT"), std::string::npos);

    // A decryption template without its tag: the saving line stays open.
    for (const auto& h : kHeaders) std::filesystem::remove(folder / h);
    folder.writeScript("t.cfg", {{"invXorTableTpl", "tpl/round.tpl"}});
    run = folder.run({"/g:t.cfg"});
    EXPECT_EQ(exitCode(run.status), 255);
    const std::string tail = "--- Saving out/invxor.h header file MARLO AES DECRYPT TABLES NOT SAVED\n" +
                             failFrame(-1);
    ASSERT_GE(run.output.size(), tail.size());
    EXPECT_EQ(run.output.substr(run.output.size() - tail.size()), tail);
    EXPECT_EQ(headerCount(folder), 3u);
}

#ifndef _WIN32
TEST(GenerateTables, SameSecondSameTablesOtherSecondOtherTables) {
    ToolFolder folder;
    folder.writeScript("a.cfg");
    std::map<std::string, std::string> other;
    std::vector<std::string> otherHeaders;
    for (const auto& [key, value] : clitest::kHeaderKeys) {
        if (value.rfind("out/", 0) == 0) {
            other[key] = "out/b_" + value.substr(4);
            otherHeaders.push_back(other[key]);
        }
    }
    folder.writeScript("b.cfg", other);

    // The tool seeds from the clock's whole second: under a fixed clock two runs
    // on one command line write identical headers.
    testsupport::RunOptions clock;
    clock.faults = true;
    clock.environment = {{"TABRIX_FAKE_TIME", "1700000000"}};
    ASSERT_EQ(folder.run({"/g:a.cfg", "/g:b.cfg"}, clock).status, 0);
    for (size_t i = 0; i < kHeaders.size(); ++i) {
        EXPECT_TRUE(testsupport::sameFile(folder / kHeaders[i], folder / otherHeaders[i])) << i;
    }

    // A run in another second gives other codings for the same key.
    const std::string first = readFile(folder / kHeaders[0]);
    clock.environment = {{"TABRIX_FAKE_TIME", "1700000001"}};
    ASSERT_EQ(folder.run({"/g:a.cfg"}, clock).status, 0);
    EXPECT_NE(readFile(folder / kHeaders[0]), first);
}
#else
POSIX_ONLY_TEST(GenerateTables, SameSecondSameTablesOtherSecondOtherTables, "the fixed clock comes from the preloaded fault library")
#endif

// The optional RANDOM/seed key of "/g:", "/ecbioc:" and "/cbcioc:".
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "cli_fixture.h"

using clitest::ToolFolder;
using testsupport::readFile;

namespace {

const char* kSeed = "00112233445566778899AABBCCDDEEFF";

std::string files(const ToolFolder& folder, const std::vector<std::string>& names) {
    std::string all;
    for (const auto& name : names) all += readFile(folder / name) + "|";
    return all;
}

const std::vector<std::string> kCodingFiles = {"enc.ioc", "dec.ioc", "enc.cbc", "dec.cbc"};

} // namespace

TEST(SeedOption, HexSeedIsReproducibleAcrossSeconds) {
    ToolFolder folder;
    folder.writeScript("t.cfg", {{"RANDOM/seed", kSeed}});
    ASSERT_EQ(folder.run({"/cbcioc:t.cfg", "/g:t.cfg"}).status, 0);
    const std::string codings = files(folder, kCodingFiles);
    const std::string headers = files(folder, clitest::kHeaders);
    ASSERT_EQ(folder.run({"/ecbioc:t.cfg"}).status, 0);
    const std::string ecb = files(folder, {"enc.ioc", "dec.ioc"});

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(folder.run({"/cbcioc:t.cfg", "/g:t.cfg"}).status, 0);
    EXPECT_EQ(files(folder, kCodingFiles), codings);
    EXPECT_EQ(files(folder, clitest::kHeaders), headers);
    ASSERT_EQ(folder.run({"/ecbioc:t.cfg"}).status, 0);
    EXPECT_EQ(files(folder, {"enc.ioc", "dec.ioc"}), ecb);

    // The seed is the random state itself: another seed, other codings.
    folder.writeScript("t.cfg", {{"RANDOM/seed", "00112233445566778899aabbccddeefe"}});
    ASSERT_EQ(folder.run({"/ecbioc:t.cfg"}).status, 0);
    EXPECT_NE(files(folder, {"enc.ioc", "dec.ioc"}), ecb);
}

TEST(SeedOption, SystemSeedDiffersWithinOneSecond) {
    ToolFolder folder;
    folder.writeScript("a.cfg", {{"RANDOM/seed", "system"}});
    folder.writeScript("b.cfg", {{"RANDOM/seed", "system"},
                                 {"encryptIOC", "b_enc.ioc"},
                                 {"decryptIOC", "b_dec.ioc"},
                                 {"encryptCBCIOCData", "b_enc.cbc"},
                                 {"decryptCBCIOCData", "b_dec.cbc"}});
    // A CBC coding record fails all its attempts now and then (status 28): try again.
    auto run = folder.run({"/cbcioc:a.cfg", "/cbcioc:b.cfg"});
    for (int attempt = 0; attempt < 3 && run.output.find("(28)") != std::string::npos; ++attempt) {
        run = folder.run({"/cbcioc:a.cfg", "/cbcioc:b.cfg"});
    }
    ASSERT_EQ(run.status, 0) << run.output;
    for (const auto& name : kCodingFiles) {
        EXPECT_NE(readFile(folder / name), readFile(folder / ("b_" + name))) << name;
    }
}

TEST(SeedOption, MalformedSeedGeneratesNothing) {
    ToolFolder folder;
    for (const char* seed : {"xyz", "0011223344556677889AABBCCDDEEFF", "00112233445566778899AABBCCDDEEFF0",
                             "00112233445566778899AABBCCDDEEFG", "System"}) {
        SCOPED_TRACE(seed);
        folder.writeScript("t.cfg", {{"RANDOM/seed", seed}});
        const std::string reading = "Reading '" + folder.absolute("t.cfg") + "' ...\n";
        const std::string error = std::string("ERR: BAD SEED VALUE '") + seed + "'\n";

        auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 30);
        EXPECT_EQ(run.output, reading + error + "\n" + clitest::failFrame(30));
        run = folder.run({"/ecbioc:t.cfg"});
        EXPECT_EQ(run.status, 30);
        EXPECT_EQ(run.output, reading + error +
                                  "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION)\n"
                                  "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n");
        run = folder.run({"/cbcioc:t.cfg"});
        EXPECT_EQ(run.status, 30);
        EXPECT_EQ(run.output,
                  reading + error +
                      "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION) (30)\n"
                      "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION) (30)\n");
        size_t written = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
            written += entry.is_regular_file() && entry.path().extension() != ".cfg" &&
                       entry.path().extension() != ".tpl";
        }
        EXPECT_EQ(written, 0u);
    }
}

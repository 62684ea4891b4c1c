// [TABLES] format: the classic headers stay byte for byte what they were for a
// fixed seed (a golden digest, not the files), and bad values are refused.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "coding/codings.h"
#include "expected_messages.h"
#include "support/reference_crypto.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"

using clitest::kHeaders;
using clitest::ToolFolder;

namespace fs = std::filesystem;

namespace {

// SHA-256 of the six headers, in kHeaders order, as lower-case hex.
std::string headerDigest(const ToolFolder& folder, const std::vector<std::string>& headers) {
    std::string all;
    for (const auto& header : headers) all += testsupport::readFile(folder / header);
    const std::vector<uint8_t> digest =
        testsupport::referenceDigest(testsupport::Digest::sha256, all.data(), all.size());
    return testsupport::hexText(digest.data(), digest.size());
}

// The six headers of the default script with RANDOM/seed = kFixedSeed, as the
// tool wrote them before the format key existed.
constexpr const char* kClassicDigest =
    "d454bcaf1645ea5d38d6dd7cb0b93d310e927c5527dabbd7103b503abdc29574";

// The ten headers of the mixed format (kHeaders, then kMixedHeaders) with
// RANDOM/seed = kFixedSeed: every draw of the format (nibble codings, the
// matrices' rows by rejection) is pinned by it.
constexpr const char* kMixedDigest =
    "88f1e12bb748ffb5f8ce6d0df3f1b0f9bd106d85a102e9c96f9f26ae12d4ba18";

} // namespace

TEST(TableFormat, ClassicHeadersMatchTheGoldenDigest) {
    for (const char* format : {"<absent>", "classic", ""}) {
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded({{"TABLES/format", format}}));
        const auto run = folder.run({"/g:t.cfg"});
        ASSERT_EQ(run.status, 0) << format << run.output;
        EXPECT_EQ(run.output, clitest::successOutput(folder.absolute("t.cfg"))) << format;
        EXPECT_EQ(headerDigest(folder, kHeaders), kClassicDigest) << format;
    }
}

// [TABLES] keyBits empty, absent or 128 is AES-128, byte for byte as before
// the key existed, in both formats.
TEST(TableFormat, Aes128KeyBitsKeepTheGoldenDigests) {
    for (const char* keyBits : {"<absent>", "", "128"}) {
        for (const bool mixed : {false, true}) {
            ToolFolder folder;
            std::map<std::string, std::string> changes = clitest::seeded({{"TABLES/keyBits", keyBits}});
            std::vector<std::string> headers = kHeaders;
            if (mixed) {
                changes.insert(clitest::kMixedKeys.begin(), clitest::kMixedKeys.end());
                headers.insert(headers.end(), clitest::kMixedHeaders.begin(), clitest::kMixedHeaders.end());
            }
            folder.writeScript("t.cfg", changes);
            const auto run = folder.run({"/g:t.cfg"});
            ASSERT_EQ(run.status, 0) << keyBits << run.output;
            if (!mixed) {
                EXPECT_EQ(run.output, clitest::successOutput(folder.absolute("t.cfg"))) << keyBits;
            }
            EXPECT_EQ(headerDigest(folder, headers), mixed ? kMixedDigest : kClassicDigest) << keyBits << mixed;
        }
    }
}

TEST(TableFormat, MixedHeadersMatchTheGoldenDigest) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded(clitest::kMixedKeys));
    const auto run = folder.run({"/g:t.cfg"});
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<std::string> headers = kHeaders;
    headers.insert(headers.end(), clitest::kMixedHeaders.begin(), clitest::kMixedHeaders.end());
    EXPECT_EQ(headerDigest(folder, headers), kMixedDigest);
}

TEST(TableFormat, BadValuesAreRefusedBeforeAnythingIsWritten) {
    ToolFolder folder;
    for (const char* value : {"Mixed", "MIXED", "classic2", "mixed,classic", "0"}) {
        folder.writeScript("t.cfg", clitest::seeded({{"TABLES/format", value}}));
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 30) << value;
        EXPECT_EQ(run.output, clitest::reading(folder, "t.cfg") + "ERR: BAD TABLE FORMAT '" + value + "'\n\n" +
                                  clitest::failFrame(30))
            << value;
        EXPECT_TRUE(fs::is_empty(folder / "out")) << value;
    }
}

// The mixed format's templates are looked at after the classic six, in the
// order of their keys: of two that are folders, the first is named.
TEST(TableFormat, MixedTemplatesAreCheckedInTheirOrder) {
    ToolFolder folder;
    const struct {
        const char* first;
        const char* second;
    } cases[] = {{"mixTableTpl", "invMixTableTpl"}, {"mixXorTableTpl", "invMixXorTableTpl"},
                 {"invMixTableTpl", "invMixXorTableTpl"},
                 // Every neighbour in the order: the six classic ones, then these four.
                 {"invFirstRoundTableTpl", "mixTableTpl"}, {"mixTableTpl", "mixXorTableTpl"},
                 {"mixXorTableTpl", "invMixTableTpl"}};
    for (const auto& c : cases) {
        auto changes = clitest::seeded(clitest::kMixedKeys);
        changes[c.first] = "tpl/first-folder";
        changes[c.second] = "tpl/second-folder";
        fs::create_directories(folder / "tpl/first-folder");
        fs::create_directories(folder / "tpl/second-folder");
        folder.writeScript("t.cfg", changes);
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 255) << c.first;
        EXPECT_NE(run.output.find("Fail to open tpl/first-folder\n"), std::string::npos) << run.output;
        EXPECT_TRUE(fs::is_empty(folder / "out")) << c.first;
    }
}

TEST(TableFormat, MixedKeysAreRequiredOnlyWithTheMixedFormat) {
    ToolFolder folder;
    for (const auto& [key, value] : clitest::kMixedKeys) {
        if (key == "TABLES/format") continue;
        auto changes = clitest::seeded(clitest::kMixedKeys);
        changes[key] = "<absent>";
        folder.writeScript("t.cfg", changes);
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 30) << key;
        EXPECT_EQ(run.output, clitest::reading(folder, "t.cfg") + "\n" + clitest::failFrame(30)) << key;
        EXPECT_TRUE(fs::is_empty(folder / "out")) << key;
    }
}

// "/g:" with format = mixed writes ten headers whose tables compute AES-128 in
// both directions, plain and under the ECB codings of "/ecbioc:".
TEST(TableFormat, MixedHeadersComputeAes) {
    for (const bool coded : {false, true}) {
        SCOPED_TRACE(coded ? "ecb codings" : "plain");
        ToolFolder folder;
        auto changes = clitest::seeded(clitest::kMixedKeys);
        changes["useEncryptIOC"] = coded ? "1" : "0";
        changes["useDecryptIOC"] = coded ? "1" : "0";
        folder.writeScript("t.cfg", changes);
        if (coded) {
            ASSERT_EQ(folder.run({"/ecbioc:t.cfg"}).status, 0);
        }
        const auto run = folder.run({"/g:t.cfg"});
        ASSERT_EQ(run.status, 0) << run.output;
        for (const std::string& header : clitest::kMixedHeaders) {
            EXPECT_NE(run.output.find("--- Saving " + header + " header file .......... success\n"),
                      std::string::npos)
                << header;
        }
        auto storage = std::make_unique<MixedTableStorage>();
        ASSERT_TRUE(clitest::loadMixedHeaders(folder, *storage));
        CodingSet sets[4]{}; // encryption input, output; decryption input, output
        if (coded) {
            for (size_t i = 0; i < 4; ++i) {
                ASSERT_TRUE(clitest::loadCodingSet(folder / (i < 2 ? "enc.ioc" : "dec.ioc"),
                                                   (i % 2) * sizeof(CodingSet), sets[i]));
            }
        }
        MixedWhiteBoxAesCipher cipher;
        cipher.SetMixedTables(storage.get());
        const std::vector<uint8_t> key = testsupport::hexBytes("000102030405060708090a0b0c0d0e0f");
        const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(64, 9);
        const std::vector<uint8_t> expected = testsupport::referenceAes(true, key, testsupport::kEcb, plain);
        std::vector<uint8_t> forward = plain;
        std::vector<uint8_t> backward = expected;
        if (coded) {
            encodeData(forward.data(), 64, sets[0]);
            encodeData(backward.data(), 64, sets[2]);
        }
        for (size_t at = 0; at < 64; at += 16) {
            ASSERT_EQ(cipher.EncryptBlockInPlace(forward.data() + at), 0);
            ASSERT_EQ(cipher.DecryptBlockInPlace(backward.data() + at), 0);
        }
        if (coded) {
            decodeData(forward.data(), 64, sets[1]);
            decodeData(backward.data(), 64, sets[3]);
        }
        EXPECT_EQ(forward, expected);
        EXPECT_EQ(backward, plain);
    }
}

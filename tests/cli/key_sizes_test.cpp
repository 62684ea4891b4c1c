// [TABLES] keyBits end to end with the real tool: bad sizes and keys of the
// wrong length are refused before anything is written, and AES-192 and AES-256
// headers of both formats, read back, hold tables that give the published
// answers. (AES-128 staying byte for byte is in table_format_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "expected_messages.h"
#include "support/known_answers.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"

using clitest::failFrame;
using clitest::reading;
using clitest::ToolFolder;

namespace {

namespace fs = std::filesystem;

std::string keyNotOfSize(const std::string& key, int digits, int bits) {
    return "ERR: KEY TEXT OF " + key + " IS NOT " + std::to_string(digits) + " HEX DIGITS FOR AES-" +
           std::to_string(bits) + "\n";
}

// The success output of the default paths with R progress marks per round and
// XOR header instead of ten.
std::string successOutputOf(const ToolFolder& folder, int rounds) {
    std::string out = clitest::successOutput(folder.absolute("t.cfg"));
    const std::string ten = "file ..........";
    const std::string marks = "file " + std::string(static_cast<size_t>(rounds), '.');
    for (size_t at = out.find(ten); at != std::string::npos; at = out.find(ten, at + marks.size())) {
        out.replace(at, ten.size(), marks);
    }
    return out;
}

const std::string k32 = vectors::kC1Key;
const std::string k48 = vectors::kC2Key;
const std::string k64 = vectors::kC3Key;

} // namespace

TEST(KeySizes, BadKeySizesAreRefusedBeforeAnythingIsWritten) {
    ToolFolder folder;
    for (const char* value : {"64", "160", "512", "0", "-128", "+192", "0192", "192.0", "256 bits", "AES-256",
                              "0x80", "1920", "128,256"}) {
        folder.writeScript("t.cfg", clitest::seeded({{"TABLES/keyBits", value}}));
        const auto run = folder.run({"/g:t.cfg"});
        EXPECT_EQ(run.status, 30) << value;
        EXPECT_EQ(run.output,
                  reading(folder, "t.cfg") + "ERR: BAD KEY SIZE '" + value + "'\n\n" + failFrame(30))
            << value;
        EXPECT_TRUE(fs::is_empty(folder / "out")) << value;
    }
}

// A key must be exactly the size's hex digits: a shorter one would leave key
// bytes unset, a longer one would be cut, and text behind the digits (which
// AES-128 keys may carry) is refused too. Status -2, nothing written, both keys
// looked at.
TEST(KeySizes, KeysOfTheWrongLengthAreRefusedBeforeAnythingIsWritten) {
    const struct {
        const char* keyBits;
        std::map<std::string, std::string> keys;
        std::string messages;
    } cases[] = {
        {"192", {{"encryptKey", k32}, {"decryptKey", k48}}, keyNotOfSize("encryptKey", 48, 192)},
        {"192", {{"encryptKey", k48}, {"decryptKey", k48.substr(0, 47)}}, keyNotOfSize("decryptKey", 48, 192)},
        {"192", {{"encryptKey", k48 + "0"}, {"decryptKey", k48}}, keyNotOfSize("encryptKey", 48, 192)},
        {"192", {{"encryptKey", k64}, {"decryptKey", k64}},
         keyNotOfSize("encryptKey", 48, 192) + keyNotOfSize("decryptKey", 48, 192)},
        {"192", {{"encryptKey", k48 + " 00"}, {"decryptKey", k48}}, keyNotOfSize("encryptKey", 48, 192)},
        {"192", {{"encryptKey", k48}, {"decryptKey", k48.substr(0, 20) + "g" + k48.substr(21)}},
         keyNotOfSize("decryptKey", 48, 192)},
        {"256", {{"encryptKey", k48}, {"decryptKey", k64}}, keyNotOfSize("encryptKey", 64, 256)},
        {"256", {{"encryptKey", k64}, {"decryptKey", k64.substr(0, 63)}}, keyNotOfSize("decryptKey", 64, 256)},
        {"256", {{"encryptKey", k64 + "f"}, {"decryptKey", k32}},
         keyNotOfSize("encryptKey", 64, 256) + keyNotOfSize("decryptKey", 64, 256)},
        {"256", {{"encryptKey", k64}, {"decryptKey", k64 + ";"}}, keyNotOfSize("decryptKey", 64, 256)},
    };
    for (const bool mixed : {false, true}) {
        for (const auto& c : cases) {
            ToolFolder folder;
            std::map<std::string, std::string> changes = clitest::seeded(c.keys);
            changes["TABLES/keyBits"] = c.keyBits;
            if (mixed) changes.insert(clitest::kMixedKeys.begin(), clitest::kMixedKeys.end());
            folder.writeScript("t.cfg", changes);
            const auto run = folder.run({"/g:t.cfg"});
            const std::string trace = std::string(c.keyBits) + (mixed ? " mixed " : " ") + c.messages;
            EXPECT_EQ(run.status & 0xff, -2 & 0xff) << trace;
            EXPECT_EQ(run.output, reading(folder, "t.cfg") + c.messages + "\n" + failFrame(-2)) << trace;
            EXPECT_TRUE(run.errors.empty()) << trace << run.errors;
            EXPECT_TRUE(fs::is_empty(folder / "out")) << trace;
        }
    }
}

namespace {

// The encryption tables of one key and the decryption tables of another, read
// back from the headers: the FIPS-197 example of the size (C.2, C.3) encrypts
// under encryptKey, and the first CBC block of its SP 800-38A key (F.2.4,
// F.2.6) decrypts under decryptKey.
template <int Rounds>
void expectHeadersGiveTheAnswers(bool mixed) {
    SCOPED_TRACE(std::string(mixed ? "mixed" : "classic") + " R=" + std::to_string(Rounds));
    const vectors::KeySizeVectors* found = nullptr;
    for (const auto& v : vectors::kKeySizeVectors) {
        if (v.keyBits == keyBitsOfRounds(Rounds)) found = &v;
    }
    ASSERT_NE(found, nullptr);
    const vectors::KeySizeVectors& answers = *found;
    ToolFolder folder;
    std::map<std::string, std::string> changes =
        clitest::seeded({{"encryptKey", answers.fipsKey},
                         {"decryptKey", answers.modeKey},
                         {"TABLES/keyBits", std::to_string(answers.keyBits)}});
    if (mixed) changes.insert(clitest::kMixedKeys.begin(), clitest::kMixedKeys.end());
    folder.writeScript("t.cfg", changes);
    const auto run = folder.run({"/g:t.cfg"});
    ASSERT_EQ(run.status, 0) << run.output;
    if (!mixed) {
        EXPECT_EQ(run.output, successOutputOf(folder, Rounds));
    }

    std::unique_ptr<WhiteBoxAesCipher> cipher;
    auto classicTables = std::make_unique<TableStorageOf<Rounds>>();
    auto mixedTables = std::make_unique<MixedTableStorageOf<Rounds>>();
    if (mixed) {
        ASSERT_TRUE(clitest::loadMixedHeaders(folder, *mixedTables));
        auto m = std::make_unique<MixedWhiteBoxAesCipher>();
        ASSERT_EQ(m->SetMixedTables(mixedTables.get()), 0);
        cipher = std::move(m);
    } else {
        ASSERT_TRUE(clitest::loadHeaders(folder, *classicTables));
        cipher = std::make_unique<WhiteBoxAesCipher>();
        ASSERT_EQ(cipher->SetTables(classicTables.get()), 0);
    }
    ASSERT_EQ(cipher->RoundCount(), Rounds);

    std::vector<uint8_t> block = testsupport::hexBytes(vectors::kC1Plain);
    ASSERT_EQ(cipher->EncryptBlockInPlace(block.data()), 0);
    EXPECT_EQ(testsupport::hexText(block.data(), 16), answers.fipsCipher) << answers.source;

    // F.2.4/F.2.6: the first ciphertext block decrypts to the first plaintext
    // block XOR the IV.
    block = testsupport::hexBytes(std::string(answers.cbcCipher, 32));
    ASSERT_EQ(cipher->DecryptBlockInPlace(block.data()), 0);
    const std::vector<uint8_t> iv = testsupport::hexBytes(vectors::kCbcIv);
    for (size_t i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(block[i] ^ iv[i]);
    EXPECT_EQ(testsupport::hexText(block.data(), 16), std::string(vectors::kCbcPlain, 32)) << answers.source;
}

} // namespace

TEST(KeySizes, Aes192And256HeadersHoldTablesOfTheirKeys) {
    for (const bool mixed : {false, true}) {
        expectHeadersGiveTheAnswers<kAes192Rounds>(mixed);
        expectHeadersGiveTheAnswers<kAes256Rounds>(mixed);
    }
}

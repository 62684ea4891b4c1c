// "/ecbioc:" and "/cbcioc:" end to end, and their files fed to "/g:".
#include <gtest/gtest.h>

#include <cstring>

#include "cli_fixture.h"
#include "expected_messages.h"
#include "support/reference_crypto.h"
#include "wbcipher/white_box_aes_cipher.h"

using clitest::ToolFolder;
using namespace clitest;
using testsupport::readFile;

namespace {

const std::string kEcbOk = kEcbEncOk + kEcbDecOk;

uintmax_t sizeOf(const ToolFolder& folder, const std::string& name) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(folder / name, ec);
    return ec ? 0 : size;
}

// first(u) ^ second(v) == third(u ^ v) for every record and every pair.
bool related(const CodingSet& first, const CodingSet& second, const CodingSet& third) {
    for (const int k : {0, 5, 15}) {
        for (int u = 0; u < 256; ++u) {
            for (int v = 0; v < 256; ++v) {
                if ((first.records[k].forward[u] ^ second.records[k].forward[v]) !=
                    third.records[k].forward[u ^ v]) {
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace

TEST(CodingCommands, EcbSuccess) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    const auto run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + kEcbOk);
    for (const char* file : {"enc.ioc", "dec.ioc"}) {
        EXPECT_EQ(sizeOf(folder, file), 16384u);
        CodingSet input;
        CodingSet output;
        ASSERT_TRUE(clitest::loadCodingSet(folder / file, 0, input));
        ASSERT_TRUE(clitest::loadCodingSet(folder / file, 8192, output));
        EXPECT_TRUE(isValidCodingSet(input) && isValidCodingSet(output));
    }
    EXPECT_NE(readFile(folder / "enc.ioc"), readFile(folder / "dec.ioc"));
}

TEST(CodingCommands, CbcSuccessWritesRelatedTriples) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded());
    const auto run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + kCbcEncOk + kCbcDecOk);
    EXPECT_EQ(sizeOf(folder, "enc.ioc"), 16384u);
    EXPECT_EQ(sizeOf(folder, "dec.ioc"), 16384u);
    EXPECT_EQ(sizeOf(folder, "enc.cbc"), 8192u);
    EXPECT_EQ(sizeOf(folder, "dec.cbc"), 8192u);
    CodingSet in, out, data;
    ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.ioc", 0, in));
    ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.ioc", 8192, out));
    ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.cbc", 0, data));
    EXPECT_TRUE(related(in, out, data)); // encryption: input, output, data = first, second, third
    ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.ioc", 0, in));
    ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.ioc", 8192, out));
    ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.cbc", 0, data));
    EXPECT_TRUE(related(data, out, in)); // decryption: data, output, input
}

TEST(CodingCommands, MissingKeys) {
    ToolFolder folder;
    // A missing script: every key is missing.
    auto run = folder.run({"/ecbioc:none.cfg"});
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.output, reading(folder, "none.cfg") + kEcbErr);
    run = folder.run({"/cbcioc:none.cfg"});
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.output, reading(folder, "none.cfg") + cbcErr(30));

    // Without decryptCBCIOCData only "/cbcioc:" fails, before writing anything.
    folder.writeScript("t.cfg", clitest::seeded({{"decryptCBCIOCData", "<absent>"}}));
    run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + cbcErr(30));
    EXPECT_FALSE(std::filesystem::exists(folder / "enc.ioc"));
    run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 0);

    folder.writeScript("t.cfg", clitest::seeded({{"encryptIOC", ""}}));
    run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + kEcbErr);
}

// Files that cannot be opened or written: the messages, the status, and which
// files the failing direction leaves (none of its own). "/cbcioc:" still tries
// a direction's data file after its IOC file failed, so both failures show.
TEST(CodingCommands, FilesThatCannotBeOpenedOrWritten) {
    const std::string openEnc = "FAIL TO OPEN FILE no/enc.ioc \n";
    const struct {
        const char* key;
        const char* path;
        const char* command;
        int status;
        std::string output; // after the reading line
        std::vector<const char*> absent;
    } cases[] = {
        {"encryptIOC", "no/enc.ioc", "/ecbioc:", 16, openEnc + kEcbErr, {"dec.ioc"}},
        {"encryptIOC", "no/enc.ioc", "/cbcioc:", 16, openEnc + cbcErr(16), {"enc.cbc", "dec.cbc", "dec.ioc"}},
        {"encryptCBCIOCData", "no/enc.cbc", "/cbcioc:", 16, "FAIL TO OPEN FILE no/enc.cbc \n" + cbcErr(16),
         {"enc.ioc", "dec.ioc"}},
        {"decryptIOC", "no/dec", "/cbcioc:", 16, kCbcEncOk + "FAIL TO OPEN FILE no/dec \n" + cbcErr(16, false),
         {"dec.cbc"}},
        {"decryptCBCIOCData", "no/dec", "/cbcioc:", 16,
         kCbcEncOk + "FAIL TO OPEN FILE no/dec \n" + cbcErr(16, false), {"dec.ioc"}},
        {"decryptIOC", "no/dec", "/ecbioc:", 16, kEcbEncOk + "FAIL TO OPEN FILE no/dec \n" + kEcbDecErr, {}},
        {"encryptIOC", "/dev/full", "/ecbioc:", 17, "FAIL TO WRITE FILE /dev/full \n" + kEcbErr, {"dec.ioc"}},
        {"encryptIOC", "/dev/full", "/cbcioc:", 17, "FAIL TO WRITE FILE /dev/full \n" + cbcErr(17),
         {"enc.cbc", "dec.ioc", "dec.cbc"}},
        {"decryptCBCIOCData", "/dev/full", "/cbcioc:", 17,
         kCbcEncOk + "FAIL TO WRITE FILE /dev/full \n" + cbcErr(17, false), {"dec.ioc"}},
    };
    for (const auto& c : cases) {
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded({{c.key, c.path}}));
        const auto run = folder.run({std::string(c.command) + "t.cfg"});
        EXPECT_EQ(run.status, c.status) << c.command << c.key;
        EXPECT_EQ(run.output, reading(folder, "t.cfg") + c.output) << c.command << c.key;
        for (const char* name : c.absent) {
            EXPECT_FALSE(std::filesystem::exists(folder / name)) << c.command << c.key << " " << name;
        }
    }
}

#ifndef _WIN32
TEST(CodingCommands, SameSecondGivesIdenticalFiles) {
    ToolFolder folder;
    folder.writeScript("a.cfg");
    folder.writeScript("b.cfg", {{"encryptIOC", "b_enc.ioc"}, {"decryptIOC", "b_dec.ioc"},
                                 {"encryptCBCIOCData", "b_enc.cbc"}, {"decryptCBCIOCData", "b_dec.cbc"}});
    // Under a fixed clock (a second whose seed makes every CBC record).
    testsupport::RunOptions clock;
    clock.faults = true;
    clock.environment = {{"TABRIX_FAKE_TIME", "1700000000"}};
    for (const std::string command : {"/ecbioc:", "/cbcioc:"}) {
        ASSERT_EQ(folder.run({command + "a.cfg", command + "b.cfg"}, clock).status, 0) << command;
        EXPECT_TRUE(testsupport::sameFile(folder / "enc.ioc", folder / "b_enc.ioc")) << command;
        EXPECT_TRUE(testsupport::sameFile(folder / "dec.ioc", folder / "b_dec.ioc")) << command;
        if (command == "/cbcioc:") {
            EXPECT_TRUE(testsupport::sameFile(folder / "enc.cbc", folder / "b_enc.cbc"));
            EXPECT_TRUE(testsupport::sameFile(folder / "dec.cbc", folder / "b_dec.cbc"));
        }
    }
}
#else
POSIX_ONLY_TEST(CodingCommands, SameSecondGivesIdenticalFiles, "the fixed clock comes from the preloaded fault library")
#endif

// Coding files written by the commands, merged into tables by "/g:": the tables
// in the headers compute AES-128 (ECB blocks, and CBC with the CBC triples).
TEST(CodingCommands, FilesFedToTableGenerationRoundTrip) {
    const std::vector<uint8_t> key = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(160, 7);
    const std::vector<uint8_t> ivBytes = testsupport::pseudoRandomBytes(16, 8);
    const std::vector<uint8_t> cipherText = testsupport::referenceAes(true, key, ivBytes.data(), plain);
    const std::vector<uint8_t> ecbCipherText = testsupport::referenceAes(true, key, testsupport::kEcb, plain);

    for (const char* command : {"/ecbioc:", "/cbcioc:"}) {
        SCOPED_TRACE(command);
        ToolFolder folder;
        folder.writeScript("t.cfg", clitest::seeded({{"useEncryptIOC", "1"}, {"useDecryptIOC", "1"}}));
        const auto run = folder.run({std::string(command) + "t.cfg", "/g:t.cfg"});
        ASSERT_EQ(run.status, 0) << run.output;
        auto storage = std::make_unique<TableStorage>();
        ASSERT_TRUE(clitest::loadHeaders(folder, *storage));
        CodingSet encIn, encOut, decIn, decOut;
        ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.ioc", 0, encIn));
        ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.ioc", 8192, encOut));
        ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.ioc", 0, decIn));
        ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.ioc", 8192, decOut));
        WhiteBoxAesCipher cipher;
        cipher.SetTables(storage.get());

        // Blocks: encode, cipher, decode; the decryption from the reference's ciphertext.
        const struct {
            const char* name;
            int32_t (WhiteBoxAesCipher::*cipherBlock)(const uint8_t*, uint8_t*);
            const CodingSet& in;
            const CodingSet& out;
            const std::vector<uint8_t>& from;
            const std::vector<uint8_t>& to;
        } directions[] = {
            {"encrypt", &WhiteBoxAesCipher::EncryptBlock, encIn, encOut, plain, ecbCipherText},
            {"decrypt", &WhiteBoxAesCipher::DecryptBlock, decIn, decOut, ecbCipherText, plain},
        };
        for (const auto& d : directions) {
            SCOPED_TRACE(d.name);
            for (size_t at = 0; at < plain.size(); at += 16) {
                uint8_t block[16];
                uint8_t result[16];
                std::memcpy(block, &d.from[at], 16);
                encodeData(block, 16, d.in);
                ASSERT_EQ((cipher.*d.cipherBlock)(block, result), 0);
                decodeData(result, 16, d.out);
                EXPECT_EQ(0, std::memcmp(result, &d.to[at], 16));
            }
        }

        if (std::string(command) != "/cbcioc:") continue;
        // CBC: data coded with the data set and the IV with the output set.
        CodingSet encData, decData;
        ASSERT_TRUE(clitest::loadCodingSet(folder / "enc.cbc", 0, encData));
        ASSERT_TRUE(clitest::loadCodingSet(folder / "dec.cbc", 0, decData));
        std::vector<uint8_t> buffer = plain;
        uint32_t length = static_cast<uint32_t>(buffer.size());
        uint32_t capacity = length;
        encodeData(buffer.data(), length, encData);
        std::memcpy(cipher.iv, ivBytes.data(), 16);
        encodeData(cipher.iv, 16, encOut);
        ASSERT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0), 0);
        decodeData(buffer.data(), length, encOut);
        EXPECT_EQ(buffer, cipherText);

        // Decryption: ciphertext and IV coded with the decryption input set.
        buffer = cipherText;
        encodeData(buffer.data(), length, decIn);
        std::memcpy(cipher.iv, ivBytes.data(), 16);
        encodeData(cipher.iv, 16, decIn);
        ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(buffer.data(), &length, 0), 0);
        decodeData(buffer.data(), length, decData);
        EXPECT_EQ(buffer, plain);
    }
}

// "/ecbioc:" and "/cbcioc:" end to end, and their files fed to "/g:".
#include <gtest/gtest.h>

#include <cstring>

#include "cli_fixture.h"
#include "support/openssl_reference.h"
#include "wbcipher/white_box_aes_cipher.h"

using clitest::ToolFolder;
using testsupport::readFile;

namespace {

const std::string kEcbOk =
    "OK: MARLOAES ECB-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n"
    "OK: MARLOAES EBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";
const std::string kEcbErr =
    "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION)\n"
    "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n";
const std::string kCbcEncOk = "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n";
const std::string kCbcDecOk = "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";

std::string cbcErr(int status, bool both = true) {
    const std::string s = std::to_string(status);
    return (both ? "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION) (" + s + ")\n"
                 : std::string()) +
           "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION) (" + s + ")\n";
}

std::string reading(const ToolFolder& folder, const std::string& script) {
    return "Reading '" + folder.absolute(script) + "' ...\n";
}

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

TEST(CodingCommands, FilesThatCannotBeOpened) {
    ToolFolder folder;
    // Encryption IOC file: ECB stops; CBC still tries the data file, but a
    // direction that fails changes none of its files.
    folder.writeScript("t.cfg", clitest::seeded({{"encryptIOC", "no/enc.ioc"}}));
    auto run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE no/enc.ioc \n" + kEcbErr);
    EXPECT_FALSE(std::filesystem::exists(folder / "dec.ioc"));
    run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE no/enc.ioc \n" + cbcErr(16));
    EXPECT_FALSE(std::filesystem::exists(folder / "enc.cbc"));
    EXPECT_FALSE(std::filesystem::exists(folder / "dec.cbc"));

    // Encryption data file.
    folder.writeScript("t.cfg", clitest::seeded({{"encryptCBCIOCData", "no/enc.cbc"}}));
    run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO OPEN FILE no/enc.cbc \n" + cbcErr(16));
    EXPECT_FALSE(std::filesystem::exists(folder / "enc.ioc"));

    // Decryption files: the encryption direction is done and reported.
    for (const char* key : {"decryptIOC", "decryptCBCIOCData"}) {
        folder.writeScript("t.cfg", clitest::seeded({{key, "no/dec"}}));
        run = folder.run({"/cbcioc:t.cfg"});
        EXPECT_EQ(run.status, 16);
        EXPECT_EQ(run.output,
                  reading(folder, "t.cfg") + kCbcEncOk + "FAIL TO OPEN FILE no/dec \n" + cbcErr(16, false));
    }
    folder.writeScript("t.cfg", clitest::seeded({{"decryptIOC", "no/dec"}}));
    run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 16);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") +
                              "OK: MARLOAES ECB-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n"
                              "FAIL TO OPEN FILE no/dec \n"
                              "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n");
}

TEST(CodingCommands, WriteErrorsAreReported) {
    ToolFolder folder;
    folder.writeScript("t.cfg", clitest::seeded({{"encryptIOC", "/dev/full"}}));
    auto run = folder.run({"/ecbioc:t.cfg"});
    EXPECT_EQ(run.status, 17);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO WRITE FILE /dev/full \n" + kEcbErr);

    run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 17);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + "FAIL TO WRITE FILE /dev/full \n" + cbcErr(17));

    folder.writeScript("t.cfg", clitest::seeded({{"decryptCBCIOCData", "/dev/full"}}));
    run = folder.run({"/cbcioc:t.cfg"});
    EXPECT_EQ(run.status, 17);
    EXPECT_EQ(run.output, reading(folder, "t.cfg") + kCbcEncOk + "FAIL TO WRITE FILE /dev/full \n" +
                              cbcErr(17, false));
}

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

// Coding files written by the commands, merged into tables by "/g:": the tables
// in the headers compute AES-128 (ECB blocks, and CBC with the CBC triples).
TEST(CodingCommands, FilesFedToTableGenerationRoundTrip) {
    const std::vector<uint8_t> key = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(160, 7);
    const std::vector<uint8_t> ivBytes = testsupport::pseudoRandomBytes(16, 8);
    const std::vector<uint8_t> cipherText = testsupport::opensslAes(true, key, ivBytes.data(), plain);
    const std::vector<uint8_t> ecbCipherText = testsupport::opensslAes(true, key, testsupport::kEcb, plain);

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

        // Blocks: encode, cipher, decode.
        for (size_t at = 0; at < plain.size(); at += 16) {
            uint8_t block[16];
            uint8_t result[16];
            std::memcpy(block, &plain[at], 16);
            encodeData(block, 16, encIn);
            ASSERT_EQ(cipher.EncryptBlock(block, result), 0);
            decodeData(result, 16, encOut);
            EXPECT_EQ(0, std::memcmp(result, &ecbCipherText[at], 16));
            // Decrypt the coded ciphertext.
            uint8_t back[16];
            std::memcpy(result, &ecbCipherText[at], 16);
            encodeData(result, 16, decIn);
            ASSERT_EQ(cipher.DecryptBlock(result, back), 0);
            decodeData(back, 16, decOut);
            EXPECT_EQ(0, std::memcmp(back, &plain[at], 16));
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

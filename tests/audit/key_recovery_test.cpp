// End to end: tables made by "/g:" with fixed seeds and several keys, with no
// external codings, ECB codings and CBC codings, audited from their headers.
#include <gtest/gtest.h>

#include "base/status.h"
#include "audit_fixture.h"

namespace {

using audittest::audit;
using audittest::randomKey;
using audittest::TableRun;

struct RecoveryCase {
    const char* codingCommand; // "", "/ecbioc:" or "/cbcioc:"
    uint32_t keySeed;
    const char* seed;
};

const RecoveryCase kCases[] = {
    {"", 1, "000102030405060708090A0B0C0D0E0F"},
    {"", 2, "5EED5EED5EED5EED5EED5EED5EED5EED"},
    {"/ecbioc:", 3, "000102030405060708090A0B0C0D0E0F"},
    {"/ecbioc:", 4, "5EED5EED5EED5EED5EED5EED5EED5EED"},
    {"/cbcioc:", 5, "5EED5EED5EED5EED5EED5EED5EED5EED"},
    {"/cbcioc:", 6, "5EED5EED5EED5EED5EED5EED5EED5EEE"},
};

// The hex text of the forward table of record m of a coding file at offset.
std::string recordHex(const std::string& path, size_t offset, size_t m) {
    const std::string bytes = testsupport::readFile(path);
    return testsupport::hexText(reinterpret_cast<const uint8_t*>(bytes.data()) + offset + 512 * m, 256);
}

TEST(KeyRecovery, KeysAndExternalCodingsOfGeneratedTables) {
    for (const RecoveryCase& c : kCases) {
        const std::string encryptKey = randomKey(2 * c.keySeed);
        const std::string decryptKey = randomKey(2 * c.keySeed + 1);
        SCOPED_TRACE(std::string("coding '") + c.codingCommand + "' encryptKey " + encryptKey);
        const TableRun run(encryptKey, decryptKey, c.codingCommand, c.seed);
        ASSERT_TRUE(run.ok()) << run.output();
        const bool coded = *c.codingCommand != '\0';

        std::vector<std::string> args = {"--check-encrypt", encryptKey, "--check-decrypt", decryptKey};
        if (coded) {
            args.insert(args.end(), {"--ioc-encrypt", run.file("ioc_encrypt.dat"), "--ioc-decrypt",
                                     run.file("ioc_decrypt.dat")});
        }
        args.push_back(run.script());
        const audittest::AuditRun result = audit(args);
        EXPECT_EQ(result.status, STATUS_OK) << result.output;
        EXPECT_NE(result.output.find("encryption key: recovered " + encryptKey + "\n"), std::string::npos);
        EXPECT_NE(result.output.find("decryption key: recovered " + decryptKey + "\n"), std::string::npos);
        EXPECT_EQ(result.output.find("CHECK FAILED"), std::string::npos) << result.output;
        for (const std::string& key : {encryptKey, decryptKey}) {
            // The structural attack works whatever the codings; the partition
            // attack needs the plain first-round input.
            EXPECT_NE(result.output.find("structural attack on the inner rounds: " + key), std::string::npos);
            EXPECT_EQ(result.output.find("partition attack on the first round: " + key) != std::string::npos,
                      !coded);
        }
        EXPECT_EQ(result.output.find("external input coding: recovered") != std::string::npos, coded);
        if (std::string(c.codingCommand) == "/cbcioc:") {
            // The printed CBC data set equals the data file the command wrote.
            const size_t at = result.output.find("CBC data coding: recovered");
            ASSERT_NE(at, std::string::npos) << result.output;
            for (size_t m : {size_t{0}, size_t{9}, size_t{15}}) {
                const std::string line =
                    "    record " + std::to_string(m) + ": " + recordHex(run.file("cbc_encrypt.dat"), 0, m) + "\n";
                EXPECT_NE(result.output.find(line, at), std::string::npos) << "record " << m;
            }
        } else {
            EXPECT_EQ(result.output.find("CBC data coding"), std::string::npos);
        }
    }
}

TEST(KeyRecovery, OneDirectionNamedByItsHeaders) {
    const std::string key = randomKey(99);
    const TableRun run(key, randomKey(100), "/ecbioc:", "5EED5EED5EED5EED5EED5EED5EED5EED");
    ASSERT_TRUE(run.ok()) << run.output();
    // Any order of the three files; only the decryption direction is audited.
    const audittest::AuditRun result =
        audit({"--check", randomKey(100), "--headers", run.header(5), run.header(3), run.header(4)});
    EXPECT_EQ(result.status, STATUS_OK) << result.output;
    EXPECT_EQ(result.output.find("encryption"), std::string::npos);
    EXPECT_NE(result.output.find("decryption key: recovered " + randomKey(100)), std::string::npos);
    EXPECT_NE(result.output.find("Parsed 3 headers in "), std::string::npos);
}

TEST(KeyRecovery, HeadersFromTemplatesOfAnyShape) {
    // CRLF line ends, blanks and flat dimensions inside the placeholder, a bare
    // name, table names in comments before the declaration, two declarators.
    const std::vector<std::string> templates = {
        "/* roundTables: see below */\r\nconst unsigned char #roundTables# [163840] #;\r\n",
        "// xorTables = { is not this line }\nunsigned char #xorTables##\n;\n",
        "static const unsigned char #finalRoundTable#[4][4][256]#, spare[1] = {0};\n",
        "unsigned char #invRoundTables#[]#;",
        "#ifndef X\n#define X\nunsigned char #invXorTables##;\n#endif\n",
        "/* invFirstRoundTable */ const unsigned char #invFirstRoundTable#[4]\t[4][256]#;\r\n",
    };
    const std::string encryptKey = randomKey(51);
    const std::string decryptKey = randomKey(52);
    const TableRun run(encryptKey, decryptKey, "/ecbioc:", "5EED5EED5EED5EED5EED5EED5EED5EED", templates);
    ASSERT_TRUE(run.ok()) << run.output();
    const audittest::AuditRun result = audit({"--check-encrypt", encryptKey, "--check-decrypt", decryptKey,
                                              "--ioc-encrypt", run.file("ioc_encrypt.dat"), run.script()});
    EXPECT_EQ(result.status, STATUS_OK) << result.output;
}

TEST(KeyRecovery, ChecksReportAWrongKeyOrCoding) {
    const TableRun run(randomKey(7), randomKey(8), "/ecbioc:", "5EED5EED5EED5EED5EED5EED5EED5EED");
    ASSERT_TRUE(run.ok()) << run.output();
    const audittest::AuditRun wrongKey = audit({"--check-encrypt", randomKey(8), run.script()});
    EXPECT_EQ(wrongKey.status, AUDIT_CHECK_FAILED);
    EXPECT_NE(wrongKey.output.find("CHECK FAILED: encryption key differs from " + randomKey(8) + "\n"),
              std::string::npos);
    // The decryption direction's IOC file is not the encryption one's.
    const audittest::AuditRun wrongCoding = audit({"--ioc-encrypt", run.file("ioc_decrypt.dat"), run.script()});
    EXPECT_EQ(wrongCoding.status, AUDIT_CHECK_FAILED);
    EXPECT_NE(wrongCoding.output.find("CHECK FAILED: encryption codings differ from "), std::string::npos);
}

} // namespace

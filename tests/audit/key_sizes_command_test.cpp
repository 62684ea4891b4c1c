// tabrix-audit end to end on AES-192 and AES-256 headers that the tool wrote
// ([TABLES] keyBits): what it prints for each format, and its checks.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "audit_fixture.h"
#include "base/status.h"

namespace {

using audittest::randomKey;
using audittest::TableRun;

const char* const kSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";

std::string roundList(int first, int last) {
    std::string text = " (round keys";
    for (int r = first; r <= last; ++r) {
        text += ' ';
        text += std::to_string(r);
    }
    text += ')';
    return text;
}

TEST(AuditKeySizes, RecoversAndChecksLongerKeysOfBothFormats) {
    for (const int keyBits : {192, 256}) {
        const int rounds = keyBits / 32 + 6;
        for (const bool mixed : {false, true}) {
            SCOPED_TRACE(mixed ? "mixed" : "classic");
            SCOPED_TRACE(keyBits);
            const std::string encryptKey = randomKey(static_cast<uint32_t>(keyBits), keyBits);
            const std::string decryptKey = randomKey(static_cast<uint32_t>(keyBits + 1), keyBits);
            // The classic tables with ECB codings, the mixed ones without.
            const TableRun run(encryptKey, decryptKey, mixed ? "" : "/ecbioc:", kSeed, {}, mixed, keyBits);
            ASSERT_TRUE(run.ok()) << run.output();
            std::vector<std::string> args = {"--check-encrypt", encryptKey, "--check-decrypt", decryptKey};
            if (!mixed) {
                args.insert(args.end(), {"--ioc-encrypt", run.file("ioc_encrypt.dat"), "--ioc-decrypt",
                                         run.file("ioc_decrypt.dat")});
            }
            args.push_back(run.script());
            const audittest::AuditRun result = audittest::audit(args);
            EXPECT_EQ(result.status, STATUS_OK) << result.output;
            std::vector<std::string> lines = {
                "encryption key: recovered " + encryptKey + "\n",
                "decryption key: recovered " + decryptKey + "\n",
                "CHECK OK: encryption key equals " + encryptKey + "\n",
                "CHECK OK: decryption key equals " + decryptKey + "\n",
            };
            if (mixed) {
                lines.push_back("  collision attack on the first round: " + encryptKey + " (round keys 0 1)\n");
                lines.push_back("  collision attack on the first round: " + decryptKey + roundList(rounds - 1, rounds) +
                                "\n");
                lines.push_back("  BGE attack on the mixed rounds: " + encryptKey + roundList(2, rounds - 2) + "\n");
            } else {
                // External codings hide the outer two round keys of each end.
                lines.push_back("  structural attack on the inner rounds: " + encryptKey + roundList(2, rounds - 2) +
                                "\n");
                lines.push_back("  partition attack on the first round: not recovered\n");
                lines.push_back("CHECK OK: encryption codings equal ");
            }
            for (const std::string& line : lines) EXPECT_NE(result.output.find(line), std::string::npos) << line;
        }
    }
}

// A key of another size, or another key of the same size, fails the check;
// a key text of no AES size is refused as usage.
TEST(AuditKeySizes, CheckKeysOfEverySize) {
    const std::string key = randomKey(5, 256);
    const TableRun run(key, key, "", kSeed, {}, false, 256);
    ASSERT_TRUE(run.ok()) << run.output();
    const struct {
        std::string check;
        int32_t status;
        std::string text;
    } cases[] = {
        {key, STATUS_OK, "CHECK OK: decryption key equals " + key + "\n"},
        {key.substr(0, 32), AUDIT_CHECK_FAILED, "CHECK FAILED: encryption key differs from " + key.substr(0, 32) + "\n"},
        {randomKey(6, 256), AUDIT_CHECK_FAILED, "CHECK FAILED: decryption key differs from " + randomKey(6, 256) + "\n"},
        {key.substr(0, 40), AUDIT_USAGE, "ERROR: bad key '" + key.substr(0, 40) + "'\n"},
        {key.substr(0, 47) + "g", AUDIT_USAGE, "ERROR: bad key '"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        const audittest::AuditRun result = audittest::audit({"--check", c.check, run.script()});
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.text), std::string::npos) << result.output.substr(0, 3000);
        if (c.status != AUDIT_USAGE) {
            // Without codings the partition attack reads both first rounds.
            EXPECT_NE(result.output.find("  partition attack on the first round: " + key + "\n"), std::string::npos);
            EXPECT_NE(result.output.find(roundList(0, 14)), std::string::npos);
        }
    }
}

// --gray-box and --json on AES-192 tables of the mixed format without
// codings: DCA and DFA print the whole key, and the report holds it in full.
TEST(AuditKeySizes, GrayBoxLinesAndReportHoldTheWholeKey) {
    const std::string key = randomKey(7, 192);
    const TableRun run(key, key, "", kSeed, {}, true, 192);
    ASSERT_TRUE(run.ok()) << run.output();
    const std::string json = run.file("report.json");
    const audittest::AuditRun result = audittest::audit({"--gray-box", "--json", json, run.script()});
    EXPECT_EQ(result.status, STATUS_OK) << result.output;
    for (const char* attack : {"DCA", "DFA"}) {
        for (const char* direction : {"encryption", "decryption"}) {
            SCOPED_TRACE(std::string(attack) + " " + direction);
            const size_t at = result.output.find(std::string(direction) + " key: recovered " + key + "\n");
            ASSERT_NE(at, std::string::npos) << result.output;
            EXPECT_NE(result.output.find("  " + std::string(attack) + ", plaintext known: recovered " + key + " (", at),
                      std::string::npos)
                << result.output;
        }
    }
    const nlohmann::json report = nlohmann::json::parse(testsupport::readFile(json), nullptr, false);
    ASSERT_FALSE(report.is_discarded());
    int recovered = 0;
    for (const nlohmann::json& direction : report["directions"]) {
        EXPECT_EQ(direction["key"], key);
        for (const nlohmann::json& attack : direction["attacks"]) {
            if (attack["recovered"] == true) {
                EXPECT_EQ(attack["key"], key) << attack.dump();
                ++recovered;
            }
        }
    }
    // Per direction: BGE, collision, and DCA and DFA in both views (without
    // codings the two views are one run).
    EXPECT_EQ(recovered, 12) << report.dump();
}

} // namespace

// tabrix-audit --gray-box and --json end to end: the lines it adds, the lines
// it keeps, the report file, and its errors.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "base/status.h"
#include "audit_fixture.h"

namespace {

using audittest::audit;
using audittest::randomKey;
using audittest::TableRun;

const char* const kSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";

// The output with its measured times blanked, and without the gray-box lines.
std::string withoutGrayBox(const std::string& output, int& grayBoxLines) {
    std::string kept;
    grayBoxLines = 0;
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end - start + 1);
        start = end == std::string::npos ? output.size() : end + 1;
        if (line.rfind("  DCA, ", 0) == 0 || line.rfind("  DFA, ", 0) == 0) {
            ++grayBoxLines;
            continue;
        }
        kept += line;
    }
    // Each "12.3 ms" becomes "T ms": a run of digits and points before " ms".
    std::string blanked;
    for (size_t i = 0; i < kept.size(); ++i) {
        size_t end = i;
        while (end < kept.size() && (std::isdigit(static_cast<unsigned char>(kept[end])) || kept[end] == '.')) ++end;
        if (end > i && kept.compare(end, 3, " ms") == 0) {
            blanked += 'T';
            i = end - 1;
        } else {
            blanked += kept[i];
        }
    }
    return blanked;
}

TEST(GrayBoxCommand, AddsALinePerAttackAndViewKeepsTodaysLinesAndReportsEveryAttack) {
    struct Case {
        bool mixed;
        const char* coding;
    };
    for (const Case& c : {Case{false, "/ecbioc:"}, Case{true, ""}}) {
        SCOPED_TRACE(c.mixed ? "mixed" : "classic, ECB");
        const TableRun run(randomKey(121), randomKey(122), c.coding, kSeed, {}, c.mixed);
        ASSERT_TRUE(run.ok()) << run.output();
        std::vector<std::string> args;
        if (*c.coding != '\0') args = {"--ioc-encrypt", run.file("ioc_encrypt.dat"), "--ioc-decrypt", run.file("ioc_decrypt.dat")};
        args.push_back(run.script());
        const audittest::AuditRun today = audit(args);
        const std::string json = run.file("report.json");
        std::vector<std::string> grayArgs = {"--gray-box", "--traces", "128", "--faults", "48", "--json", json};
        grayArgs.insert(grayArgs.end(), args.begin(), args.end());
        const audittest::AuditRun gray = audit(grayArgs);
        EXPECT_EQ(gray.status, today.status) << gray.output;
        int added = 0;
        int none = 0;
        EXPECT_EQ(withoutGrayBox(gray.output, added), withoutGrayBox(today.output, none));
        EXPECT_EQ(none, 0);
        EXPECT_EQ(added, 8) << gray.output; // DCA and DFA, two views, two directions

        const std::string keys[2] = {randomKey(121), randomKey(122)};
        for (int d = 0; d < 2; ++d) {
            const std::string name = d == 0 ? "encryption" : "decryption";
            const size_t at = gray.output.find(name + " key: ");
            ASSERT_NE(at, std::string::npos);
            // With the codings known, or without codings, both attacks give the key.
            EXPECT_NE(gray.output.find("  DCA, plaintext known: recovered " + keys[d] + " (", at), std::string::npos)
                << gray.output;
            EXPECT_NE(gray.output.find("  DFA, plaintext known: recovered " + keys[d] + " (", at), std::string::npos);
            const bool coded = *c.coding != '\0';
            EXPECT_EQ(gray.output.find("  DCA, coded only: recovered " + keys[d], at) != std::string::npos, !coded);
            EXPECT_EQ(gray.output.find("  DFA, coded only: recovered " + keys[d], at) != std::string::npos, !coded);
        }

        // The report: every attack of the run, a key only where it was recovered.
        const nlohmann::json report = nlohmann::json::parse(testsupport::readFile(json), nullptr, false);
        ASSERT_FALSE(report.is_discarded());
        EXPECT_EQ(report["tool"], "tabrix-audit");
        EXPECT_EQ(report["traces"], 128);
        EXPECT_EQ(report["faults"], 48);
        ASSERT_EQ(report["directions"].size(), 2u);
        for (int d = 0; d < 2; ++d) {
            const nlohmann::json& direction = report["directions"][static_cast<size_t>(d)];
            EXPECT_EQ(direction["direction"], d == 0 ? "encryption" : "decryption");
            EXPECT_EQ(direction["format"], c.mixed ? "mixed" : "classic");
            EXPECT_EQ(direction["key"], keys[d]);
            std::vector<std::string> seen;
            for (const nlohmann::json& attack : direction["attacks"]) {
                seen.push_back(attack["attack"].get<std::string>() + "/" + attack["view"].get<std::string>());
                EXPECT_TRUE(attack["time_ms"].is_number());
                if (attack["recovered"]) {
                    EXPECT_EQ(attack["key"], keys[d]);
                    EXPECT_FALSE(attack.contains("reason"));
                } else {
                    EXPECT_FALSE(attack.contains("key"));
                    EXPECT_FALSE(attack["reason"].get<std::string>().empty());
                }
                EXPECT_TRUE(attack["attack"] != "dca" || attack["traces"].is_number_integer());
                EXPECT_TRUE(attack["attack"] != "dfa" || attack["faults"].is_number_integer());
            }
            std::vector<std::string> expected = {"partition/tables", "structural/tables"};
            if (c.mixed) expected.insert(expected.end(), {"bge/tables", "collision/tables"});
            expected.insert(expected.end(), {"dca/plaintext known", "dca/coded only", "dfa/plaintext known",
                                             "dfa/coded only"});
            EXPECT_EQ(seen, expected);
        }
#ifndef _WIN32
        EXPECT_EQ(std::filesystem::status(json).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    }
}

TEST(GrayBoxCommand, JsonAloneReportsTheStructuralAttacks) {
    const TableRun run(randomKey(131), randomKey(132), "", kSeed);
    ASSERT_TRUE(run.ok()) << run.output();
    const std::string json = run.file("report.json");
    const audittest::AuditRun result = audit({"--json", json, run.script()});
    EXPECT_EQ(result.status, STATUS_OK) << result.output;
    EXPECT_EQ(result.output.find("  DCA, "), std::string::npos);
    const nlohmann::json report = nlohmann::json::parse(testsupport::readFile(json), nullptr, false);
    ASSERT_FALSE(report.is_discarded());
    EXPECT_EQ(report["gray_box"], false);
    ASSERT_EQ(report["directions"].size(), 2u);
    EXPECT_EQ(report["directions"][1]["key"], randomKey(132));
    EXPECT_EQ(report["directions"][1]["attacks"].size(), 2u);
    EXPECT_EQ(report["directions"][1]["attacks"][1]["attack"], "structural");
    EXPECT_EQ(report["directions"][1]["attacks"][1]["recovered"], true);
}

TEST(GrayBoxCommand, Errors) {
    const TableRun run(randomKey(141), randomKey(142), "", kSeed);
    ASSERT_TRUE(run.ok()) << run.output();
    testsupport::writeFile(run.file("short.dat"), std::string(100, 'x'));
    testsupport::writeFile(run.file("flat.dat"), std::string(16384, '\0'));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {{"--gray-box", "--traces", "0"}, AUDIT_USAGE, "ERROR: bad count '0' for --traces"},
        {{"--gray-box", "--traces", "65536"}, AUDIT_USAGE, "ERROR: bad count '65536' for --traces"},
        {{"--gray-box", "--faults", "-3"}, AUDIT_USAGE, "ERROR: bad count '-3' for --faults"},
        {{"--traces", "100"}, AUDIT_USAGE, "ERROR: --traces and --faults need --gray-box"},
        {{"--gray-box", "--ioc-encrypt", run.file("missing.dat")}, STATUS_OPEN_FAILED, "ERROR: cannot read "},
        {{"--gray-box", "--ioc-decrypt", run.file("short.dat")}, STATUS_SHORT_READ, "holds 100 of 16384 bytes"},
        {{"--gray-box", "--ioc-encrypt", run.file("flat.dat")}, STATUS_INVALID_CODING, "coding record 0 is no bijection"},
        {{"--json", run.file("no/such/folder/r.json")}, STATUS_WRITE_FAILED, "ERROR: cannot write "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> args = c.args;
        args.push_back(run.script());
        const audittest::AuditRun result = audit(args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.output.find(c.text), std::string::npos) << result.output;
    }
    EXPECT_FALSE(std::filesystem::exists(run.file("no")));
}

} // namespace

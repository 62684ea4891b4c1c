// The self-test's exit status, in process, with faults planted in the table
// cipher: a broken cipher must fail the run, except where the flags make a
// comparison meaningless (the CBC comparisons with ECB codings fail anyway).
#include <gtest/gtest.h>

#include <sstream>

#include "base/status.h"
#include "cli/MARLO_AES.h"
#include "expected_messages.h"

namespace {

enum class Fault { none, blocks, chaining };

// The table cipher with one fault planted. Single blocks go wrong: the block
// tests call the Direct operations. Chaining goes wrong: CBC ciphers block by
// block through EncryptRounds, which the block tests do not call.
class FaultyCipher : public WhiteBoxAesCipher {
public:
    explicit FaultyCipher(Fault fault) : fault_(fault) {}
    int32_t EncryptRoundsDirect(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        const int32_t status = WhiteBoxAesCipher::EncryptRoundsDirect(input, output, rounds);
        if (fault_ == Fault::blocks) output[7] ^= 0x10;
        return status;
    }
    int32_t EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        const int32_t status = WhiteBoxAesCipher::EncryptRounds(input, output, rounds);
        if (fault_ == Fault::chaining) output[0] ^= 0x01;
        return status;
    }

private:
    Fault fault_;
};

struct Ran {
    int32_t status;
    std::string output;
    std::string errors;
};

Ran runWith(int32_t flags, Fault fault) {
    WhiteBoxAesCipher plain;
    FaultyCipher faulty(fault);
    WhiteBoxAesCipher& cipher = fault == Fault::none ? plain : faulty;
    std::ostringstream out;
    std::ostringstream err;
    const int32_t status = runSelfTest(flags, cipher, out, err);
    return {status, out.str(), err.str()};
}

std::string tally(int a, int b, int c, int d) {
    return "\nTests statics (100x passed):\n" + std::to_string(a) + "x BLOCK ENCRYPT fail\n" +
           std::to_string(b) + "x BLOCK DECRYPT fail\n" + std::to_string(c) + "x CBC ENCRYPT fail\n" +
           std::to_string(d) + "x CBC DECRYPT fail\n";
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TEST(SelfTestStatus, CountedFailuresFailTheRun) {
    const struct {
        const char* name;
        int32_t flags;
        Fault fault;
        int32_t status;
        std::string tally;   // the tally closes the output as always
        uint64_t counted;    // the failures the error line reports
    } cases[] = {
        {"plain tables", 1, Fault::none, STATUS_OK, tally(0, 0, 0, 0), 0},
        // Every pass's block encryption fails; the wrong ciphertext then
        // decrypts wrongly too.
        {"broken blocks", 1, Fault::blocks, STATUS_SELF_TEST_FAILED, tally(100, 100, 0, 0), 200},
        {"broken chaining", 1, Fault::chaining, STATUS_SELF_TEST_FAILED, tally(0, 0, 100, 100), 200},
        // ECB codings: the CBC counters are not meaningful, the block counters are.
        {"ECB codings", 3, Fault::none, STATUS_OK, tally(0, 0, 100, 100), 0},
        {"ECB codings, broken chaining", 3, Fault::chaining, STATUS_OK, tally(0, 0, 100, 100), 0},
        {"ECB codings, broken blocks", 3, Fault::blocks, STATUS_SELF_TEST_FAILED, tally(100, 100, 100, 100), 200},
        // Load mode: the cipher has no tables, so its block encryption fails.
        {"no tables", 0, Fault::none, STATUS_SELF_TEST_FAILED, tally(100, 0, 100, 100), 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Ran run = runWith(c.flags, c.fault);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(endsWith(run.output, c.tally)) << run.output.substr(run.output.size() - 200);
        EXPECT_EQ(run.errors, c.counted == 0 ? std::string() : clitest::selfTestFailed(c.counted));
    }
}

// The audit's traced evaluator against the two evaluators the structural
// attacks use, its look-up trace, and its fault hook.
#include <gtest/gtest.h>

#include <algorithm>

#include "audit/aes_network.h"
#include "audit/collision_attack.h"
#include "audit/traced_network.h"
#include "audit_fixture.h"

namespace {

using audittest::randomKey;
using audittest::TableRun;

const char* const kSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";

// Runs check(set, d, tables, mixed) on each direction of an "/ecbioc:" run of
// each format, whose keys come from the two seeds given.
template <class Check>
void forEachNetwork(uint32_t encryptKeySeed, uint32_t decryptKeySeed, Check check) {
    for (bool mixed : {false, true}) {
        SCOPED_TRACE(mixed ? "mixed" : "classic");
        const TableRun run(randomKey(encryptKeySeed), randomKey(decryptKeySeed), "/ecbioc:", kSeed, {}, mixed);
        ASSERT_TRUE(run.ok()) << run.output();
        audittest::MixedSet set;
        ASSERT_TRUE(audittest::loadRun(run, mixed, set));
        for (Direction d : {Direction::Encrypt, Direction::Decrypt}) {
            check(set, d, audittest::networkOf(set, d, mixed), mixed);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(TracedNetwork, EvaluatesAsTheAuditsEvaluatorsAndTracesEveryLookup) {
    forEachNetwork(61, 62, [](const audittest::MixedSet& set, Direction d, const NetworkTables& tables, bool mixed) {
        const DirectionTables& classic = *tables.classic;
        LookupTrace trace;
        trace.values = true;
        for (uint32_t n = 0; n < 8; ++n) {
            const std::vector<uint8_t> in = testsupport::pseudoRandomBytes(16, 100 + n);
            uint8_t expected[16];
            uint8_t out[16];
            if (mixed) evaluateMixedNetwork(set.tables(d), d, in.data(), expected);
            else evaluateNetwork(classic, d, in.data(), expected);
            evaluateTraced(tables, d, in.data(), out, &trace);
            EXPECT_TRUE(std::equal(out, out + 16, expected));
            ASSERT_EQ(trace.index.size(), traceLength(tables, 9));
            ASSERT_EQ(trace.read.size(), trace.index.size());
            EXPECT_EQ(trace.index.size(), mixed ? 224u * 9 + 16 : 112u * 9 + 16);
            // Column 0 of the first round starts with the look-ups of its
            // four state bytes, and each reads that table's word.
            for (int q = 0; q < 4; ++q) {
                const int j = feedingColumn(d, q, 0);
                EXPECT_EQ(trace.index[static_cast<size_t>(q)], in[static_cast<size_t>(4 * j + q)]);
                uint32_t word = 0;
                for (int b = 3; b >= 0; --b) {
                    word = word << 8 | roundEntry(classic, stageSlot(d, 0, 10), j, q, in[static_cast<size_t>(4 * j + q)], b);
                }
                EXPECT_EQ(trace.read[static_cast<size_t>(q)], word);
            }
            // The last 16 look-ups read the output bytes, row by row.
            for (int k = 0; k < 4; ++k) {
                for (int c = 0; c < 4; ++c) {
                    EXPECT_EQ(trace.read[trace.read.size() - 16 + static_cast<size_t>(4 * k + c)],
                              out[4 * c + k]);
                }
            }
        }
        // A trace of the first round only, reused: same samples, no values.
        LookupTrace first;
        first.stages = 1;
        const std::vector<uint8_t> in = testsupport::pseudoRandomBytes(16, 100);
        uint8_t out[16];
        evaluateTraced(tables, d, in.data(), out, &trace);
        evaluateTraced(tables, d, in.data(), out, &first);
        ASSERT_EQ(first.index.size(), lookupsPerStage(tables));
        EXPECT_TRUE(std::equal(first.index.begin(), first.index.end(), trace.index.begin()));
        EXPECT_TRUE(first.read.empty());
    });
}

// An XOR entry beyond a nibble (a tampered header can hold one) counts with its
// low nibble only, as in the runtime, in both evaluators.
TEST(TracedNetwork, XorEntriesCountWithTheirLowNibbleOnly) {
    const TableRun run(randomKey(65), randomKey(66), "", kSeed);
    ASSERT_TRUE(run.ok()) << run.output();
    audittest::MixedSet set;
    ASSERT_TRUE(audittest::loadRun(run, false, set));
    for (Direction d : {Direction::Encrypt, Direction::Decrypt}) {
        DirectionTables& t = d == Direction::Encrypt ? set.set.encrypt : set.set.decrypt;
        const NetworkTables tables = audittest::networkOf(set, d, false);
        std::vector<std::array<uint8_t, 16>> before(64);
        for (uint32_t n = 0; n < 64; ++n) {
            const std::vector<uint8_t> in = testsupport::pseudoRandomBytes(16, 200 + n);
            evaluateTraced(tables, d, in.data(), before[n].data());
        }
        for (uint8_t& entry : t.xors) entry = static_cast<uint8_t>(entry | 0xA0); // high nibbles set everywhere
        for (uint32_t n = 0; n < 64; ++n) {
            const std::vector<uint8_t> in = testsupport::pseudoRandomBytes(16, 200 + n);
            uint8_t traced[16];
            uint8_t plain[16];
            evaluateTraced(tables, d, in.data(), traced);
            evaluateNetwork(t, d, in.data(), plain);
            EXPECT_TRUE(std::equal(traced, traced + 16, before[n].begin()));
            EXPECT_TRUE(std::equal(plain, plain + 16, before[n].begin()));
        }
    }
}

// A one-byte fault at the input of the last table round changes exactly the
// four output bytes that the faulted byte's column reaches.
TEST(TracedNetwork, FaultAtTheLastTableRoundInputChangesOneColumnOfTheOutput) {
    forEachNetwork(63, 64, [](const audittest::MixedSet&, Direction d, const NetworkTables& tables, bool) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                const std::vector<uint8_t> in = testsupport::pseudoRandomBytes(16, static_cast<uint32_t>(4 * row + column));
                uint8_t good[16];
                uint8_t bad[16];
                evaluateTraced(tables, d, in.data(), good);
                const StateFault fault{row, column, static_cast<uint8_t>(1 + 16 * row + column)};
                evaluateTraced(tables, d, in.data(), bad, nullptr, &fault);
                const int c = fedColumn(d, row, column);
                for (int b = 0; b < 4; ++b) {
                    for (int i = 0; i < 4; ++i) {
                        const size_t at = static_cast<size_t>(4 * i + b);
                        EXPECT_EQ(good[at] != bad[at], i == fedColumn(d, b, c)) << row << column << b << i;
                    }
                }
            }
        }
    });
}

} // namespace

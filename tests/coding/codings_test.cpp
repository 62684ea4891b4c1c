#include "coding/codings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "support/support.h"
#include "support/twin_source.h"

namespace {

using testsupport::advancedState;

const RandomState kState = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                            0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};

template <size_t N>
void expectBijection(const uint8_t* forward, const uint8_t* inverse) {
    std::vector<bool> seen(N, false);
    for (size_t x = 0; x < N; ++x) {
        ASSERT_LT(forward[x], N);
        EXPECT_FALSE(seen[forward[x]]) << "value " << int{forward[x]} << " twice";
        seen[forward[x]] = true;
        EXPECT_EQ(inverse[forward[x]], x);
    }
}

TEST(Codings, NibbleAndByteCodingsAreBijectionsUsingNDraws) {
    RandomSource random(kState);
    for (int round = 0; round < 50; ++round) {
        const RandomState before = random.state();
        uint8_t forward[16];
        uint8_t inverse[16];
        ASSERT_EQ(makeNibbleCoding(random, forward, inverse), 0);
        expectBijection<16>(forward, inverse);
        EXPECT_EQ(random.state(), advancedState(before, 16));
    }
    for (int round = 0; round < 20; ++round) {
        const RandomState before = random.state();
        ByteCoding coding;
        ASSERT_EQ(makeByteCoding(random, coding.forward, coding.inverse), 0);
        expectBijection<256>(coding.forward, coding.inverse);
        EXPECT_EQ(random.state(), advancedState(before, 256));
    }
}

TEST(Codings, PermutationFollowsThePoolDraws) {
    // Draw i takes position next(16 - i) of the values not yet taken, in order.
    RandomSource reference(kState);
    std::vector<uint8_t> left = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    uint8_t expected[16];
    for (uint32_t i = 0; i < 16; ++i) {
        uint32_t p = 0;
        reference.next(16 - i, &p);
        expected[i] = left[p];
        left.erase(left.begin() + p);
    }
    RandomSource random(kState);
    uint8_t forward[16];
    uint8_t inverse[16];
    makeNibbleCoding(random, forward, inverse);
    EXPECT_EQ(0, std::memcmp(forward, expected, 16));
}

TEST(Codings, BatchCodingKDependsOnlyOnPrecedingDraws) {
    const uint32_t maxIndex = 40;
    std::vector<uint8_t> forwards(16 * (maxIndex + 1));
    std::vector<uint8_t> inverses(16 * (maxIndex + 1));
    RandomSource random(kState);
    std::ostringstream report;
    ASSERT_EQ(makeNibbleCodings(random, forwards.data(), inverses.data(), maxIndex, report), 0);
    EXPECT_EQ(report.str(), "");
    EXPECT_EQ(random.state(), advancedState(kState, 16 * (maxIndex + 1)));
    for (uint32_t k = 0; k <= maxIndex; ++k) {
        RandomSource alone(advancedState(kState, static_cast<int>(16 * k)));
        uint8_t forward[16];
        uint8_t inverse[16];
        makeNibbleCoding(alone, forward, inverse);
        EXPECT_EQ(0, std::memcmp(forward, &forwards[16 * k], 16)) << "coding " << k;
        EXPECT_EQ(0, std::memcmp(inverse, &inverses[16 * k], 16)) << "coding " << k;
        expectBijection<16>(&forwards[16 * k], &inverses[16 * k]);
    }
}

TEST(Codings, MaxIndexZeroBuildsOneCodingAndPrintsNothing) {
    uint8_t forward[16];
    uint8_t inverse[16];
    RandomSource random(kState);
    std::ostringstream report;
    ASSERT_EQ(makeNibbleCodings(random, forward, inverse, 0, report), 0);
    EXPECT_EQ(report.str(), "");
    EXPECT_EQ(random.state(), advancedState(kState, 16));
    expectBijection<16>(forward, inverse);
}

// Plain reading of the report: every ordered pair, i outer, j inner.
std::string quadraticReport(const std::vector<uint8_t>& forwards, uint32_t maxIndex) {
    std::ostringstream out;
    for (uint32_t i = 0; i <= maxIndex; ++i) {
        for (uint32_t j = 0; j <= maxIndex; ++j) {
            if (i != j && std::memcmp(&forwards[16 * i], &forwards[16 * j], 16) == 0) {
                out << "Same coding at [" << i << "," << j << "]\n";
            }
        }
    }
    return out.str();
}

std::vector<uint8_t> distinctCodings(uint32_t count) {
    std::vector<uint8_t> forwards(16 * count);
    std::vector<uint8_t> inverses(16 * count);
    RandomSource random(kState);
    std::ostringstream ignored;
    makeNibbleCodings(random, forwards.data(), inverses.data(), count - 1, ignored);
    return forwards;
}

void copyCoding(std::vector<uint8_t>& forwards, uint32_t from, uint32_t to) {
    std::memcpy(&forwards[16 * to], &forwards[16 * from], 16);
}

TEST(Codings, ReportListsEveryOrderedPairOfPlantedDuplicates) {
    std::vector<uint8_t> forwards = distinctCodings(12);
    copyCoding(forwards, 3, 7);
    // A triple at 1, 5, 11 whose table sorts before or after coding 3's, either way.
    copyCoding(forwards, 11, 1);
    copyCoding(forwards, 11, 5);
    std::ostringstream report;
    reportSameCodings(forwards.data(), 11, report);
    EXPECT_EQ(report.str(),
              "Same coding at [1,5]\n"
              "Same coding at [1,11]\n"
              "Same coding at [3,7]\n"
              "Same coding at [5,1]\n"
              "Same coding at [5,11]\n"
              "Same coding at [7,3]\n"
              "Same coding at [11,1]\n"
              "Same coding at [11,5]\n");
}

TEST(Codings, ReportMatchesThePairLoopOnRandomPlantings) {
    const uint32_t count = 300;
    const std::vector<uint8_t> base = distinctCodings(count);
    EXPECT_EQ(quadraticReport(base, count - 1), "");
    std::ostringstream none;
    reportSameCodings(base.data(), count - 1, none);
    EXPECT_EQ(none.str(), "");
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        std::vector<uint8_t> forwards = base;
        const std::vector<uint8_t> picks = testsupport::pseudoRandomBytes(2 * seed, seed);
        for (size_t p = 0; p + 1 < picks.size(); p += 2) {
            copyCoding(forwards, picks[p], picks[p + 1]);
        }
        std::ostringstream report;
        reportSameCodings(forwards.data(), count - 1, report);
        EXPECT_EQ(report.str(), quadraticReport(forwards, count - 1)) << "seed " << seed;
    }
    // All codings equal: n * (n - 1) lines.
    std::vector<uint8_t> same(16 * 5, 0);
    std::ostringstream report;
    reportSameCodings(same.data(), 4, report);
    EXPECT_EQ(report.str(), quadraticReport(same, 4));
}

CodingSet identitySet() {
    CodingSet set;
    for (ByteCoding& record : set.records) {
        for (uint32_t x = 0; x < 256; ++x) {
            record.forward[x] = static_cast<uint8_t>(x);
            record.inverse[x] = static_cast<uint8_t>(x);
        }
    }
    return set;
}

// Record k maps every byte to k (not a bijection; shows which record coded a byte).
CodingSet recordNumberSet() {
    CodingSet set;
    for (uint8_t k = 0; k < 16; ++k) {
        std::memset(set.records[k].forward, k, 256);
        std::memset(set.records[k].inverse, 0x80 | k, 256);
    }
    return set;
}

TEST(Codings, EncodeAndDecodeSelectRecordsColumnByColumn) {
    const CodingSet set = recordNumberSet();
    std::vector<uint8_t> data(32, 0x5A);
    ASSERT_EQ(encodeData(data.data(), 32, set), 0);
    for (uint32_t i = 0; i < 32; ++i) {
        EXPECT_EQ(data[i], 4 * (i % 4) + (i / 4) % 4) << "byte " << i;
    }
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[16], 0);
    EXPECT_EQ(data[1], 4);
    EXPECT_EQ(data[4], 1);
    ASSERT_EQ(decodeData(data.data(), 32, set), 0);
    EXPECT_EQ(data[1], 0x84);
    EXPECT_EQ(data[4], 0x81);

    uint8_t untouched = 0x77;
    encodeData(&untouched, 0, set);
    EXPECT_EQ(untouched, 0x77);
}

TEST(Codings, EncodeDecodeRoundTripAndIdentity) {
    CodingSet set;
    RandomSource random(kState);
    for (ByteCoding& record : set.records) {
        makeByteCoding(random, record.forward, record.inverse);
    }
    EXPECT_TRUE(isValidCodingSet(set));
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(80, 7);
    std::vector<uint8_t> data = plain;
    encodeData(data.data(), 80, set);
    EXPECT_NE(data, plain);
    decodeData(data.data(), 80, set);
    EXPECT_EQ(data, plain);

    const CodingSet identity = identitySet();
    EXPECT_TRUE(isValidCodingSet(identity));
    encodeData(data.data(), 80, identity);
    EXPECT_EQ(data, plain);
    decodeData(data.data(), 80, identity);
    EXPECT_EQ(data, plain);
}

TEST(Codings, ValidityCheckRejectsBrokenRecords) {
    CodingSet zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_FALSE(isValidCodingSet(zero));

    CodingSet repeated = identitySet();
    repeated.records[15].forward[200] = 199; // 199 twice, 200 never
    EXPECT_FALSE(isValidCodingSet(repeated));

    CodingSet badInverse = identitySet();
    std::swap(badInverse.records[6].inverse[3], badInverse.records[6].inverse[4]);
    EXPECT_FALSE(isValidCodingSet(badInverse));

    CodingSet swapped = identitySet();
    std::swap(swapped.records[9].forward[3], swapped.records[9].forward[4]);
    std::swap(swapped.records[9].inverse[3], swapped.records[9].inverse[4]);
    EXPECT_TRUE(isValidCodingSet(swapped));
}

} // namespace

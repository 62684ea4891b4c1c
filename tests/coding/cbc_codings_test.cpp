#include "coding/cbc_codings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/status.h"
#include "support/twin_source.h"

namespace {

using testsupport::advancedState;

const RandomState kState = {0xf3, 0x4d, 0x81, 0x20, 0x6c, 0x03, 0x5e, 0xb9,
                            0x17, 0xa2, 0x44, 0xd0, 0x3b, 0x88, 0x0f, 0xc6};

// A state whose first 20 attempts all draw linearly dependent basis images.
const RandomState kFailingState = {0xf3, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The ten draws of one attempt, read independently of the generator: a, b and
// the images of the eight basis vectors.
struct AttemptDraws {
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t basis[8] = {};
};

AttemptDraws drawAttempt(RandomSource& random) {
    std::vector<uint32_t> poolA(256);
    std::vector<uint32_t> poolB(256);
    for (uint32_t v = 0; v < 256; ++v) {
        poolA[v] = poolB[v] = v;
    }
    auto take = [&random](std::vector<uint32_t>& pool) {
        uint32_t p = 0;
        random.next(static_cast<uint32_t>(pool.size()), &p);
        const uint32_t value = pool[p];
        pool.erase(pool.begin() + p);
        return value;
    };
    AttemptDraws draws;
    draws.a = take(poolA);
    draws.b = take(poolB);
    for (uint32_t& image : draws.basis) {
        image = take(poolA);
    }
    return draws;
}

// L is invertible when the eight images X[m] ^ a are independent over GF(2).
bool basisIsIndependent(const AttemptDraws& draws) {
    uint32_t reduced[8] = {};
    for (uint32_t image : draws.basis) {
        uint32_t v = image ^ draws.a;
        for (int bit = 7; bit >= 0 && v != 0; --bit) {
            if ((v >> bit & 1) == 0) {
                continue;
            }
            if (reduced[bit] == 0) {
                reduced[bit] = v;
                v = 0;
            } else {
                v ^= reduced[bit];
            }
        }
    }
    int rank = 0;
    for (uint32_t r : reduced) {
        rank += r != 0;
    }
    return rank == 8;
}

// L(v) from the basis images, extended linearly.
uint32_t linearPart(const AttemptDraws& draws, uint32_t v) {
    uint32_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (v >> bit & 1) {
            result ^= draws.basis[bit] ^ draws.a;
        }
    }
    return result;
}

void expectPermutation(const ByteCoding& coding) {
    bool seen[256] = {};
    for (uint32_t x = 0; x < 256; ++x) {
        EXPECT_FALSE(seen[coding.forward[x]]);
        seen[coding.forward[x]] = true;
        EXPECT_EQ(coding.inverse[coding.forward[x]], x);
    }
}

void expectRelatedTriple(const ByteCoding& first, const ByteCoding& second, const ByteCoding& third) {
    expectPermutation(first);
    expectPermutation(second);
    expectPermutation(third);
    EXPECT_EQ(third.forward[0], first.forward[0] ^ second.forward[0]);
    int failures = 0;
    for (uint32_t u = 0; u < 256; ++u) {
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t w = u ^ v;
            failures += (first.forward[u] ^ second.forward[v]) != third.forward[w];
            for (const ByteCoding* c : {&first, &second, &third}) {
                failures += (c->forward[u] ^ c->forward[v] ^ c->forward[0]) != c->forward[w];
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(CbcCodings, RecordsAreRelatedTriplesOfTheFirstIndependentAttempt) {
    RandomSource random(kState);
    RandomSource reference(kState);
    CodingSet first;
    CodingSet second;
    CodingSet third;
    ASSERT_EQ(makeCbcCodings(random, first, second, third), STATUS_OK);

    int laterAttempts = 0;
    for (int k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        AttemptDraws draws;
        int attempts = 0;
        do {
            draws = drawAttempt(reference);
            ++attempts;
        } while (!basisIsIndependent(draws) && attempts < 20);
        ASSERT_TRUE(basisIsIndependent(draws));
        laterAttempts += attempts > 1;

        expectRelatedTriple(first.records[k], second.records[k], third.records[k]);
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t l = linearPart(draws, v);
            EXPECT_EQ(second.records[k].forward[v], l ^ draws.a);
            EXPECT_EQ(first.records[k].forward[v], l ^ draws.b);
            EXPECT_EQ(third.records[k].forward[v], l ^ draws.a ^ draws.b);
        }
    }
    // Ten draws per attempt, nothing else: both sources end in the same state.
    EXPECT_EQ(random.state(), reference.state());
    EXPECT_GT(laterAttempts, 0) << "the fixture should exercise retries";
}

TEST(CbcCodings, SingleRecordAdvancesTenDrawsPerAttempt) {
    RandomState state = kState;
    for (int trial = 0; trial < 8; ++trial) {
        RandomSource reference(state);
        int attempts = 0;
        while (!basisIsIndependent(drawAttempt(reference))) {
            ++attempts;
        }
        ++attempts;
        RandomSource random(state);
        ByteCoding first;
        ByteCoding second;
        ByteCoding third;
        ASSERT_EQ(makeCbcCodingRecord(random, first, second, third), STATUS_OK);
        EXPECT_EQ(random.state(), advancedState(state, 10 * attempts)) << "attempts " << attempts;
        state = random.state();
    }
}

TEST(CbcCodings, TwentyFailedAttemptsLeaveTheRecordsUntouched) {
    {
        RandomSource reference(kFailingState);
        for (int attempt = 0; attempt < 20; ++attempt) {
            ASSERT_FALSE(basisIsIndependent(drawAttempt(reference))) << attempt;
        }
    }
    ByteCoding records[3];
    std::memset(records, 0xA5, sizeof records);
    RandomSource random(kFailingState);
    EXPECT_EQ(makeCbcCodingRecord(random, records[0], records[1], records[2]),
              STATUS_CBC_CODING_FAILED);
    EXPECT_EQ(random.state(), advancedState(kFailingState, 200));
    for (const ByteCoding& record : records) {
        for (uint8_t byte : record.forward) {
            ASSERT_EQ(byte, 0xA5);
        }
        for (uint8_t byte : record.inverse) {
            ASSERT_EQ(byte, 0xA5);
        }
    }

    // In a whole set the failed record stays as it was and the rest are built.
    CodingSet sets[3];
    std::memset(sets, 0, sizeof sets);
    RandomSource setRandom(kFailingState);
    EXPECT_EQ(makeCbcCodings(setRandom, sets[0], sets[1], sets[2]), STATUS_CBC_CODING_FAILED);
    for (const CodingSet& set : sets) {
        for (uint8_t byte : set.records[0].forward) {
            ASSERT_EQ(byte, 0);
        }
    }
    for (int k = 1; k < 16; ++k) {
        expectRelatedTriple(sets[0].records[k], sets[1].records[k], sets[2].records[k]);
    }
}

} // namespace

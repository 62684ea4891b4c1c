#include "coding/random_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "coding/value_pool.h"
#include "support/reference_crypto.h"

namespace {

const RandomState kState = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

// One MD5 step computed by the tests' reference library.
RandomState md5Of(const RandomState& state) {
    RandomState digest{};
    const std::vector<uint8_t> computed = testsupport::referenceDigest(testsupport::Digest::md5, state.data(), state.size());
    EXPECT_EQ(computed.size(), 16u);
    if (computed.size() == digest.size()) std::memcpy(digest.data(), computed.data(), digest.size());
    return digest;
}

uint32_t le32(const RandomState& s) {
    return uint32_t{s[0]} | uint32_t{s[1]} << 8 | uint32_t{s[2]} << 16 | uint32_t{s[3]} << 24;
}

TEST(RandomSource, ValuesAreTheMd5ChainModuloTheRange) {
    const std::vector<uint32_t> ranges = {1, 2, 3, 7, 16, 255, 256, 1000, 65536, 0x7FFFFFFF,
                                          0xFFFFFFFF, 1, 10};
    RandomSource random(kState);
    RandomState expected = kState;
    for (uint32_t range : ranges) {
        expected = md5Of(expected);
        uint32_t value = 0xDEADBEEF;
        ASSERT_EQ(random.next(range, &value), 0);
        EXPECT_EQ(value, le32(expected) % range) << "range " << range;
        EXPECT_EQ(random.state(), expected);
    }
}

TEST(RandomSource, RangeOneAndMissingOutputStillAdvance) {
    RandomSource withOut(kState);
    RandomSource withoutOut(kState);
    for (int i = 0; i < 5; ++i) {
        uint32_t value = 99;
        ASSERT_EQ(withOut.next(1, &value), 0);
        EXPECT_EQ(value, 0u);
        ASSERT_EQ(withoutOut.next(1, nullptr), 0);
        EXPECT_EQ(withOut.state(), withoutOut.state());
    }
    EXPECT_EQ(withOut.state(), md5Of(md5Of(md5Of(md5Of(md5Of(kState))))));
}

TEST(RandomSource, NextByteStoresTheValueOfNext) {
    RandomSource bytes(kState);
    RandomSource words(kState);
    bool sawHigh = false;
    for (int i = 0; i < 64; ++i) {
        uint8_t byte = 0;
        uint32_t word = 0;
        ASSERT_EQ(bytes.nextByte(256, &byte), 0);
        ASSERT_EQ(words.next(256, &word), 0);
        EXPECT_EQ(byte, word);
        sawHigh = sawHigh || byte >= 128;
    }
    EXPECT_TRUE(sawHigh);
}

TEST(RandomSource, ClockSeededSourcesAdvanceLikeAnyOther) {
    RandomSource random;
    const RandomState seed = random.state();
    uint32_t value = 0;
    random.next(256, &value);
    EXPECT_EQ(random.state(), md5Of(seed));
}

// A pool of first, first + 1, ... up to end (not included), in that order.
ValuePool poolOf(uint32_t first, uint32_t end) {
    ValuePool pool;
    for (uint32_t v = first; v < end; ++v) {
        pool.append(v);
    }
    return pool;
}

TEST(ValuePool, DrawingAllWithRemovalGivesEachValueOnce) {
    ValuePool pool = poolOf(0, 16);
    RandomSource random(kState);
    RandomState expected = kState;
    std::vector<uint32_t> order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    std::vector<bool> seen(16, false);
    for (uint32_t i = 0; i < 16; ++i) {
        uint32_t value = 99;
        ASSERT_EQ(pool.draw(random, &value, true), 0);
        // Expected element: position p from the front of what is left.
        expected = md5Of(expected);
        const uint32_t p = le32(expected) % (16 - i);
        EXPECT_EQ(value, order[p]);
        order.erase(order.begin() + p);
        ASSERT_LT(value, 16u);
        EXPECT_FALSE(seen[value]);
        seen[value] = true;
        EXPECT_EQ(pool.size(), 15 - i);
    }
    EXPECT_EQ(pool.size(), 0u);
}

TEST(ValuePool, DrawWithoutRemovalLeavesThePoolUnchanged) {
    ValuePool pool = poolOf(100, 110);
    RandomSource random(kState);
    RandomState expected = kState;
    for (int i = 0; i < 20; ++i) {
        uint32_t value = 0;
        ASSERT_EQ(pool.draw(random, &value, false), 0);
        expected = md5Of(expected);
        EXPECT_EQ(value, 100 + le32(expected) % 10);
        EXPECT_EQ(pool.size(), 10u);
    }
    // Contents and order are intact: draining it gives what draining a fresh
    // pool of 100..109 gives from the same state.
    ValuePool fresh = poolOf(100, 110);
    RandomSource a(kState);
    RandomSource b(kState);
    for (int i = 0; i < 10; ++i) {
        uint32_t fromUsed = 0;
        uint32_t fromFresh = 0;
        ASSERT_EQ(pool.draw(a, &fromUsed, true), 0);
        ASSERT_EQ(fresh.draw(b, &fromFresh, true), 0);
        EXPECT_EQ(fromUsed, fromFresh);
    }
}

} // namespace

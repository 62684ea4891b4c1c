// The audit on AES-192 and AES-256 tables (12 and 14 rounds): the general key
// schedule and its inversion from two round keys, the reader's round count,
// and every attack on tables made in process by the generators of both
// formats (fixed random states), and on random tables of those shapes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "aesref/rijndael.h"
#include "audit/aes_network.h"
#include "audit/bge_attack.h"
#include "audit/collision_attack.h"
#include "audit/dca_attack.h"
#include "audit/dfa_attack.h"
#include "audit/key_extraction.h"
#include "audit/key_schedule.h"
#include "audit/table_headers.h"
#include "base/status.h"
#include "generated_tables.h"
#include "support/support.h"

namespace {

std::string keyHex(std::span<const uint8_t> key) { return hexText(key.data(), key.size()); }

// A random key of R rounds, as hex text.
std::string keyOfRounds(int rounds, uint32_t seed) {
    const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(keyBytesOfRounds(rounds), seed);
    return keyHex(bytes);
}

// The schedule against the reference cipher's own (makeKey's keySched), for
// every key size, and back from every pair of consecutive round keys.
TEST(KeySchedule, ExpandsAndInvertsEveryKeySize) {
    for (const int rounds : {10, 12, 14}) {
        SCOPED_TRACE(rounds);
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            const std::string text = keyOfRounds(rounds, seed);
            const std::vector<uint8_t> key = testsupport::hexBytes(text);
            keyInstance reference{};
            reference.blockLen = 128;
            ASSERT_EQ(makeKey(&reference, DIR_ENCRYPT, static_cast<int32_t>(8 * key.size()), text.c_str()), TRUE);
            const RoundKeys keys = expandKey(key);
            ASSERT_EQ(keys.size(), static_cast<size_t>(rounds + 1));
            for (size_t r = 0; r < keys.size(); ++r) {
                for (size_t row = 0; row < 4; ++row) {
                    for (size_t c = 0; c < 4; ++c) EXPECT_EQ(keys[r][row][c], reference.keySched[r][row][c]);
                }
            }
            for (int r = 0; r < rounds; ++r) {
                const std::optional<CipherKey> back =
                    cipherKeyFromRoundKeys(keys[static_cast<size_t>(r)], keys[static_cast<size_t>(r) + 1], r, rounds);
                ASSERT_TRUE(back.has_value()) << r;
                EXPECT_EQ(keyHex(*back), text) << r;
            }
        }
    }
    EXPECT_TRUE(expandKey(std::vector<uint8_t>(20)).empty());
}

// FIPS-197 Appendix A.2 and A.3: the last word of the expansion.
TEST(KeySchedule, KnownLastWords) {
    const struct {
        const char* key;
        const char* lastWord;
    } cases[] = {
        {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", "01002202"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "706c631e"},
    };
    for (const auto& c : cases) {
        const RoundKeys keys = expandKey(testsupport::hexBytes(c.key));
        ASSERT_FALSE(keys.empty());
        uint8_t word[4];
        for (size_t row = 0; row < 4; ++row) word[row] = keys.back()[row][3];
        EXPECT_EQ(keyHex(word), c.lastWord);
    }
}

// Two round keys that no key has: of AES-192's eight words, the last two
// follow from the six before (w[i] = w[i - 6] ^ f(w[i - 1])), so a changed
// byte in the first two is found; AES-256's eight words are any key's.
TEST(KeySchedule, RoundKeysOfNoKeyGiveNone) {
    const RoundKeys keys = expandKey(testsupport::hexBytes(keyOfRounds(12, 9)));
    RoundKey first = keys[3];
    first[0][1] ^= 1;
    EXPECT_FALSE(cipherKeyFromRoundKeys(first, keys[4], 3, 12));
    RoundKey wrong = keys[2];
    wrong[1][2] ^= 0x80;
    EXPECT_FALSE(cipherKeyFromRoundKeys(wrong, keys[2], 1, 10)); // AES-128: the second must follow
    EXPECT_FALSE(cipherKeyFromRoundKeys(keys[0], keys[1], 12, 12));
    EXPECT_FALSE(cipherKeyFromRoundKeys(keys[0], keys[1], 0, 11));
}

// One direction of an in-process table set, as the reader would give it.
struct Direction3 {
    DirectionTables tables;
    std::vector<uint8_t> mix;
    std::vector<uint8_t> mixXor;
    MixedDirectionTables mixed() const { return {tables, mix, mixXor}; }
    NetworkTables network() const {
        NetworkTables n{&tables};
        if (!mix.empty()) {
            n.mix = &mix;
            n.mixXor = &mixXor;
        }
        return n;
    }
};

Direction3 directionOf(const audittest::GeneratedSet& set, Direction d) {
    const audittest::GeneratedDirection& g = d == Direction::Encrypt ? set.encrypt : set.decrypt;
    return {{g.round, g.xors, g.last, set.rounds}, g.mix, g.mixXor};
}

const Direction kDirections[2] = {Direction::Encrypt, Direction::Decrypt};

TEST(KeySizes, StructuralAndPartitionAttacksRecoverLongerKeys) {
    for (const int rounds : {12, 14}) {
        for (const bool ecb : {false, true}) {
            SCOPED_TRACE(std::to_string(rounds) + (ecb ? " rounds, ECB codings" : " rounds, no codings"));
            audittest::GeneratedSet set;
            ASSERT_EQ(audittest::generateTables(rounds, false, ecb, static_cast<uint32_t>(rounds + ecb), set), 0);
            for (const Direction d : kDirections) {
                const Direction3 one = directionOf(set, d);
                const DirectionAudit audit = auditDirection(one.tables, d);
                ASSERT_TRUE(audit.key) << audit.reason;
                EXPECT_EQ(keyHex(audit.key->bytes()), set.key);
                ASSERT_TRUE(audit.structuralKey) << audit.structuralFailure;
                // External codings hide round keys 0, 1, R - 1 and R from it.
                EXPECT_EQ(audit.structuralRounds.size(), static_cast<size_t>(ecb ? rounds - 3 : rounds + 1));
                EXPECT_EQ(audit.inputCoded, ecb);
                EXPECT_TRUE(audit.codingsRecovered);
                // The partition attack needs the plain block at the first round.
                EXPECT_EQ(audit.partitionKey.has_value(), !ecb) << audit.partitionFailure;
                const auto& forward = (d == Direction::Encrypt ? set.encrypt : set.decrypt).inputForward;
                for (size_t m = 0; m < 16; ++m) EXPECT_EQ(audit.inputCoding[m], forward[m]) << m;
            }
        }
    }
}

TEST(KeySizes, BgeAndCollisionAttacksRecoverLongerKeysOfMixedTables) {
    for (const int rounds : {12, 14}) {
        SCOPED_TRACE(rounds);
        audittest::GeneratedSet set;
        ASSERT_EQ(audittest::generateTables(rounds, true, false, static_cast<uint32_t>(30 + rounds), set), 0);
        for (const Direction d : kDirections) {
            const Direction3 one = directionOf(set, d);
            std::string why;
            const std::optional<ClaimedKey> bge = bgeRecoverKey(one.mixed(), d, BgeForm::Improved, &why);
            ASSERT_TRUE(bge) << why;
            EXPECT_EQ(keyHex(bge->bytes()), set.key);
            const std::optional<ClaimedKey> collision = collisionRecoverKey(one.mixed(), d, &why);
            ASSERT_TRUE(collision) << why;
            EXPECT_EQ(keyHex(collision->bytes()), set.key);
            // The classic attacks see the mixing and claim nothing.
            EXPECT_FALSE(auditDirection(one.tables, d).key);
        }
    }
}

TEST(KeySizes, GrayBoxAttacksRecoverLongerKeys) {
    for (const int rounds : {12, 14}) {
        for (const bool mixed : {false, true}) {
            SCOPED_TRACE(std::to_string(rounds) + (mixed ? " rounds, mixed" : " rounds, classic"));
            audittest::GeneratedSet set;
            ASSERT_EQ(audittest::generateTables(rounds, mixed, false, static_cast<uint32_t>(40 + rounds + mixed), set), 0);
            for (const Direction d : kDirections) {
                SCOPED_TRACE(d == Direction::Encrypt ? "encryption" : "decryption");
                const Direction3 one = directionOf(set, d);
                const DcaResult traced = dcaAttack(one.network(), d, nullptr, DcaOptions{});
                ASSERT_TRUE(traced.recovered()) << traced.failure;
                EXPECT_EQ(keyHex(traced.keyBytes()), set.key);
                const DfaResult faulted = dfaAttack(one.network(), d, nullptr, DfaOptions{});
                ASSERT_TRUE(faulted.recovered()) << faulted.failure;
                EXPECT_EQ(keyHex(faulted.keyBytes()), set.key);
            }
        }
    }
}

// Random bytes in the shapes of 12 and 14 rounds: no attack claims a key.
TEST(KeySizes, RandomTablesOfLongerShapesGiveNoKey) {
    for (const int rounds : {12, 14}) {
        SCOPED_TRACE(rounds);
        Direction3 random;
        random.tables = {testsupport::pseudoRandomBytes(roundTableBytes(rounds), 1),
                         testsupport::pseudoRandomBytes(xorTableBytes(rounds), 2),
                         testsupport::pseudoRandomBytes(kLastTableBytes, 3), rounds};
        random.mix = testsupport::pseudoRandomBytes(roundTableBytes(rounds), 4);
        random.mixXor = testsupport::pseudoRandomBytes(xorTableBytes(rounds), 5);
        for (const Direction d : kDirections) {
            const DirectionAudit audit = auditDirection(random.tables, d);
            EXPECT_FALSE(audit.key || audit.partitionKey || audit.structuralKey);
            EXPECT_FALSE(bgeRecoverKey(random.mixed(), d));
            EXPECT_FALSE(collisionRecoverKey(random.mixed(), d));
            DcaOptions dca;
            dca.traces = 64;
            EXPECT_FALSE(dcaAttack(random.network(), d, nullptr, dca).recovered());
            EXPECT_FALSE(dfaAttack(random.network(), d, nullptr, DfaOptions{}).recovered());
        }
    }
}

// The round count comes from the first dimension of a shaped declaration, or
// from the number of values of any other; it must be 10, 12 or 14.
TEST(KeySizes, ReaderTakesTheRoundCountFromTheDeclaration) {
    const auto values = [](size_t n) {
        std::string text;
        text.reserve(3 * n);
        for (size_t i = 0; i < n; ++i) text += "0,";
        return text;
    };
    const struct {
        std::string text;
        int32_t status;
        int rounds;
        const char* error;
    } cases[] = {
        {"t[12][4][4][256][4] = {" + values(12 * kRoundSlotBytes) + "};", STATUS_OK, 12, ""},
        {"t[14][4][4][256][4] = {" + values(14 * kRoundSlotBytes) + "};", STATUS_OK, 14, ""},
        {"t[" + std::to_string(12 * kRoundSlotBytes) + "] = {" + values(12 * kRoundSlotBytes) + "};", STATUS_OK, 12, ""},
        {"t[] = {" + values(14 * kRoundSlotBytes) + "};", STATUS_OK, 14, ""},
        {"t[11][4][4][256][4] = {" + values(11 * kRoundSlotBytes) + "};", AUDIT_BAD_HEADERS, 0,
         "t: the first dimension 11 (line 1) is no round count 10, 12 or 14"},
        {"t[12][4][4][256][4] = {" + values(10 * kRoundSlotBytes) + "};", AUDIT_BAD_HEADERS, 0,
         "t: 163840 values, expected 196608"},
        {"t[] = {" + values(11 * kRoundSlotBytes) + "};", AUDIT_BAD_HEADERS, 0,
         "t: 180224 values, expected 163840, 196608 or 229376"},
        {"t[] = {" + values(14 * kRoundSlotBytes + 1) + "};", AUDIT_BAD_HEADERS, 0, "t: more than 229376 values"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 24));
        std::vector<uint8_t> read;
        std::string error;
        int rounds = 0;
        EXPECT_EQ(parseRoundTableText(c.text, "t", kRoundSlotBytes, read, rounds, error), c.status);
        EXPECT_EQ(error, c.error);
        if (c.status == STATUS_OK) {
            EXPECT_EQ(rounds, c.rounds);
            EXPECT_EQ(read.size(), static_cast<size_t>(c.rounds) * kRoundSlotBytes);
        }
    }
}

} // namespace

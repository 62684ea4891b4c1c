// The one claim path: a key is printed or counted only after the tables,
// evaluated as the attack that found it reads them, compute AES-128 under it
// on the test blocks. Faults that the attacks themselves cannot see, planted
// in real tables, must stop the claim.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "audit/aes_network.h"
#include "audit/bge_attack.h"
#include "audit/collision_attack.h"
#include "audit/key_claim.h"
#include "base/status.h"
#include "audit_fixture.h"
#include "support/reference_crypto.h"
#include "support/support.h"

namespace {

const char* const kSeed = "000102030405060708090A0B0C0D0E0F";

std::array<uint8_t, 16> keyBytes(const std::string& hex) {
    const std::vector<uint8_t> bytes = testsupport::hexBytes(hex);
    std::array<uint8_t, 16> key{};
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

// A "network" that is AES-128 under key (from the tests' reference library),
// with the output bytes in `wrong` changed.
BlockMatch referenceWith(Direction direction, const std::string& key, const std::vector<int>& wrong) {
    return [direction, key, wrong](const uint8_t block[16], const uint8_t expected[16]) {
        std::vector<uint8_t> out = testsupport::referenceAes(direction == Direction::Encrypt, testsupport::hexBytes(key),
                                                             testsupport::kEcb, std::vector<uint8_t>(block, block + 16));
        for (int n : wrong) out[static_cast<size_t>(n)] ^= 1;
        return std::equal(out.begin(), out.end(), expected);
    };
}

// Every byte of a block and every byte of the key counts.
TEST(KeyClaim, EveryByteOfTheBlockAndOfTheKeyCounts) {
    const std::string key = audittest::randomKey(71);
    std::string lastByteOff = key;
    lastByteOff[31] = lastByteOff[31] == '0' ? '1' : '0';
    const struct {
        const char* name;
        std::string claimed;
        std::vector<int> wrong;
        bool passes;
    } cases[] = {
        {"right key", key, {}, true},
        {"key differs in its last byte", lastByteOff, {}, false},
        {"output differs in byte 0", key, {0}, false},
        {"output differs in byte 15 only", key, {15}, false},
    };
    for (const Direction direction : {Direction::Encrypt, Direction::Decrypt}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (direction == Direction::Encrypt ? " encryption" : " decryption"));
            const std::optional<ClaimedKey> claimed =
                claimKey(direction, keyBytes(c.claimed), referenceWith(direction, key, c.wrong));
            EXPECT_EQ(claimed.has_value(), c.passes);
            if (claimed) {
                EXPECT_EQ(testsupport::hexText(claimed->bytes().data(), 16), c.claimed);
            }
        }
    }
    // The inner-round form takes rounds strictly inside the cipher.
    const auto anything = [](const uint8_t*, const uint8_t*) { return true; };
    EXPECT_FALSE(claimKeyOnRounds(Direction::Encrypt, keyBytes(key), 0, 8, anything));
    EXPECT_FALSE(claimKeyOnRounds(Direction::Encrypt, keyBytes(key), 1, 10, anything));
    EXPECT_FALSE(claimKeyOnRounds(Direction::Encrypt, keyBytes(key), 5, 5, anything));
    EXPECT_TRUE(claimKeyOnRounds(Direction::Encrypt, keyBytes(key), 1, 8, anything));
}

// The last byte table of one output byte XORed with 1: the first round, all
// the collision attack reads, is untouched, so it finds the key, and the
// network differs from AES-128 in that output byte alone. The claim fails.
TEST(KeyClaim, CollisionKeyFailsOnOneWrongOutputByte) {
    const std::string keys[2] = {audittest::randomKey(72), audittest::randomKey(73)};
    const audittest::TableRun run(keys[0], keys[1], "", kSeed, {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    audittest::MixedSet mixed;
    ASSERT_TRUE(audittest::loadMixed(run, mixed));
    const struct {
        Direction direction;
        int outputByte; // block byte 4c + k
    } cases[] = {{Direction::Encrypt, 15}, {Direction::Encrypt, 0}, {Direction::Decrypt, 15}, {Direction::Decrypt, 6}};
    for (const auto& c : cases) {
        const bool encrypt = c.direction == Direction::Encrypt;
        SCOPED_TRACE(std::string(encrypt ? "encryption" : "decryption") + ", output byte " +
                     std::to_string(c.outputByte));
        DirectionTables changed = encrypt ? mixed.set.encrypt : mixed.set.decrypt;
        const int k = c.outputByte % 4;
        const int j = feedingColumn(c.direction, k, c.outputByte / 4);
        for (unsigned x = 0; x < 256; ++x) changed.last[static_cast<size_t>(j * 4 + k) * 256 + x] ^= 1;
        const audittest::MixHeaders& mix = encrypt ? mixed.encrypt : mixed.decrypt;
        std::string failure;
        EXPECT_FALSE(collisionRecoverKey({changed, mix.mix, mix.mixXor}, c.direction, &failure));
        EXPECT_EQ(failure, "key " + keys[encrypt ? 0 : 1] + " failed the check against the tables");
        // Untouched, the same attack gives the key.
        EXPECT_TRUE(collisionRecoverKey(mixed.tables(c.direction), c.direction, &failure)) << failure;
    }
}

// Entries of one XOR table of the encryption's table round 4 that the BGE
// attack never reads: its probes keep two of a column's input bytes at zero,
// so the table that adds row 3 is read only with row 3's contribution for
// input 0, or with the running sum of rows 0 to 2 for inputs 0. Changing the
// other 225 entries leaves every step of the attack and the round keys as
// they were, but stage 4 no longer computes its AES round.
void plantUnseenFault(DirectionTables& tables) {
    const int slot = 4;
    const int c = 1;
    const int b = 0;
    uint8_t a[4];
    for (int q = 0; q < 4; ++q) a[q] = roundEntry(tables, slot, feedingColumn(Direction::Encrypt, q, c), q, 0, b);
    unsigned running = a[0] & 15u;
    for (int q = 0; q < 2; ++q) running = xorTable(tables, slot, c, 6 * b + 2 * q)[((a[q + 1] & 15u) << 4) | running] & 15u;
    const unsigned contribution = a[3] & 15u;
    uint8_t* table = &tables.xors[((static_cast<size_t>(slot) * 4 + c) * 24 + 6 * b + 4) * 256];
    for (unsigned v = 0; v < 16; ++v) {
        for (unsigned r = 0; r < 16; ++r) {
            if (v != contribution && r != running) table[(v << 4) | r] ^= 1;
        }
    }
}

TEST(KeyClaim, BgeKeyFailsOnAFaultItsStepsDoNotSee) {
    const std::string key = audittest::randomKey(74);
    const audittest::TableRun run(key, audittest::randomKey(75), "/cbcioc:", kSeed, {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    audittest::MixedSet mixed;
    ASSERT_TRUE(audittest::loadMixed(run, mixed));
    DirectionTables changed = mixed.set.encrypt;
    plantUnseenFault(changed);
    for (const BgeForm form : {BgeForm::Improved, BgeForm::Plain}) {
        SCOPED_TRACE(form == BgeForm::Plain ? "plain" : "improved");
        std::string failure;
        EXPECT_FALSE(bgeRecoverKey({changed, mixed.encrypt.mix, mixed.encrypt.mixXor}, Direction::Encrypt, form, &failure));
        EXPECT_EQ(failure, "key " + key + " failed the check against the tables");
        EXPECT_TRUE(bgeRecoverKey(mixed.tables(Direction::Encrypt), Direction::Encrypt, form, &failure)) << failure;
    }

    // The same fault in the header: the audit neither prints nor counts the key.
    std::string text = "static const unsigned char xorTables[10][4][24][256] = {";
    for (const uint8_t v : changed.xors) text += std::to_string(v) + ",";
    testsupport::writeFile(run.header(1), text + "};\n");
    const audittest::AuditRun result = audittest::audit({"--check-decrypt", audittest::randomKey(75), run.script()});
    EXPECT_EQ(result.status, AUDIT_NOT_RECOVERED) << result.output;
    EXPECT_NE(result.output.find("Parsed 10 headers in "), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("encryption key: NOT RECOVERED (no attack found a key)\n"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("  BGE attack on the mixed rounds: not recovered (key " + key +
                                 " failed the check against the tables)\n"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(result.output.find("recovered " + key), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("decryption key: recovered " + audittest::randomKey(75)), std::string::npos);
}

} // namespace

namespace {

// The classic format with one XOR table of table round 4 changed (every
// entry XORed with 1): the first round, all the partition attack reads, gives
// the key, and so do the table rounds the structural attack can still read,
// but the network no longer computes AES-128. Neither attack's line shows the
// key, and the key line says why.
TEST(KeyClaim, ClassicKeysThatFailTheCheckAreNotShown) {
    const std::string key = audittest::randomKey(76);
    const audittest::TableRun run(key, audittest::randomKey(77), "", kSeed);
    ASSERT_TRUE(run.ok()) << run.output();
    HeaderSet set;
    std::string error;
    ASSERT_EQ(loadHeaderSet(run.headers(), set, error), STATUS_OK) << error;
    uint8_t* table = &set.encrypt.xors[(4 * 4 + 1) * 24 * 256];
    for (size_t i = 0; i < 256; ++i) table[i] ^= 1;
    std::string text = "const unsigned char xorTables[10][4][24][256] = {";
    for (const uint8_t v : set.encrypt.xors) text += std::to_string(v) + ",";
    testsupport::writeFile(run.header(1), text + "};\n");
    const audittest::AuditRun result = audittest::audit({run.script()});
    EXPECT_EQ(result.status, AUDIT_NOT_RECOVERED) << result.output;
    const std::string failed = "not recovered (key " + key + " failed the check against the tables)\n";
    EXPECT_NE(result.output.find("encryption key: NOT RECOVERED (key " + key + " failed the check against the tables)\n"
                                 "  partition attack on the first round: " + failed +
                                 "  structural attack on the inner rounds: " + failed),
              std::string::npos)
        << result.output;
    EXPECT_EQ(result.output.find(": " + key + "\n"), std::string::npos);
    EXPECT_EQ(result.output.find(": " + key + " ("), std::string::npos);
    EXPECT_NE(result.output.find("decryption key: recovered " + audittest::randomKey(77)), std::string::npos);
}

} // namespace

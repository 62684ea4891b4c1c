// The collision attack on the first round of mixed tables from the tool, and
// the evaluator of the mixed network that checks the keys it gives.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "audit/collision_attack.h"
#include "audit/table_headers.h"
#include "audit_fixture.h"
#include "support/reference_crypto.h"
#include "support/support.h"

namespace {

const char* const kSeed = "000102030405060708090A0B0C0D0E0F";

// AES-128 on one block from the tests' reference library, independent of the
// tool's reference.
void referenceBlock(Direction direction, const std::string& keyHex, const uint8_t in[16], uint8_t out[16]) {
    const std::vector<uint8_t> result = testsupport::referenceAes(
        direction == Direction::Encrypt, testsupport::hexBytes(keyHex), testsupport::kEcb, std::vector<uint8_t>(in, in + 16));
    std::copy(result.begin(), result.end(), out);
}

} // namespace

// Without external codings the mixed network is AES-128 under the key, and
// the collisions of the first round give that key in both directions. Under
// ECB or CBC codings the first round takes a coded block: no key byte fits
// and no key is given.
TEST(CollisionAttack, RecoversKeysOfUncodedMixedTablesOnly) {
    const std::string keys[2] = {audittest::randomKey(51), audittest::randomKey(52)};
    for (const char* coding : {"", "/ecbioc:", "/cbcioc:"}) {
        SCOPED_TRACE(*coding == '\0' ? "no codings" : coding);
        const audittest::TableRun run(keys[0], keys[1], coding, kSeed, {}, true);
        ASSERT_TRUE(run.ok()) << run.output();
        audittest::MixedSet mixed;
        ASSERT_TRUE(audittest::loadMixed(run, mixed));
        for (const Direction direction : {Direction::Encrypt, Direction::Decrypt}) {
            const bool encrypt = direction == Direction::Encrypt;
            const MixedDirectionTables tables = mixed.tables(direction);
            if (*coding == '\0') {
                const uint8_t block[16] = {0x32, 0x43, 0xf6, 0xa8, 0x88, 0x5a, 0x30, 0x8d,
                                           0x31, 0x31, 0x98, 0xa2, 0xe0, 0x37, 0x07, 0x34};
                uint8_t expected[16];
                uint8_t out[16];
                referenceBlock(direction, keys[encrypt ? 0 : 1], block, expected);
                evaluateMixedNetwork(tables, direction, block, out);
                EXPECT_EQ(testsupport::hexText(out, 16), testsupport::hexText(expected, 16));
            }
            std::string failure;
            const std::optional<ClaimedKey> recovered = collisionRecoverKey(tables, direction, &failure);
            if (*coding == '\0') {
                ASSERT_TRUE(recovered) << failure;
                EXPECT_EQ(testsupport::hexText(recovered->bytes().data(), 16), keys[encrypt ? 0 : 1]);
            } else {
                EXPECT_FALSE(recovered);
                EXPECT_EQ(failure, std::string("no key byte fits the collisions at table round ") +
                                       (encrypt ? "0" : "9") + ", column 0");
            }
        }
    }
}

// The key of the first round is only half the story: with the last tables
// changed (every entry XORed with 1, a bijection still) the first round gives
// the same key, but the network no longer computes AES-128 under it, and the
// attack says so instead of giving the key.
TEST(CollisionAttack, AKeyThatFailsTheNetworkIsNotGiven) {
    const std::string encryptKey = audittest::randomKey(53);
    const audittest::TableRun run(encryptKey, audittest::randomKey(54), "", kSeed, {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    audittest::MixedSet mixed;
    ASSERT_TRUE(audittest::loadMixed(run, mixed));
    DirectionTables changed = mixed.set.encrypt;
    for (uint8_t& entry : changed.last) entry ^= 1;
    std::string failure;
    EXPECT_FALSE(collisionRecoverKey({changed, mixed.encrypt.mix, mixed.encrypt.mixXor}, Direction::Encrypt, &failure));
    EXPECT_EQ(failure, "key " + encryptKey + " failed the check against the tables");
}

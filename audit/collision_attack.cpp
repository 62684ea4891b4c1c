// Collision attack on the first round of the mixed tables (see
// collision_attack.h), and the evaluator that checks the key it gives.
#include "audit/collision_attack.h"

#include <algorithm>

#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_schedule.h"

void evaluateMixedNetwork(const MixedDirectionTables& tables, Direction direction, const uint8_t in[16],
                          uint8_t out[16]) {
    evaluateStages(tables.classic, direction, in, out,
                   [&tables, direction](int t, int c, const uint8_t column[4], uint8_t result[4]) {
                       mixedColumnRound(tables, direction, t, c)(column, result);
                   });
}

namespace {

// The key byte under input byte q of a first-round column, or -1 when no
// byte or more than one fits (-2).
int keyByteFromCollisions(const ColumnRound& round, int q, const uint8_t* box) {
    const int p = q ^ 1; // the partner byte whose two values make the collisions
    ByteTable low{};     // output byte 0 for x_p = 0, x_q = b
    ByteTable inverseHigh{};
    std::array<bool, 256> seen{};
    for (unsigned b = 0; b < 256; ++b) {
        uint8_t in[4] = {0, 0, 0, 0};
        uint8_t out[4];
        in[q] = static_cast<uint8_t>(b);
        round(in, out);
        low[b] = out[0];
        in[p] = 1;
        round(in, out);
        if (seen[out[0]]) return -1;
        seen[out[0]] = true;
        inverseHigh[out[0]] = static_cast<uint8_t>(b);
    }
    ByteTable partner{}; // b -> b' with y(1, b') = y(0, b)
    for (unsigned b = 0; b < 256; ++b) partner[b] = inverseHigh[low[b]];
    int found = -1;
    for (unsigned k = 0; k < 256; ++k) {
        const uint8_t sum = static_cast<uint8_t>(box[partner[0] ^ k] ^ box[k]);
        bool constant = sum != 0;
        for (unsigned b = 1; b < 256 && constant; ++b) constant = (box[partner[b] ^ k] ^ box[b ^ k]) == sum;
        if (!constant) continue;
        if (found >= 0) return -2;
        found = static_cast<int>(k);
    }
    return found;
}

// The round key (as keyByteFromCollisions reads it) of a table round whose
// column c round(c) takes the plain state bytes; false with why set.
template <typename Column>
bool roundKeyFromCollisions(Direction direction, int slot, const Column& column, RoundKey& roundKey,
                            std::string& why) {
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    for (int c = 0; c < 4; ++c) {
        const ColumnRound round = column(c);
        for (int q = 0; q < 4; ++q) {
            const int k = keyByteFromCollisions(round, q, box);
            if (k < 0) {
                why = std::string(k == -1 ? "no key byte fits" : "more than one key byte fits") +
                      " the collisions at table round " + std::to_string(slot) + ", column " + std::to_string(c);
                return false;
            }
            roundKey[static_cast<size_t>(q)][static_cast<size_t>(feedingColumn(direction, q, c))] =
                static_cast<uint8_t>(k);
        }
    }
    return true;
}

} // namespace

std::optional<ClaimedKey> collisionRecoverKey(const MixedDirectionTables& tables, Direction direction,
                                              std::string* failure) {
    std::string ignored;
    std::string& why = failure != nullptr ? *failure : ignored;
    const int R = tables.classic.rounds;
    RoundKey roundKey{};
    const auto firstColumn = [&](int c) { return mixedColumnRound(tables, direction, 0, c); };
    if (!roundKeyFromCollisions(direction, stageSlot(direction, 0, R), firstColumn, roundKey, why)) {
        return std::nullopt;
    }
    CipherKey candidate;
    if (R == 10) {
        const std::array<uint8_t, 16> bytes = cipherKeyFromRoundKey(roundKey, direction == Direction::Encrypt ? 0 : 10);
        candidate.assign(bytes.begin(), bytes.end());
    } else {
        // A longer key: the second round, its plain inputs set through the
        // block (blockForState), gives the second round key.
        const auto secondColumn = [&](int c) -> ColumnRound {
            const ColumnRound round = mixedColumnRound(tables, direction, 1, c);
            return [&tables, direction, &roundKey, round, c](const uint8_t in[4], uint8_t out[4]) {
                uint8_t state[16] = {};
                for (int q = 0; q < 4; ++q) state[4 * feedingColumn(direction, q, c) + q] = in[q];
                uint8_t block[16];
                blockForState(direction, roundKey, state, block);
                uint8_t coded[16];
                evaluateFirstStages(direction, block, coded, 1,
                                    [&tables, direction](int t, int col, const uint8_t column[4], uint8_t result[4]) {
                                        mixedColumnRound(tables, direction, t, col)(column, result);
                                    });
                uint8_t column[4];
                for (int q = 0; q < 4; ++q) column[q] = coded[4 * feedingColumn(direction, q, c) + q];
                round(column, out);
            };
        };
        RoundKey offset{};
        if (!roundKeyFromCollisions(direction, stageSlot(direction, 1, R), secondColumn, offset, why)) {
            return std::nullopt;
        }
        const std::optional<CipherKey> found =
            keyOfFirstRounds(direction, roundKey, secondRoundKey(direction, offset), R);
        if (!found) {
            why = "the first two round keys belong to no key";
            return std::nullopt;
        }
        candidate = *found;
    }
    // The whole network, without external codings, against the reference.
    std::optional<ClaimedKey> claimed =
        claimKey(direction, candidate, [&](const uint8_t block[16], const uint8_t expected[16]) {
            uint8_t out[16];
            evaluateMixedNetwork(tables, direction, block, out);
            return std::equal(out, out + 16, expected);
        });
    if (!claimed) why = "key " + hexText(candidate.data(), candidate.size()) + " failed the check against the tables";
    return claimed;
}

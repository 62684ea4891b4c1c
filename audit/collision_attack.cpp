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

} // namespace

std::optional<ClaimedKey> collisionRecoverKey(const MixedDirectionTables& tables, Direction direction,
                                              std::string* failure) {
    std::string ignored;
    std::string& why = failure != nullptr ? *failure : ignored;
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    RoundKey roundKey{};
    for (int c = 0; c < 4; ++c) {
        const ColumnRound round = mixedColumnRound(tables, direction, 0, c);
        for (int q = 0; q < 4; ++q) {
            const int k = keyByteFromCollisions(round, q, box);
            if (k < 0) {
                why = std::string(k == -1 ? "no key byte fits" : "more than one key byte fits") +
                      " the collisions at table round " + std::to_string(stageSlot(direction, 0)) + ", column " +
                      std::to_string(c);
                return std::nullopt;
            }
            roundKey[static_cast<size_t>(q)][static_cast<size_t>(feedingColumn(direction, q, c))] =
                static_cast<uint8_t>(k);
        }
    }
    const std::array<uint8_t, 16> candidate =
        cipherKeyFromRoundKey(roundKey, direction == Direction::Encrypt ? 0 : 10);
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

// The evaluation order of the table network: per stage, every round table
// looks up its state byte, then each output byte is summed nibble by nibble by
// a chain of three XOR tables (row 0's contribution first, the new
// contribution as the high input nibble); a last byte table finishes.
#include "audit/aes_network.h"

#include <algorithm>

#include "aesref/aes_tables.h"

uint8_t mixCoefficient(Direction d, int b, int k) {
    return d == Direction::Encrypt ? aesMixCoefficients[(k - b) & 3] : aesInvMixCoefficients[(k - b) & 3];
}

uint8_t unmixCoefficient(Direction d, int b, int k) {
    return mixCoefficient(d == Direction::Encrypt ? Direction::Decrypt : Direction::Encrypt, b, k);
}

uint8_t gfInverse(uint8_t a) {
    // Built once: the attacks ask for inverses inside their candidate searches.
    static const std::array<uint8_t, 256> inverses = [] {
        std::array<uint8_t, 256> table{}; // 0 has no inverse and stays 0
        for (unsigned x = 1; x < 256; ++x) {
            for (unsigned v = 1; v < 256; ++v) {
                if (gfMultiply(static_cast<uint8_t>(x), static_cast<uint8_t>(v)) == 1) {
                    table[x] = static_cast<uint8_t>(v);
                    break;
                }
            }
        }
        return table;
    }();
    return inverses[a];
}

namespace {

// Block byte order to s[row][column] and back.
void toState(const uint8_t in[16], uint8_t s[4][4]) {
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) s[k][j] = in[4 * j + k];
    }
}

void runStages(Direction d, uint8_t s[4][4], int stages, const StageColumnFunction& stageColumn) {
    for (int stage = 0; stage < stages; ++stage) {
        uint8_t next[4][4];
        for (int c = 0; c < 4; ++c) {
            uint8_t column[4];
            for (int q = 0; q < 4; ++q) column[q] = s[q][feedingColumn(d, q, c)];
            uint8_t result[4];
            stageColumn(stage, c, column, result);
            for (int b = 0; b < 4; ++b) next[b][c] = result[b];
        }
        for (int k = 0; k < 4; ++k) {
            for (int c = 0; c < 4; ++c) s[k][c] = next[k][c];
        }
    }
}

// One stage column through t's round and XOR tables.
void tableColumn(const DirectionTables& t, Direction d, int stage, int c, const uint8_t column[4], uint8_t result[4]) {
    const int slot = stageSlot(d, stage, t.rounds);
    for (int b = 0; b < 4; ++b) {
        uint8_t a[4];
        for (int q = 0; q < 4; ++q) a[q] = roundEntry(t, slot, feedingColumn(d, q, c), q, column[q], b);
        unsigned acc = a[0];
        for (int q = 0; q < 3; ++q) {
            const unsigned lo = xorTable(t, slot, c, 6 * b + 2 * q)[((a[q + 1] & 15u) << 4) | (acc & 15u)];
            const unsigned hi = xorTable(t, slot, c, 6 * b + 2 * q + 1)[(a[q + 1] & 0xF0u) | (acc >> 4)];
            acc = ((hi & 15u) << 4) | (lo & 15u); // only the nibbles count, as in the runtime
        }
        result[b] = static_cast<uint8_t>(acc);
    }
}

} // namespace

void evaluateStages(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16],
                    const StageColumnFunction& stageColumn) {
    uint8_t s[4][4]; // s[row][column]
    toState(in, s);
    runStages(d, s, tableRounds(t), stageColumn);
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = feedingColumn(d, k, c);
            out[4 * c + k] = lastEntry(t, j, k, s[k][j]);
        }
    }
}

void evaluateFirstStages(Direction d, const uint8_t in[16], uint8_t state[16], int stages,
                         const StageColumnFunction& stageColumn) {
    uint8_t s[4][4];
    toState(in, s);
    runStages(d, s, stages, stageColumn);
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) state[4 * j + k] = s[k][j];
    }
}

void networkState(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t state[16], int stages) {
    evaluateFirstStages(d, in, state, stages, [&t, d](int stage, int c, const uint8_t column[4], uint8_t result[4]) {
        tableColumn(t, d, stage, c, column, result);
    });
}

namespace {

Direction other(Direction d) { return d == Direction::Encrypt ? Direction::Decrypt : Direction::Encrypt; }

// ShiftRows (by = Encrypt) or InvShiftRows on a block.
void shiftBlock(Direction by, const uint8_t in[16], uint8_t out[16]) {
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) out[4 * c + row] = in[4 * feedingColumn(by, row, c) + row];
    }
}

// d's MixColumns (InvMixColumns for decryption), or with unmix its inverse.
void mixBlock(Direction d, bool unmix, uint8_t s[16]) {
    for (int c = 0; c < 4; ++c) {
        uint8_t column[4];
        for (int b = 0; b < 4; ++b) {
            uint8_t x = 0;
            for (int k = 0; k < 4; ++k) {
                x ^= gfMultiply(unmix ? unmixCoefficient(d, b, k) : mixCoefficient(d, b, k), s[4 * c + k]);
            }
            column[b] = x;
        }
        std::copy(column, column + 4, s + 4 * c);
    }
}

void addKey(const RoundKey& key, uint8_t s[16]) {
    for (int i = 0; i < 16; ++i) s[i] = static_cast<uint8_t>(s[i] ^ key[static_cast<size_t>(i % 4)][static_cast<size_t>(i / 4)]);
}

void subBytes(const uint8_t* box, uint8_t s[16]) {
    for (int i = 0; i < 16; ++i) s[i] = box[s[i]];
}

} // namespace

void blockForState(Direction d, const RoundKey& first, const uint8_t state[16], uint8_t block[16]) {
    // Encryption: v = MixColumns(ShiftRows(SubBytes(p ^ K0))). Decryption:
    // v = InvMixColumns(InvShiftRows(InvSubBytes(c ^ K_R))). Undone here.
    uint8_t w[16];
    std::copy(state, state + 16, w);
    mixBlock(d, true, w);
    shiftBlock(other(d), w, block);
    subBytes(d == Direction::Encrypt ? aesInvSbox : aesSbox, block);
    addKey(first, block);
}

void stateForBlock(Direction d, const RoundKey& first, const uint8_t block[16], uint8_t state[16]) {
    uint8_t w[16];
    std::copy(block, block + 16, w);
    addKey(first, w);
    subBytes(d == Direction::Encrypt ? aesSbox : aesInvSbox, w);
    shiftBlock(d, w, state);
    mixBlock(d, false, state);
}

void peelLastRound(Direction d, const RoundKey& last, const uint8_t out[16], uint8_t peeled[16]) {
    // Encryption: out = ShiftRows(SubBytes(x)) ^ K_R, and InvMixColumns(x) =
    // ShiftRows(SubBytes(z)) ^ InvMixColumns(K_{R-1}) for the state z entering
    // round R - 1. Decryption: out = InvSubBytes(InvShiftRows(x)) ^ K_0, and
    // MixColumns(x) = InvSubBytes(InvShiftRows(z)) ^ K_1.
    uint8_t w[16];
    std::copy(out, out + 16, w);
    addKey(last, w);
    subBytes(d == Direction::Encrypt ? aesInvSbox : aesSbox, w);
    shiftBlock(other(d), w, peeled);
    mixBlock(d, true, peeled);
}

namespace {

// mixBlock on a round key, column by column.
RoundKey mixedKey(Direction d, bool unmix, const RoundKey& key) {
    uint8_t s[16];
    for (size_t i = 0; i < 16; ++i) s[i] = key[i % 4][i / 4];
    mixBlock(d, unmix, s);
    RoundKey mixed{};
    for (size_t i = 0; i < 16; ++i) mixed[i % 4][i / 4] = s[i];
    return mixed;
}

} // namespace

RoundKey keyBeforeLast(Direction d, const RoundKey& peeledKey) {
    return d == Direction::Decrypt ? peeledKey : mixedKey(d, false, peeledKey);
}

std::optional<CipherKey> keyOfLastRounds(Direction d, const RoundKey& last, const RoundKey& beforeLast, int rounds) {
    return d == Direction::Encrypt ? cipherKeyFromRoundKeys(beforeLast, last, rounds - 1, rounds)
                                   : cipherKeyFromRoundKeys(last, beforeLast, 0, rounds);
}

RoundKey secondRoundKey(Direction d, const RoundKey& offset) {
    return d == Direction::Encrypt ? offset : mixedKey(d, true, offset);
}

std::optional<CipherKey> keyOfFirstRounds(Direction d, const RoundKey& first, const RoundKey& second, int rounds) {
    return d == Direction::Encrypt ? cipherKeyFromRoundKeys(first, second, 0, rounds)
                                   : cipherKeyFromRoundKeys(second, first, rounds - 1, rounds);
}

void evaluateNetwork(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16]) {
    evaluateStages(t, d, in, out, [&t, d](int stage, int c, const uint8_t column[4], uint8_t result[4]) {
        tableColumn(t, d, stage, c, column, result);
    });
}

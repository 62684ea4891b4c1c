// The evaluation order of the table network: per stage, every round table
// looks up its state byte, then each output byte is summed nibble by nibble by
// a chain of three XOR tables (row 0's contribution first, the new
// contribution as the high input nibble); a last byte table finishes.
#include "audit/aes_network.h"

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

void evaluateStages(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16],
                    const StageColumnFunction& stageColumn) {
    uint8_t s[4][4]; // s[row][column]
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) s[k][j] = in[4 * j + k];
    }
    for (int stage = 0; stage < 9; ++stage) {
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
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = feedingColumn(d, k, c);
            out[4 * c + k] = lastEntry(t, j, k, s[k][j]);
        }
    }
}

void evaluateNetwork(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16]) {
    evaluateStages(t, d, in, out, [&t, d](int stage, int c, const uint8_t column[4], uint8_t result[4]) {
        const int slot = stageSlot(d, stage);
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
    });
}

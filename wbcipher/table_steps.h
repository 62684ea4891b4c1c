// The steps of the plain table evaluators, shared by the classic and the mixed
// cipher. A state is [row][column]; only its first four columns are used.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "wbgen/table_storage.h"

// The round-table word of one entry: byte b (bits 8b..8b+7) is the contribution
// to output row b.
inline uint32_t loadWord(const uint8_t bytes[4]) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The XOR-table half of a layer: four 32-bit contribution words per output
// column are summed nibble by nibble through 4-bit XOR tables.
// t[q][c] is the word that row q contributes to output column c; byte b of it
// (bits 8b..8b+7) goes to output byte (b, c). Row 0's contribution starts the
// sum, rows 1..3 follow; XOR table 6b + 2q (low nibble) is looked up before
// 6b + 2q + 1 (high nibble), each indexed by new nibble << 4 | running nibble.
// Only the low four bits of an XOR-table entry carry the nibble.
template <std::size_t Columns>
void sumColumns(uint8_t (&s)[4][Columns], const uint32_t (&t)[4][4], const XorTableSlot& X) {
    for (int c = 0; c < 4; ++c) {
        for (int b = 0; b < 4; ++b) {
            const int shift = 8 * b;
            const uint32_t y0 = (t[0][c] >> shift) & 0xFF;
            uint32_t lo = y0 & 0x0F;
            uint32_t hi = y0 >> 4;
            for (int q = 0; q < 3; ++q) {
                const uint32_t y = (t[q + 1][c] >> shift) & 0xFF;
                lo = X[c][6 * b + 2 * q][(y & 0x0F) << 4 | lo] & 0x0Fu;
                hi = X[c][6 * b + 2 * q + 1][(y & 0xF0) | hi] & 0x0Fu;
            }
            s[b][c] = static_cast<uint8_t>(hi << 4 | lo);
        }
    }
}

// One table round of the classic format: row i's table of output column c reads
// state byte (i, j), j its source column under (Inv)ShiftRows, then the XOR
// tables sum the contributions.
template <std::size_t Columns>
void tableRound(uint8_t (&s)[4][Columns], const RoundTableSlot& T, const XorTableSlot& X, Direction direction) {
    uint32_t t[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 4; ++c) {
            const int j = sourceColumn(direction, i, c);
            t[i][c] = loadWord(T[j][i][s[i][j]]);
        }
    }
    sumColumns(s, t, X);
}

// The last byte table: state byte (i, c) becomes F's entry for byte (i, j).
template <std::size_t Columns>
void lastStep(uint8_t (&s)[4][Columns], const SingleTableBlock& F, Direction direction) {
    uint8_t copy[4][4];
    for (int i = 0; i < 4; ++i) {
        std::memcpy(copy[i], s[i], 4);
    }
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 4; ++c) {
            const int j = sourceColumn(direction, i, c);
            s[i][c] = F[j][i][copy[i][j]];
        }
    }
}

// The table rounds that a limit of `rounds` runs in one direction, each through
// round(s, slot), then the last byte table where the limit reaches it.
// Encryption: the first `rounds` table rounds (at most R - 1), the last table at
// rounds == R. Decryption counts rounds down: round r (R down to 2) is the
// (R - r)-th table round; round R always runs where rounds <= R, a limit below 2
// still stops at round 2 (kept on purpose), and the last table comes at rounds == 1.
template <std::size_t Columns, class RoundStep>
void runRounds(uint8_t (&s)[4][Columns], const DirectionTables& t, Direction direction, int32_t rounds,
               RoundStep round) {
    int32_t stages = 0;
    bool last = false;
    if (direction == Direction::Encryption) {
        const int32_t tableRounds = tableRoundsOf(t.rounds);
        stages = rounds < tableRounds ? rounds : tableRounds;
        last = rounds == t.rounds;
    } else if (rounds <= t.rounds) {
        const int32_t lowest = rounds > 2 ? rounds : 2;
        stages = t.rounds - lowest + 1;
        last = rounds == 1;
    }
    for (int32_t stage = 0; stage < stages; ++stage) {
        round(s, tableRoundSlot(direction, stage, t.rounds));
    }
    if (last) {
        lastStep(s, *t.lastTable, direction);
    }
}

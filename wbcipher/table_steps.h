// The XOR-table half of a table round, shared by the classic and the mixed
// evaluators: four 32-bit contribution words per output column are summed
// nibble by nibble through 4-bit XOR tables.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wbgen/table_storage.h"

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

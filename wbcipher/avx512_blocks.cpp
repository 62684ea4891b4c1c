// The AVX-512 VBMI path: 64 independent blocks at once, one 512-bit register per
// state byte position holding that byte of all 64 blocks (byte n of register p
// is byte p of block n).
//
// Blocks go in and out through a transpose of bit fields: an element of the 16
// registers is addressed by register (4 bits) and byte (6 bits). Loaded straight
// from 64 blocks, block n byte p sits in register n >> 2 at byte (n & 3) << 4 | p;
// four butterfly stages of VPERMT2B swap register bit k with byte bit k, which
// brings byte p of every block into register p. Its lanes then hold the blocks in
// a shuffled order, which the network does not mind, and the same four stages
// take them back.
//
// A 256-entry byte table is four 64-byte registers; VPERMT2B looks up the low
// seven index bits in the first or the second pair, and bit 7 of the index
// chooses between the two results. Every look-up of the network, round word
// bytes and XOR nibbles alike, is one such step over 64 blocks. Reads the
// prepared layers (byte-sliced word tables, turned XOR tables); the mixed
// format's mix layer follows each stage's round layer. Compiled
// for the feature through function attributes only, so that nothing else in
// the program is built for it; the dispatch calls it after checking the CPU.
// NOT constant-time.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <utility>

#include "wbcipher/block_paths.h"

#if TABRIX_X86_SIMD
#include <immintrin.h>

namespace {

constexpr size_t kLanes = TABRIX_SIMD_BATCH_BLOCKS;

// VPERMT2B indexes of butterfly stage k: for the lower register of a pair
// (elements whose byte bit k is 0 after the swap) and for the upper one. An index
// of 64 or more picks from the second source.
constexpr std::array<std::array<uint8_t, 64>, 8> butterflyIndexes() {
    std::array<std::array<uint8_t, 64>, 8> indexes{};
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 64; ++i) {
            const int fromSecond = (i >> k & 1) != 0 ? 64 : 0;
            indexes[2 * k][i] = static_cast<uint8_t>(fromSecond + (i & ~(1 << k)));
            indexes[2 * k + 1][i] = static_cast<uint8_t>(fromSecond + (i | 1 << k));
        }
    }
    return indexes;
}
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 8> kButterfly = butterflyIndexes();

// Swaps register bit k with byte bit k for k = 0..3: its own inverse.
TABRIX_VBMI inline void transpose(__m512i (&r)[16]) {
    for (int k = 0; k < 4; ++k) {
        const __m512i lower = _mm512_load_si512(kButterfly[2 * k].data());
        const __m512i upper = _mm512_load_si512(kButterfly[2 * k + 1].data());
        for (int a = 0; a < 16; ++a) {
            if ((a >> k & 1) == 0) {
                const int b = a | 1 << k;
                const __m512i low = _mm512_permutex2var_epi8(r[a], lower, r[b]);
                r[b] = _mm512_permutex2var_epi8(r[a], upper, r[b]);
                r[a] = low;
            }
        }
    }
}

// table[index] for every byte of index; table is 256 bytes, 64-byte aligned.
TABRIX_VBMI inline __m512i lookUp(const uint8_t* table, __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(_mm512_load_si512(table), index,
                                                 _mm512_load_si512(table + 64));
    const __m512i high = _mm512_permutex2var_epi8(_mm512_load_si512(table + 128), index,
                                                  _mm512_load_si512(table + 192));
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// (a AND b) OR c, bitwise: the truth table of a, b, c given as 0xF0, 0xCC, 0xAA.
TABRIX_VBMI inline __m512i andOr(__m512i a, __m512i b, __m512i c) {
    return _mm512_ternarylogic_epi32(a, b, c, 0xEA);
}

// One layer routed by Step (block_paths.h), from state into next.
template <int Step>
TABRIX_VBMI void layer(const __m512i state[16], __m512i next[16], const uint8_t (&R)[4][4][4][256],
                       const uint8_t (&X)[4][kXorTablesPerColumn][256]) {
    const __m512i lowNibbles = _mm512_set1_epi8(0x0F);
    const __m512i highNibbles = _mm512_set1_epi8(static_cast<char>(0xF0));
    for (int c = 0; c < 4; ++c) {
        const int j0 = routedColumn(Step, 0, c);
        const int j1 = routedColumn(Step, 1, c);
        const int j2 = routedColumn(Step, 2, c);
        const int j3 = routedColumn(Step, 3, c);
        for (int b = 0; b < 4; ++b) {
            // Running nibbles in the high half of each byte, as the prepared XOR
            // tables take them. 16-bit shifts move nibbles between neighbouring
            // bytes; the masks keep each byte's own.
            const __m512i y0 = lookUp(R[j0][0][b], state[4 * j0 + 0]);
            __m512i lo = _mm512_and_si512(_mm512_slli_epi16(y0, 4), highNibbles);
            __m512i hi = _mm512_and_si512(y0, highNibbles);
            const __m512i y1 = lookUp(R[j1][1][b], state[4 * j1 + 1]);
            lo = lookUp(X[c][6 * b + 0], andOr(y1, lowNibbles, lo));
            hi = lookUp(X[c][6 * b + 1], andOr(_mm512_srli_epi16(y1, 4), lowNibbles, hi));
            const __m512i y2 = lookUp(R[j2][2][b], state[4 * j2 + 2]);
            lo = lookUp(X[c][6 * b + 2], andOr(y2, lowNibbles, lo));
            hi = lookUp(X[c][6 * b + 3], andOr(_mm512_srli_epi16(y2, 4), lowNibbles, hi));
            const __m512i y3 = lookUp(R[j3][3][b], state[4 * j3 + 3]);
            lo = lookUp(X[c][6 * b + 4], andOr(y3, lowNibbles, lo));
            hi = lookUp(X[c][6 * b + 5], andOr(_mm512_srli_epi16(y3, 4), lowNibbles, hi));
            next[4 * c + b] = _mm512_or_si512(hi, lo);
        }
    }
}

// Mixed: a stage is the round-table layer, then the mix-table layer.
template <Direction D, bool Mixed>
TABRIX_VBMI void throughNetwork(const BlockNetwork& network, __m512i (&a)[16]) {
    __m512i b[16];
    __m512i* state = a;
    __m512i* next = b;
    for (int stage = 0; stage < network.stages; ++stage) {
        layer<roundStep(D)>(state, next, network.prepared[stage].rounds, network.prepared[stage].xors);
        std::swap(state, next);
        if constexpr (Mixed) {
            layer<kMixStep>(state, next, network.mix[stage].rounds, network.mix[stage].xors);
            std::swap(state, next);
        }
    }
    const PreparedLastTable& last = *network.last;
    // The last step reads across columns: into the other buffer, then into a.
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < 4; ++i) {
            const int j = sourceColumn(D, i, c);
            next[4 * c + i] = lookUp(last.table[j][i], state[4 * j + i]);
        }
    }
    if (next != a) {
        std::copy(next, next + 16, a);
    }
}

// 64 blocks from in to out (which may be the same).
TABRIX_VBMI void sixtyFourBlocks(Direction direction, const BlockNetwork& network, const uint8_t* in,
                                 uint8_t* out) {
    __m512i r[16];
    for (int n = 0; n < 16; ++n) {
        r[n] = _mm512_loadu_si512(in + 64 * n);
    }
    transpose(r);
    withNetworkForm(direction, network, [&](auto d, auto mixed) {
        throughNetwork<decltype(d)::value, decltype(mixed)::value>(network, r);
    });
    transpose(r);
    for (int n = 0; n < 16; ++n) {
        _mm512_storeu_si512(out + 64 * n, r[n]);
    }
}

} // namespace

TABRIX_VBMI void cipherBlocksAvx512Vbmi(Direction direction, const BlockNetwork& network, const uint8_t* input,
                                        uint8_t* output, size_t blocks) {
    size_t start = 0;
    for (; blocks - start >= kLanes; start += kLanes) {
        sixtyFourBlocks(direction, network, input + 16 * start, output + 16 * start);
    }
    if (start < blocks) {
        // The tail goes through a zero-padded batch.
        alignas(64) uint8_t batch[16 * kLanes] = {};
        const size_t bytes = 16 * (blocks - start);
        std::memcpy(batch, input + 16 * start, bytes);
        sixtyFourBlocks(direction, network, batch, batch);
        std::memcpy(output + 16 * start, batch, bytes);
    }
}

#else

void cipherBlocksAvx512Vbmi(Direction, const BlockNetwork&, const uint8_t*, uint8_t*, size_t) {
    assert(false && "the AVX-512 VBMI path is not built");
}

#endif

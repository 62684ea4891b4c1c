// The wiring of the mixed format: the classic network's round, XOR and last
// slots, and between each round's XOR chains and the next round the mix tables
// (one per column, row and output byte) with their own XOR chains. Every wire
// carries its own pair of nibble coding numbers, as in the classic map.
#pragma once
#include <cstdint>

#include "wbgen/coding_map.h"

template <int Rounds>
struct MixedCodingMapOf {
    CodingMapOf<Rounds> classic;                                        // round, XOR, last slots
    TableCodings mix[roundSlotsOf(Rounds)][4][4][4];                    // [slot][column c][row b][byte b']
    TableCodings mixXor[roundSlotsOf(Rounds)][4][kXorTablesPerColumn];  // [slot][column c][table n]
};
using MixedCodingMap = MixedCodingMapOf<kAes128Rounds>;

// Numbers every wire of one direction's mixed network 1..N; returns N
// (2 * codingCountOf(Rounds): 4,032 for AES-128). Built for R = 10, 12 and 14.
// The first tables take the external input coding when inputSetPresent, the
// last ones give the external output coding when outputSetPresent.
template <int Rounds>
uint32_t assignMixedCodings(MixedCodingMapOf<Rounds>& map, Direction direction, bool inputSetPresent,
                            bool outputSetPresent);

// Random bijective codings: 4-bit nibble codings for the values inside the table
// network, 8-bit byte codings for the external coding of a block.
#pragma once
#include <cstdint>
#include <iostream>

#include "coding/random_source.h"

// A bijection on 0..255: forward, then its inverse directly behind it.
struct ByteCoding {
    uint8_t forward[256];
    uint8_t inverse[256];
};
static_assert(sizeof(ByteCoding) == 512);

// The coding of one 16-byte block: record k = 4*row + column codes the block byte
// at index 4*column + row. Same layout in memory and in the coding files.
struct CodingSet {
    ByteCoding records[16];
};
static_assert(sizeof(CodingSet) == 8192);

// Random bijection on 0..15 (16 draws, ranges 16 down to 1). Returns 0.
int32_t makeNibbleCoding(RandomSource& random, uint8_t forward[16], uint8_t inverse[16]);
// Random bijection on 0..255 (256 draws, ranges 256 down to 1). Returns 0.
int32_t makeByteCoding(RandomSource& random, uint8_t forward[256], uint8_t inverse[256]);
// Codings 0..maxIndex into two parallel arrays of (maxIndex + 1) * 16 bytes, then
// writes "Same coding at [i,j]\n" to out for every ordered pair of identical
// forward tables (i outer, j inner, both ascending). Returns 0.
int32_t makeNibbleCodings(RandomSource& random, uint8_t* forwards, uint8_t* inverses,
                          uint32_t maxIndex, std::ostream& out = std::cout);
// The report of makeNibbleCodings on its own: for codings 0..maxIndex of forwards
// (16 bytes each), "Same coding at [i,j]\n" for every ordered pair i != j with equal
// forward tables, i outer and j inner, both ascending. Sorts instead of comparing
// every pair, so a batch without duplicates costs O(n log n).
void reportSameCodings(const uint8_t* forwards, uint32_t maxIndex, std::ostream& out);

// Byte i of data becomes record (4*(i mod 4) + (i div 4) mod 4).forward[data[i]];
// longer data reuses the 16 records for every block. Returns 0.
int32_t encodeData(uint8_t* data, uint32_t length, const CodingSet& set);
// The same with the inverse tables. Returns 0.
int32_t decodeData(uint8_t* data, uint32_t length, const CodingSet& set);

// True when every record's forward table is a permutation and its inverse undoes it.
bool isValidCodingSet(const CodingSet& set);

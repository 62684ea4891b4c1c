// Coding assignment: which nibble codings protect every table input and output
// of one direction's table network.
#pragma once
#include <cstdint>

#include "wbgen/table_storage.h"

constexpr uint8_t CODING_NONE = 0;     // the byte passes plain
constexpr uint8_t CODING_NIBBLES = 1;  // hi/lo are nibble coding numbers
constexpr uint8_t CODING_EXTERNAL = 2; // hi = lo = 10001 + record of a CodingSet
constexpr int32_t kExternalCodingBase = 10001;

struct CodingRef {
    uint8_t kind = CODING_NIBBLES;
    int32_t hi = -1;
    int32_t lo = -1;
};

struct TableCodings {
    CodingRef input;
    CodingRef output;
};

template <int Rounds>
struct CodingMapOf {
    static constexpr int kRounds = Rounds;
    TableCodings round[roundSlotsOf(Rounds)][4][4][4]; // [round or index][column j][row k][output byte b]
    TableCodings xorSlots[roundSlotsOf(Rounds)][4][kXorTablesPerColumn]; // [round or index][column c][table n]
    TableCodings last[4][4]; // [column j][row k]: final or inverse first-round table
};
using CodingMap = CodingMapOf<kAes128Rounds>;

// Codings of one direction's network of R rounds: 224 per table round (2016 for
// AES-128, 2464 for AES-192, 2912 for AES-256).
constexpr uint32_t codingCountOf(int rounds) { return 224u * static_cast<uint32_t>(tableRoundsOf(rounds)); }

// Kind always overwritten; hi and lo only while they still hold -1.
void setIfUnset(CodingRef& slot, const CodingRef& value);

// The round tables of one stage: table (j, k) reads state byte 4k + j (its input
// ref), and every output byte takes the next two numbers of n (lo, then hi);
// slots are set through setIfUnset. contribution[k][c][b] receives output byte b
// of row k's table for output column c.
void roundTableCodings(Direction direction, const CodingRef (&state)[16], TableCodings (&slots)[4][4][4],
                       int32_t& n, CodingRef (&contribution)[4][4][4]);

// The XOR chains of one layer: contribution[q][c][b] is the q-th share of output
// byte (b, c), added in order q = 0..3; the new share is an XOR table's high
// input nibble, the running sum its low one. Every XOR lane output takes the
// next number of n (low lane, then high lane); slots[c][n] receives the lanes
// through setIfUnset, and sums[4*b + c] the ref of each finished byte.
void chainCodings(const CodingRef (&contribution)[4][4][4], TableCodings (&slots)[4][kXorTablesPerColumn],
                  int32_t& n, CodingRef (&sums)[16]);

// Walks the network of one direction and numbers its codings 1..N (N =
// codingCountOf(Rounds)), placing external byte codings at the edges when the
// sets are present. Returns 0. Built for R = 10, 12 and 14.
template <int Rounds>
int32_t assignCodings(CodingMapOf<Rounds>& map, Direction direction, bool inputSetPresent,
                      bool outputSetPresent, uint32_t* codingCount);

// The audit's evaluator of one direction's parsed tables, classic or mixed,
// as a gray-box attacker runs the program: it can record every table look-up
// (the index, and optionally the value read) and inject a one-byte fault into
// the state at the input of a table round (the last one unless told).
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "audit/table_headers.h"

// One direction's tables: the three classic ones, and for the mixed format its
// mix and mix XOR tables ([R][4][4][256][4] and [R][4][24][256], R as the
// classic ones have it).
struct NetworkTables {
    const DirectionTables* classic = nullptr;
    const std::vector<uint8_t>* mix = nullptr;
    const std::vector<uint8_t>* mixXor = nullptr;
    bool mixed() const { return mix != nullptr && mixXor != nullptr; }
};

// The table round whose input a fault hits unless told otherwise: the last,
// R - 2 (AES-128: 8), the input of round R - 1 of encryption (before its
// SubBytes), and the input of the inverse round 1 of decryption.
inline int lastTableRound(const NetworkTables& tables) { return tables.classic->rounds - 2; }

// XORs flip (nonzero) into the state byte of row `row` and column `column`
// (coded, as the tables carry it) at the input of table round `stage`
// (-1: lastTableRound).
struct StateFault {
    int row = 0;
    int column = 0;
    uint8_t flip = 1;
    int stage = -1;
};

// The look-ups of one evaluation, in the order they happen: per table round
// and output column, the four round-table look-ups, the 24 XOR-table look-ups
// (output row b, chain stage q, low nibble then high nibble), and for the
// mixed format the four mix-table and 24 mix-XOR look-ups; then the 16
// look-ups of the last byte tables. Only the first `stages` table rounds (and
// the last tables when stages is at least the R - 1 table rounds) are recorded. index holds the index into
// each table (0..255); with values, read holds the value read (a round or mix
// word as little-endian bytes, or a nibble, or the last tables' byte).
struct LookupTrace {
    int stages = 13; // every table round of any key size, and the last tables
    bool values = false;
    std::vector<uint8_t> index;
    std::vector<uint32_t> read;
};

// Look-ups per table round (112 classic, 224 mixed), and in a trace of the
// first `stages` rounds.
size_t lookupsPerStage(const NetworkTables& tables);
size_t traceLength(const NetworkTables& tables, int stages);

// Evaluates the network on one block (already coded input in, coded output
// out), as evaluateNetwork and evaluateMixedNetwork do. With trace, its index
// (and read) are refilled; their capacity is kept, so a trace buffer reused
// for many blocks allocates once. With fault, that state byte is changed first.
void evaluateTraced(const NetworkTables& tables, Direction direction, const uint8_t in[16], uint8_t out[16],
                    LookupTrace* trace = nullptr, const StateFault* fault = nullptr);

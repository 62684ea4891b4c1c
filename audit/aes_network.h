// Facts of the table network shared by the attacks: which slot a stage uses,
// which table feeds which XOR chain, the MixColumns share a round table holds,
// and an evaluator of the network for checking a recovered key (key_claim.h).
#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "audit/key_extraction.h"

// Stage t (0..8) in processing order uses slot t (encryption) or 9 - t (decryption).
inline int stageSlot(Direction d, int t) { return d == Direction::Encrypt ? t : 9 - t; }
// Column j of the row-k table whose result belongs to output column c.
inline int feedingColumn(Direction d, int k, int c) {
    return d == Direction::Encrypt ? (k + c) & 3 : (c - k) & 3;
}
// The output column of the row-k table of column j (the inverse of feedingColumn).
inline int fedColumn(Direction d, int k, int j) {
    return d == Direction::Encrypt ? (j - k) & 3 : (j + k) & 3;
}
inline uint8_t roundEntry(const DirectionTables& t, int slot, int j, int k, unsigned x, int b) {
    return t.round[((static_cast<size_t>(slot) * 16 + static_cast<size_t>(j * 4 + k)) * 256 + x) * 4 +
                   static_cast<size_t>(b)];
}
inline const uint8_t* xorTable(const DirectionTables& t, int slot, int c, int n) {
    return &t.xors[((static_cast<size_t>(slot) * 4 + static_cast<size_t>(c)) * 24 + static_cast<size_t>(n)) * 256];
}
inline uint8_t lastEntry(const DirectionTables& t, int j, int k, unsigned x) {
    return t.last[static_cast<size_t>(j * 4 + k) * 256 + x];
}

// Coefficient of row k's byte in output row b: MixColumns (encryption) or
// InvMixColumns (decryption).
uint8_t mixCoefficient(Direction d, int b, int k);
// The same for the inverse matrix (InvMixColumns for encryption, and back).
uint8_t unmixCoefficient(Direction d, int b, int k);
uint8_t gfInverse(uint8_t a);

// One column of a stage: column[q] is the state byte of row q that feeds
// column c, result[b] the byte of row b the stage gives for column c.
using StageColumnFunction = std::function<void(int stage, int c, const uint8_t column[4], uint8_t result[4])>;
// Runs a block through the nine stages, column by column as stageColumn gives
// them, then through the last byte tables of t (already coded input in, coded
// output out).
void evaluateStages(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16],
                    const StageColumnFunction& stageColumn);
// Evaluates the network on one block as the runtime does (already coded input
// in, coded output out).
void evaluateNetwork(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16]);

// Facts of the table network shared by the attacks: which slot a stage uses,
// which table feeds which XOR chain, the MixColumns share a round table holds,
// and an evaluator of the network for checking a recovered key (key_claim.h).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "audit/key_extraction.h"
#include "audit/key_schedule.h"

// Table rounds of a key of R rounds: R - 1, then the last byte table.
inline int tableRounds(int rounds) { return rounds - 1; }
inline int tableRounds(const DirectionTables& t) { return tableRounds(t.rounds); }
// Stage t (0..R-2) in processing order uses slot t (encryption) or R - 1 - t
// (decryption).
inline int stageSlot(Direction d, int t, int rounds) { return d == Direction::Encrypt ? t : rounds - 1 - t; }
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
// Runs a block through the R - 1 stages, column by column as stageColumn gives
// them, then through the last byte tables of t (already coded input in, coded
// output out).
void evaluateStages(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16],
                    const StageColumnFunction& stageColumn);
// The state (block byte order) a block reaches after the first `stages`
// stages of evaluateStages.
void evaluateFirstStages(Direction d, const uint8_t in[16], uint8_t state[16], int stages,
                         const StageColumnFunction& stageColumn);
// The same through t's round and XOR tables.
void networkState(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t state[16], int stages);

// The second table round of a longer key, once the first round key is known.
// With K the first round key (round key 0; for decryption round key R), the
// state entering stage 1 is v ^ K' for a v the attacker sets through the
// block: K' is round key 1 (encryption), or InvMixColumns of round key R - 1
// (decryption, whose stage 1 reads InvMixColumns(w ^ K_{R-1})). blockForState
// gives the block (no external coding) for which that v is `state`.
void blockForState(Direction d, const RoundKey& first, const uint8_t state[16], uint8_t block[16]);
// The inverse of blockForState: the v a block gives.
void stateForBlock(Direction d, const RoundKey& first, const uint8_t block[16], uint8_t state[16]);
// Round key 1 (encryption) or R - 1 (decryption) from K'.
RoundKey secondRoundKey(Direction d, const RoundKey& offset);
// The cipher key of R rounds from the first round key and secondRoundKey's.
std::optional<CipherKey> keyOfFirstRounds(Direction d, const RoundKey& first, const RoundKey& second, int rounds);

// The last round peeled off, once its key is known (round key R; for
// decryption round key 0): the output of the round before, as if it were the
// last one, under the key keyBeforeLast turns into round key R - 1 (encryption,
// where the peeled key is InvMixColumns of it) or round key 1 (decryption).
void peelLastRound(Direction d, const RoundKey& last, const uint8_t out[16], uint8_t peeled[16]);
RoundKey keyBeforeLast(Direction d, const RoundKey& peeledKey);
// The cipher key of R rounds from the last round key and keyBeforeLast's.
std::optional<CipherKey> keyOfLastRounds(Direction d, const RoundKey& last, const RoundKey& beforeLast, int rounds);

// Evaluates the network on one block as the runtime does (already coded input
// in, coded output out).
void evaluateNetwork(const DirectionTables& t, Direction d, const uint8_t in[16], uint8_t out[16]);

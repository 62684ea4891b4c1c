// What the classic and the mixed table generators share: the differences
// between the encryption and the decryption network (key direction, S or Si,
// G or iG, where the round keys are folded in, which classic tables are
// written), the key set-up and the column shares of (Inv)MixColumns.
#pragma once
#include <cstdint>

#include "aesref/rijndael.h"
#include "coding/codings.h"
#include "wbgen/coding_map.h"
#include "wbgen/table_storage.h"

using Schedule = uint8_t[MAXROUNDS + 1][4][MAXBC];

// Everything in which the encryption and the decryption network differ, for a
// key of R rounds.
struct NetworkPlan {
    Direction direction;
    int rounds;                 // R: 10, 12 or 14
    uint8_t keyDirection;       // for makeKey
    bool clearStorage;          // encryption clears the whole area, decryption relies on it
    const uint8_t* box;         // S or Si
    const uint8_t* mixRow0;     // row 0 of the (Inv)MixColumns matrix
    RoundTableSlot* roundTables; // [slot], R slots
    XorTableSlot* xorTables;     // [slot], R slots
    SingleTableBlock* lastTable;
};

template <int Rounds>
NetworkPlan encryptionPlan(TableStorageOf<Rounds>& storage);
template <int Rounds>
NetworkPlan decryptionPlan(TableStorageOf<Rounds>& storage);

// Round-key bytes of one table: its value is box[in(x) ^ pre] ^ post.
struct TableKeys {
    uint8_t pre;
    uint8_t post;
};

// The round keys of the round table at slot s, column j, row k, for R rounds.
TableKeys roundTableKeys(Direction direction, int rounds, const Schedule& K, int s, int j, int k);
// The round keys of the last byte table at column j, row k, for R rounds.
TableKeys lastTableKeys(Direction direction, int rounds, const Schedule& K, int j, int k);

// product[k][v][b] = M[b][k] . v: the column-k share of (Inv)MixColumns.
void makeColumnProducts(const uint8_t row0[4], uint8_t product[4][256][4]);

// Clears key and sets it up for the plan's direction and key size from keyText.
// TRUE, or BAD_KEY_MAT when the first 32, 48 or 64 characters (R = 10, 12, 14)
// are not all hex digits; characters after them are not read.
int32_t setUpKey(const NetworkPlan& plan, const char* keyText, keyInstance& key);

// One 4-bit XOR table: entry 16*h + l is the coded XOR of the decoded new nibble h
// (the input ref's hi coding) and running nibble l (its lo coding), coded with
// the output ref's lo coding, the only one an XOR lane has.
void fillXorTable(const TableCodings& slot, const uint8_t* forwards, const uint8_t* inverses,
                  uint8_t entries[256]);

// decodeInput(x, ref, ...) for all 256 x, and encodeOutput(v, ref, ...) for all
// 256 v: a ref's kind is resolved once per table, not per entry.
void makeDecodeTable(const CodingRef& ref, const uint8_t* forwards, const CodingSet* inputSet,
                     uint8_t table[256]);
void makeEncodeTable(const CodingRef& ref, const uint8_t* inverses, const CodingSet* outputSet,
                     uint8_t table[256]);

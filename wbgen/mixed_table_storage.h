// The mixed table format: the classic six tables, whose roles widen (round
// tables also undo the 8x8 mixing of their input byte and apply the column's
// 32x32 mixing; the final and inverse first-round tables undo the 8x8 mixing),
// and per direction two more blocks between a round's XOR tables and the next
// round:
//   mix tables  [slot][column c][row b][x][b']: the coded byte at row b of
//               column c's mixed sum, the 32x32 mixing undone, each output
//               byte b' under the next round's 8x8 mixing of state byte (b', c);
//   mix XOR tables [slot][column c][table n][x]: the four mix-table
//               contributions to a byte summed as the classic XOR tables sum
//               the round-table ones (n = 6*b' + 2*q + h).
// Slot use is the classic one (tableRoundSlot): encryption slot 9 and
// decryption slot 0 stay zero.
#pragma once
#include <cstddef>

#include "wbgen/table_storage.h"

struct MixedEncryptionTables {
    RoundTableBlock mixTables;  // [round][column c][row b][x][b']
    XorTableBlock mixXorTables; // [round][column c][table n][x]
};

struct MixedDecryptionTables {
    RoundTableBlock invMixTables;  // [index][column c][row b][x][b']
    XorTableBlock invMixXorTables; // [index][column c][table n][x]
};

struct MixedTableStorage {
    TableStorage tables; // the classic six blocks, at their classic offsets
    MixedEncryptionTables enc;
    MixedDecryptionTables dec;
};

static_assert(sizeof(MixedEncryptionTables) == 409600);
static_assert(sizeof(MixedDecryptionTables) == 409600);
static_assert(offsetof(MixedTableStorage, enc) == 827392);
static_assert(offsetof(MixedTableStorage, dec) == 827392 + 409600);
static_assert(sizeof(MixedTableStorage) == 827392 + 2 * 409600);
static_assert(std::is_standard_layout_v<MixedTableStorage> &&
              std::is_trivially_copyable_v<MixedTableStorage>);

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
// Slot use is the classic one (tableRoundSlot): for R rounds encryption slot
// R - 1 and decryption slot 0 stay zero. R is 10, 12 or 14 as for the classic
// format.
#pragma once
#include <cstddef>

#include "wbgen/table_storage.h"

template <int Rounds>
struct MixedEncryptionTablesOf {
    RoundTableBlockOf<Rounds> mixTables;  // [round][column c][row b][x][b']
    XorTableBlockOf<Rounds> mixXorTables; // [round][column c][table n][x]
};

template <int Rounds>
struct MixedDecryptionTablesOf {
    RoundTableBlockOf<Rounds> invMixTables;  // [index][column c][row b][x][b']
    XorTableBlockOf<Rounds> invMixXorTables; // [index][column c][table n][x]
};

template <int Rounds>
struct MixedTableStorageOf {
    static constexpr int kRounds = Rounds;
    TableStorageOf<Rounds> tables; // the classic six blocks, at their classic offsets
    MixedEncryptionTablesOf<Rounds> enc;
    MixedDecryptionTablesOf<Rounds> dec;
};

using MixedEncryptionTables = MixedEncryptionTablesOf<kAes128Rounds>;
using MixedDecryptionTables = MixedDecryptionTablesOf<kAes128Rounds>;
using MixedTableStorage = MixedTableStorageOf<kAes128Rounds>;
using MixedTableStorage192 = MixedTableStorageOf<kAes192Rounds>;
using MixedTableStorage256 = MixedTableStorageOf<kAes256Rounds>;

// Bytes of one direction's mix blocks for R rounds.
constexpr std::size_t mixBytesOf(int rounds) {
    return static_cast<std::size_t>(roundSlotsOf(rounds)) * (sizeof(RoundTableSlot) + sizeof(XorTableSlot));
}

static_assert(sizeof(MixedEncryptionTables) == 409600);
static_assert(sizeof(MixedDecryptionTables) == 409600);
static_assert(offsetof(MixedTableStorage, enc) == 827392);
static_assert(offsetof(MixedTableStorage, dec) == 827392 + 409600);
static_assert(sizeof(MixedTableStorage) == 827392 + 2 * 409600);
static_assert(std::is_standard_layout_v<MixedTableStorage> &&
              std::is_trivially_copyable_v<MixedTableStorage>);

template <int Rounds>
constexpr bool packedMixedLayout() {
    using M = MixedTableStorageOf<Rounds>;
    return sizeof(MixedEncryptionTablesOf<Rounds>) == mixBytesOf(Rounds) &&
           sizeof(MixedDecryptionTablesOf<Rounds>) == mixBytesOf(Rounds) &&
           offsetof(M, enc) == sizeof(TableStorageOf<Rounds>) &&
           offsetof(M, dec) == sizeof(TableStorageOf<Rounds>) + mixBytesOf(Rounds) &&
           sizeof(M) == sizeof(TableStorageOf<Rounds>) + 2 * mixBytesOf(Rounds);
}
static_assert(packedMixedLayout<kAes128Rounds>() && packedMixedLayout<kAes192Rounds>() &&
              packedMixedLayout<kAes256Rounds>());
static_assert(sizeof(MixedTableStorage192) == 991232 + 2 * 491520);
static_assert(sizeof(MixedTableStorage256) == 1155072 + 2 * 573440);
static_assert(std::is_standard_layout_v<MixedTableStorage256> &&
              std::is_trivially_copyable_v<MixedTableStorage256>);

template <int Rounds>
TableSetView viewOf(const MixedTableStorageOf<Rounds>& storage) {
    TableSetView view = viewOf(storage.tables);
    view.enc.mixTables = storage.enc.mixTables;
    view.enc.mixXorTables = storage.enc.mixXorTables;
    view.dec.mixTables = storage.dec.invMixTables;
    view.dec.mixXorTables = storage.dec.invMixXorTables;
    return view;
}

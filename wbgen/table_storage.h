// The white-box table set: one contiguous 827,392-byte area holding the
// encryption tables and then the decryption tables at fixed offsets. Generation
// writes it, header emission prints it and the table cipher evaluates it. Every
// fact about the layout lives here: shapes, round count, which slot a table round
// uses and which column a row's table reads.
//
// Round-table entry [..][x][b]: byte b is the contribution to output row b (the
// little-endian 32-bit word's bits 8b..8b+7). XOR-table n = 6*b + 2*q + h within
// a column: output row b, chain stage q, h = 0 low nibble / 1 high nibble.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

enum class Direction { Encryption, Decryption };

// Table rounds per direction; a byte table after them completes AES-128's ten.
constexpr int kTableRounds = 9;
// Round slots in the round and XOR blocks: one more than the table rounds, so
// that one slot per direction is never written.
constexpr int kRoundSlots = kTableRounds + 1;
// XOR tables of one output column: 4 rows x 3 chain stages x 2 nibbles.
constexpr int kXorTablesPerColumn = 24;

// Shapes, outermost dimension first, as header emission prints them and the
// table cipher indexes them. A slot is one round's share of a block.
using RoundTableSlot = uint8_t[4][4][256][4];               // [column j][row k][x][b]
using XorTableSlot = uint8_t[4][kXorTablesPerColumn][256];  // [column c][table n][x]
using RoundTableBlock = RoundTableSlot[kRoundSlots];
using XorTableBlock = XorTableSlot[kRoundSlots];
using SingleTableBlock = uint8_t[4][4][256];                // [column j][row k][x]

// Slot of the stage-th table round in processing order (stage 0 runs first).
// Encryption round r is slot r, so slot 9 is never written. Decryption index i
// holds round i of the inverse cipher and runs from 9 down to 1, so index 0 is
// never written. Kept on purpose: the ten-slot shape is a fixed layout that
// emitted headers and the runtime index.
constexpr int tableRoundSlot(Direction direction, int stage) {
    return direction == Direction::Encryption ? stage : kTableRounds - stage;
}
constexpr int kUnusedEncryptionSlot = kTableRounds;
constexpr int kUnusedDecryptionSlot = 0;
static_assert(tableRoundSlot(Direction::Encryption, 0) == 0 &&
              tableRoundSlot(Direction::Encryption, kTableRounds - 1) == kUnusedEncryptionSlot - 1);
static_assert(tableRoundSlot(Direction::Decryption, 0) == kTableRounds &&
              tableRoundSlot(Direction::Decryption, kTableRounds - 1) == kUnusedDecryptionSlot + 1);

// Column j whose row-k table feeds output column c: ShiftRows reads (c + k) mod 4,
// InvShiftRows (c - k) mod 4.
constexpr int sourceColumn(Direction direction, int k, int c) {
    return direction == Direction::Encryption ? (c + k) & 3 : (c - k) & 3;
}

struct EncryptionTableSet {
    RoundTableBlock roundTables;      // [round][column j][row k][x][b]
    XorTableBlock xorTables;          // [round][column c][table n][x]
    SingleTableBlock finalRoundTable; // [column j][row k][x]
};

struct DecryptionTableSet {
    RoundTableBlock invRoundTables;      // [index][column j][row k][x][b]
    XorTableBlock invXorTables;          // [index][column c][table n][x]
    SingleTableBlock invFirstRoundTable; // [column j][row k][x]
};

struct TableStorage {
    EncryptionTableSet enc;
    DecryptionTableSet dec;
};

static_assert(sizeof(EncryptionTableSet) == 0x65000);
static_assert(sizeof(DecryptionTableSet) == 0x65000);
static_assert(sizeof(TableStorage) == 827392);
static_assert(offsetof(TableStorage, enc) + offsetof(EncryptionTableSet, roundTables) == 0x00000);
static_assert(offsetof(TableStorage, enc) + offsetof(EncryptionTableSet, xorTables) == 0x28000);
static_assert(offsetof(TableStorage, enc) + offsetof(EncryptionTableSet, finalRoundTable) == 0x64000);
static_assert(offsetof(TableStorage, dec) + offsetof(DecryptionTableSet, invRoundTables) == 0x65000);
static_assert(offsetof(TableStorage, dec) + offsetof(DecryptionTableSet, invXorTables) == 0x8D000);
static_assert(offsetof(TableStorage, dec) + offsetof(DecryptionTableSet, invFirstRoundTable) == 0xC9000);
static_assert(sizeof(EncryptionTableSet::roundTables) == 163840);
static_assert(sizeof(EncryptionTableSet::xorTables) == 245760);
static_assert(sizeof(EncryptionTableSet::finalRoundTable) == 4096);
static_assert(sizeof(DecryptionTableSet::invRoundTables) == 163840);
static_assert(sizeof(DecryptionTableSet::invXorTables) == 245760);
static_assert(sizeof(DecryptionTableSet::invFirstRoundTable) == 4096);

// The printed shapes, checked against the declarations above.
namespace table_layout {
template <typename T, std::size_t... I>
constexpr bool extentsAre(std::index_sequence<I...>, const std::size_t (&dims)[sizeof...(I)]) {
    return std::rank_v<T> == sizeof...(I) && ((std::extent_v<T, I> == dims[I]) && ...);
}
template <typename T, std::size_t... D>
constexpr bool hasShape = extentsAre<T>(std::make_index_sequence<sizeof...(D)>{}, {D...});
} // namespace table_layout

static_assert(table_layout::hasShape<RoundTableBlock, 10, 4, 4, 256, 4>);
static_assert(table_layout::hasShape<XorTableBlock, 10, 4, 24, 256>);
static_assert(table_layout::hasShape<SingleTableBlock, 4, 4, 256>);
static_assert(std::is_standard_layout_v<TableStorage> && std::is_trivially_copyable_v<TableStorage>);

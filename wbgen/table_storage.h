// The white-box table set: one contiguous 827,392-byte area holding the
// encryption tables and then the decryption tables at fixed offsets. Generation
// writes it, header emission prints it and the table cipher evaluates it.
//
// Round-table entry [..][x][b]: byte b is the contribution to output row b (the
// little-endian 32-bit word's bits 8b..8b+7). XOR-table n = 6*b + 2*q + h within
// a column: output row b, chain stage q, h = 0 low nibble / 1 high nibble.
// Round slot 9 (encryption) and index slot 0 (decryption) are never written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

struct EncryptionTableSet {
    uint8_t roundTables[10][4][4][256][4];  // [round][column j][row k][x][b]
    uint8_t xorTables[10][4][24][256];      // [round][column c][table n][x]
    uint8_t finalRoundTable[4][4][256];     // [column j][row k][x]
};

struct DecryptionTableSet {
    uint8_t invRoundTables[10][4][4][256][4];
    uint8_t invXorTables[10][4][24][256];
    uint8_t invFirstRoundTable[4][4][256];
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

// Shapes, outermost dimension first, as header emission prints them and the
// table cipher indexes them.
namespace table_layout {
template <typename T, std::size_t... I>
constexpr bool extentsAre(std::index_sequence<I...>, const std::size_t (&dims)[sizeof...(I)]) {
    return std::rank_v<T> == sizeof...(I) && ((std::extent_v<T, I> == dims[I]) && ...);
}
template <typename T, std::size_t... D>
constexpr bool hasShape = extentsAre<T>(std::make_index_sequence<sizeof...(D)>{}, {D...});
} // namespace table_layout

static_assert(table_layout::hasShape<decltype(EncryptionTableSet::roundTables), 10, 4, 4, 256, 4>);
static_assert(table_layout::hasShape<decltype(EncryptionTableSet::xorTables), 10, 4, 24, 256>);
static_assert(table_layout::hasShape<decltype(EncryptionTableSet::finalRoundTable), 4, 4, 256>);
static_assert(table_layout::hasShape<decltype(DecryptionTableSet::invRoundTables), 10, 4, 4, 256, 4>);
static_assert(table_layout::hasShape<decltype(DecryptionTableSet::invXorTables), 10, 4, 24, 256>);
static_assert(table_layout::hasShape<decltype(DecryptionTableSet::invFirstRoundTable), 4, 4, 256>);
static_assert(std::is_standard_layout_v<TableStorage> && std::is_trivially_copyable_v<TableStorage>);

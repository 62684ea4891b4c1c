// The white-box table set: one contiguous area holding the encryption tables and
// then the decryption tables at fixed offsets, for AES-128 (R = 10 rounds,
// 827,392 bytes), AES-192 (R = 12) or AES-256 (R = 14). Generation writes it,
// header emission prints it and the table cipher evaluates it. Every fact about
// the layout lives here: shapes, round counts, which slot a table round uses and
// which column a row's table reads.
//
// A key of R rounds is R - 1 table rounds and a last byte table; the key size
// changes the number of round slots and nothing else.
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

// The round counts of the key sizes: AES-128, AES-192, AES-256.
constexpr int kAes128Rounds = 10;
constexpr int kAes192Rounds = 12;
constexpr int kAes256Rounds = 14;

// R for a key of keyBits (128, 192 or 256), 0 for any other size.
constexpr int roundsOfKeyBits(int keyBits) {
    return keyBits == 128 ? kAes128Rounds : keyBits == 192 ? kAes192Rounds : keyBits == 256 ? kAes256Rounds : 0;
}
// The key size of R rounds: 128, 192 or 256 bits.
constexpr int keyBitsOfRounds(int rounds) { return 32 * (rounds - 6); }
// Hex digits of a key of R rounds: 32, 48 or 64.
constexpr int keyHexDigitsOfRounds(int rounds) { return keyBitsOfRounds(rounds) / 4; }
constexpr bool isTableRoundCount(int rounds) {
    return rounds == kAes128Rounds || rounds == kAes192Rounds || rounds == kAes256Rounds;
}
static_assert(roundsOfKeyBits(keyBitsOfRounds(kAes192Rounds)) == kAes192Rounds &&
              keyHexDigitsOfRounds(kAes256Rounds) == 64 && roundsOfKeyBits(160) == 0);

// Table rounds per direction of R rounds; a byte table after them completes the R.
constexpr int tableRoundsOf(int rounds) { return rounds - 1; }
// Round slots in the round and XOR blocks: one more than the table rounds, so
// that one slot per direction is never written.
constexpr int roundSlotsOf(int rounds) { return tableRoundsOf(rounds) + 1; }

// AES-128's: the layout of every table set before the other key sizes.
constexpr int kTableRounds = tableRoundsOf(kAes128Rounds);
constexpr int kRoundSlots = roundSlotsOf(kAes128Rounds);
static_assert(kTableRounds == 9 && kRoundSlots == 10);
// XOR tables of one output column: 4 rows x 3 chain stages x 2 nibbles.
constexpr int kXorTablesPerColumn = 24;

// Shapes, outermost dimension first, as header emission prints them and the
// table cipher indexes them. A slot is one round's share of a block.
using RoundTableSlot = uint8_t[4][4][256][4];               // [column j][row k][x][b]
using XorTableSlot = uint8_t[4][kXorTablesPerColumn][256];  // [column c][table n][x]
template <int Rounds>
using RoundTableBlockOf = RoundTableSlot[roundSlotsOf(Rounds)];
template <int Rounds>
using XorTableBlockOf = XorTableSlot[roundSlotsOf(Rounds)];
using RoundTableBlock = RoundTableBlockOf<kAes128Rounds>;
using XorTableBlock = XorTableBlockOf<kAes128Rounds>;
using SingleTableBlock = uint8_t[4][4][256];                // [column j][row k][x]

// Slot of the stage-th table round in processing order (stage 0 runs first) for
// R rounds. Encryption round r is slot r, so slot R - 1 is never written.
// Decryption index i holds round i of the inverse cipher and runs from R - 1 down
// to 1, so index 0 is never written. Kept on purpose: the R-slot shape is a fixed
// layout that emitted headers and the runtime index.
constexpr int tableRoundSlot(Direction direction, int stage, int rounds = kAes128Rounds) {
    return direction == Direction::Encryption ? stage : tableRoundsOf(rounds) - stage;
}
constexpr int unusedEncryptionSlotOf(int rounds) { return tableRoundsOf(rounds); }
constexpr int kUnusedEncryptionSlot = unusedEncryptionSlotOf(kAes128Rounds);
constexpr int kUnusedDecryptionSlot = 0;
static_assert(tableRoundSlot(Direction::Encryption, 0) == 0 &&
              tableRoundSlot(Direction::Encryption, kTableRounds - 1) == kUnusedEncryptionSlot - 1);
static_assert(tableRoundSlot(Direction::Decryption, 0) == kTableRounds &&
              tableRoundSlot(Direction::Decryption, kTableRounds - 1) == kUnusedDecryptionSlot + 1);
static_assert(tableRoundSlot(Direction::Decryption, 0, kAes256Rounds) == 13 &&
              tableRoundSlot(Direction::Decryption, tableRoundsOf(kAes256Rounds) - 1, kAes256Rounds) ==
                  kUnusedDecryptionSlot + 1);

// Column j whose row-k table feeds output column c: ShiftRows reads (c + k) mod 4,
// InvShiftRows (c - k) mod 4.
constexpr int sourceColumn(Direction direction, int k, int c) {
    return direction == Direction::Encryption ? (c + k) & 3 : (c - k) & 3;
}

template <int Rounds>
struct EncryptionTableSetOf {
    static constexpr int kRounds = Rounds;
    RoundTableBlockOf<Rounds> roundTables; // [round][column j][row k][x][b]
    XorTableBlockOf<Rounds> xorTables;     // [round][column c][table n][x]
    SingleTableBlock finalRoundTable;      // [column j][row k][x]
};

template <int Rounds>
struct DecryptionTableSetOf {
    static constexpr int kRounds = Rounds;
    RoundTableBlockOf<Rounds> invRoundTables; // [index][column j][row k][x][b]
    XorTableBlockOf<Rounds> invXorTables;     // [index][column c][table n][x]
    SingleTableBlock invFirstRoundTable;      // [column j][row k][x]
};

template <int Rounds>
struct TableStorageOf {
    static_assert(isTableRoundCount(Rounds));
    static constexpr int kRounds = Rounds;
    EncryptionTableSetOf<Rounds> enc;
    DecryptionTableSetOf<Rounds> dec;
};

using EncryptionTableSet = EncryptionTableSetOf<kAes128Rounds>;
using DecryptionTableSet = DecryptionTableSetOf<kAes128Rounds>;
using TableStorage = TableStorageOf<kAes128Rounds>;
using TableStorage192 = TableStorageOf<kAes192Rounds>;
using TableStorage256 = TableStorageOf<kAes256Rounds>;

// Bytes of one direction of R rounds: R round and XOR slots and the byte table.
constexpr std::size_t directionBytesOf(int rounds) {
    return static_cast<std::size_t>(roundSlotsOf(rounds)) * (sizeof(RoundTableSlot) + sizeof(XorTableSlot)) +
           sizeof(SingleTableBlock);
}

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

// AES-192: 12 slots, 495,616 bytes per direction; AES-256: 14 slots, 577,536.
// The blocks follow one another as in AES-128's layout, with no padding.
template <int Rounds>
constexpr bool packedLayout() {
    using E = EncryptionTableSetOf<Rounds>;
    using D = DecryptionTableSetOf<Rounds>;
    using S = TableStorageOf<Rounds>;
    constexpr std::size_t slots = static_cast<std::size_t>(roundSlotsOf(Rounds));
    return sizeof(E) == directionBytesOf(Rounds) && sizeof(D) == directionBytesOf(Rounds) &&
           sizeof(S) == 2 * directionBytesOf(Rounds) && offsetof(S, dec) == directionBytesOf(Rounds) &&
           offsetof(E, xorTables) == slots * sizeof(RoundTableSlot) &&
           offsetof(E, finalRoundTable) == slots * (sizeof(RoundTableSlot) + sizeof(XorTableSlot)) &&
           offsetof(D, invXorTables) == offsetof(E, xorTables) &&
           offsetof(D, invFirstRoundTable) == offsetof(E, finalRoundTable);
}
static_assert(packedLayout<kAes128Rounds>() && packedLayout<kAes192Rounds>() && packedLayout<kAes256Rounds>());
static_assert(directionBytesOf(kAes128Rounds) == 0x65000);
static_assert(sizeof(TableStorage192) == 991232 && directionBytesOf(kAes192Rounds) == 495616);
static_assert(sizeof(TableStorage256) == 1155072 && directionBytesOf(kAes256Rounds) == 577536);

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
static_assert(table_layout::hasShape<RoundTableBlockOf<kAes192Rounds>, 12, 4, 4, 256, 4>);
static_assert(table_layout::hasShape<XorTableBlockOf<kAes192Rounds>, 12, 4, 24, 256>);
static_assert(table_layout::hasShape<RoundTableBlockOf<kAes256Rounds>, 14, 4, 4, 256, 4>);
static_assert(table_layout::hasShape<XorTableBlockOf<kAes256Rounds>, 14, 4, 24, 256>);
static_assert(table_layout::hasShape<SingleTableBlock, 4, 4, 256>);
static_assert(std::is_standard_layout_v<TableStorage> && std::is_trivially_copyable_v<TableStorage>);
static_assert(std::is_standard_layout_v<TableStorage256> && std::is_trivially_copyable_v<TableStorage256>);

// One direction of a table set of any round count, as the evaluators read it:
// R round and XOR slots by slot number, and the last byte table. Mixed table
// sets add their mix slots (null for the classic format).
struct DirectionTables {
    int rounds = 0;                              // R; 0 when no tables
    const RoundTableSlot* roundTables = nullptr; // [slot], R slots
    const XorTableSlot* xorTables = nullptr;     // [slot], R slots
    const SingleTableBlock* lastTable = nullptr; // final or inverse first-round table
    const RoundTableSlot* mixTables = nullptr;   // mixed format: [slot], R slots
    const XorTableSlot* mixXorTables = nullptr;  // mixed format: [slot], R slots
    bool mixed() const { return mixTables != nullptr; }
};

// Both directions' views of one table set.
struct TableSetView {
    DirectionTables enc;
    DirectionTables dec;
    int rounds() const { return enc.rounds; }
    const DirectionTables& of(Direction direction) const {
        return direction == Direction::Encryption ? enc : dec;
    }
};

template <int Rounds>
TableSetView viewOf(const TableStorageOf<Rounds>& storage) {
    TableSetView view;
    view.enc = {Rounds, storage.enc.roundTables, storage.enc.xorTables, &storage.enc.finalRoundTable,
                nullptr, nullptr};
    view.dec = {Rounds, storage.dec.invRoundTables, storage.dec.invXorTables, &storage.dec.invFirstRoundTable,
                nullptr, nullptr};
    return view;
}

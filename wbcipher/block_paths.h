// The evaluators behind the table cipher's block loops, and the one place that
// chooses between them, for the classic and the mixed table format. Every path
// computes exactly what the plain single-block evaluator of its format
// (WhiteBoxAesCipher or MixedWhiteBoxAesCipher, EncryptRounds / DecryptRounds
// with the full round limit) computes; the tests hold each of them to it. NOT
// constant-time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "runtime/tabrix_layout.h"
#include "wbgen/mixed_table_storage.h"
#include "wbgen/table_storage.h"

// A way of evaluating the full cipher on independent blocks.
enum class BlockPath {
    Portable,   // C++ only, round by round over a batch; always built
    Avx512Vbmi, // 64 blocks at once with AVX-512 VBMI byte permutes (x86-64)
};

// The SIMD paths exist where runtime/tabrix_layout.h sets TABRIX_X86_SIMD (x86-64
// builds by GCC or Clang, not with TABRIX_PORTABLE_ONLY).

// The layout that the fast paths read beside the table storage, built once from
// it by prepareBlockNetworks; the plain evaluators read the storage alone.
// Tables are in processing order (stage 0 first) in both directions.
//
// XOR tables are turned round by the rule of runtime/tabrix_layout.h, which the
// C runtime follows too (tabrix_prepare_xor_table, read by tabrix_output_byte).
//
// For the SIMD paths the word tables are also split into byte tables ([j][k][b][x]
// instead of [j][k][x][b]), so that one 256-byte table serves one output row.
//
// A layer is one byte-to-word look-up with its XOR tables: the round tables of
// a stage, or in the mixed format also the mix tables behind them. A direction
// of R rounds has R - 1 of them (and as many mix layers), then the last table.
static_assert(kXorTablesPerColumn == TABRIX_XOR_TABLES_PER_COLUMN);
struct alignas(64) PreparedLayer {
    uint8_t xors[4][kXorTablesPerColumn][256]; // [column c][table n][r << 4 | v]
    uint8_t rounds[4][4][4][256];              // [column j][row k][byte b][x]
};
struct alignas(64) PreparedLastTable {
    uint8_t table[4][4][256]; // [column j][row k][x]
};

// How a layer routes state bytes to output columns: the row-k table of output
// column c reads column (c + step * k) mod 4. Round tables route by ShiftRows
// (step 1) or InvShiftRows (step 3); mix tables keep every column (step 0).
constexpr int routedColumn(int step, int k, int c) { return (c + step * k) & 3; }
constexpr int roundStep(Direction direction) { return direction == Direction::Encryption ? 1 : 3; }
constexpr int kMixStep = 0;
static_assert(routedColumn(roundStep(Direction::Encryption), 3, 2) == sourceColumn(Direction::Encryption, 3, 2) &&
              routedColumn(roundStep(Direction::Decryption), 3, 2) == sourceColumn(Direction::Decryption, 3, 2));

// What the fast paths read for one direction of one table set: the number of
// table rounds (R - 1), the storage's round-table words by slot (the portable
// path reads them in place), the prepared layers by stage and the last table;
// for the mixed format also the mix-table words by slot and their prepared
// layers by stage (null for the classic format).
struct BlockNetwork {
    int stages = 0;
    const RoundTableSlot* words = nullptr;        // [slot], stages + 1 slots
    const PreparedLayer* prepared = nullptr;      // [stage]
    const PreparedLastTable* last = nullptr;
    const RoundTableSlot* mixWords = nullptr;     // [slot]
    const PreparedLayer* mix = nullptr;           // [stage]
    bool mixed() const { return mix != nullptr; }
    int rounds() const { return stages + 1; }
};

// Both directions' networks, and the prepared layout they point into.
struct BlockNetworks {
    BlockNetwork enc;
    BlockNetwork dec;
    const BlockNetwork& of(Direction direction) const {
        return direction == Direction::Encryption ? enc : dec;
    }
    virtual ~BlockNetworks() = default;
};
using BlockNetworksPtr = std::shared_ptr<const BlockNetworks>;

// Calls run(direction, mixed) with the direction and the network's format as
// std::integral_constant arguments, so that a path instantiates one template
// per case.
template <typename Run>
void withNetworkForm(Direction direction, const BlockNetwork& network, Run&& run) {
    using Encrypting = std::integral_constant<Direction, Direction::Encryption>;
    using Decrypting = std::integral_constant<Direction, Direction::Decryption>;
    if (direction == Direction::Encryption) {
        if (network.mixed()) {
            run(Encrypting{}, std::true_type{});
        } else {
            run(Encrypting{}, std::false_type{});
        }
    } else if (network.mixed()) {
        run(Decrypting{}, std::true_type{});
    } else {
        run(Decrypting{}, std::false_type{});
    }
}

// Whether this build and this CPU can run path (the portable path: always).
bool blockPathSupported(BlockPath path);

// The path for a value of the environment variable TABRIX_PORTABLE (null when
// it is not set) on a CPU with or without the AVX-512 VBMI path: the portable
// one when the value is anything but "0" or the CPU lacks the other.
BlockPath chooseBlockPath(const char* portableSetting, bool avx512VbmiSupported);

// chooseBlockPath for this process's environment and this CPU (and build: the
// portable path when TABRIX_PORTABLE_ONLY is on), read anew on every call. The
// table cipher asks once, when it is given its tables.
BlockPath selectedBlockPath();

// Printable name of a path ("portable", "avx512vbmi").
const char* blockPathName(BlockPath path);

// The networks of a table set of R rounds, with their prepared layout (for
// AES-128 about 745 KB for the classic format, 1.5 MB for the mixed one; R - 1
// layers per direction in general); nullptr when memory runs out, or for a view
// without tables or of another round count than 10, 12 or 14 (the caller then
// stays with the plain evaluator). The layout is a copy; the round and mix
// words are read in the storage, which must outlive the result. A mixed view
// (mix tables in both directions) gives mixed networks.
BlockNetworksPtr prepareBlockNetworks(const TableSetView& view);
template <int Rounds>
BlockNetworksPtr prepareBlockNetworks(const TableStorageOf<Rounds>& storage) {
    return prepareBlockNetworks(viewOf(storage));
}
template <int Rounds>
BlockNetworksPtr prepareBlockNetworks(const MixedTableStorageOf<Rounds>& storage) {
    return prepareBlockNetworks(viewOf(storage));
}

// The full cipher in direction on `blocks` independent 16-byte blocks, from input
// to output, on path, over network (of that direction). input and output may be
// the same buffer; otherwise they must not overlap. Neither needs any alignment.
// path must be supported.
void cipherBlocks(Direction direction, BlockPath path, const BlockNetwork& network, const uint8_t* input,
                  uint8_t* output, size_t blocks);

// One block on the portable path, unrolled: the serial step of CBC encryption.
// input and output may be the same.
void cipherBlockPortable(Direction direction, const BlockNetwork& network, const uint8_t input[16],
                         uint8_t output[16]);

// The paths themselves, for the dispatch above and for the tests; arguments as
// for cipherBlocks.
void cipherBlocksPortable(Direction direction, const BlockNetwork& network, const uint8_t* input,
                          uint8_t* output, size_t blocks);
void cipherBlocksAvx512Vbmi(Direction direction, const BlockNetwork& network, const uint8_t* input,
                            uint8_t* output, size_t blocks);

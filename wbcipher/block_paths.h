// The evaluators behind the table cipher's block loops, and the one place that
// chooses between them. Every path computes exactly what the plain single-block
// evaluator (WhiteBoxAesCipher::EncryptRounds / DecryptRounds with the full round
// limit) computes; the tests hold each of them to it. NOT constant-time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "wbgen/table_storage.h"

// A way of evaluating the full cipher on independent blocks.
enum class BlockPath {
    Portable,   // C++ only, round by round over a batch; always built
    Avx512Vbmi, // 64 blocks at once with AVX-512 VBMI byte permutes (x86-64)
};

// The SIMD paths exist only for x86-64 builds by GCC or Clang (function target
// attributes and __builtin_cpu_supports), and not with TABRIX_PORTABLE_ONLY.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(TABRIX_PORTABLE_ONLY)
#define TABRIX_X86_SIMD 1
#else
#define TABRIX_X86_SIMD 0
#endif

// The layout that the fast paths read beside the TableStorage, built once from
// it by prepareBlockTables; the plain evaluator reads the TableStorage alone.
// Tables are in processing order (stage 0 first) in both directions.
//
// XOR tables are turned round so that the running nibble stays in the high half
// of a byte: entry (r << 4 | v) of prepared table n holds the low nibble of entry
// (v << 4 | r) of XOR table n (r running, v new), shifted up by four, except for
// the last table of a low-nibble chain (n = 6b + 4), which leaves it in place.
// A chain step is then index = new nibble | previous result, and an output byte
// is the OR of its two chains' last results; upper bits of the generated entries
// are dropped here once.
//
// For the SIMD paths the round words are also split into byte tables ([j][k][b][x]
// instead of [j][k][x][b]), so that one 256-byte table serves one output row.
struct alignas(64) PreparedDirection {
    uint8_t xors[kTableRounds][4][kXorTablesPerColumn][256];  // [stage][column c][table n][r << 4 | v]
    uint8_t rounds[kTableRounds][4][4][4][256];               // [stage][column j][row k][byte b][x]
    uint8_t last[4][4][256];                                  // [column j][row k][x]
};
struct PreparedTables {
    PreparedDirection enc;
    PreparedDirection dec;
    const PreparedDirection& of(Direction direction) const {
        return direction == Direction::Encryption ? enc : dec;
    }
};
using PreparedTablesPtr = std::shared_ptr<const PreparedTables>;

// Whether this build and this CPU can run path (the portable path: always).
bool blockPathSupported(BlockPath path);

// The path that the block loops use: the fastest supported one, or the portable
// path when the build option TABRIX_PORTABLE_ONLY is on or the environment
// variable TABRIX_PORTABLE is set to anything but "0" when it is first asked.
BlockPath selectedBlockPath();

// Printable name of a path ("portable", "avx512vbmi").
const char* blockPathName(BlockPath path);

// The layout the fast paths read, built from storage (about 745 KB); nullptr
// when memory runs out (the caller then stays with the plain evaluator). The
// result is a copy: later changes to storage do not reach it.
PreparedTablesPtr prepareBlockTables(const TableStorage& storage);

// The full cipher in direction on `blocks` independent 16-byte blocks, from input
// to output, on path. input and output may be the same buffer; otherwise they
// must not overlap. Neither needs any alignment. prepared comes from
// prepareBlockTables(storage); path must be supported.
void cipherBlocks(Direction direction, BlockPath path, const TableStorage& storage,
                  const PreparedTables& prepared, const uint8_t* input, uint8_t* output, size_t blocks);

// One block on the portable path, unrolled: the serial step of CBC encryption.
// input and output may be the same.
void cipherBlockPortable(Direction direction, const TableStorage& storage, const PreparedTables& prepared,
                         const uint8_t input[16], uint8_t output[16]);

// The paths themselves, for the dispatch above and for the tests; arguments as
// for cipherBlocks.
void cipherBlocksPortable(Direction direction, const TableStorage& storage, const PreparedTables& prepared,
                          const uint8_t* input, uint8_t* output, size_t blocks);
void cipherBlocksAvx512Vbmi(Direction direction, const PreparedTables& prepared, const uint8_t* input,
                            uint8_t* output, size_t blocks);

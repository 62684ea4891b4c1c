// The one place that chooses an evaluator for the table cipher's block loops:
// by CPU feature at run time, with the portable path as the fallback, and the
// table layout that a SIMD path reads.
#include <cstdlib>
#include <cstring>
#include <new>

#include "wbcipher/block_paths.h"

namespace {

// Below this many blocks a SIMD batch of 64, mostly padding, costs more than
// the portable path.
constexpr size_t kSimdMinBlocks = 8;

void prepareDirection(const RoundTableBlock& rounds, const XorTableBlock& xors, const SingleTableBlock& last,
                      Direction direction, PreparedDirection& prepared) {
    for (int stage = 0; stage < kTableRounds; ++stage) {
        const int slot = tableRoundSlot(direction, stage);
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                for (int x = 0; x < 256; ++x) {
                    for (int b = 0; b < 4; ++b) {
                        prepared.rounds[stage][j][k][b][x] = rounds[slot][j][k][x][b];
                    }
                }
            }
        }
        for (int c = 0; c < 4; ++c) {
            for (int n = 0; n < kXorTablesPerColumn; ++n) {
                // Table 6b + 4 ends a low-nibble chain: its result stays in place.
                const int shift = n % 6 == 4 ? 0 : 4;
                for (int running = 0; running < 16; ++running) {
                    for (int added = 0; added < 16; ++added) {
                        const int entry = xors[slot][c][n][added << 4 | running] & 0x0F;
                        prepared.xors[stage][c][n][running << 4 | added] = static_cast<uint8_t>(entry << shift);
                    }
                }
            }
        }
    }
    std::memcpy(prepared.last, last, sizeof prepared.last);
}

} // namespace

bool blockPathSupported(BlockPath path) {
    switch (path) {
    case BlockPath::Portable:
        return true;
    case BlockPath::Avx512Vbmi:
#if TABRIX_X86_SIMD
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
#else
        return false;
#endif
    }
    return false;
}

BlockPath selectedBlockPath() {
    static const BlockPath selected = [] {
        const char* portable = std::getenv("TABRIX_PORTABLE");
        if (portable != nullptr && std::strcmp(portable, "0") != 0) {
            return BlockPath::Portable;
        }
        return blockPathSupported(BlockPath::Avx512Vbmi) ? BlockPath::Avx512Vbmi : BlockPath::Portable;
    }();
    return selected;
}

const char* blockPathName(BlockPath path) {
    return path == BlockPath::Avx512Vbmi ? "avx512vbmi" : "portable";
}

PreparedTablesPtr prepareBlockTables(const TableStorage& storage) {
    PreparedTables* prepared = new (std::nothrow) PreparedTables;
    if (prepared == nullptr) {
        return nullptr;
    }
    prepareDirection(storage.enc.roundTables, storage.enc.xorTables, storage.enc.finalRoundTable,
                     Direction::Encryption, prepared->enc);
    prepareDirection(storage.dec.invRoundTables, storage.dec.invXorTables, storage.dec.invFirstRoundTable,
                     Direction::Decryption, prepared->dec);
    return PreparedTablesPtr(prepared);
}

void cipherBlocks(Direction direction, BlockPath path, const TableStorage& storage,
                  const PreparedTables& prepared, const uint8_t* input, uint8_t* output, size_t blocks) {
    if (path == BlockPath::Avx512Vbmi && blocks >= kSimdMinBlocks) {
        cipherBlocksAvx512Vbmi(direction, prepared, input, output, blocks);
    } else if (blocks == 1) {
        cipherBlockPortable(direction, storage, prepared, input, output);
    } else {
        cipherBlocksPortable(direction, storage, prepared, input, output, blocks);
    }
}

// The one place that chooses an evaluator for the table cipher's block loops:
// by CPU feature at run time, with the portable path as the fallback, and the
// prepared layout that the paths read, for either table format.
#include <cstdlib>
#include <cstring>
#include <new>

#include "wbcipher/block_paths.h"

namespace {

// Below this many blocks a SIMD batch of 64, mostly padding, costs more than
// the portable path.
constexpr size_t kSimdMinBlocks = 8;

// The layers of one word-table block and its XOR-table block (round tables or
// mix tables), by stage in processing order.
void prepareLayers(const RoundTableBlock& words, const XorTableBlock& xors, Direction direction,
                   PreparedLayers& prepared) {
    for (int stage = 0; stage < kTableRounds; ++stage) {
        const int slot = tableRoundSlot(direction, stage);
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                for (int x = 0; x < 256; ++x) {
                    for (int b = 0; b < 4; ++b) {
                        prepared.rounds[stage][j][k][b][x] = words[slot][j][k][x][b];
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
}

// The classic format's networks and the layout they read.
struct ClassicNetworks : BlockNetworks {
    PreparedDirection encLayers;
    PreparedDirection decLayers;
};

// The mixed format's: the classic part, and the mix layers behind it.
struct MixedNetworks : ClassicNetworks {
    PreparedLayers encMix;
    PreparedLayers decMix;
};

// Fills prepared with the classic part of storage and points networks at it.
void prepareClassic(const TableStorage& storage, ClassicNetworks& prepared) {
    prepareLayers(storage.enc.roundTables, storage.enc.xorTables, Direction::Encryption, prepared.encLayers);
    std::memcpy(prepared.encLayers.last, storage.enc.finalRoundTable, sizeof prepared.encLayers.last);
    prepareLayers(storage.dec.invRoundTables, storage.dec.invXorTables, Direction::Decryption, prepared.decLayers);
    std::memcpy(prepared.decLayers.last, storage.dec.invFirstRoundTable, sizeof prepared.decLayers.last);
    prepared.enc = {&storage.enc.roundTables, &prepared.encLayers, nullptr, nullptr};
    prepared.dec = {&storage.dec.invRoundTables, &prepared.decLayers, nullptr, nullptr};
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

BlockPath chooseBlockPath(const char* portableSetting, bool avx512VbmiSupported) {
    if (portableSetting != nullptr && std::strcmp(portableSetting, "0") != 0) return BlockPath::Portable;
    return avx512VbmiSupported ? BlockPath::Avx512Vbmi : BlockPath::Portable;
}

BlockPath selectedBlockPath() {
    return chooseBlockPath(std::getenv("TABRIX_PORTABLE"), blockPathSupported(BlockPath::Avx512Vbmi));
}

const char* blockPathName(BlockPath path) {
    return path == BlockPath::Avx512Vbmi ? "avx512vbmi" : "portable";
}

BlockNetworksPtr prepareBlockNetworks(const TableStorage& storage) {
    auto* prepared = new (std::nothrow) ClassicNetworks;
    if (prepared == nullptr) {
        return nullptr;
    }
    prepareClassic(storage, *prepared);
    return BlockNetworksPtr(prepared);
}

BlockNetworksPtr prepareBlockNetworks(const MixedTableStorage& storage) {
    auto* prepared = new (std::nothrow) MixedNetworks;
    if (prepared == nullptr) {
        return nullptr;
    }
    prepareClassic(storage.tables, *prepared);
    prepareLayers(storage.enc.mixTables, storage.enc.mixXorTables, Direction::Encryption, prepared->encMix);
    prepareLayers(storage.dec.invMixTables, storage.dec.invMixXorTables, Direction::Decryption, prepared->decMix);
    prepared->enc.mixWords = &storage.enc.mixTables;
    prepared->enc.mix = &prepared->encMix;
    prepared->dec.mixWords = &storage.dec.invMixTables;
    prepared->dec.mix = &prepared->decMix;
    return BlockNetworksPtr(prepared);
}

void cipherBlocks(Direction direction, BlockPath path, const BlockNetwork& network, const uint8_t* input,
                  uint8_t* output, size_t blocks) {
    if (path == BlockPath::Avx512Vbmi && blocks >= kSimdMinBlocks) {
        cipherBlocksAvx512Vbmi(direction, network, input, output, blocks);
    } else if (blocks == 1) {
        cipherBlockPortable(direction, network, input, output);
    } else {
        cipherBlocksPortable(direction, network, input, output, blocks);
    }
}

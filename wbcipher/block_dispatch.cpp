// The one place that chooses an evaluator for the table cipher's block loops:
// by CPU feature at run time, with the portable path as the fallback, and the
// prepared layout that the paths read, for either table format.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "wbcipher/block_paths.h"

namespace {

constexpr size_t kSimdMinBlocks = TABRIX_SIMD_MIN_BLOCKS;

// The layers of one word-table block and its XOR-table block (round tables or
// mix tables), by stage in processing order, for R rounds.
void prepareLayers(const RoundTableSlot* words, const XorTableSlot* xors, Direction direction, int rounds,
                   PreparedLayer* prepared) {
    for (int stage = 0; stage < tableRoundsOf(rounds); ++stage) {
        const int slot = tableRoundSlot(direction, stage, rounds);
        PreparedLayer& layer = prepared[stage];
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                for (int x = 0; x < 256; ++x) {
                    for (int b = 0; b < 4; ++b) {
                        layer.rounds[j][k][b][x] = words[slot][j][k][x][b];
                    }
                }
            }
        }
        for (int c = 0; c < 4; ++c) {
            for (unsigned n = 0; n < kXorTablesPerColumn; ++n) {
                tabrix_prepare_xor_table(xors[slot][c][n], n, layer.xors[c][n]);
            }
        }
    }
}

// The prepared layout of one direction: its layers, its mix layers (mixed
// format only) and its last table.
struct PreparedSide {
    std::unique_ptr<PreparedLayer[]> layers;
    std::unique_ptr<PreparedLayer[]> mixLayers;
    PreparedLastTable last;
};

// The networks of either format and the layout they read.
struct PreparedNetworks : BlockNetworks {
    PreparedSide encSide;
    PreparedSide decSide;
};

// Fills side from one direction's view and returns the network over it; false
// when memory runs out.
bool prepareSide(const DirectionTables& tables, Direction direction, PreparedSide& side, BlockNetwork& network) {
    const int stages = tableRoundsOf(tables.rounds);
    const auto count = static_cast<size_t>(stages);
    side.layers.reset(new (std::nothrow) PreparedLayer[count]);
    if (side.layers == nullptr) return false;
    prepareLayers(tables.roundTables, tables.xorTables, direction, tables.rounds, side.layers.get());
    std::memcpy(side.last.table, *tables.lastTable, sizeof side.last.table);
    network = {stages, tables.roundTables, side.layers.get(), &side.last, nullptr, nullptr};
    if (tables.mixed()) {
        side.mixLayers.reset(new (std::nothrow) PreparedLayer[count]);
        if (side.mixLayers == nullptr) return false;
        prepareLayers(tables.mixTables, tables.mixXorTables, direction, tables.rounds, side.mixLayers.get());
        network.mixWords = tables.mixTables;
        network.mix = side.mixLayers.get();
    }
    return true;
}

} // namespace

bool blockPathSupported(BlockPath path) {
    switch (path) {
    case BlockPath::Portable:
        return true;
    case BlockPath::Avx512Vbmi:
#if TABRIX_X86_SIMD
        return tabrix_cpu_has_vbmi() != 0;
#else
        return false;
#endif
    }
    return false;
}

BlockPath chooseBlockPath(const char* portableSetting, bool avx512VbmiSupported) {
    if (tabrix_portable_requested(portableSetting)) return BlockPath::Portable;
    return avx512VbmiSupported ? BlockPath::Avx512Vbmi : BlockPath::Portable;
}

BlockPath selectedBlockPath() {
    return chooseBlockPath(std::getenv(TABRIX_PORTABLE_VARIABLE), blockPathSupported(BlockPath::Avx512Vbmi));
}

const char* blockPathName(BlockPath path) {
    return path == BlockPath::Avx512Vbmi ? "avx512vbmi" : "portable";
}

BlockNetworksPtr prepareBlockNetworks(const TableSetView& view) {
    const int rounds = view.rounds();
    if (!isTableRoundCount(rounds) || view.dec.rounds != rounds || view.enc.lastTable == nullptr ||
        view.dec.lastTable == nullptr || view.enc.mixed() != view.dec.mixed()) {
        return nullptr;
    }
    std::unique_ptr<PreparedNetworks> prepared(new (std::nothrow) PreparedNetworks);
    if (prepared == nullptr || !prepareSide(view.enc, Direction::Encryption, prepared->encSide, prepared->enc) ||
        !prepareSide(view.dec, Direction::Decryption, prepared->decSide, prepared->dec)) {
        return nullptr;
    }
    return BlockNetworksPtr(prepared.release());
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

// The portable evaluators: the table network of the plain evaluators written out
// with every table index but the data fixed at compile time, over the prepared
// XOR tables (block_paths.h), so that a chain step is one OR and one load. The
// mixed format runs a second layer, its mix tables, behind every stage's round
// tables; the code is the same with another routing.
//
// cipherBlocksPortable goes layer by layer over a batch of blocks: one layer's
// tables (16 KB of words and 24 KB of XOR tables) are then read for many blocks
// in a row and stay in the first-level cache, where block after block would walk
// all of a direction's 400 KB (800 KB mixed) for AES-128, more for longer keys. The state is kept in block byte order,
// byte 4c + i holding row i of column c. NOT constant-time.
#include <algorithm>
#include <cstring>
#include <utility>

#include "wbcipher/block_paths.h"

namespace {

// Blocks that go through one round together.
constexpr size_t kBatchBlocks = TABRIX_PORTABLE_BATCH_BLOCKS;

using PreparedXors = uint8_t[4][kXorTablesPerColumn][256];

// Row b of output column c of a layer routed by Step: the rule of
// runtime/tabrix_layout.h, with every table index but the data fixed here.
template <int Step, int c, int b>
inline uint8_t outputByte(const uint8_t state[16], const RoundTableSlot& T, const PreparedXors& X) {
    return tabrix_output_byte(state, T, X, Step, c, b);
}

template <int Step, int... p>
inline void layerAt(const uint8_t state[16], uint8_t next[16], const RoundTableSlot& T, const PreparedXors& X,
                    std::integer_sequence<int, p...>) {
    ((next[p] = outputByte<Step, p / 4, p % 4>(state, T, X)), ...);
}

// One layer from state into next (distinct buffers).
template <int Step>
inline void layer(const uint8_t state[16], uint8_t next[16], const RoundTableSlot& T, const PreparedXors& X) {
    layerAt<Step>(state, next, T, X, std::make_integer_sequence<int, 16>{});
}

template <Direction D, int... p>
inline void lastStepAt(const uint8_t state[16], uint8_t output[16], const SingleTableBlock& F,
                       std::integer_sequence<int, p...>) {
    ((output[p] = F[sourceColumn(D, p % 4, p / 4)][p % 4][state[4 * sourceColumn(D, p % 4, p / 4) + p % 4]]),
     ...);
}

// The last byte table from state into output (distinct buffers).
template <Direction D>
inline void lastStep(const uint8_t state[16], uint8_t output[16], const SingleTableBlock& F) {
    lastStepAt<D>(state, output, F, std::make_integer_sequence<int, 16>{});
}

// Mixed: a stage is the round-table layer, then the mix-table layer.
template <Direction D, bool Mixed>
void oneBlock(const BlockNetwork& network, const uint8_t input[16], uint8_t output[16]) {
    uint8_t a[16];
    uint8_t b[16];
    std::memcpy(a, input, 16);
    uint8_t* state = a;
    uint8_t* next = b;
    for (int stage = 0; stage < network.stages; ++stage) {
        const int slot = tableRoundSlot(D, stage, network.rounds());
        layer<roundStep(D)>(state, next, network.words[slot], network.prepared[stage].xors);
        std::swap(state, next);
        if constexpr (Mixed) {
            layer<kMixStep>(state, next, network.mixWords[slot], network.mix[stage].xors);
            std::swap(state, next);
        }
    }
    lastStep<D>(state, output, network.last->table);
}

// One layer over a batch, from state into next.
template <int Step>
void batchLayer(const uint8_t (*state)[16], uint8_t (*next)[16], size_t count, const RoundTableSlot& T,
                const PreparedXors& X) {
    for (size_t n = 0; n < count; ++n) {
        layer<Step>(state[n], next[n], T, X);
    }
}

template <Direction D, bool Mixed>
void batchBlocks(const BlockNetwork& network, const uint8_t* input, uint8_t* output, size_t blocks) {
    uint8_t a[kBatchBlocks][16];
    uint8_t b[kBatchBlocks][16];
    for (size_t start = 0; start < blocks; start += kBatchBlocks) {
        const size_t count = std::min(kBatchBlocks, blocks - start);
        std::memcpy(a, input + 16 * start, 16 * count);
        uint8_t(*state)[16] = a;
        uint8_t(*next)[16] = b;
        for (int stage = 0; stage < network.stages; ++stage) {
            const int slot = tableRoundSlot(D, stage, network.rounds());
            batchLayer<roundStep(D)>(state, next, count, network.words[slot], network.prepared[stage].xors);
            std::swap(state, next);
            if constexpr (Mixed) {
                batchLayer<kMixStep>(state, next, count, network.mixWords[slot], network.mix[stage].xors);
                std::swap(state, next);
            }
        }
        const SingleTableBlock& F = network.last->table;
        for (size_t n = 0; n < count; ++n) {
            lastStep<D>(state[n], output + 16 * (start + n), F);
        }
    }
}

} // namespace

void cipherBlockPortable(Direction direction, const BlockNetwork& network, const uint8_t input[16],
                         uint8_t output[16]) {
    withNetworkForm(direction, network, [&](auto d, auto mixed) {
        oneBlock<decltype(d)::value, decltype(mixed)::value>(network, input, output);
    });
}

void cipherBlocksPortable(Direction direction, const BlockNetwork& network, const uint8_t* input,
                          uint8_t* output, size_t blocks) {
    withNetworkForm(direction, network, [&](auto d, auto mixed) {
        batchBlocks<decltype(d)::value, decltype(mixed)::value>(network, input, output, blocks);
    });
}

// The table network evaluated look-up by look-up, in the same order as the
// runtime (per output column: round tables, then the XOR chain nibble by
// nibble; the mixed format then the mix tables and their XOR chain), with a
// recorder and a fault hook for the gray-box attacks.
#include "audit/traced_network.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "audit/aes_network.h"

namespace {

class Recorder {
public:
    explicit Recorder(LookupTrace* trace) : trace_(trace) {
        if (trace_ != nullptr) {
            trace_->index.clear();
            trace_->read.clear();
        }
    }
    void on(int stage) { active_ = trace_ != nullptr && stage < trace_->stages; }
    void lookup(uint8_t index, uint32_t value) {
        if (!active_) return;
        trace_->index.push_back(index);
        if (trace_->values) trace_->read.push_back(value);
    }

private:
    LookupTrace* trace_;
    bool active_ = false;
};

uint32_t word(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Byte b of the XOR-chain sum of the words w[0..3] through the 24 XOR tables
// X of one column (index = new nibble << 4 | running nibble), recorded.
uint8_t chain(const uint8_t* X, const uint8_t w[4][4], int b, Recorder& rec) {
    unsigned acc = w[0][b];
    for (int q = 0; q < 3; ++q) {
        const unsigned y = w[q + 1][b];
        const uint8_t loIndex = static_cast<uint8_t>(((y & 15u) << 4) | (acc & 15u));
        const uint8_t lo = X[static_cast<size_t>(6 * b + 2 * q) * 256 + loIndex];
        rec.lookup(loIndex, lo);
        const uint8_t hiIndex = static_cast<uint8_t>((y & 0xF0u) | (acc >> 4));
        const uint8_t hi = X[static_cast<size_t>(6 * b + 2 * q + 1) * 256 + hiIndex];
        rec.lookup(hiIndex, hi);
        acc = ((hi & 15u) << 4) | (lo & 15u); // a runtime keeps only the nibbles
    }
    return static_cast<uint8_t>(acc);
}

// Four words of [.][4][4][256][4] tables at slot and column group g, row q.
const uint8_t* wordAt(const std::vector<uint8_t>& table, int slot, int g, int q, unsigned x) {
    const size_t at = ((((static_cast<size_t>(slot) * 4 + static_cast<size_t>(g)) * 4 + static_cast<size_t>(q)) * 256) + x) * 4;
    assert(at + 4 <= table.size());
    return &table[at];
}

const uint8_t* xorsAt(const std::vector<uint8_t>& table, int slot, int c) {
    const size_t at = (static_cast<size_t>(slot) * 4 + static_cast<size_t>(c)) * 24 * 256;
    assert(at + 24 * 256 <= table.size());
    return &table[at];
}

} // namespace

size_t lookupsPerStage(const NetworkTables& tables) { return tables.mixed() ? 224 : 112; }

size_t traceLength(const NetworkTables& tables, int stages) {
    const int all = tableRounds(*tables.classic);
    return lookupsPerStage(tables) * static_cast<size_t>(std::min(stages, all)) + (stages >= all ? 16 : 0);
}

void evaluateTraced(const NetworkTables& tables, Direction direction, const uint8_t in[16], uint8_t out[16],
                    LookupTrace* trace, const StateFault* fault) {
    assert(tables.classic != nullptr);
    const DirectionTables& t = *tables.classic;
    Recorder rec(trace);
    if (trace != nullptr) {
        const size_t length = traceLength(tables, trace->stages);
        trace->index.reserve(length);
        if (trace->values) trace->read.reserve(length);
    }
    uint8_t s[4][4]; // s[row][column]
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) s[k][j] = in[4 * j + k];
    }
    const int all = tableRounds(t);
    const int faultStage = fault == nullptr ? -1 : fault->stage < 0 ? lastTableRound(tables) : fault->stage;
    for (int stage = 0; stage < all; ++stage) {
        if (stage == faultStage) {
            s[fault->row & 3][fault->column & 3] = static_cast<uint8_t>(s[fault->row & 3][fault->column & 3] ^ fault->flip);
        }
        rec.on(stage);
        const int slot = stageSlot(direction, stage, t.rounds);
        uint8_t next[4][4];
        for (int c = 0; c < 4; ++c) {
            uint8_t w[4][4]; // w[q]: the word of the row-q table feeding column c
            for (int q = 0; q < 4; ++q) {
                const int j = feedingColumn(direction, q, c);
                const uint8_t* entry = wordAt(t.round, slot, j, q, s[q][j]);
                rec.lookup(s[q][j], word(entry));
                std::memcpy(w[q], entry, 4);
            }
            uint8_t sum[4];
            const uint8_t* X = xorsAt(t.xors, slot, c);
            for (int b = 0; b < 4; ++b) sum[b] = chain(X, w, b, rec);
            if (tables.mixed()) {
                for (int q = 0; q < 4; ++q) {
                    const uint8_t* entry = wordAt(*tables.mix, slot, c, q, sum[q]);
                    rec.lookup(sum[q], word(entry));
                    std::memcpy(w[q], entry, 4);
                }
                const uint8_t* MX = xorsAt(*tables.mixXor, slot, c);
                for (int b = 0; b < 4; ++b) sum[b] = chain(MX, w, b, rec);
            }
            for (int b = 0; b < 4; ++b) next[b][c] = sum[b];
        }
        std::memcpy(s, next, sizeof s);
    }
    rec.on(trace != nullptr && trace->stages >= all ? 0 : all);
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = feedingColumn(direction, k, c);
            out[4 * c + k] = lastEntry(t, j, k, s[k][j]);
            rec.lookup(s[k][j], out[4 * c + k]);
        }
    }
}

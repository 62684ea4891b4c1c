// BGE step 1: the non-linear parts of the output encodings of one round column,
// up to an affine map (see bge_attack.h). 65,536 evaluations of the column.
#include "audit/bge_attack.h"

#include <memory>

namespace {

// y[x1][x0] = output byte j for input (x0, x1, 0, 0), for all four j.
using Grid = std::array<std::array<ByteTable, 256>, 4>;

bool decoderOf(const std::array<ByteTable, 256>& y, ByteTable& decoder) {
    // f_{x1} = y[x1]; g_{x1} = f_{x1} o f_0^-1 maps the base point y0 = f_0(0)
    // to point[x1]; the group acts regularly, so every point is reached once.
    ByteTable inverse0{};
    std::array<bool, 256> seen{};
    for (unsigned x = 0; x < 256; ++x) {
        if (seen[y[0][x]]) return false;
        seen[y[0][x]] = true;
        inverse0[y[0][x]] = static_cast<uint8_t>(x);
    }
    // g[e][v]: the group element that takes y0 to point e, applied to v.
    auto g = std::make_unique<std::array<ByteTable, 256>>();
    std::array<bool, 256> reached{};
    const uint8_t y0 = y[0][0];
    for (unsigned x1 = 0; x1 < 256; ++x1) {
        const uint8_t e = y[x1][inverse0[y0]];
        if (reached[e]) return false;
        reached[e] = true;
        for (unsigned v = 0; v < 256; ++v) (*g)[e][v] = y[x1][inverse0[v]];
    }
    // Coordinates: y0 is 0; each new basis element doubles the span.
    std::array<bool, 256> inSpan{};
    std::array<uint8_t, 256> spanPoints{};
    inSpan[y0] = true;
    spanPoints[0] = y0;
    decoder[y0] = 0;
    unsigned spanSize = 1;
    for (unsigned bit = 0; bit < 8; ++bit) {
        unsigned generator = 0;
        while (generator < 256 && inSpan[generator]) ++generator;
        if (generator == 256) return false;
        for (unsigned n = 0; n < spanSize; ++n) {
            const uint8_t point = (*g)[generator][spanPoints[n]];
            if (inSpan[point]) return false;
            inSpan[point] = true;
            spanPoints[spanSize + n] = point;
            decoder[point] = static_cast<uint8_t>(decoder[spanPoints[n]] | (1u << bit));
        }
        spanSize *= 2;
    }
    // Every group element must act as a translation of the coordinates;
    // otherwise the group is not GF(2)^8 (a cyclic one, for instance).
    for (unsigned e = 0; e < 256; ++e) {
        const uint8_t shift = decoder[e];
        for (unsigned v = 0; v < 256; ++v) {
            if (decoder[(*g)[e][v]] != (decoder[v] ^ shift)) return false;
        }
    }
    return true;
}

} // namespace

bool recoverNonlinearParts(const ColumnRound& round, std::array<ByteTable, 4>& decoders) {
    auto grid = std::make_unique<Grid>();
    for (unsigned x1 = 0; x1 < 256; ++x1) {
        for (unsigned x0 = 0; x0 < 256; ++x0) {
            const uint8_t in[4] = {static_cast<uint8_t>(x0), static_cast<uint8_t>(x1), 0, 0};
            uint8_t out[4];
            round(in, out);
            for (int j = 0; j < 4; ++j) (*grid)[j][x1][x0] = out[j];
        }
    }
    for (int j = 0; j < 4; ++j) {
        if (!decoderOf((*grid)[j], decoders[j])) return false;
    }
    return true;
}

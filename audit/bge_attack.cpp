// The BGE attack on the mixed tables, in its plain and its improved form (see
// bge_attack.h). Step 1 evaluates a column 65,536 times in the plain form and
// 256 times per value of x_1 it needs in the improved one; step 3 tries 2^16
// candidates per byte in the plain form and 2^8 in the improved one.
#include "audit/bge_attack.h"

#include <algorithm>
#include <memory>

#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_schedule.h"

namespace {

// y[x1][x0] = output byte j for input (x0, x1, 0, 0), for all four j.
using Grid = std::array<std::array<ByteTable, 256>, 4>;

// inverse = f^-1; false when f is no bijection.
bool invertTable(const ByteTable& f, ByteTable& inverse) {
    std::array<bool, 256> seen{};
    for (unsigned x = 0; x < 256; ++x) {
        if (seen[f[x]]) return false;
        seen[f[x]] = true;
        inverse[f[x]] = static_cast<uint8_t>(x);
    }
    return true;
}

// The points reached so far from the base point y0 by the group elements found,
// with their coordinates in decoder: y0 is 0, and each new generator doubles
// the span with the next coordinate bit.
struct Span {
    std::array<bool, 256> in{};
    std::array<uint8_t, 256> points{};
    unsigned size = 1;
    unsigned bits = 0;

    Span(uint8_t y0, ByteTable& decoder) {
        in[y0] = true;
        points[0] = y0;
        decoder[y0] = 0;
    }
    // Adds group element g as a generator; false when it maps a point outside
    // the span into it (then the elements form no group of translations).
    bool extend(const ByteTable& g, ByteTable& decoder) {
        for (unsigned n = 0; n < size; ++n) {
            const uint8_t point = g[points[n]];
            if (in[point]) return false;
            in[point] = true;
            points[size + n] = point;
            decoder[point] = static_cast<uint8_t>(decoder[points[n]] | (1u << bits));
        }
        size *= 2;
        ++bits;
        return true;
    }
};

// Whether group element g shifts the coordinates by those of the point it
// takes y0 to.
bool actsAsTranslation(const ByteTable& g, const ByteTable& decoder, uint8_t y0) {
    const uint8_t shift = decoder[g[y0]];
    for (unsigned v = 0; v < 256; ++v) {
        if (decoder[g[v]] != (decoder[v] ^ shift)) return false;
    }
    return true;
}

bool decoderOf(const std::array<ByteTable, 256>& y, ByteTable& decoder) {
    // f_{x1} = y[x1]; g_{x1} = f_{x1} o f_0^-1 maps the base point y0 = f_0(0)
    // to point[x1]; the group acts regularly, so every point is reached once.
    ByteTable inverse0{};
    if (!invertTable(y[0], inverse0)) return false;
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
    Span span(y0, decoder);
    for (unsigned bit = 0; bit < 8; ++bit) {
        unsigned generator = 0;
        while (generator < 256 && span.in[generator]) ++generator;
        if (generator == 256 || !span.extend((*g)[generator], decoder)) return false;
    }
    // Every group element must act as a translation of the coordinates;
    // otherwise the group is not GF(2)^8 (a cyclic one, for instance).
    for (unsigned e = 0; e < 256; ++e) {
        if (!actsAsTranslation((*g)[e], decoder, y0)) return false;
    }
    return true;
}

// Step 1 from generators: the group needs only eight independent elements, so
// x_1 runs only until every output byte has them (about ten values instead of
// 256), and only those eight are checked to act as translations.
bool decodersFromGenerators(const ColumnRound& round, std::array<ByteTable, 4>& decoders) {
    // base[j]: output byte j for input (x0, 0, 0, 0); inverse0[j] its inverse.
    std::array<ByteTable, 4> base{};
    std::array<ByteTable, 4> inverse0{};
    auto evaluate = [&round](unsigned x1, std::array<ByteTable, 4>& column) {
        for (unsigned x0 = 0; x0 < 256; ++x0) {
            const uint8_t in[4] = {static_cast<uint8_t>(x0), static_cast<uint8_t>(x1), 0, 0};
            uint8_t out[4];
            round(in, out);
            for (size_t j = 0; j < 4; ++j) column[j][x0] = out[j];
        }
    };
    evaluate(0, base);
    for (size_t j = 0; j < 4; ++j) {
        if (!invertTable(base[j], inverse0[j])) return false;
    }
    std::vector<Span> spans;
    for (size_t j = 0; j < 4; ++j) spans.emplace_back(base[j][0], decoders[j]);
    std::array<std::vector<ByteTable>, 4> generators{};
    std::array<ByteTable, 4> column{};
    unsigned complete = 0;
    for (unsigned x1 = 1; x1 < 256 && complete < 4; ++x1) {
        evaluate(x1, column);
        for (size_t j = 0; j < 4; ++j) {
            Span& span = spans[j];
            if (span.size == 256) continue;
            // g = f_{x1} o f_0^-1; a new generator when it leaves the span.
            ByteTable g{};
            for (unsigned v = 0; v < 256; ++v) g[v] = column[j][inverse0[j][v]];
            if (span.in[g[span.points[0]]]) continue;
            if (!span.extend(g, decoders[j])) return false;
            generators[j].push_back(g);
            if (span.size == 256) ++complete;
        }
    }
    if (complete < 4) return false;
    // Each generator must shift the coordinates by its own: then all eight
    // commute and have order 2, and the group is GF(2)^8 acting by translation.
    for (size_t j = 0; j < 4; ++j) {
        for (const ByteTable& g : generators[j]) {
            if (!actsAsTranslation(g, decoders[j], spans[j].points[0])) return false;
        }
    }
    return true;
}

} // namespace

bool recoverNonlinearParts(const ColumnRound& round, std::array<ByteTable, 4>& decoders, BgeForm form) {
    if (form == BgeForm::Improved) return decodersFromGenerators(round, decoders);
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

namespace {

// An 8x8 matrix over GF(2) by columns: column i is the image of bit i.
struct Linear {
    std::array<uint8_t, 8> column{};
    uint8_t apply(uint8_t v) const {
        uint8_t y = 0;
        for (int i = 0; i < 8; ++i) {
            if ((v >> i) & 1) y = static_cast<uint8_t>(y ^ column[static_cast<size_t>(i)]);
        }
        return y;
    }
};

Linear compose(const Linear& a, const Linear& b) { // a o b
    Linear c;
    for (size_t i = 0; i < 8; ++i) c.column[i] = a.apply(b.column[i]);
    return c;
}

Linear multiplication(uint8_t gamma) {
    Linear m;
    for (size_t i = 0; i < 8; ++i) m.column[i] = gfMultiply(gamma, static_cast<uint8_t>(1u << i));
    return m;
}

bool invert(const Linear& a, Linear& inverse) {
    // The 256-entry table of a, inverted, read back at the unit vectors.
    std::array<int, 256> preimage{};
    preimage.fill(-1);
    for (unsigned v = 0; v < 256; ++v) {
        const uint8_t y = a.apply(static_cast<uint8_t>(v));
        if (preimage[y] >= 0) return false;
        preimage[y] = static_cast<int>(v);
    }
    for (size_t i = 0; i < 8; ++i) inverse.column[i] = static_cast<uint8_t>(preimage[1u << i]);
    return true;
}

// The linear part of an affine byte map given as a table.
Linear linearPart(const ByteTable& affine) {
    Linear l;
    for (size_t i = 0; i < 8; ++i) l.column[i] = static_cast<uint8_t>(affine[1u << i] ^ affine[0]);
    return l;
}

// A nonzero X with X o M(gamma) = N o X (unique up to X o M(delta) when gamma
// generates GF(2^8)), by Gaussian elimination over the 64 entries of X.
bool solveConjugation(const Linear& n, uint8_t gamma, Linear& x) {
    const Linear m = multiplication(gamma);
    // Unknown X[r][c] (bit r of column c) is variable 8c + r.
    std::array<uint64_t, 64> rows{};
    size_t count = 0;
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            uint64_t row = 0;
            // (X M)[r][c] = sum_l X[r][l] M[l][c]
            for (int l = 0; l < 8; ++l) {
                if ((m.column[static_cast<size_t>(c)] >> l) & 1) row ^= uint64_t{1} << (8 * l + r);
            }
            // (N X)[r][c] = sum_l N[r][l] X[l][c]
            for (int l = 0; l < 8; ++l) {
                if ((n.column[static_cast<size_t>(l)] >> r) & 1) row ^= uint64_t{1} << (8 * c + l);
            }
            rows[count++] = row;
        }
    }
    // Reduced row echelon form; a free variable set to 1 gives a solution.
    std::array<int, 64> pivotRow{};
    pivotRow.fill(-1);
    size_t rank = 0;
    for (int v = 0; v < 64 && rank < count; ++v) {
        size_t at = rank;
        while (at < count && ((rows[at] >> v) & 1) == 0) ++at;
        if (at == count) continue;
        std::swap(rows[at], rows[rank]);
        for (size_t i = 0; i < count; ++i) {
            if (i != rank && ((rows[i] >> v) & 1)) rows[i] ^= rows[rank];
        }
        pivotRow[v] = static_cast<int>(rank++);
    }
    for (int free = 0; free < 64; ++free) {
        if (pivotRow[free] >= 0) continue;
        uint64_t solution = uint64_t{1} << free;
        for (int v = 0; v < 64; ++v) {
            if (pivotRow[v] >= 0 && ((rows[static_cast<size_t>(pivotRow[v])] >> free) & 1)) {
                solution |= uint64_t{1} << v;
            }
        }
        for (size_t c = 0; c < 8; ++c) x.column[c] = static_cast<uint8_t>(solution >> (8 * c));
        Linear unused;
        if (invert(x, unused)) return true;
    }
    return false;
}

// True when gamma lies in no proper subfield of GF(2^8) (gamma^16 != gamma).
bool generatesField(uint8_t gamma) {
    uint8_t power = gamma;
    for (int i = 0; i < 4; ++i) power = gfMultiply(power, power);
    return power != gamma;
}

// Step 2 on decoders that step 1 filled.
bool removeLinearParts(const ColumnRound& round, Direction direction, std::array<ByteTable, 4>& decoders) {
    // relation[b'][q]: decoded byte b' as an affine map of decoded byte 0, while
    // input byte q varies (the other inputs fixed at 0).
    std::array<std::array<Linear, 4>, 4> relation{};
    for (int q = 0; q < 4; ++q) {
        std::array<ByteTable, 4> byInput{};
        for (unsigned x = 0; x < 256; ++x) {
            uint8_t in[4] = {0, 0, 0, 0};
            in[q] = static_cast<uint8_t>(x);
            uint8_t out[4];
            round(in, out);
            for (size_t b = 1; b < 4; ++b) byInput[b][decoders[0][out[0]]] = decoders[b][out[b]];
        }
        for (size_t b = 1; b < 4; ++b) relation[b][static_cast<size_t>(q)] = linearPart(byInput[b]);
    }
    // relation[b][q] = A_b M(rho_bq) A_0^-1, rho_bq = mix(b, q) / mix(0, q).
    auto rho = [&](int b, int q) { return gfMultiply(mixCoefficient(direction, b, q), gfInverse(mixCoefficient(direction, 0, q))); };
    // A_1 from two inputs q, q' whose ratio generates the field.
    for (int q = 0; q < 4; ++q) {
        for (int r = 0; r < 4; ++r) {
            const uint8_t gamma = gfMultiply(rho(1, q), gfInverse(rho(1, r)));
            if (q == r || !generatesField(gamma)) continue;
            Linear inverseR;
            if (!invert(relation[1][static_cast<size_t>(r)], inverseR)) return false;
            const Linear n = compose(relation[1][static_cast<size_t>(q)], inverseR);
            std::array<Linear, 4> a{};
            if (!solveConjugation(n, gamma, a[1])) return false;
            // A_0 = relation[1][q]^-1 A_1 M(rho_1q); A_b = relation[b][q] A_0 M(rho_bq)^-1.
            Linear inverseQ;
            if (!invert(relation[1][static_cast<size_t>(q)], inverseQ)) return false;
            a[0] = compose(inverseQ, compose(a[1], multiplication(rho(1, q))));
            for (int b = 2; b < 4; ++b) {
                a[static_cast<size_t>(b)] = compose(relation[static_cast<size_t>(b)][static_cast<size_t>(q)],
                                                    compose(a[0], multiplication(gfInverse(rho(b, q)))));
            }
            for (size_t b = 0; b < 4; ++b) {
                Linear inverse;
                if (!invert(a[b], inverse)) return false;
                for (unsigned y = 0; y < 256; ++y) decoders[b][y] = inverse.apply(decoders[b][y]);
            }
            return true;
        }
    }
    return false;
}

} // namespace

bool recoverLinearParts(const ColumnRound& round, Direction direction, std::array<ByteTable, 4>& decoders,
                        BgeForm form) {
    return recoverNonlinearParts(round, decoders, form) && removeLinearParts(round, direction, decoders);
}

namespace {

// Byte b of the XOR-chain sum of words t[0..3] through the XOR tables X of one
// column: index = new nibble << 4 | running nibble.
uint8_t chainSum(const uint8_t* const X[24], const uint8_t t[4][4], int b) {
    unsigned lo = t[0][b] & 15u;
    unsigned hi = static_cast<unsigned>(t[0][b]) >> 4;
    for (int u = 0; u < 3; ++u) {
        const unsigned y = t[u + 1][b];
        lo = X[6 * b + 2 * u][((y & 15u) << 4) | lo] & 15u;
        hi = X[6 * b + 2 * u + 1][(y & 0xF0u) | hi] & 15u;
    }
    return static_cast<uint8_t>(hi << 4 | lo);
}

} // namespace

ColumnRound mixedColumnRound(const MixedDirectionTables& tables, Direction direction, int t, int c) {
    return [&tables, direction, t, c](const uint8_t in[4], uint8_t out[4]) {
        const DirectionTables& e = tables.classic;
        const int slot = stageSlot(direction, t, e.rounds);
        const uint8_t* X[24];
        const uint8_t* MX[24];
        for (int n = 0; n < 24; ++n) {
            X[n] = xorTable(e, slot, c, n);
            MX[n] = &tables.mixXor[((static_cast<size_t>(slot) * 4 + static_cast<size_t>(c)) * 24 + static_cast<size_t>(n)) * 256];
        }
        uint8_t w[4][4];
        for (int q = 0; q < 4; ++q) {
            const int j = feedingColumn(direction, q, c);
            for (int b = 0; b < 4; ++b) w[q][b] = roundEntry(e, slot, j, q, in[q], b);
        }
        uint8_t sum[4];
        for (int b = 0; b < 4; ++b) sum[b] = chainSum(X, w, b);
        for (int q = 0; q < 4; ++q) {
            for (int b = 0; b < 4; ++b) {
                w[q][b] = tables.mix[((((static_cast<size_t>(slot) * 4 + static_cast<size_t>(c)) * 4 +
                                       static_cast<size_t>(q)) * 256 + sum[q]) * 4) + static_cast<size_t>(b)];
            }
        }
        for (int b = 0; b < 4; ++b) out[b] = chainSum(MX, w, b);
    };
}

namespace {

struct SboxFit {
    uint8_t delta;  // input multiplier: plain = delta^-1 z (+ offset)
    uint8_t kappa;  // S-box input offset
    uint8_t lambda; // output multiplier
    int count;      // how many candidates fit (1 for a unique answer)
};

// F(z) ^ F(0) = lambda * (S(delta^-1 z ^ kappa) ^ S(kappa)) for all z, S the
// S-box (encryption) or the inverse S-box (decryption).
SboxFit fitSbox(const ByteTable& f, const uint8_t* box) {
    SboxFit fit{0, 0, 0, 0};
    for (unsigned delta = 1; delta < 256; ++delta) {
        const uint8_t inverse = gfInverse(static_cast<uint8_t>(delta));
        ByteTable scaled{};
        for (unsigned z = 0; z < 256; ++z) scaled[z] = gfMultiply(inverse, static_cast<uint8_t>(z));
        for (unsigned kappa = 0; kappa < 256; ++kappa) {
            const uint8_t s0 = box[kappa];
            const uint8_t d1 = static_cast<uint8_t>(box[scaled[1] ^ kappa] ^ s0);
            const uint8_t lambda = gfMultiply(static_cast<uint8_t>(f[1] ^ f[0]), gfInverse(d1));
            bool fits = true;
            for (unsigned z = 2; z < 256 && fits; ++z) {
                fits = (f[z] ^ f[0]) == gfMultiply(lambda, static_cast<uint8_t>(box[scaled[z] ^ kappa] ^ s0));
            }
            if (fits) {
                if (fit.count == 0) fit = SboxFit{static_cast<uint8_t>(delta), static_cast<uint8_t>(kappa), lambda, 0};
                ++fit.count;
            }
        }
    }
    return fit;
}

// The same fit without the search over kappa. The S-box (or its inverse) is
// the field inversion with affine maps around it, and x -> x^-1 ^ (x ^ a)^-1
// takes one value four times (on x in {0, a, a w, a w^2}, w^3 = 1) and every
// other at most twice. So for an input difference d of F, the output
// difference met four times marks the four inputs whose inversion input lies
// in a.GF(4); two differences leave one common input z0, where the inversion
// input is 0: delta^-1 z0 ^ kappa = zero (0 for the S-box, 0x63 for its
// inverse). Only delta is then searched: 2^8 candidates instead of 2^16.
SboxFit fitSboxByDifferences(const ByteTable& f, const uint8_t* box, uint8_t zero) {
    std::array<int, 256> common{}; // how many differences put z in their four-set
    int differences = 0;
    int z0 = -1;
    for (unsigned d = 1; d < 256 && z0 < 0; d <<= 1) {
        std::array<uint8_t, 256> count{};
        for (unsigned z = 0; z < 256; ++z) ++count[f[z] ^ f[z ^ d]];
        int four = -1;
        for (unsigned b = 0; b < 256; ++b) {
            if (count[b] > 4 || (count[b] == 4 && four >= 0)) return SboxFit{0, 0, 0, 0};
            if (count[b] == 4) four = static_cast<int>(b);
        }
        if (four < 0) return SboxFit{0, 0, 0, 0};
        ++differences;
        int candidates = 0;
        for (unsigned z = 0; z < 256; ++z) {
            if ((f[z] ^ f[z ^ d]) == four && ++common[z] == differences) ++candidates;
        }
        if (candidates == 0) return SboxFit{0, 0, 0, 0};
        if (candidates == 1) {
            for (unsigned z = 0; z < 256; ++z) {
                if (common[z] == differences) z0 = static_cast<int>(z);
            }
        }
    }
    SboxFit fit{0, 0, 0, 0};
    if (z0 < 0) return fit;
    for (unsigned delta = 1; delta < 256; ++delta) {
        const uint8_t inverse = gfInverse(static_cast<uint8_t>(delta));
        const auto kappa = static_cast<uint8_t>(gfMultiply(inverse, static_cast<uint8_t>(z0)) ^ zero);
        const uint8_t s0 = box[kappa];
        const uint8_t d1 = static_cast<uint8_t>(box[gfMultiply(inverse, 1) ^ kappa] ^ s0);
        const uint8_t lambda = gfMultiply(static_cast<uint8_t>(f[1] ^ f[0]), gfInverse(d1));
        bool fits = true;
        for (unsigned z = 2; z < 256 && fits; ++z) {
            const uint8_t x = static_cast<uint8_t>(gfMultiply(inverse, static_cast<uint8_t>(z)) ^ kappa);
            fits = (f[z] ^ f[0]) == gfMultiply(lambda, static_cast<uint8_t>(box[x] ^ s0));
        }
        if (fits) {
            if (fit.count == 0) fit = SboxFit{static_cast<uint8_t>(delta), kappa, lambda, 0};
            ++fit.count;
        }
    }
    return fit;
}

std::string at(const char* what, int t, int c) {
    return std::string(what) + " at table round " + std::to_string(t) + ", column " + std::to_string(c);
}

} // namespace

std::optional<ClaimedKey> bgeRecoverKey(const MixedDirectionTables& tables, Direction direction, BgeForm form,
                                        std::string* failure) {
    std::string ignored;
    std::string& why = failure != nullptr ? *failure : ignored;
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    // The input where box inverts 0: 0 for the S-box, S(0) for its inverse.
    const uint8_t inversionZero = direction == Direction::Encrypt ? 0 : aesSbox[0];
    // decode[t][c][b]: output byte (b, c) of stage t -> delta_tc * u ^ e_tcb.
    const int R = tables.classic.rounds;
    const int T = tableRounds(R);
    std::vector<std::array<std::array<ByteTable, 4>, 4>> decode(static_cast<size_t>(T));
    for (int t = 0; t < T; ++t) {
        for (int c = 0; c < 4; ++c) {
            const ColumnRound round = mixedColumnRound(tables, direction, t, c);
            auto& decoders = decode[static_cast<size_t>(t)][static_cast<size_t>(c)];
            if (!recoverNonlinearParts(round, decoders, form)) {
                why = at("no affine decoding of the outputs", stageSlot(direction, t, R), c);
                return std::nullopt;
            }
            if (!removeLinearParts(round, direction, decoders)) {
                why = at("no linear parts fit", stageSlot(direction, t, R), c);
                return std::nullopt;
            }
        }
    }
    // Per stage t >= 1 and state byte (row, column): the fit of its S-box.
    std::vector<std::array<std::array<SboxFit, 4>, 4>> fits(static_cast<size_t>(T));
    std::vector<std::array<uint8_t, 4>> outputDelta(static_cast<size_t>(T)); // delta_tc from the fits' lambda
    for (int t = 1; t < T; ++t) {
        for (int c = 0; c < 4; ++c) {
            const ColumnRound round = mixedColumnRound(tables, direction, t, c);
            for (int q = 0; q < 4; ++q) {
                const int j = feedingColumn(direction, q, c);
                const ByteTable& previous = decode[static_cast<size_t>(t - 1)][static_cast<size_t>(j)][static_cast<size_t>(q)];
                ByteTable raw{};
                for (unsigned x = 0; x < 256; ++x) raw[previous[x]] = static_cast<uint8_t>(x);
                ByteTable f{};
                for (unsigned z = 0; z < 256; ++z) {
                    uint8_t in[4] = {0, 0, 0, 0};
                    in[q] = raw[z];
                    uint8_t out[4];
                    round(in, out);
                    f[z] = decode[static_cast<size_t>(t)][static_cast<size_t>(c)][0][out[0]];
                }
                const SboxFit fit = form == BgeForm::Improved ? fitSboxByDifferences(f, box, inversionZero) : fitSbox(f, box);
                if (fit.count != 1) {
                    why = at(fit.count == 0 ? "no S-box fit" : "more than one S-box fit", stageSlot(direction, t, R), c);
                    return std::nullopt;
                }
                fits[static_cast<size_t>(t)][static_cast<size_t>(q)][static_cast<size_t>(j)] = fit;
                outputDelta[static_cast<size_t>(t)][static_cast<size_t>(c)] =
                    gfMultiply(fit.lambda, gfInverse(mixCoefficient(direction, 0, q)));
            }
        }
    }
    // A round key per stage t = 1..T-2, from stage t's outputs for the all-zero
    // raw input and stage t + 1's fits of the same bytes.
    bool found = false;
    CipherKey key;
    std::vector<RoundKey> roundKeys(static_cast<size_t>(T));
    auto agree = [&](const std::optional<CipherKey>& candidate) {
        if (!candidate || (found && *candidate != key)) return false;
        key = *candidate;
        found = true;
        return true;
    };
    for (int t = 1; t < T - 1; ++t) {
        RoundKey roundKey{};
        for (int c = 0; c < 4; ++c) {
            const ColumnRound round = mixedColumnRound(tables, direction, t, c);
            const uint8_t zero[4] = {0, 0, 0, 0};
            uint8_t out[4];
            round(zero, out);
            uint8_t sboxOut[4]; // the plain S-box (or inverse S-box) outputs
            for (int q = 0; q < 4; ++q) {
                const int j = feedingColumn(direction, q, c);
                const SboxFit& fit = fits[static_cast<size_t>(t)][static_cast<size_t>(q)][static_cast<size_t>(j)];
                const uint8_t z = decode[static_cast<size_t>(t - 1)][static_cast<size_t>(j)][static_cast<size_t>(q)][0];
                sboxOut[q] = box[gfMultiply(gfInverse(fit.delta), z) ^ fit.kappa];
            }
            const uint8_t delta = outputDelta[static_cast<size_t>(t)][static_cast<size_t>(c)];
            uint8_t plainOut[4]; // decryption: the plain InvMixColumns output of the column
            for (int b = 0; b < 4; ++b) {
                // State byte (b, c) enters stage t + 1 as z = delta u ^ e; its fit
                // there has the same delta, and kappa = delta^-1 e ^ k (encryption,
                // whose key comes before the S-box) or delta^-1 e (decryption).
                const SboxFit& next = fits[static_cast<size_t>(t + 1)][static_cast<size_t>(b)][static_cast<size_t>(c)];
                if (next.delta != delta) {
                    why = at("the field factors of two rounds disagree", stageSlot(direction, t, R), c);
                    return std::nullopt;
                }
                const uint8_t zb = decode[static_cast<size_t>(t)][static_cast<size_t>(c)][static_cast<size_t>(b)][out[b]];
                if (direction == Direction::Encrypt) {
                    uint8_t u = 0;
                    for (int q = 0; q < 4; ++q) {
                        u = static_cast<uint8_t>(u ^ gfMultiply(mixCoefficient(direction, b, q), sboxOut[q]));
                    }
                    const uint8_t e = static_cast<uint8_t>(zb ^ gfMultiply(delta, u));
                    roundKey[static_cast<size_t>(b)][static_cast<size_t>(c)] =
                        static_cast<uint8_t>(next.kappa ^ gfMultiply(gfInverse(delta), e));
                } else {
                    const uint8_t e = gfMultiply(delta, next.kappa);
                    plainOut[b] = gfMultiply(gfInverse(delta), static_cast<uint8_t>(zb ^ e));
                }
            }
            if (direction == Direction::Decrypt) {
                // u = InvMixColumns(Si(a) ^ K[.][c]), so K[.][c] = MixColumns(u) ^ Si(a).
                for (int q = 0; q < 4; ++q) {
                    uint8_t mixed = 0;
                    for (int b = 0; b < 4; ++b) {
                        mixed = static_cast<uint8_t>(mixed ^ gfMultiply(unmixCoefficient(direction, q, b), plainOut[b]));
                    }
                    roundKey[static_cast<size_t>(q)][static_cast<size_t>(c)] = static_cast<uint8_t>(mixed ^ sboxOut[q]);
                }
            }
        }
        // Encryption stage t + 1 adds round key t + 1; decryption stage t
        // (slot R - 1 - t) adds round key R - 1 - t after the inverse S-box.
        const int roundIndex = direction == Direction::Encrypt ? t + 1 : stageSlot(direction, t, R);
        roundKeys[static_cast<size_t>(t)] = roundKey;
        bool agreed = true;
        if (R == 10) {
            const std::array<uint8_t, 16> candidate = cipherKeyFromRoundKey(roundKey, roundIndex);
            agreed = agree(CipherKey(candidate.begin(), candidate.end()));
        } else if (t > 1) {
            // A longer key: round keys of stages t - 1 and t, consecutive.
            const RoundKey& previous = roundKeys[static_cast<size_t>(t - 1)];
            agreed = direction == Direction::Encrypt
                         ? agree(cipherKeyFromRoundKeys(previous, roundKey, roundIndex - 1, R))
                         : agree(cipherKeyFromRoundKeys(roundKey, previous, roundIndex, R));
        }
        if (!agreed) {
            why = "round keys disagree";
            return std::nullopt;
        }
    }
    // The check: with the key, the S-box fits of stages 1 and T - 1 turn the raw
    // bytes entering those stages into their S-box inputs (encryption: the
    // state after the round key; decryption: the InvMixColumns output). Test
    // states go in at stage 1 and must come out of stage T - 2 as AES has them.
    auto sboxInputs = [&](int t, const uint8_t raw[16], uint8_t inputs[16]) {
        for (int n = 0; n < 16; ++n) {
            const size_t q = static_cast<size_t>(n % 4);
            const size_t j = static_cast<size_t>(n / 4);
            const SboxFit& fit = fits[static_cast<size_t>(t)][q][j];
            const uint8_t z = decode[static_cast<size_t>(t - 1)][j][q][raw[n]];
            inputs[n] = static_cast<uint8_t>(gfMultiply(gfInverse(fit.delta), z) ^ fit.kappa);
        }
    };
    // The raw byte for each S-box input at stage 1 (none when the map is no bijection).
    std::array<ByteTable, 16> rawOf{};
    for (size_t n = 0; n < 16; ++n) {
        std::array<bool, 256> seen{};
        for (unsigned x = 0; x < 256; ++x) {
            uint8_t raw[16] = {};
            uint8_t inputs[16];
            raw[n] = static_cast<uint8_t>(x);
            sboxInputs(1, raw, inputs);
            if (seen[inputs[n]]) {
                why = "key " + hexText(key.data(), key.size()) + " failed the check against the tables";
                return std::nullopt;
            }
            seen[inputs[n]] = true;
            rawOf[n][inputs[n]] = static_cast<uint8_t>(x);
        }
    }
    std::vector<ColumnRound> stages;
    for (int t = 1; t < T - 1; ++t) {
        for (int c = 0; c < 4; ++c) stages.push_back(mixedColumnRound(tables, direction, t, c));
    }
    std::optional<ClaimedKey> claimed =
        claimKeyOnRounds(direction, key, 1, T - 1, [&](const uint8_t in[16], const uint8_t expected[16]) {
            uint8_t s[16];
            for (size_t n = 0; n < 16; ++n) s[n] = rawOf[n][in[n]];
            for (int t = 1; t < T - 1; ++t) {
                uint8_t next[16];
                for (int c = 0; c < 4; ++c) {
                    uint8_t column[4];
                    for (int q = 0; q < 4; ++q) column[q] = s[4 * feedingColumn(direction, q, c) + q];
                    uint8_t result[4];
                    stages[static_cast<size_t>(4 * (t - 1) + c)](column, result);
                    for (int b = 0; b < 4; ++b) next[4 * c + b] = result[b];
                }
                std::copy(next, next + 16, s);
            }
            uint8_t inputs[16];
            sboxInputs(T - 1, s, inputs);
            return std::equal(inputs, inputs + 16, expected);
        });
    if (!claimed) why = "key " + hexText(key.data(), key.size()) + " failed the check against the tables";
    return claimed;
}

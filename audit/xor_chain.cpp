// A table T(a, b) = o^-1( h(a) ^ l(b) ) with secret nibble bijections h, l, o
// is a Latin square isotopic to the group (GF(2)^4, ^). Fixing a row and a
// column of it defines a group law on its output symbols,
//   u * v = T(a(u), b(v)), with T(a(u), 0) = u and T(0, b(v)) = v,
// which is isomorphic to (GF(2)^4, ^). Any isomorphism phi onto GF(2)^4 is the
// true coding up to an affine map, phi(u) = A·o(u) ^ c, and gives codings of
// both inputs under which T is plain XOR. A later stage of the chain takes the
// previous result as its running sum, whose normalised coding is then known, so
// its other input and its output inherit the same A. This is the first step of
// the attack of Billet, Gilbert and Ech-Chatbi (SAC 2004) on such networks,
// where no mixing bijection hides the nibble boundaries.
#include "audit/xor_chain.h"

#include <cstddef>

namespace {

constexpr uint8_t kUnset = 0xFF;

uint8_t entry(const uint8_t* table, unsigned a, unsigned b) { return table[(a << 4) | b]; }

// Every entry a nibble, every row and column a permutation.
bool isLatinSquare(const uint8_t* table) {
    for (unsigned i = 0; i < 16; ++i) {
        unsigned rowSeen = 0;
        unsigned columnSeen = 0;
        for (unsigned k = 0; k < 16; ++k) {
            const uint8_t rowValue = entry(table, i, k);
            const uint8_t columnValue = entry(table, k, i);
            if (rowValue > 15 || columnValue > 15) return false;
            rowSeen |= 1u << rowValue;
            columnSeen |= 1u << columnValue;
        }
        if (rowSeen != 0xFFFF || columnSeen != 0xFFFF) return false;
    }
    return true;
}

// An isomorphism from the group law of table onto (GF(2)^4, ^), built from
// generators; false when the law is not that of an elementary abelian group.
bool groupIsomorphism(const uint8_t* table, std::array<uint8_t, 16>& phi) {
    std::array<uint8_t, 16> rowOf{};    // rowOf[u]: a with T(a, 0) = u
    std::array<uint8_t, 16> columnOf{}; // columnOf[v]: b with T(0, b) = v
    for (uint8_t i = 0; i < 16; ++i) {
        rowOf[entry(table, i, 0)] = i;
        columnOf[entry(table, 0, i)] = i;
    }
    phi.fill(kUnset);
    std::array<uint8_t, 16> known{};
    size_t count = 0;
    known[count++] = entry(table, 0, 0);
    phi[known[0]] = 0;
    for (unsigned bit = 0; count < 16; ++bit) {
        if (bit == 4) return false;
        uint8_t generator = 0;
        while (phi[generator] != kUnset) ++generator;
        const size_t before = count;
        for (size_t i = 0; i < before; ++i) {
            const uint8_t product = entry(table, rowOf[known[i]], columnOf[generator]);
            if (phi[product] != kUnset || count >= known.size()) return false;
            phi[product] = static_cast<uint8_t>(phi[known[i]] ^ (1u << bit));
            known[count++] = product;
        }
    }
    return true;
}

} // namespace

bool normaliseChain(const uint8_t* const stages[3], NormalisedChain& chain) {
    for (int q = 0; q < 3; ++q) {
        if (!isLatinSquare(stages[q])) return false;
    }
    std::array<uint8_t, 16> sum{};
    if (!groupIsomorphism(stages[0], sum)) return false;
    for (uint8_t i = 0; i < 16; ++i) {
        chain.input[1][i] = sum[entry(stages[0], i, 0)];
        chain.input[0][i] = sum[entry(stages[0], 0, i)];
    }
    for (unsigned a = 0; a < 16; ++a) {
        for (unsigned b = 0; b < 16; ++b) {
            if (sum[entry(stages[0], a, b)] != (chain.input[1][a] ^ chain.input[0][b])) return false;
        }
    }
    // Later stages: the running sum's coding is known, so T(0, s) fixes the
    // output coding and T(a, zero) the new contribution's.
    for (int q = 1; q < 3; ++q) {
        const uint8_t* table = stages[q];
        std::array<uint8_t, 16> next{};
        next.fill(kUnset);
        uint8_t zero = 0;
        for (uint8_t s = 0; s < 16; ++s) {
            next[entry(table, 0, s)] = sum[s];
            if (sum[s] == 0) zero = s;
        }
        for (uint8_t a = 0; a < 16; ++a) chain.input[q + 1][a] = next[entry(table, a, zero)];
        for (unsigned a = 0; a < 16; ++a) {
            for (unsigned s = 0; s < 16; ++s) {
                if (next[entry(table, a, s)] != (chain.input[q + 1][a] ^ sum[s])) return false;
            }
        }
        sum = next;
    }
    chain.output = sum;
    return true;
}
